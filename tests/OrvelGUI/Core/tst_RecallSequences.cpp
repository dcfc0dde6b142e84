// Recalls one after another, with the dispatch and tick threads running and
// the simulated processor connected, as the loader's Recall button makes
// them: after each, every unit, the processor and the next save hold what the
// last file holds. Damaged and impossible files are refused whole.

#include <QJsonDocument>
#include <QTemporaryDir>
#include <QtTest>

#include "AudioRig.h"
#include "Common/FileSupport.h"
#include "DeviceHolds.h"
#include "EWNet/Core/RegRoutr.h"
#include "OrvelGUI/Config/ConfigJson.h"
#include "OrvelGUI/Config/Configuration.h"
#include "OrvelGUI/Config/StandaloneAssembly.h"
#include "OrvelGUI/Core/Plausibility.h"
#include "OrvelGUI/Core/SavesManager.h"
#include "TestSupport.h"
#include "Tools/ConfigFiles.h"

namespace {

constexpr int kTimeoutMs = 10000;

QByteArray Json(const sConfiguration& configuration) {
  return QJsonDocument(configjson::Encode(configuration)).toJson(QJsonDocument::Compact);
}

// A file holding exactly `c`, whatever the program would make of it: the
// frame around the units' blocks, enciphered.
bool WriteFrame(const sConfiguration& c, const QString& path) {
  const QString plain = path + ".plain";
  return WriteAll(plain, QByteArray::fromHex("885b03") + ConfigurationBlocks(c) + QByteArray::fromHex("c2ba")) &&
         cSavesManager::CipherFile(plain, path, true);
}

// The right equaliser of a ganged panel follows the left one in what the
// gang links; the rest stays the right one's own.
sConfiguration AsRecalled(sConfiguration c) {
  for (sPanelConfiguration& panel : c.mPanels) {
    if (!panel.mGang) continue;
    const sEQConfiguration& left = panel.mEQ[0];
    sEQConfiguration& right = panel.mEQ[1];
    right.mBypass = left.mBypass;
    for (std::size_t b = 0; b < left.mBands.size(); ++b) {
      const sBandConfiguration& l = left.mBands[b];
      sBandConfiguration& r = right.mBands[b];
      r.mFrequency = l.mFrequency;
      r.mWidth = l.mWidth;
      r.mGain = l.mGain;
      r.mBypass = l.mBypass;
      if (b == 0 || b + 1 == left.mBands.size()) r.mType = l.mType;
    }
  }
  return c;
}

// Left and right equalisers of every panel set to different bands.
sConfiguration Variant(const sConfiguration& base, int seed, bool gang) {
  sConfiguration c = base;
  for (sPanelConfiguration& panel : c.mPanels) {
    panel.mGang = gang;
    for (int side = 0; side < 2; ++side) {
      sEQConfiguration& eq = panel.mEQ[std::size_t(side)];
      eq.mBypass = false;
      for (std::size_t b = 0; b < eq.mBands.size(); ++b) {
        const ULONG type = b == 0 && seed % 2 == 1 ? nPEQ::LFSHELF : nPEQ::BELL;
        eq.mBands[b] = {UWORD(20000 + 2500 * b + 300 * seed + 97 * side),
                        UWORD((10 + seed + side) << 8),
                        GAIN(256 * (seed % 5) - 512 + 128 * side + 64 * int(b)),
                        type,
                        UBYTE(side),
                        b == 2 && side};
      }
    }
  }
  c.mStrips[3].mGain = GAIN(-256 * seed);
  return c;
}

struct sFile {
  QString mPath;
  sConfiguration mExpected;
};

// The program's objects connected to a simulated processor, with the
// dispatch and tick threads running.
class cRunningProgram {
 public:
  cRunningProgram() : mDevice(StartSimulator()) {
    if (mDevice) UseDevicePorts({QString::fromStdString(mDevice->DevicePath())});
    mAssembly = std::make_unique<cStandaloneAssembly>(false);
  }
  cApplicationCore& Core() { return mAssembly->Core(); }
  bool Connect() {
    // The port list is read before the tick thread uses the port.
    if (!mDevice || Link().GetPortNames().isEmpty()) return false;
    Core().Start();
    Link().RequestConnection(true, QString());
    // A recall overwrites everything: the read-back is not adopted.
    return Core().CompleteConnection(kTimeoutMs, false);
  }
  bool Disconnect() {
    Link().RequestConnection(false, QString());
    return Await(cSerialInterface::DISCONNECTED);
  }

