// orvel-cli diff: every value in which two configuration files differ, by
// unit and parameter in the units show prints, with diff(1)'s exit status.

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

#include "AES-Standards/Convert.h"
#include "Tools/ConfigFiles.h"

class tst_cli_diff : public QObject {
  Q_OBJECT

  QTemporaryDir mDir;
  sConfiguration mBase;
  QString mA;

 private slots:
  void initTestCase() {
    QVERIFY(mDir.isValid());
    QRandomGenerator random(4242);
    mBase = RandomConfiguration(random);
    mBase.mPanels[1].mGang = false;
    mA = mDir.filePath("a.cfg");
    QVERIFY(SaveThroughProgram(mBase, mA));
  }

  void sameFilesAreEqual() {
    const QString copy = mDir.filePath("copy.cfg");
    QVERIFY(QFile::copy(mA, copy));
    const sRun run = RunCli({"diff", mA, copy}, QString());
    QVERIFY2(run.mExit == 0, qPrintable(run.mErr));
    QCOMPARE(run.mOut, QString());
    const sRun json = RunCli({"diff", mA, copy, "--json"}, QString());
    QCOMPARE(json.mExit, 0);
    const QJsonObject result = QJsonDocument::fromJson(json.mOut.toUtf8()).object();
    QCOMPARE(result["same"].toBool(), true);
    QCOMPARE(result["differences"].toArray().size(), 0);
  }

  // Each changed value once, in show's words, and nothing else.
  void everyDifferingValueIsListed() {
    sConfiguration other = mBase;
    other.mStrips[6].mMute = !other.mStrips[6].mMute;
    other.mPanels[1].mHighPass.mFrequency = FrequencyToUWORD(100.0);
    other.mPanels[1].mEQ[1].mBands[2].mGain = GAIN(other.mPanels[1].mEQ[1].mBands[2].mGain == 256 ? 512 : 256);
    if (mBase.mPanels[1].mHighPass.mFrequency == other.mPanels[1].mHighPass.mFrequency)
      other.mPanels[1].mHighPass.mFrequency++;
    const QString b = mDir.filePath("b.cfg");
    QVERIFY(SaveThroughProgram(other, b));
    const sRun run = RunCli({"diff", mA, b}, QString());
    QCOMPARE(run.mExit, 1);
    QStringList lines = run.mOut.split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.takeLast(), QString("3 differences"));
    QCOMPARE(lines.size(), 3);
    const QString shownB = RunCli({"show", b}, QString()).mOut;
    QVERIFY2(lines[0].startsWith(mBase.mStrips[6].mName + " mute: a.cfg "), qPrintable(lines[0]));
    QVERIFY2(lines[1].startsWith("LMH 2:  HPF Unit frequency: a.cfg "), qPrintable(lines[1]));
    // The values as show prints them, codes in brackets.
    const QString bHighPass = lines[1].section("b.cfg ", 1);
    QVERIFY2(shownB.contains("LMH 2:  HPF Unit: " + bHighPass + ","), qPrintable(bHighPass));
    QVERIFY2(lines[2].startsWith("LMH 2: R Parametric EQ Unit band 3 gain: a.cfg "), qPrintable(lines[2]));
    QVERIFY2(lines[2].endsWith(QString(" dB (%1)").arg(other.mPanels[1].mEQ[1].mBands[2].mGain)), qPrintable(lines[2]));

    const sRun json = RunCli({"diff", mA, b, "--json"}, QString());
    QCOMPARE(json.mExit, 1);
    const QJsonObject result = QJsonDocument::fromJson(json.mOut.toUtf8()).object();
    QCOMPARE(result["same"].toBool(true), false);
    const QJsonArray differences = result["differences"].toArray();
    QCOMPARE(differences.size(), 3);
    QCOMPARE(differences[2].toObject()["unit"].toString(), QString("LMH 2: R Parametric EQ Unit band 3"));
    QCOMPARE(differences[2].toObject()["parameter"].toString(), QString("gain"));
    QCOMPARE(differences[1].toObject()["b"].toString(), bHighPass);
  }

  void troubleIsExitTwo() {
    QCOMPARE(RunCli({"diff", mA}, QString()).mExit, 2);
    const sRun missing = RunCli({"diff", mA, mDir.filePath("none.cfg")}, QString());
    QCOMPARE(missing.mExit, 2);
    QVERIFY2(missing.mErr.contains("none.cfg: no such file"), qPrintable(missing.mErr));
    QFile junk(mDir.filePath("junk.cfg"));
    QVERIFY(junk.open(QIODevice::WriteOnly));
    junk.write("not a configuration at all");
    junk.close();
    QCOMPARE(RunCli({"diff", junk.fileName(), mA}, QString()).mExit, 2);
  }
};

QTEST_GUILESS_MAIN(tst_cli_diff)
#include "tst_cli_diff.moc"
