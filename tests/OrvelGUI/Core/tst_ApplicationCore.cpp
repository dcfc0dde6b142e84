// The whole assembly: its order, configuration files through the saves
// manager, and a recall that reaches the simulated processor.

#include <QJsonDocument>
#include <QTemporaryDir>
#include <QtTest>

#include "AudioRig.h"
#include "Common/FileSupport.h"
#include "DeviceHolds.h"
#include "EWNet/Core/RegRoutr.h"
#include "OrvelGUI/Config/ConfigJson.h"
#include "OrvelGUI/Config/Configuration.h"
#include "OrvelGUI/Config/SerialDeviceQuery.h"
#include "OrvelGUI/Config/StandaloneAssembly.h"
#include "OrvelGUI/Core/ApplicationCore.h"
#include "OrvelGUI/Core/ControlStripDriver.h"
#include "OrvelGUI/Core/DelayDriver.h"
#include "OrvelGUI/Core/DelayUnit.h"
#include "OrvelGUI/Core/HPFDriver.h"
#include "OrvelGUI/Core/InOutFader.h"
#include "OrvelGUI/Core/LPFDriver.h"
#include "OrvelGUI/Core/LowMidHigh.h"
#include "OrvelGUI/Core/ParametricEQDriver.h"
#include "OrvelGUI/Core/ParametricEQUnit.h"
#include "OrvelGUI/Core/PassFilterUnit.h"
#include "TestSupport.h"

namespace {

constexpr int kTimeoutMs = 10000;

QByteArray Json(const sConfiguration& configuration) {
  return QJsonDocument(configjson::Encode(configuration)).toJson(QJsonDocument::Compact);
}

// Every field away from its default, including what no network parameter
// reaches (variants, the middle bands' types) and values no table knows.
sConfiguration Unusual(sConfiguration c) {
  for (int i = 0; i < 8; ++i) {
    c.mStrips[std::size_t(i)].mMute = i % 2 == 1;
    c.mStrips[std::size_t(i)].mPolarity = i % 3 == 0;
    c.mStrips[std::size_t(i)].mGain = GAIN(-3000 + 700 * i);
  }
  for (int p = 0; p < 3; ++p) {
    sPanelConfiguration& panel = c.mPanels[std::size_t(p)];
    panel.mHighPass = {UWORD(15000 + p), ULONG(p + 1), false};
    panel.mLowPass = {UWORD(50000 + p), ULONG(p == 2 ? 7 : p), p == 1};
    panel.mDelay = {UWORD(20000 + p), UWORD(21000 + p), 0};
    for (int side = 0; side < 2; ++side) {
      sEQConfiguration& eq = panel.mEQ[std::size_t(side)];
      eq.mBypass = side == 1 && p == 0;
      for (std::size_t b = 0; b < eq.mBands.size(); ++b) {
        eq.mBands[b] = {UWORD(20000 + 4000 * b + side),
                        UWORD((b + 10 * side) << 8),
                        GAIN(256 * b - 700),
                        ULONG((b + p) % 9),
                        UBYTE(b % 2),
                        b == 3};
      }
    }
  }
  return c;
}

// The same with the values no table knows replaced by ones the processor
// realises: a file the program writes holds only such values.
sConfiguration Realisable(sConfiguration c) {
  for (sPanelConfiguration& panel : c.mPanels) {
    if (panel.mLowPass.mSlope >= ULONG(biquad::kSlopeCount)) panel.mLowPass.mSlope = HPF_BESSEL_18_DB;
    for (sEQConfiguration& eq : panel.mEQ) {
      for (sBandConfiguration& band : eq.mBands) {
        if (band.mType == nPEQ::NOTCH || band.mType >= ULONG(biquad::kBandTypeCount)) band.mType = nPEQ::LOW_CONTOUR;
      }
    }
  }
  return c;
}

// Every filter slot, strip and delay of the processor set to something no
// configuration holds.
void FillDeviceWithOtherSettings(devsim::cDeviceSimulator& device) {
  UseDevicePorts({QString::fromStdString(device.DevicePath())});
  cSerialInterface link;
  link.SetMeterPolling(false);
  link.RequestConnection(true, QString());
  QVERIFY(StepLinkUntil(link, cSerialInterface::CONNECTED));
  const std::int32_t junk[5] = {11, 22, 33, 44, 55};
  const int panels[3][2] = {{0, 4}, {2, 6}, {4, 8}};
  for (const auto& panel : panels) {
    for (int channel = 0; channel < 2; ++channel) {
      for (int slot = 0; slot < panel[1]; ++slot)
        link.QueueFilterMessage(FilterAddress(slot, panel[0] + channel), junk, 20, 7, 7, 7, 7, 7, 0x81);
    }
  }
  for (ULONG i = 0; i < 8; ++i) link.QueueControlStripMessage(i, 12345, 0x1234, 1, 1);
  for (ULONG i = 0; i < 6; ++i) link.QueueDelayMessage(i, 777);
  link.RequestConnection(false, QString());
  QVERIFY(StepLinkUntil(link, cSerialInterface::DISCONNECTED));
  QVERIFY(device.WaitForReceived(36 + 8 + 6 + 2, 3000));
}

}  // namespace

