// orvel-loader as a process: its start and orderly end, the single-instance
// rule, the information options, and its object network reached from
// outside with orvel-cli remote while it drives the simulated processor.

#include <QDir>
#include <QFileInfo>
#include <QtTest>

#include "DevSim/SimFixture.h"
#include "LoaderProcess.h"
#include "OrvelGUI/Config/DeviceState.h"
#include "OrvelGUI/Core/AppPaths.h"
#include "Tools/CliSupport.h"

namespace {

const QString kStorage = QStringLiteral("Tessmark/OrvelGUI-V1.00/AppData/NonVolatile/NonVolatileRamFile");
const QByteArray kRefusal = "An instance of Orvel Loader is already running.";

sRun Remote(quint16 port, const QStringList& arguments) {
  return RunCli(QStringList{"remote", QString("127.0.0.1:%1").arg(port)} + arguments, QString());
}

// Lines Qt writes when a signal cannot be delivered or a binding breaks.
bool HasQtWarnings(const QByteArray& output) {
  return output.contains("QObject::") || output.contains("QML") || output.contains("qrc:/") || output.contains("ERROR");
}

}  // namespace

class tst_Program : public QObject {
  Q_OBJECT

 private slots:
  void informationOptions_data() {
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("expected");
    QTest::newRow("version") << "--version"
                             << "Orvel Loader V1.00\n";
    QTest::newRow("help") << "--help"
                          << "ORVEL_NETWORK_PORT";
  }
  // They print and end without starting anything: no storage file, and a
  // running copy does not refuse them.
  void informationOptions() {
    QFETCH(QString, option);
    QFETCH(QString, expected);
    sLoaderPlace place;
    cLoaderProcess running(place);
    QVERIFY(running.WaitForOutput("Booted in: "));
    sLoaderPlace elsewhere;
    for (const sLoaderPlace* where : {&place, &elsewhere}) {
      cLoaderProcess info(*where, {option});
      QCOMPARE(info.WaitForExit(), 0);
      const QString output = QString::fromLocal8Bit(info.Output());
      QVERIFY2(output.contains(expected), qPrintable(output));
      QVERIFY2(!output.contains("OrvelGUI Main") && !output.contains(kRefusal), qPrintable(output));
    }
    QVERIFY(!QFileInfo::exists(elsewhere.mHome.filePath(kStorage)));
  }

  // Runs until SIGTERM or SIGINT, then shuts down in order.
  void startAndOrderlyEnd_data() {
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
  }
  void startAndOrderlyEnd() {
    QFETCH(int, signalNumber);
    sLoaderPlace place;
    cLoaderProcess loader(place);
    QVERIFY(loader.WaitForOutput("First frame in: "));
    QCOMPARE(QFileInfo(place.mHome.filePath(kStorage)).size(), qint64(0x200000));
    QVERIFY(loader.Signal(signalNumber));
    QCOMPARE(loader.WaitForExit(), 0);
    const QByteArray output = loader.Output();
    QVERIFY2(output.startsWith("OrvelGUI Main\nBooted in: "), output.constData());
    QVERIFY2(QRegularExpression("\nBooted in: \\d+ms\nSystem Started - V1.00\n")
                 .match(QString::fromLocal8Bit(output))
                 .hasMatch(),
             output.constData());
    QVERIFY2(output.endsWith("cApplication destroyed\n"), output.constData());
    QVERIFY2(!HasQtWarnings(output), output.constData());
  }

  // The offscreen platform can make no OpenGL context, as on a machine
  // without a working driver: both programs draw with the software renderer,
  // say so once, and run and end as usual. A renderer chosen by the user is
  // kept without a word.
  void withoutOpenGLTheSoftwareRendererDraws_data() {
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("backend");
    QTest::addColumn<int>("notes");
    QTest::newRow("loader, no renderer chosen") << "orvel-loader"
                                                << "" << 1;
    QTest::newRow("editor, no renderer chosen") << "orvel-editor"
                                                << "" << 1;
    QTest::newRow("loader, software chosen") << "orvel-loader"
                                             << "software" << 0;
  }
  void withoutOpenGLTheSoftwareRendererDraws() {
    QFETCH(QString, program);
    QFETCH(QString, backend);
    QFETCH(int, notes);
    sLoaderPlace place;
    QProcessEnvironment environment;
    environment.insert("QT_QUICK_BACKEND", backend);
    cLoaderProcess running(place, {}, environment, program);
    QVERIFY2(running.WaitForOutput("First frame in: "), running.Output().constData());
    QVERIFY(running.Signal(SIGTERM));
    QCOMPARE(running.WaitForExit(), 0);
    const QByteArray output = running.Output();
    QCOMPARE(output.count("drawing with Qt Quick's software renderer"), notes);
    QVERIFY2(!output.contains("Failed to create OpenGL context"), output.constData());
    QVERIFY2(output.endsWith("cApplication destroyed\n"), output.constData());
  }

