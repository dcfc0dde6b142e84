// orvel-cli export --format camilladsp and rew: what other tools load
// describes what the processor runs, checked by an independent computation
// (tests/Tools/check_camilladsp.py) against what the simulator was sent.

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include "Tools/ExternalCheck.h"
#include "Tools/MadeConfigurations.h"

class tst_cli_exports : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { QVERIFY(mDir.isValid()); }

  void camillaDspConfigurationRunsAsTheProcessor_data() {
    QTest::addColumn<QString>("file");
    const QString examples = QStringLiteral(ORVEL_SOURCE_DIR) + "/examples/";
    QTest::newRow("80 Hz / 2.5 kHz example") << examples + "crossover-80Hz-2k5Hz.cfg";
    QTest::newRow("shaped example") << examples + "crossover-100Hz-3kHz-shaped.cfg";
    const std::pair<const char*, sConfiguration> made[] = {
        {"every kind", EveryKind()},
        {"High 18 dB Butterworth", HighSlopes(HPF_BUTTERWORTH_18_DB)},
        {"High 18 dB Bessel", HighSlopes(HPF_BESSEL_18_DB)},
        {"High 12 dB Butterworth", HighSlopes(HPF_BUTTERWORTH_12_DB)},
        {"crossover", Crossover()}};
    for (const auto& entry : made) {
      const QString file = mDir.filePath(QString(entry.first).replace(' ', '_') + ".cfg");
      QVERIFY(SaveThroughProgram(entry.second, file));
      QTest::newRow(entry.first) << file;
    }
  }

  void camillaDspConfigurationRunsAsTheProcessor() {
    QFETCH(QString, file);
    const QString log = mDir.filePath("camilla-wire.jsonl");
    QFile::remove(log);
    auto sim = StartDevSim({"--log", log});
    QVERIFY(sim);
    const sRun recall = RunCli({"recall", file}, sim->mPath);
    QVERIFY2(recall.mExit == 0, qPrintable(recall.mErr));
    const sRun exported = RunCli({"export", file, "--format", "camilladsp"}, QString());
    QVERIFY2(exported.mExit == 0, qPrintable(exported.mErr));
    const QString yaml = mDir.filePath("camilla.yml");
    QFile out(yaml);
    QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
    out.write(exported.mOut.toUtf8());
    out.close();
    const sRun check = RunChecker("check_camilladsp.py", {yaml, log});
    qInfo("%s", qPrintable(check.mOut.trimmed()));
    QVERIFY2(check.mExit == 0, qPrintable(check.mOut + check.mErr + "\n" + exported.mOut));
  }

  void camillaDspConfigurationNamesItsPlaceholders() {
    const QString file = mDir.filePath("every.cfg");
    QVERIFY(SaveThroughProgram(EveryKind(), file));
    const sRun run = RunCli({"export", file, "--format", "camilladsp"}, QString());
    QVERIFY2(run.mExit == 0, qPrintable(run.mErr));
    QVERIFY(run.mOut.contains("# Placeholders: replace the capture and playback devices"));
    // The High panel runs a whole 24 dB slope; the Mid panel only its first section.
    QVERIFY2(run.mOut.contains(QRegularExpression(
                 "  high_l_high_pass:\n    type: BiquadCombo\n    parameters:\n"
                 "      type: ButterworthHighpass\n      freq: 2(499|500)\\.\\d+\n      order: 4\n")),
             qPrintable(run.mOut));
    QVERIFY(run.mOut.contains("  mid_l_high_pass:\n    type: Biquad\n    parameters:\n      type: Highpass\n"));
    QVERIFY(run.mOut.contains("      q: 0.541196\n"));
    // Pipeline steps name their channels in lists (the mixer's sources keep "channel").
    QVERIFY(!run.mOut.contains("\n    channel:"));
    QCOMPARE(run.mOut.count("\n    channels: ["), 8);
    QCOMPARE(RunCli({"export", file, "--format", "camilladsp", "--panel", "high"}, QString()).mExit, 2);
  }

  void roomMeasurementTextHasOnlyFieldsItReads() {
    const QString file = mDir.filePath("every-rew.cfg");
    QVERIFY(SaveThroughProgram(HighSlopes(HPF_BESSEL_18_DB), file));
    const sRun run = RunCli({"export", file, "--format", "rew"}, QString());
    QVERIFY2(run.mExit == 0, qPrintable(run.mErr));
    static const QRegularExpression kLine(
        "^Filter \\d+: (ON|OFF) (PK Fc N Hz Gain N dB Q N|(LS|HS) 6dB Fc N Hz Gain N dB|(HP|LP|HP1|LP1) Fc N Hz|"
        "(HPQ|LPQ) Fc N Hz Q N|None)$");
    static const QRegularExpression kNumber("-?\\d+\\.\\d+");
    QStringList filterLines;
    for (const QString& line : run.mOut.split('\n')) {
      if (!line.startsWith("Filter ") || line == "Filter Settings file") continue;
      filterLines << line;
      QString shape = line;
      shape.replace(kNumber, "N");
      QVERIFY2(kLine.match(shape).hasMatch(), qPrintable(line));
    }
    // Six outputs: Low 2 bands + HP1 + LP1 (its 18 dB slopes run one section),
    // Mid 4 + HPQ + HP1 (Bessel), High 6 + HP1 + HPQ (Bessel).
    QCOMPARE(filterLines.size(), 2 * (4 + 6 + 8));
    QVERIFY(run.mOut.contains(": ON LS 6dB Fc "));
    QVERIFY(run.mOut.contains(": ON HS 6dB Fc "));
    // The High panel's Bessel slope: first order at f / 1.3227, then Q 0.691 at f / 1.4476.
    QCOMPARE(run.mOut.count(QRegularExpression("Filter 7: ON HP1 Fc 1360\\.\\d+ Hz\nFilter 8: ON HPQ Fc 1243\\.\\d+ Hz "
                                               "Q 0\\.691\n")),
             2);
  }

 private:
  QTemporaryDir mDir;
};

QTEST_MAIN(tst_cli_exports)
#include "tst_cli_exports.moc"