  std::unique_ptr<devsim::cDeviceSimulator> mDevice;

 private:
  cSerialInterface& Link() { return *Core().GetSerialInterface(); }
  bool Await(cSerialInterface::LinkState state) {
    return TickUntil([] {}, [&] { return Link().GetState() == state; }, kTimeoutMs);
  }

  std::unique_ptr<cStandaloneAssembly> mAssembly;
};

}  // namespace

class tst_RecallSequences : public QObject {
  Q_OBJECT

 private slots:
  void init() { qunsetenv("ORVEL_SERIAL_PORTS"); }

  void gangedAndUngangedRecalls() {
    QTemporaryDir dir;
    const sConfiguration base = FreshConfiguration();
    // Program-written ganged and unganged files, and a ganged one written
    // elsewhere whose right blocks differ from the left ones.
    std::vector<sFile> files;
    for (int seed = 1; seed <= 4; ++seed) {
      const bool gang = seed % 2 == 1;
      sConfiguration c = Variant(base, seed, gang);
      if (seed == 1) c = AsRecalled(c);
      const QString path = dir.filePath(QString("file%1.cfg").arg(seed));
      QVERIFY(WriteFrame(c, path));
      files.push_back({path, AsRecalled(c)});
    }
    cRunningProgram program;
    QVERIFY(program.Connect());
    cApplicationCore& core = program.Core();
    devsim::cDeviceSimulator* device = program.mDevice.get();
    QVERIFY(core.WaitUntilAllSent(kTimeoutMs));
    cReportCapture reports;

    // Indices into `files`; a negative entry recalls the next two without
    // waiting in between, while the first one's links are still being made.
    const int sequence[] = {0, 1, 2, 1, 3, 0, 3, 2, 0, -1, 1, -2, 0, -3, 2, 3};
    for (std::size_t step = 0; step < sizeof sequence / sizeof sequence[0]; ++step) {
      const int entry = sequence[step];
      if (entry < 0) {
        QVERIFY(core.RecallConfiguration(files[std::size_t(-entry - 1)].mPath, kTimeoutMs));
        continue;
      }
      const sFile& file = files[std::size_t(entry)];
      const QString where = QString("step %1, file %2").arg(step).arg(entry + 1);
      QVERIFY2(core.RecallConfiguration(file.mPath, kTimeoutMs), qPrintable(where));
      QVERIFY2(core.WaitUntilAllSent(kTimeoutMs), qPrintable(where));
      QVERIFY2(Json(ReadConfiguration(core)) == Json(file.mExpected), qPrintable(where));
      // Written is not yet read: the simulator takes the last packets from
      // the line on its own thread.
      QStringList differences;
      const bool holds = TickUntil([] {},
                                   [&] {
                                     cRegistryLocker lock;
                                     differences = DeviceDifferences(core, device->Model());
                                     return differences.isEmpty();
                                   },
                                   kTimeoutMs);
      QVERIFY2(holds, qPrintable(where + ": " + differences.join(", ")));
      const QString saved = dir.filePath(QString("saved%1.cfg").arg(step));
      QVERIFY2(core.SaveConfiguration(saved, kTimeoutMs), qPrintable(where));
      const QString plain = saved + ".plain";
      QVERIFY(cSavesManager::CipherFile(saved, plain, false));
      const QByteArray frame =
          QByteArray::fromHex("885b03") + ConfigurationBlocks(file.mExpected) + QByteArray::fromHex("c2ba");
      QVERIFY2(ReadAll(plain) == ZeroPadded(frame), qPrintable(where));
    }
    QVERIFY2(!reports.Contains("ERROR"), qPrintable(reports.Dump()));
    QVERIFY(program.Disconnect());
  }