  // A second copy says so, shows its message box and ends with 0 once the
  // box is closed; the first goes on. A copy killed outright leaves its
  // guard behind, and that does not block the next start.
  void singleInstance() {
    sLoaderPlace place;
    cLoaderProcess first(place);
    QVERIFY(first.WaitForOutput("Booted in: "));

    QProcessEnvironment closeBox;
    closeBox.insert("ORVEL_TEST_CLOSE_DIALOG_MS", "200");
    cLoaderProcess second(place, {}, closeBox);
    QCOMPARE(second.WaitForExit(), 0);
    const QByteArray refused = second.Output();
    QVERIFY2(refused.startsWith(kRefusal + "\n"), refused.constData());
    QVERIFY2(refused.contains("Closing the message box: Orvel Loader is already running. Only one instance can run "
                              "at once.\n"),
             refused.constData());
    QVERIFY2(!refused.contains("OrvelGUI Main"), refused.constData());
    QVERIFY(first.IsRunning());

    QVERIFY(first.Signal(SIGKILL));
    QCOMPARE(first.WaitForExit(), -1);
    cLoaderProcess next(place);
    QVERIFY2(next.WaitForOutput("Booted in: "), next.Output().constData());
    QVERIFY(!next.Output().contains(kRefusal));
    QVERIFY(next.Signal(SIGTERM));
    QCOMPARE(next.WaitForExit(), 0);
    QVERIFY(next.Output().endsWith("cApplication destroyed\n"));
  }

  // The editor is the same program with its own screen: the same start and
  // orderly end (with every panel backend made and linked, and no warning
  // from its screen), the same information options, and one single-instance
  // rule with the loader, either way round.
  void editorProgram() {
    sLoaderPlace place;
    {
      cLoaderProcess help(place, {"--help"}, {}, "orvel-editor");
      QCOMPARE(help.WaitForExit(), 0);
      QVERIFY2(help.Output().startsWith("Usage: orvel-editor [--help | --version]"), help.Output().constData());
    }
    QProcessEnvironment closeBox;
    closeBox.insert("ORVEL_TEST_CLOSE_DIALOG_MS", "200");
    cLoaderProcess editor(place, {}, {}, "orvel-editor");
    QVERIFY(editor.WaitForOutput("First frame in: "));
    cLoaderProcess loader(place, {}, closeBox);
    QCOMPARE(loader.WaitForExit(), 0);
    QVERIFY2(loader.Output().startsWith(kRefusal + "\n"), loader.Output().constData());
    QVERIFY(editor.Signal(SIGTERM));
    QCOMPARE(editor.WaitForExit(), 0);
    const QByteArray output = editor.Output();
    QVERIFY2(output.startsWith("OrvelGUI Main\nBooted in: ") && output.endsWith("cApplication destroyed\n"),
             output.constData());
    QVERIFY2(!HasQtWarnings(output), output.constData());

    cLoaderProcess first(place);
    QVERIFY(first.WaitForOutput("Booted in: "));
    cLoaderProcess refused(place, {}, closeBox, "orvel-editor");
    QCOMPARE(refused.WaitForExit(), 0);
    QVERIFY2(refused.Output().startsWith(kRefusal + "\n"), refused.Output().constData());
    QVERIFY(first.Signal(SIGTERM));
    QCOMPARE(first.WaitForExit(), 0);
  }

  // A copy killed outright whose guard file was then cleared away with the
  // temporary folder's other files leaves a segment that only a new guard
  // file with the old one's identity finds (the file system hands out the
  // freed identity again); that must not block the next start either.
  void startsAfterTheGuardFileWasClearedAway() {
    sLoaderPlace place;
    for (int round = 0; round < 4; ++round) {
      {
        cLoaderProcess killed(place);
        QVERIFY(killed.WaitForOutput("Booted in: "));
        QVERIFY(killed.Signal(SIGKILL));
        QCOMPARE(killed.WaitForExit(), -1);
      }
      for (const QString& file : QDir(place.mTemp.path()).entryList({"qipc_*"}, QDir::Files)) {
        QVERIFY(QFile::remove(place.mTemp.filePath(file)));
      }
      cLoaderProcess next(place);
      QVERIFY2(next.WaitForOutput("Booted in: "), next.Output().constData());
      QVERIFY(next.Signal(SIGTERM));
      QVERIFY2(next.WaitForExit() == 0, next.Output().constData());
    }
  }

