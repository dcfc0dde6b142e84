// orvel-loader-headless, the loader without a display, as the run command
// starts it: the real program offscreen, connected by clicks to the
// simulated processor, a configuration recalled through the recall dialog,
// the lines the window shows printed, and pictures of the window saved.

#include <QImage>
#include <QtTest>
#include <algorithm>
#include <thread>

#include "DevSim/SimFixture.h"
#include "LoaderProcess.h"
#include "OrvelGUI/Config/Configuration.h"
#include "OrvelGUI/Config/StandaloneAssembly.h"

namespace {

struct sHeadlessRun {
  int mExit = -1;
  QStringList mLines;  // standard output
  QString mErrors;     // everything else the program wrote
};

sHeadlessRun RunHeadless(const sLoaderPlace& place, const QStringList& ports, const QStringList& arguments) {
  QProcess headless;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("HOME", place.mHome.path());
  environment.insert("TMPDIR", place.mTemp.path());
  environment.insert("XDG_RUNTIME_DIR", place.mTemp.path());
  environment.insert("ORVEL_NETWORK_PORT", "0");
  environment.insert("ORVEL_SERIAL_PORTS", ports.join(':'));
  environment.insert("LSAN_OPTIONS", environment.value("LSAN_OPTIONS") + ":print_suppressions=0");
  headless.setProcessEnvironment(environment);
  headless.start(QStringLiteral(ORVEL_BIN_DIR "/orvel-loader-headless"), arguments);
  sHeadlessRun run;
  if (!headless.waitForFinished(60000)) {
    headless.kill();
    headless.waitForFinished(5000);
  } else if (headless.exitStatus() == QProcess::NormalExit) {
    run.mExit = headless.exitCode();
  }
  run.mLines = QString::fromLocal8Bit(headless.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
  run.mErrors = QString::fromLocal8Bit(headless.readAllStandardError());
  return run;
}

bool IsLoaderPicture(const QString& path) { return QImage(path).size() == QSize(420, 300); }

}  // namespace

class tst_Headless : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir mFolder;
  sConfiguration mSaved;
  QString mGood;

 private slots:
  // A file the program writes itself, with every strip at its own gain.
  void initTestCase() {
    QVERIFY(mFolder.isValid());
    mGood = mFolder.filePath("crossover test.cfg");
    cStandaloneAssembly assembly;
    mSaved = ReadConfiguration(assembly.Core());
    for (std::size_t i = 0; i < mSaved.mStrips.size(); ++i) mSaved.mStrips[i].mGain = GAIN(-512 * int(i + 1));
    QVERIFY(ApplyConfiguration(assembly.Core(), mSaved));
    QVERIFY(assembly.Core().SaveConfiguration(mGood, 10000));
  }

  void connectAndRecall() {
    devsim::sSimulatorOptions options;
    options.mLinkPath = mFolder.filePath("ttyORV0").toStdString();
    auto device = StartSimulator(options);
    QVERIFY(device);
    sLoaderPlace place;
    const QString shots = place.mTemp.path();
    const QString final = mFolder.filePath("final.png");
    const sHeadlessRun run = RunHeadless(place, {QString::fromStdString(device->DevicePath())},
                                         {"--recall", mGood, "--shots", shots, "--screenshot", final});
    QVERIFY2(run.mExit == 0, qPrintable(run.mLines.join('\n') + '\n' + run.mErrors));
    // The state may show a moment before the version that goes with it, and
    // the states on the way to connected may pass quicker than a frame.
    QStringList shown = run.mLines.filter(QRegularExpression("^(Status:|Recall )"));
    for (const char* passing : {"Status: Connected, ", "Status: Attempting to connect", "Status: Port Open",
                                "Status: Getting Sync", "Status: Syncing"}) {
      shown.removeAll(passing);
    }
    QCOMPARE(shown,
             (QStringList{"Status: Not connected", "Status: Connected, V1.4", "Recall crossover test.cfg Successful"}));
    for (const char* name : {"loader-not-connected.png", "loader-connected.png", "loader-recall.png"}) {
      QVERIFY2(IsLoaderPicture(QDir(shots).filePath(name)), name);
    }
    QVERIFY(IsLoaderPicture(final));
    // Everything had reached the processor before the program ended.
    for (std::size_t i = 0; i < mSaved.mStrips.size(); ++i) {
      QCOMPARE(device->Model().Strips()[i].mGainWord, UWORD(mSaved.mStrips[i].mGain));
    }
  }

