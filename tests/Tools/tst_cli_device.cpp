// orvel-cli's device commands against the orvel-devsim program, both run as
// the separate processes a user would start.

#include <signal.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "Tools/CliSupport.h"

class tst_cli_device : public QObject {
  Q_OBJECT

 private slots:
  void versionOfTheSimulator_data() {
    QTest::addColumn<QString>("firmware");
    QTest::addColumn<bool>("named");
    QTest::addColumn<QString>("expected");
    QTest::newRow("default firmware, first port") << QString() << false << "V1.4\n";
    QTest::newRow("other firmware, named port") << "3.12" << true << "V3.12\n";
  }
  void versionOfTheSimulator() {
    QFETCH(QString, firmware);
    QFETCH(bool, named);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString link = dir.filePath("ttyORV0");
    const QString log = dir.filePath("packets.jsonl");
    QStringList arguments{"--link", link, "--log", log};
    if (!firmware.isEmpty()) arguments << "--firmware" << firmware;
    auto sim = StartDevSim(arguments);
    QVERIFY(sim);
    QCOMPARE(sim->mPath, link);

    // A port listed first that does not exist must not be the one opened
    // when the simulator's port is named.
    const QString ports = named ? "/nonexistent-orvel-dir/ttyNONE:" + link : link;
    const sRun run = RunCli(named ? QStringList{"version", "--port", "ttyORV0"} : QStringList{"version"}, ports);
    QVERIFY2(run.mExit == 0, qPrintable(run.mErr));
    QCOMPARE(run.mOut, expected);

    // The packet log tells the whole conversation, one JSON object a line.
    QFile file(log);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QStringList seen;
    for (const QByteArray& line : file.readAll().split('\n')) {
      if (line.isEmpty()) continue;
      QJsonParseError error{};
      const QJsonObject object = QJsonDocument::fromJson(line, &error).object();
      QVERIFY2(error.error == QJsonParseError::NoError, line.constData());
      QVERIFY(object.contains("t") && object.contains("len") && object.contains("payload"));
      seen << object["dir"].toString() + QString::number(object["type"].toInt());
      if (object["dir"] == "tx" && object["type"].toInt() == 0) {
        QCOMPARE(object["fields"].toObject()["version"].toString() + "\n", expected);
      }
    }
    // The version, what the read-back of every connect got to ask and hear
    // before the disconnect, the disconnect; nothing written.
    QVERIFY2(seen.join(' ').contains(QRegularExpression("^rx0 tx0( (rx|tx)(7|9|3))* rx15$")),
             qPrintable(seen.join(' ')));

    sim->mProcess->terminate();
    int exitCode = -1;
    QVERIFY(WaitForExit(*sim->mProcess, exitCode));
    QCOMPARE(exitCode, 0);
    QVERIFY(!QFileInfo::exists(link));
  }

  void portsListed() {
    const sRun run = RunCli({"ports"}, "/tmp/none/ttyORV0::/dev/ttyORV9");
    QCOMPARE(run.mExit, 0);
    QVERIFY2(run.mOut.startsWith("ttyORV0\nttyORV9\n"), qPrintable(run.mOut));
  }