class tst_ApplicationCore : public QObject {
  Q_OBJECT

 private slots:
  void init() { qunsetenv("ORVEL_SERIAL_PORTS"); }

  void assemblyOrder() {
    cReportCapture reports;
    cStandaloneAssembly a;
    cRegistryRouter& router = *GetRegistryRouter();
    const char* const names[] = {"Action Tick Driver",
                                 "Serial Connection Driver NetObject",
                                 "Metering Sources NetObject",
                                 "Saves Manager NetObject",
                                 "InOutFader:Input L Control Strip Unit",
                                 "InOutFader:R Control Strip Unit3",
                                 "LMH 1:  HPF Unit",
                                 "LMH 1:  LPF Unit",
                                 "LMH 1:  Delay Unit",
                                 "LMH 1: L Parametric EQ Unit",
                                 "LMH 1: R Parametric EQ Unit",
                                 "LMH 1:  Parametric EQ Gang",
                                 "LMH 2:  HPF Unit",
                                 "LMH 3:  Parametric EQ Gang"};
    EW_NET_DATA_SCALE previous = 0;
    for (const char* name : names) {
      const EW_NET_DATA_SCALE handle = router.FindHandle(name);
      QVERIFY2(handle != EW_INVALID_HANDLE && handle > previous, name);
      previous = handle;
    }
    a.Core().Start();
    QVERIFY(a.Core().IsStarted());
    QVERIFY(TickUntil([] {}, [&] { return a.Core().GetTickCount() >= 3; }));
    a.Core().Stop();
    a.Core().DestroyObjects();
    QVERIFY(router.FindHandle("Saves Manager NetObject") == EW_INVALID_HANDLE);
    QVERIFY2(reports.Lines().empty(), qPrintable(reports.Dump()));
  }

  // A configuration applied, saved by the saves manager, recalled into a
  // fresh assembly: every unit's block round-trips, and the file's blocks are
  // in registration order exactly as the block writers lay them out.
  void configurationFiles() {
    QTemporaryDir dir;
    const QString file = dir.filePath("unusual.cfg");
    sConfiguration configuration;
    {
      cStandaloneAssembly a;
      configuration = Realisable(Unusual(ReadConfiguration(a.Core())));
      QVERIFY(ApplyConfiguration(a.Core(), configuration));
      QVERIFY(a.Core().SaveConfiguration(file, kTimeoutMs));
      QCOMPARE(Json(ReadConfiguration(a.Core())), Json(configuration));
    }
    const QString plain = dir.filePath("plain");
    QVERIFY(cSavesManager::CipherFile(file, plain, false));
    const QByteArray frame = QByteArray::fromHex("885b03") + ConfigurationBlocks(configuration) + "\xc2\xba";
    QCOMPARE(ReadAll(plain), ZeroPadded(frame));
    {
      cStandaloneAssembly b;
      QVERIFY(b.Core().RecallConfiguration(file, kTimeoutMs));
      QCOMPARE(Json(ReadConfiguration(b.Core())), Json(configuration));
      // A file that is not a configuration changes nothing.
      cReportCapture reports;
      QVERIFY(WriteAll(plain, QByteArray(64, 'x')));
      QVERIFY(!b.Core().RecallConfiguration(plain, kTimeoutMs));
      QCOMPARE(Json(ReadConfiguration(b.Core())), Json(configuration));
    }
  }

