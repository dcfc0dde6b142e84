#pragma once

// Configurations and checks shared by the tests of the program's screens:
// a configuration away from every default, the file the program writes for
// one, and whether the simulated processor holds what the units hold.

#include <QFile>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "DevSim/DeviceSimulator.h"
#include "DevSim/SimFixture.h"
#include "EWNet/Core/RegRoutr.h"
#include "OrvelGUI/Config/ConfigJson.h"
#include "OrvelGUI/Config/Configuration.h"
#include "OrvelGUI/Config/DeviceState.h"
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
#include "OrvelGUI/Core/PassFilterUnit.h"
#include "QmlFixture.h"
#include "Tools/ConfigFiles.h"

// Every strip gain, pass-filter frequency, delay and equaliser band away
// from the program's defaults.
inline sConfiguration Distinct(sConfiguration c) {
  for (std::size_t i = 0; i < c.mStrips.size(); ++i) c.mStrips[i].mGain = GAIN(-256 * int(i + 1));
  for (std::size_t p = 0; p < c.mPanels.size(); ++p) {
    sPanelConfiguration& panel = c.mPanels[p];
    panel.mHighPass.mFrequency = UWORD(20000 + 5000 * p);
    panel.mLowPass.mFrequency = UWORD(40000 + 5000 * p);
    panel.mDelay = {UWORD(9000 + 100 * p), UWORD(9500 + 100 * p), 0};
    for (sEQConfiguration& eq : panel.mEQ) {
      for (std::size_t b = 0; b < eq.mBands.size(); ++b) {
        eq.mBands[b].mFrequency = UWORD(21000 + 3000 * b + 100 * p);
        eq.mBands[b].mGain = GAIN(-512 + 128 * int(b));
        eq.mBands[b].mWidth = UWORD((3 + b) << 8);
      }
    }
  }
  return c;
}

