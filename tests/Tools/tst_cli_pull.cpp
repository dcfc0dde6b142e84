// orvel-cli pull against orvel-devsim started from a configuration file: the
// pulled file holds what the processor holds, verify of it finds no
// difference, and nothing is written from a processor that stops answering
// or reports what it could not hold. The simulator keeps what it was sent
// between connections, as a powered processor does.

#include <QFileInfo>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QtTest>

#include "OrvelGUI/Config/ConfigJson.h"
#include "Tools/ConfigFiles.h"

namespace {

QByteArray Shown(const QString& file) {
  const sRun run = RunCli({"show", file, "--json"}, QString());
  return run.mExit == 0 ? run.mOut.toUtf8() : QByteArray("show failed: " + run.mErr.toUtf8());
}

QByteArray Json(const sConfiguration& configuration) {
  return QJsonDocument(configjson::Encode(configuration)).toJson(QJsonDocument::Indented);
}

}  // namespace

class tst_cli_pull : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QVERIFY(mDir.isValid());
    mDefaults = FreshConfiguration();
    QRandomGenerator random(4242);
    mHeld = ReadBackPart(RandomConfiguration(random), mDefaults);
    mHeldFile = mDir.filePath("held.cfg");
    QVERIFY(SaveThroughProgram(mHeld, mHeldFile));
  }

  // Pulled from a processor started with --state: show prints exactly the
  // file's settings, and verify of the pulled file finds no difference.
  void pullThenVerify() {
    auto sim = StartDevSim({"--state", mHeldFile});
    QVERIFY(sim);
    const QString out = mDir.filePath("pulled.cfg");
    const sRun pull = RunCli({"pull", out}, sim->mPath);
    QVERIFY2(pull.mExit == 0, qPrintable(pull.mOut + pull.mErr));
    QVERIFY(pull.mOut.startsWith("Pulled the processor's settings into pulled.cfg"));
    QVERIFY2(Shown(out) == Json(mHeld), qPrintable(JsonLinesDiffering(Shown(out), Json(mHeld))));
    const sRun verify = RunCli({"verify", out}, sim->mPath);
    QVERIFY2(verify.mExit == 0, qPrintable(verify.mOut + verify.mErr));
    QVERIFY(verify.mOut.startsWith("The device holds pulled.cfg"));
  }

  // Without --state the processor holds what a fresh program sends; what a
  // recall sends it keeps for the next connection.
  void keepsWhatItWasSentBetweenConnections() {
    auto sim = StartDevSim({});
    QVERIFY(sim);
    const QString fresh = mDir.filePath("fresh.cfg");
    QCOMPARE(RunCli({"pull", fresh}, sim->mPath).mExit, 0);
    QVERIFY2(Shown(fresh) == Json(mDefaults), qPrintable(JsonLinesDiffering(Shown(fresh), Json(mDefaults))));
    QCOMPARE(RunCli({"recall", mHeldFile}, sim->mPath).mExit, 0);
    const QString later = mDir.filePath("later.cfg");
    QCOMPARE(RunCli({"pull", later}, sim->mPath).mExit, 0);
    QVERIFY2(Shown(later) == Json(mHeld), qPrintable(JsonLinesDiffering(Shown(later), Json(mHeld))));
  }

  // Nothing is written, and an existing file stays as it was, when the
  // processor stops answering during the read-back or reports a value it
  // could not hold.
  void nothingWrittenFromABadReadBack_data() {
    QTest::addColumn<QStringList>("faults");
    QTest::addColumn<QString>("message");
    QTest::newRow("silent") << QStringList{"--silent-after", "2"}
                            << "The device stopped answering while its settings were read back";
    QTest::newRow("implausible") << QStringList{"--implausible-records"} << "not plausible";
  }
  void nothingWrittenFromABadReadBack() {
    QFETCH(QStringList, faults);
    QFETCH(QString, message);
    auto sim = StartDevSim(QStringList{"--state", mHeldFile} + faults);
    QVERIFY(sim);
    const QString out = mDir.filePath("kept.cfg");
    QFile::remove(out);
    QVERIFY(QFile::copy(mHeldFile, out));
    const QByteArray before = FileBytes(out);
    const sRun pull = RunCli({"pull", out}, sim->mPath);
    QCOMPARE(pull.mExit, 1);
    QVERIFY2(pull.mErr.contains(message), qPrintable(pull.mErr));
    QCOMPARE(FileBytes(out), before);
  }

  void usage() {
    QCOMPARE(RunCli({"pull"}, QString()).mExit, 2);
    QCOMPARE(RunCli({"pull", "a.cfg", "--port"}, QString()).mExit, 2);
    const sRun none = RunCli({"pull", mDir.filePath("none.cfg")}, mDir.filePath("ttyNONE"));
    QCOMPARE(none.mExit, 1);
    QVERIFY(!QFileInfo::exists(mDir.filePath("none.cfg")));
  }

 private:
  QTemporaryDir mDir;
  sConfiguration mDefaults;
  sConfiguration mHeld;
  QString mHeldFile;
};

QTEST_GUILESS_MAIN(tst_cli_pull)
#include "tst_cli_pull.moc"