  void jsonForm() {
    cStandaloneAssembly a;
    const sConfiguration configuration = Unusual(ReadConfiguration(a.Core()));
    const QJsonObject json = configjson::Encode(configuration);
    QCOMPARE(json["format"].toString(), QString("orvel-config"));
    QCOMPARE(json["version"].toInt(), 3);
    const QJsonObject strip = json["strips"].toArray()[0].toObject();
    QCOMPARE(strip.keys(), (QStringList{"gain", "gain_db", "mute", "name", "polarity"}));
    QCOMPARE(strip["name"].toString(), QString("InOutFader:Input L Control Strip Unit"));
    const QJsonObject high = json["panels"].toArray()[2].toObject();
    QCOMPARE(high.keys(), (QStringList{"delay", "eq", "gang", "high_pass", "low_pass", "name"}));
    QCOMPARE(high["name"].toString(), QString("High"));
    QCOMPARE(high["high_pass"].toObject().keys(),
             (QStringList{"bypass", "frequency", "frequency_hz", "slope", "slope_name"}));
    QCOMPARE(high["low_pass"].toObject()["slope_name"], QJsonValue(QJsonValue::Null));  // slope 7: no name
    QCOMPARE(high["delay"].toObject().keys(), (QStringList{"gang", "left", "left_ms", "right", "right_ms"}));
    const QJsonObject right = high["eq"].toArray()[1].toObject();
    QCOMPARE(right["side"].toString(), QString("right"));
    const QJsonObject band = right["bands"].toArray()[5].toObject();
    QCOMPARE(band.keys(), (QStringList{"bypass", "frequency", "frequency_hz", "gain", "gain_db", "q", "type",
                                       "type_name", "variant", "width"}));
    QCOMPARE(band["frequency"].toInt(), 20000 + 4000 * 5 + 1);
    QCOMPARE(band["q"].toDouble(), 0.92);                             // width 15 << 8
    QCOMPARE(band["type_name"].toString(), QString("HIGH_CONTOUR"));  // (5 + 2) % 9
    QCOMPARE(json["strips"].toArray()[1].toObject()["gain_db"].toDouble(), -2300 / 256.0);

    sConfiguration decoded;
    QString error;
    QVERIFY2(configjson::Decode(json, decoded, error), qPrintable(error));
    QCOMPARE(Json(decoded), Json(configuration));

    // Refused whole, naming the first bad key.
    const auto refused = [&](QJsonObject document, const QString& key) {
      sConfiguration untouched = decoded;
      QVERIFY(!configjson::Decode(document, untouched, error));
      QVERIFY2(error.startsWith(key), qPrintable(error));
      QCOMPARE(Json(untouched), Json(decoded));
    };
    QJsonObject bad = json;
    bad["version"] = 2;
    refused(bad, "version");
    QJsonArray panels = json["panels"].toArray();
    QJsonObject mid = panels[1].toObject();
    QJsonArray eqs = mid["eq"].toArray();
    QJsonObject left = eqs[0].toObject();
    QJsonArray bands = left["bands"].toArray();
    QJsonObject b0 = bands[0].toObject();
    b0["frequency"] = 65536;
    bands[0] = b0;
    left["bands"] = bands;
    eqs[0] = left;
    mid["eq"] = eqs;
    panels[1] = mid;
    bad = json;
    bad["panels"] = panels;
    refused(bad, "panels[1].eq[0].bands[0].frequency");
    bad = json;
    QJsonArray strips = json["strips"].toArray();
    strips.removeLast();
    bad["strips"] = strips;
    refused(bad, "strips");
  }

  // A recall into a device that holds other settings leaves it holding
  // exactly the file's, even where the file equals the program's defaults,
  // within the tick budget: one packet per queue per tick, plus 2, plus the
  // beat on which the last acknowledgement is read.
  void recallReachesTheDevice() {
    auto device = StartSimulator();
    QVERIFY(device);
    FillDeviceWithOtherSettings(*device);
    QTemporaryDir dir;
    const QString file = dir.filePath("mostly-defaults.cfg");
    {
      cStandaloneAssembly offline;
      sConfiguration c = ReadConfiguration(offline.Core());
      c.mStrips[3].mGain = -1546;
      c.mPanels[1].mHighPass = {25000, 2, false};
      c.mPanels[2].mEQ[0].mBands[4].mGain = 600;
      c.mPanels[0].mDelay.mLeft = 40000;
      QVERIFY(ApplyConfiguration(offline.Core(), c));
      QVERIFY(offline.Core().SaveConfiguration(file, kTimeoutMs));
    }
    device->ClearReceived();
    UseDevicePorts({QString::fromStdString(device->DevicePath())});
    cStandaloneAssembly a(false);
    sDeviceRecallResult result;
    QVERIFY(RecallIntoDevice(a.Core(), file, QString(), kTimeoutMs, {}, result));
    QVERIFY(result.mRecalled && result.mHeld);
    QCOMPARE(result.mAcknowledged, result.mPackets);
    a.Core().Stop();
    // Delays stored at start go out once connected, before the recall.
    std::vector<devsim::sWirePacket> packets = device->Received();
    while (!packets.empty() && packets.front().mType != 2) packets.erase(packets.begin());
    const sSentPackets sent = DecodeSent(packets);
    QCOMPARE(sent.mFilters.size(), std::size_t(36));
    QCOMPARE(sent.mStrips.size(), std::size_t(8));
    QCOMPARE(sent.mDelays.size(), std::size_t(6));
    ExpectDeviceHolds(a.Core(), device->Model());
    QVERIFY2(result.mTicks <= 36 + 2 + 1, qPrintable(QString::number(result.mTicks)));
    qInfo("full recall: %llu ticks, %lld ms, %zu packets", static_cast<unsigned long long>(result.mTicks),
          static_cast<long long>(result.mMilliseconds), sent.Count());
  }
};

QTEST_GUILESS_MAIN(tst_ApplicationCore)
#include "tst_ApplicationCore.moc"