// The configuration file the program writes for `configuration`.
inline QByteArray SavedConfiguration(const sConfiguration& configuration, const QString& path) {
  cStandaloneAssembly assembly;
  if (!ApplyConfiguration(assembly.Core(), configuration) || !assembly.Core().SaveConfiguration(path, 10000)) {
    return QByteArray();
  }
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The processor holds what the units hold: strip gains, delays, and the
// frequency, width and gain of every filter slot.
inline void ExpectDeviceHolds(const cApplicationCore& core, const devsim::cDeviceModel& model) {
  const auto filter = [&](ULONG address) -> const devsim::sSimFilter& {
    return model.Filters()[std::size_t(devsim::FilterRecordIndex(address))];
  };
  for (int i = 0; i < cInOutFader::kStripCount; ++i) {
    QCOMPARE(model.Strips()[std::size_t(i)].mGainWord, UWORD(core.GetInOutFader()->GetStrip(i)->GetGainWord()));
  }
  for (int p = 0; p < cApplicationCore::kPanelCount; ++p) {
    const cLowMidHigh& panel = *core.GetPanel(p);
    const cDelayDriver& delay = *panel.GetDelay();
    for (UBYTE channel = 0; channel < 2; ++channel) {
      QCOMPARE(model.Delays()[std::size_t(delay.GetBase() + channel)],
               cDelayDriver::SamplesOfCode(delay.GetUnit()->GetDelay(channel)));
      for (const cPassFilterDriver* pass : {static_cast<const cPassFilterDriver*>(panel.GetHighPass()),
                                            static_cast<const cPassFilterDriver*>(panel.GetLowPass())}) {
        for (UBYTE i = 0; i < pass->GetUnit()->GetBiquadCount(); ++i) {
          QCOMPARE(filter(pass->DeviceAddress(i, channel)).mFrequency, pass->GetUnit()->GetFrequency());
        }
      }
    }
    for (int side = 0; side < 2; ++side) {
      const cParametricEQDriver& eq = *panel.GetEQ(side);
      for (UBYTE band = 0; band < eq.GetUnit()->GetBandCount(); ++band) {
        const cParametricEQUnit::sBand b = eq.GetUnit()->GetBand(band);
        const devsim::sSimFilter& f = filter(eq.DeviceAddress(band));
        QVERIFY(f.mFrequency == b.mFrequency && f.mWidth == b.mWidth && f.mGain == b.mGain);
      }
    }
  }
}

// Whether `actual` is `expected`; else the lines in which they differ.
inline bool SameConfiguration(const sConfiguration& actual, const sConfiguration& expected, QString& differing) {
  const QByteArray a = QJsonDocument(configjson::Encode(actual)).toJson(QJsonDocument::Indented);
  const QByteArray e = QJsonDocument(configjson::Encode(expected)).toJson(QJsonDocument::Indented);
  differing = JsonLinesDiffering(a, e);
  return a == e;
}
#define EXPECT_CONFIGURATION(actual, expected)                                             \
  do {                                                                                     \
    QString differing_;                                                                    \
    QVERIFY2(SameConfiguration((actual), (expected), differing_), qPrintable(differing_)); \
  } while (false)

inline QByteArray Json(const sConfiguration& configuration) {
  return QJsonDocument(configjson::Encode(configuration)).toJson(QJsonDocument::Compact);
}

inline bool WriteFile(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// The commands after which a simulated processor holds what recalling
// `path` sends (empty: what a freshly started program sends), computed by
// the program's units as orvel-devsim --state does. No object network may
// run yet.
inline std::vector<devsim::sDevicePacket> DeviceHolding(const QString& path) {
  std::vector<sDeviceCommand> commands;
  QString error;
  if (!DeviceStateCommands(path, commands, error)) {
    QTest::qFail(qPrintable("no device state: " + error), __FILE__, __LINE__);
    return {};
  }
  std::vector<devsim::sDevicePacket> packets;
  for (const sDeviceCommand& command : commands) packets.push_back({command.mType, command.mPayload});
  return packets;
}

// What each screen test starts and ends with: no device ports listed, a
// folder of its own for simulators and files, and Qt's warnings captured
// (the offscreen platform's note whenever a dialog window is sized is
// expected). Made in init(); its warnings checked in cleanup().
class cScreenTestScope {
 public:
  cScreenTestScope() {
    qunsetenv("ORVEL_SERIAL_PORTS");
    mWarnings.Expect("This plugin does not support propagateSizeHints");
    Defaults();
  }

  bool Valid() const { return mFolder.isValid(); }
  QString FilePath(const QString& name) const { return mFolder.filePath(name); }
  QStringList UnexpectedWarnings() { return mWarnings.Unexpected(); }
  // A warning the test's screens may give.
  void ExpectWarning(const QString& pattern) { mWarnings.Expect(pattern); }

  // A simulated processor whose port is this folder's `name`. It holds
  // `holding`, or by default what a freshly started program sends, as a
  // processor that was set up by the program earlier.
  std::unique_ptr<devsim::cDeviceSimulator> Simulator(
      const QString& name, devsim::sFaultModes faults = {},
      const std::vector<devsim::sDevicePacket>* holding = nullptr) const {
    devsim::sSimulatorOptions options;
    options.mLinkPath = FilePath(name).toStdString();
    options.mFaults = faults;
    options.mInitialCommands = holding != nullptr ? *holding : Defaults();
    return StartSimulator(options);
  }
  // The same, listed as the only device port.
  std::unique_ptr<devsim::cDeviceSimulator> OnlyDevice(
      const QString& name = QStringLiteral("ttyORV0"), devsim::sFaultModes faults = {},
      const std::vector<devsim::sDevicePacket>* holding = nullptr) const {
    auto device = Simulator(name, faults, holding);
    if (device) UseDevicePorts({QString::fromStdString(device->DevicePath())});
    return device;
  }
  // The only device port, a processor holding `held` as orvel-devsim
  // --state with a file of it does. Before the test builds its program.
  std::unique_ptr<devsim::cDeviceSimulator> OnlyDeviceHolding(const sConfiguration& held,
                                                              devsim::sFaultModes faults = {}) const {
    const QString file = FilePath("held.cfg");
    if (SavedConfiguration(held, file).isEmpty()) return nullptr;
    const std::vector<devsim::sDevicePacket> holding = DeviceHolding(file);
    return OnlyDevice(QStringLiteral("ttyORV0"), faults, &holding);
  }
  // Made on first use, which is in init(), before any test builds a program.
  static const std::vector<devsim::sDevicePacket>& Defaults() {
    static const std::vector<devsim::sDevicePacket> defaults = DeviceHolding(QString());
    return defaults;
  }

 private:
  QTemporaryDir mFolder;
  cQtWarningCapture mWarnings;
};

// init() and cleanup() of a screen test: a new scope, then its end, which
// fails the test on any warning it did not expect.
inline void BeginScreenTest(std::unique_ptr<cScreenTestScope>& scope) {
  scope = std::make_unique<cScreenTestScope>();
  QVERIFY(scope->Valid());
}
inline void EndScreenTest(std::unique_ptr<cScreenTestScope>& scope) {
  const QStringList warnings = scope->UnexpectedWarnings();
  scope.reset();
  QVERIFY2(warnings.isEmpty(), qPrintable(warnings.join('\n')));
}

// What `read` returns, read under the registry lock the dispatch thread
// holds while it delivers.
template <typename tRead>
auto Locked(tRead read) {
  cRegistryLocker lock;
  return read();
}