  // Another program reaches the running loader's object network: it
  // connects the loader to the processor through the connect driver, sets
  // the Low panel's left strip gain, which reaches the processor as a strip
  // packet, and watches that strip's meter level fall with it.
  void remoteControl() {
    QTemporaryDir folder;
    devsim::sSimulatorOptions simulatorOptions;
    simulatorOptions.mLinkPath = folder.filePath("ttyORV0").toStdString();
    // A processor set up as a fresh program sets it, which the connect reads
    // back: the strips are not at 0 dB yet.
    std::vector<sDeviceCommand> setUp;
    QString error;
    QVERIFY2(DeviceStateCommands(QString(), setUp, error), qPrintable(error));
    for (const sDeviceCommand& command : setUp)
      simulatorOptions.mInitialCommands.push_back({command.mType, command.mPayload});
    auto device = StartSimulator(simulatorOptions);
    QVERIFY(device);
    sLoaderPlace place;
    QProcessEnvironment ports;
    ports.insert("ORVEL_SERIAL_PORTS", QString::fromStdString(device->DevicePath()));
    cLoaderProcess loader(place, {}, ports);
    const quint16 port = loader.NetworkPort();
    QVERIFY2(port != 0, loader.Output().constData());

    // Connect flag 1 and the port's name, NUL-terminated.
    const QString connect = "01" + QString::fromLatin1(QByteArray("ttyORV0").toHex()) + "00";
    sRun run = Remote(port, {"set", "Serial Connection Driver NetObject", "0", connect});
    QVERIFY2(run.mExit == 0, qPrintable(run.mErr));
    QTRY_VERIFY_WITH_TIMEOUT(ReceivedTypes(*device).startsWith("0"), 10000);
    // The loader reads the processor back first; changes are taken once the
    // link is connected (state 2).
    QTRY_VERIFY_WITH_TIMEOUT(Remote(port, {"get", "Serial Connection Driver NetObject", "3"}).mOut.startsWith("02"),
                             10000);

    // A signal through both inputs at 0 dB, the Low panel's left output at
    // 0 dB, then at -6 dB.
    const char* const strip = "InOutFader:L Control Strip Unit1";
    device->ClearReceived();
    for (const char* name : {"InOutFader:Input L Control Strip Unit", "InOutFader:Input R Control Strip Unit", strip}) {
      run = Remote(port, {"set", name, "2", "0dB"});
      QVERIFY2(run.mExit == 0, qPrintable(run.mErr));
    }
    QTRY_VERIFY_WITH_TIMEOUT(ReceivedTypes(*device).split(',').count("6") >= 3, 10000);
    QVERIFY(AwaitMetersAfterNow(*device));
    const double atZero = PeakMeterDb(port);
    QVERIFY2(atZero > -40.0, qPrintable(QString::number(atZero)));

    device->ClearReceived();
    run = Remote(port, {"set", strip, "2", "-6dB"});
    QVERIFY2(run.mExit == 0, qPrintable(run.mErr));
    run = Remote(port, {"get", strip, "2"});
    QCOMPARE(run.mOut, QString("7a00  -6.00 dB\n"));
    // The processor takes the gain in 1/256 dB: -6 dB is 0xFA00.
    QTRY_VERIFY_WITH_TIMEOUT(ReceivedTypes(*device).split(',').contains("6"), 10000);
    QCOMPARE(device->Model().Strips()[2].mGainWord, quint16(0xFA00));
    QVERIFY(AwaitMetersAfterNow(*device));
    const double atMinusSix = PeakMeterDb(port);
    QVERIFY2(std::abs(atMinusSix - (atZero - 6.0)) < 0.5,
             qPrintable(QString("%1 dB, then %2 dB").arg(atZero).arg(atMinusSix)));

    QVERIFY(loader.Signal(SIGTERM));
    QCOMPARE(loader.WaitForExit(), 0);
    QVERIFY2(!HasQtWarnings(loader.Output()), loader.Output().constData());
  }

 private:
  // Unwatched, the program asks for meters only every half second or so:
  // once the device has been asked twice from now, the program holds a
  // reading the device took after whatever it was sent before.
  static bool AwaitMetersAfterNow(devsim::cDeviceSimulator& device) {
    device.ClearReceived();
    return QTest::qWaitFor([&] { return ReceivedTypes(device).split(',').count("4") >= 2; }, 5000);
  }

  // The highest level the Low panel's left meter shows over 2 s (the
  // simulated source breathes by about 1.4 dB, several times a second).
  static double PeakMeterDb(quint16 port) {
    const sRun run = Remote(port, {"watch", "Metering Sources NetObject", "4099", "--seconds", "2"});
    double peak = -1000.0;
    for (const QString& line : run.mOut.split('\n', Qt::SkipEmptyParts)) {
      bool ok = false;
      const double db = line.section("  ", 1).section(' ', 0, 0).toDouble(&ok);  // "91f0  -0.06 dB"
      if (ok) peak = std::max(peak, db);
    }
    return peak;
  }
};

QTEST_GUILESS_MAIN(tst_Program)
#include "tst_Program.moc"