  // With two ports the popup offers both; the first is taken.
  void portPopup() {
    auto first = StartSimulator();
    auto second = StartSimulator();
    QVERIFY(first && second);
    sLoaderPlace place;
    const QString shots = place.mTemp.path();
    const sHeadlessRun run =
        RunHeadless(place, {QString::fromStdString(first->DevicePath()), QString::fromStdString(second->DevicePath())},
                    {"--shots", shots});
    QVERIFY2(run.mExit == 0, qPrintable(run.mLines.join('\n') + '\n' + run.mErrors));
    QVERIFY(run.mLines.contains("Status: Connected, V1.4"));
    QVERIFY(IsLoaderPicture(QDir(shots).filePath("loader-port-popup.png")));
    QVERIFY(first->ReceivedCount() > 0);
    QCOMPARE(second->ReceivedCount(), std::size_t(0));
  }

  // The processor hangs up in the middle of the recall: the window says the
  // recall failed and the link is lost, and the exit status says so too.
  void hangUpDuringTheRecall() {
    devsim::sSimulatorOptions options;
    options.mLinkPath = mFolder.filePath("ttyORVH").toStdString();
    auto device = StartSimulator(options);
    QVERIFY(device);
    sLoaderPlace place;
    // A few of the recall's packets arrive (it sends 50), then the line goes.
    std::thread arm([&device] {
      QElapsedTimer waited;
      waited.start();
      while (waited.elapsed() < 30000) {
        const std::vector<devsim::sWirePacket> received = device->Received();
        const bool recalling =
            std::any_of(received.begin(), received.end(), [](const devsim::sWirePacket& p) { return p.mType == 2; });
        if (recalling) {
          devsim::sFaultModes faults;
          faults.mHangUpAfter = int(received.size()) + 6;
          device->SetFaults(faults);
          return;
        }
        device->WaitForReceived(received.size() + 1, 100);
      }
    });
    const sHeadlessRun run = RunHeadless(place, {QString::fromStdString(device->DevicePath())}, {"--recall", mGood});
    arm.join();
    QCOMPARE(run.mExit, 1);
    QVERIFY(device->HasHungUp());
    QVERIFY2(run.mLines.contains("Recall crossover test.cfg Failed"), qPrintable(run.mLines.join('\n')));
    QVERIFY2(run.mLines.contains("Status: No Reply"), qPrintable(run.mLines.join('\n')));
    QVERIFY(!run.mLines.contains("Recall crossover test.cfg Successful"));
  }

  // What goes wrong is said, and the exit status tells.
  void failures() {
    auto device = StartSimulator();
    QVERIFY(device);
    const QString ports = QString::fromStdString(device->DevicePath());
    const QString damaged = mFolder.filePath("damaged.cfg");
    QFile file(damaged);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(QByteArray(64, 'x')) == 64);
    file.close();
    sLoaderPlace place;
    sHeadlessRun run = RunHeadless(place, {ports}, {"--recall", damaged});
    QCOMPARE(run.mExit, 1);
    QVERIFY2(run.mLines.contains("Recall damaged.cfg Failed"), qPrintable(run.mLines.join('\n')));

    run = RunHeadless(place, {}, {"--timeout-ms", "1500"});
    QCOMPARE(run.mExit, 1);
    QCOMPARE(run.mLines.value(0), QString("Status: No devices detected"));
    QVERIFY2(run.mErrors.contains("gave up waiting for the port list"), qPrintable(run.mErrors));

    // Refused while another copy runs, without a box that nobody could close.
    cLoaderProcess loader(place);
    QVERIFY(loader.WaitForOutput("Booted in: "));
    run = RunHeadless(place, {ports}, {});
    QCOMPARE(run.mExit, 1);
    QVERIFY(run.mErrors.contains("An instance of Orvel Loader is already running."));
  }
};

QTEST_GUILESS_MAIN(tst_Headless)
#include "tst_Headless.moc"