  // A file with a value the processor cannot realise is refused whole while
  // the program runs: the units keep what they hold, the processor receives
  // nothing, and the report names the unit and the value.
  void impossibleFileRefusedWhole() {
    QTemporaryDir dir;
    const sConfiguration base = FreshConfiguration();
    const QString good = dir.filePath("good.cfg");
    QVERIFY(WriteFrame(Variant(base, 2, false), good));
    struct sCase {
      const char* mReport;
      std::function<void(sConfiguration&)> mDamage;
    };
    const sCase cases[] = {
        {"Mid EQ left band 3: gain +86.0 dB is outside -15 .. +15 dB",
         [](sConfiguration& c) { c.mPanels[1].mEQ[0].mBands[2].mGain = 86 * 256; }},
        {"Low EQ right band 1: type 1238110131 is not a band type (0 .. 7)",
         [](sConfiguration& c) { c.mPanels[0].mEQ[1].mBands[0].mType = 1238110131; }},
        {"High high-pass (24dB Butterworth): frequency 50.00 kHz is outside",
         [](sConfiguration& c) {
           c.mPanels[2].mHighPass = {UWORD(std::lround(4608 * std::log2(50000.0 / 4))), 2, false};
         }},
        {"Output 2 L fader: gain +20.000 dB is above the processor's full scale",
         [](sConfiguration& c) { c.mStrips[4].mGain = 20 * 256; }},
        {"High EQ left band 6: type NOTCH has no design on the processor",
         [](sConfiguration& c) { c.mPanels[2].mEQ[0].mBands[5].mType = nPEQ::NOTCH; }},
    };
    cRunningProgram program;
    QVERIFY(program.Connect());
    cApplicationCore& core = program.Core();
    devsim::cDeviceSimulator* device = program.mDevice.get();
    QVERIFY(core.RecallConfiguration(good, kTimeoutMs));
    QVERIFY(core.WaitUntilAllSent(kTimeoutMs));
    const QByteArray before = Json(ReadConfiguration(core));
    for (const sCase& c : cases) {
      sConfiguration damaged = Variant(base, 3, true);
      c.mDamage(damaged);
      const QString path = dir.filePath("damaged.cfg");
      QVERIFY(WriteFrame(damaged, path));
      cReportCapture reports;
      device->ClearReceived();
      QVERIFY(!core.RecallConfiguration(path, kTimeoutMs));
      const std::uint64_t ticks = core.GetTickCount();
      QVERIFY(core.WaitUntilAllSent(kTimeoutMs));
      QVERIFY(TickUntil([] {}, [&] { return core.GetTickCount() >= ticks + 3; }));
      QCOMPARE(device->ReceivedCount(), std::size_t(0));
      QCOMPARE(Json(ReadConfiguration(core)), before);
      QVERIFY2(reports.Contains(c.mReport), qPrintable(reports.Dump()));
      QVERIFY2(reports.Contains("Save file refused: nothing of it was applied"), qPrintable(reports.Dump()));
    }
    QVERIFY(program.Disconnect());
  }

  // One flipped bit anywhere in a file the program wrote: the recall is
  // either refused with nothing changed, or what it applies is realisable.
  void flippedBits() {
    QTemporaryDir dir;
    QRandomGenerator random(7);
    const QString original = dir.filePath("original.cfg");
    QVERIFY(SaveThroughProgram(RandomConfiguration(random), original));
    const QByteArray bytes = FileBytes(original);
    cStandaloneAssembly a(false);
    cReportCapture reports;
    int refused = 0;
    for (int i = 0; i < 48; ++i) {
      const int at = random.bounded(bytes.size());
      QByteArray damaged = bytes;
      damaged[at] = char(damaged[at] ^ (1 << random.bounded(8)));
      const QString path = dir.filePath("flipped.cfg");
      QVERIFY(WriteAll(path, damaged));
      const QByteArray before = Json(ReadConfiguration(a.Core()));
      if (!a.Core().RecallConfiguration(path, kTimeoutMs)) {
        ++refused;
        QCOMPARE(Json(ReadConfiguration(a.Core())), before);
        continue;
      }
      const sConfiguration now = ReadConfiguration(a.Core());
      for (int p = 0; p < 3; ++p) {
        for (const sEQConfiguration& eq : now.mPanels[std::size_t(p)].mEQ) {
          for (std::size_t b = 0; b < eq.mBands.size(); ++b)
            QVERIFY(plausibility::CheckBand("x", int(b), eq.mBands[b]).empty());
        }
      }
      for (const sStripConfiguration& s : now.mStrips) QVERIFY(plausibility::CheckStripGain("x", s.mGain).empty());
    }
    // An enciphered block turns to noise when one of its bits flips.
    QVERIFY2(refused > 40, qPrintable(QString::number(refused)));
  }
};

QTEST_GUILESS_MAIN(tst_RecallSequences)
#include "tst_RecallSequences.moc"
