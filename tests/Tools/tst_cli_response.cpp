// orvel-cli response --sum: the electrical sum of a side's outputs, its phase
// and group delay, checked by an independent computation
// (tests/Tools/check_summed_response.py) from the integers the device gets.

#include <QImage>
#include <QTemporaryDir>
#include <QtTest>

#include "Tools/ExternalCheck.h"
#include "Tools/MadeConfigurations.h"

class tst_cli_response : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { QVERIFY(mDir.isValid()); }

  void summedResponseMatchesAnIndependentComputation_data() {
    QTest::addColumn<QString>("side");
    QTest::newRow("left") << "left";
    QTest::newRow("right") << "right";
  }

  void summedResponseMatchesAnIndependentComputation() {
    QFETCH(QString, side);
    const QString file = mDir.filePath("sum.cfg");
    QVERIFY(SaveThroughProgram(Crossover(), file));
    const QString log = mDir.filePath("sum-wire.jsonl");
    QFile::remove(log);
    auto sim = StartDevSim({"--log", log});
    QVERIFY(sim);
    QCOMPARE(RunCli({"recall", file}, sim->mPath).mExit, 0);
    const sRun biquads = RunCli({"biquads", file, "--json"}, QString());
    const sRun sum = RunCli({"response", file, "--sum", "--side", side, "--csv"}, QString());
    QVERIFY2(biquads.mExit == 0 && sum.mExit == 0, qPrintable(biquads.mErr + sum.mErr));
    QCOMPARE(sum.mOut.section('\n', 0, 0),
             QString("frequency_hz,Sum %1,Sum %1 phase_deg,Sum %1 group_delay_ms").arg(side.at(0).toUpper()));
    const QString biquadsFile = mDir.filePath("sum-biquads.json");
    const QString csvFile = mDir.filePath("sum.csv");
    for (const auto& [path, text] : {std::pair{biquadsFile, biquads.mOut}, std::pair{csvFile, sum.mOut}}) {
      QFile f(path);
      QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
      f.write(text.toUtf8());
    }
    const sRun check = RunChecker("check_summed_response.py", {biquadsFile, log, csvFile});
    qInfo("%s", qPrintable(check.mOut.trimmed()));
    QVERIFY2(check.mExit == 0, qPrintable(check.mOut + check.mErr));
  }

  void summedResponseTableAndChart() {
    const QString file = mDir.filePath("sum-table.cfg");
    QVERIFY(SaveThroughProgram(Crossover(), file));
    const sRun table = RunCli({"response", file, "--sum"}, QString());
    QVERIFY2(table.mExit == 0, qPrintable(table.mErr));
    QVERIFY(
        table.mOut.startsWith("      Hz    Sum L dB   Sum L deg    Sum L ms    Sum R dB   Sum R deg    Sum R ms\n"));
    const QString png = mDir.filePath("sum.png");
    QCOMPARE(RunCli({"response", file, "--sum", "--png", png}, QString()).mExit, 0);
    QImage image(png);
    QCOMPARE(image.size(), QSize(1200, 1000));
    QCOMPARE(RunCli({"response", file, "--sum", "--panel", "mid"}, QString()).mExit, 2);
    // A fresh configuration's faders are at -inf: its sum is silence.
    const QString fresh = mDir.filePath("fresh.cfg");
    QCOMPARE(RunCli({"defaults", fresh}, QString()).mExit, 0);
    const sRun silent = RunCli({"response", fresh, "--sum", "--side", "left", "--csv"}, QString());
    QCOMPARE(silent.mOut.section('\n', 1, 1), QString("10.000000,-inf,nan,nan"));
  }

 private:
  QTemporaryDir mDir;
};

QTEST_MAIN(tst_cli_response)
#include "tst_cli_response.moc"
