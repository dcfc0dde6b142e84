// orvel-cli ports with the stable names the package's udev rule makes,
// against the orvel-devsim program: its pseudo-terminal behind orvel-* links
// in a folder of the test's own (ORVEL_PORT_ALIAS_DIR stands in for /dev).

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include "Tools/CliSupport.h"

namespace {

sRun RunCliWithAliases(const QStringList& arguments, const QString& ports, const QString& aliasFolder) {
  QProcess cli;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("ORVEL_SERIAL_PORTS", ports);
  env.insert("ORVEL_PORT_ALIAS_DIR", aliasFolder);
  cli.setProcessEnvironment(env);
  cli.start(kBin + "/orvel-cli", arguments);
  return FinishCli(cli);
}

}  // namespace

class tst_cli_ports : public QObject {
  Q_OBJECT

  QTemporaryDir mDir;
  std::unique_ptr<sSimProcess> mSim;
  QString mAliases;

 private slots:
  void initTestCase() {
    QVERIFY(mDir.isValid());
    mSim = StartDevSim({});
    QVERIFY(mSim);
    QVERIFY2(mSim->mPath.startsWith("/dev/pts/"), qPrintable(mSim->mPath));
    mAliases = mDir.filePath("dev");
    QVERIFY(QDir().mkpath(mAliases));
    QVERIFY(QFile::link(mSim->mPath, mAliases + "/orvel-206C38A35748"));
    QVERIFY(QFile::link(mSim->mPath, mAliases + "/orvel-ttyACM0"));
    QVERIFY(QFile::link("/dev/null", mAliases + "/orvel-other"));
  }

  // Name first, then the links to the port, each after a tab: the first
  // field stays the name --port takes.
  void aliasesFollowTheName() {
    const sRun run = RunCliWithAliases({"ports"}, "/tmp/none/ttyORV9:" + mSim->mPath, mAliases);
    QVERIFY2(run.mExit == 0, qPrintable(run.mErr));
    const QString name = QFileInfo(mSim->mPath).fileName();
    QVERIFY2(run.mOut.startsWith("ttyORV9\n" + name + "\t" + mAliases + "/orvel-206C38A35748\t" + mAliases +
                                 "/orvel-ttyACM0\n"),
             qPrintable(run.mOut));
  }

  // A port given by its stable name is listed under it, without repeating
  // it as its own alias, and opens through the link.
  void portReachedThroughItsLink() {
    const QString link = mAliases + "/orvel-206C38A35748";
    const sRun ports = RunCliWithAliases({"ports"}, link, mAliases);
    QVERIFY2(ports.mExit == 0, qPrintable(ports.mErr));
    QVERIFY2(ports.mOut.startsWith("orvel-206C38A35748\t" + mAliases + "/orvel-ttyACM0\n"), qPrintable(ports.mOut));

    const sRun version = RunCliWithAliases({"version", "--port", "orvel-206C38A35748"}, link, mAliases);
    QVERIFY2(version.mExit == 0, qPrintable(version.mErr));
    QCOMPARE(version.mOut, QString("V1.4\n"));
  }

  // The tool's version is the programs' version, in the form GNU tools and
  // help2man read.
  void versionOfTheTool() {
    QProcess loader;
    loader.start(kBin + "/orvel-loader", {"--version"});
    QVERIFY(loader.waitForFinished(15000));
    QCOMPARE(ExitCodeOf(loader), 0);
    const QRegularExpressionMatch programs =
        QRegularExpression("^Orvel Loader V([0-9.]+)\n$").match(QString::fromLocal8Bit(loader.readAllStandardOutput()));
    QVERIFY(programs.hasMatch());

    const sRun run = RunCli({"--version"}, QString());
    QCOMPARE(run.mExit, 0);
    QCOMPARE(run.mOut, "orvel-cli " + programs.captured(1) + "\n");
    QCOMPARE(run.mErr, QString());
  }
};

QTEST_GUILESS_MAIN(tst_cli_ports)
#include "tst_cli_ports.moc"