  // Ports whose names share more than the 7 characters an 8-byte slot
  // holds: ports lists each whole, and --port takes either that name or the
  // device path (here links, as a udev rule would make).
  void portsSharingALongPrefix() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString left = dir.filePath("ttyOrvelLeft");
    const QString right = dir.filePath("ttyOrvelRight");
    auto leftSim = StartDevSim({"--link", left, "--firmware", "1.1"});
    auto rightSim = StartDevSim({"--link", right, "--firmware", "2.2"});
    QVERIFY(leftSim && rightSim);
    const QString ports = left + ":" + right;
    const sRun list = RunCli({"ports"}, ports);
    QCOMPARE(list.mExit, 0);
    QVERIFY2(list.mOut.startsWith("ttyOrvelLeft\nttyOrvelRight\n"), qPrintable(list.mOut));
    const struct {
      QString mPort;
      QString mVersion;
    } choices[] = {{"ttyOrvelRight", "V2.2\n"},
                   {"ttyOrvelLeft", "V1.1\n"},
                   {right, "V2.2\n"},
                   {dir.path() + "/../" + QFileInfo(dir.path()).fileName() + "/ttyOrvelLeft", "V1.1\n"},
                   {QFileInfo(left).canonicalFilePath(), "V1.1\n"}};
    for (const auto& choice : choices) {
      const sRun run = RunCli({"version", "--port", choice.mPort}, ports);
      QVERIFY2(run.mExit == 0, qPrintable(choice.mPort + ": " + run.mErr));
      QCOMPARE(run.mOut, choice.mVersion);
    }
    // The name as the 8-byte slot cuts it fits both: neither is opened.
    const sRun cut = RunCli({"version", "--port", "ttyOrve"}, ports);
    QCOMPARE(cut.mExit, 1);
    QVERIFY2(cut.mErr.contains("shared by several ports"), qPrintable(cut.mErr));
  }

  void versionFailures_data() {
    QTest::addColumn<QString>("situation");
    QTest::addColumn<QString>("message");
    QTest::newRow("port does not exist") << "missing"
                                         << "Device connection failure.";
    QTest::newRow("named port not listed") << "unlisted"
                                           << "Device connection failure.";
    QTest::newRow("port held by another program") << "busy"
                                                  << "Device already in use.";
    QTest::newRow("device never answers") << "silent"
                                          << "Timeout occured. Please try again.";
    QTest::newRow("device hangs up") << "hangup"
                                     << "Device connection failure.";
  }
  void versionFailures() {
    QFETCH(QString, situation);
    QFETCH(QString, message);
    QStringList simArguments;
    if (situation == "silent") simArguments << "--no-reply";
    if (situation == "hangup")
      simArguments << "--hangup-after"
                   << "1";
    auto sim = StartDevSim(simArguments);
    QVERIFY(sim);
    QSerialPort holder(sim->mPath);
    if (situation == "busy") QVERIFY(holder.open(QIODevice::ReadWrite));
    const QString ports = situation == "missing" ? "/nonexistent-orvel-dir/ttyNONE" : sim->mPath;
    const QStringList arguments =
        situation == "unlisted" ? QStringList{"version", "--port", "ttyOTHER"} : QStringList{"version"};
    QElapsedTimer timer;
    timer.start();
    const sRun run = RunCli(arguments, ports);
    QVERIFY2(run.mExit == 1, qPrintable(run.mErr));
    QCOMPARE(run.mOut, QString());
    QVERIFY2(run.mErr.contains(message), qPrintable(run.mErr));
    QVERIFY(timer.elapsed() < 10000);
  }

  // Device commands name the port they use and why one did not open; the
  // link's notifications only with --verbose.
  void portNamedAndNotificationsOnlyWhenVerbose() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString link = dir.filePath("ttyORV3");
    auto sim = StartDevSim({"--link", link});
    QVERIFY(sim);
    const sRun quiet = RunCli({"version"}, link);
    QVERIFY2(quiet.mExit == 0, qPrintable(quiet.mErr));
    QCOMPARE(quiet.mErr, "Port ttyORV3 (" + link + "), the first listed port\n");
    const sRun verbose = RunCli({"--verbose", "version", "--port", "ttyORV3"}, link);
    QVERIFY2(verbose.mExit == 0, qPrintable(verbose.mErr));
    QVERIFY2(verbose.mErr.startsWith("Port ttyORV3 (" + link + "), named by --port\n"), qPrintable(verbose.mErr));
    QVERIFY2(verbose.mErr.contains("Notification: Succeeded opening port"), qPrintable(verbose.mErr));
    QCOMPARE(verbose.mOut, QString("V1.4\n"));

    const sRun json = RunCli({"version", "--json"}, link);
    QCOMPARE(json.mExit, 0);
    const QJsonObject version = QJsonDocument::fromJson(json.mOut.toUtf8()).object();
    QCOMPARE(version, (QJsonObject{{"version", "V1.4"}, {"port", "ttyORV3"}, {"path", link}}));
    const sRun ports = RunCli({"ports", "--json"}, "/nonexistent-orvel-dir/ttyNONE:" + link);
    QCOMPARE(ports.mExit, 0);
    const QJsonArray list = QJsonDocument::fromJson(ports.mOut.toUtf8()).object()["ports"].toArray();
    QCOMPARE(list.size(), 2);
    QCOMPARE(list[1].toObject(), (QJsonObject{{"name", "ttyORV3"}, {"path", link}, {"links", QJsonArray()}}));

    const sRun missing = RunCli({"version"}, "/nonexistent-orvel-dir/ttyNONE");
    QCOMPARE(missing.mExit, 1);
    QVERIFY2(
        missing.mErr.contains("Device connection failure. /nonexistent-orvel-dir/ttyNONE: No such file or directory"),
        qPrintable(missing.mErr));
    const sRun unlisted = RunCli({"recall", "nothing.cfg", "--port", "ttyOTHER"}, link);
    QCOMPARE(unlisted.mExit, 1);
    QVERIFY2(unlisted.mErr.contains("Device connection failure. \"ttyOTHER\" is not a listed port"),
             qPrintable(unlisted.mErr));
  }

  void simulatorProgram() {
    // Documented ways to end it.
    QProcess help;
    help.start(kBin + "/orvel-devsim", {"--help"});
    QVERIFY(help.waitForFinished(5000));
    const QString text = QString::fromLocal8Bit(help.readAllStandardOutput());
    for (const char* option :
         {"--link", "--firmware", "--log", "--no-reply", "--split-bytes", "--garbage", "--oversize", "--unknown-types",
          "--hangup-after", "--silent-after", "--exit-on-eof", "SIGTERM"}) {
      QVERIFY2(text.contains(option), option);
    }

    auto eof = StartDevSim({"--exit-on-eof"});
    QVERIFY(eof);
    QVERIFY(QFileInfo::exists(eof->mPath));
    eof->mProcess->closeWriteChannel();
    int exitCode = -1;
    QVERIFY(WaitForExit(*eof->mProcess, exitCode));
    QCOMPARE(exitCode, 0);

    auto interrupted = StartDevSim({});
    QVERIFY(interrupted);
    ::kill(pid_t(interrupted->mProcess->processId()), SIGINT);
    QVERIFY(WaitForExit(*interrupted->mProcess, exitCode));
    QCOMPARE(exitCode, 0);

    QProcess bad;
    bad.start(kBin + "/orvel-devsim", {"--firmware", "1.256"});
    QVERIFY(bad.waitForFinished(5000));
    QCOMPARE(bad.exitCode(), 1);
    QVERIFY(bad.readAllStandardOutput().isEmpty());
  }
};

QTEST_GUILESS_MAIN(tst_cli_device)
#include "tst_cli_device.moc"
