// orvel-cli verify against the device simulator: no difference after a
// recall of the same file, exactly the differing values after a recall of
// another, and a clear end when the device stops answering.

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include "OrvelGUI/Core/DelayDriver.h"
#include "Tools/ConfigFiles.h"

class tst_cli_verify : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QVERIFY(mDir.isValid());
    QRandomGenerator random(99);
    mFirst = RandomConfiguration(random);
    mFirst.mPanels[0].mDelay.mGang = 0;  // a ganged right delay would follow the changed left one
    mFile = mDir.filePath("first.cfg");
    QVERIFY(SaveThroughProgram(mFirst, mFile));
  }

  void sameFileHasNoDifference() {
    auto sim = StartDevSim({});
    QVERIFY(sim);
    QCOMPARE(RunCli({"recall", mFile}, sim->mPath).mExit, 0);
    const sRun run = RunCli({"verify", mFile}, sim->mPath);
    QVERIFY2(run.mExit == 0, qPrintable(run.mOut + run.mErr));
    QVERIFY(run.mOut.startsWith("The device holds first.cfg"));
  }

  void otherFileListsExactlyTheDifferingValues() {
    sConfiguration other = mFirst;
    other.mStrips[3].mGain = GAIN(mFirst.mStrips[3].mGain == 100 ? 101 : 100);
    other.mPanels[1].mHighPass.mFrequency = UWORD(mFirst.mPanels[1].mHighPass.mFrequency ^ 1);
    other.mPanels[2].mGang = false;
    other.mPanels[2].mEQ[0].mBands[4].mGain = GAIN(mFirst.mPanels[2].mEQ[0].mBands[4].mGain ^ 4);
    other.mPanels[0].mDelay.mLeft = UWORD(mFirst.mPanels[0].mDelay.mLeft == 30000 ? 31000 : 30000);
    const QString otherFile = mDir.filePath("other.cfg");
    QVERIFY(SaveThroughProgram(other, otherFile));
    auto sim = StartDevSim({});
    QVERIFY(sim);
    QCOMPARE(RunCli({"recall", otherFile}, sim->mPath).mExit, 0);
    const sRun run = RunCli({"verify", mFile}, sim->mPath);
    QCOMPARE(run.mExit, 1);
    QStringList lines = run.mOut.split('\n', Qt::SkipEmptyParts);
    const QString count = lines.takeLast();
    QStringList expected = {
        "InOutFader:R Control Strip Unit1 gain: ", "LMH 2:  HPF Unit (Mid L) biquad 1 frequency: ",
        "LMH 2:  HPF Unit (Mid R) biquad 1 frequency: ", "LMH 3: L Parametric EQ Unit (High L) band 5 gain: "};
    // The device holds sample counts: two codes of one count are the same to it.
    if (cDelayDriver::SamplesOfCode(mFirst.mPanels[0].mDelay.mLeft) !=
        cDelayDriver::SamplesOfCode(other.mPanels[0].mDelay.mLeft)) {
      expected << "LMH 1:  Delay Unit left delay: ";
    }
    if (mFirst.mPanels[2].mGang) {
      // The gang bit of every High band on both sides.
      for (int side = 0; side < 2; ++side) {
        for (int band = 1; band <= 6; ++band) {
          expected
              << QString("LMH 3: %1 Parametric EQ Unit (High %1) band %2 gang: ").arg(side == 0 ? "L" : "R").arg(band);
        }
      }
    }
    QCOMPARE(lines.size(), expected.size());
    for (const QString& prefix : expected) {
      QVERIFY2(lines.filter(prefix).size() == 1, qPrintable(prefix + "\n" + run.mOut));
    }
    QCOMPARE(count, QString("%1 differences").arg(expected.size()));
  }

  // The wait for a device that hangs up says how long it really was, and a
  // processor that could not be read is not a difference.
  void silentDeviceEndsTheReadBack() {
    // The reply to the strip sync request is cut and the line closed.
    auto hangUp = StartDevSim({"--hangup-after", "2"});
    QVERIFY(hangUp);
    QElapsedTimer timer;
    timer.start();
    sRun run = RunCli({"verify", mFile}, hangUp->mPath);
    const qint64 waited = timer.elapsed();
    QCOMPARE(run.mExit, 3);
    const QRegularExpressionMatch said =
        QRegularExpression(
            "The device stopped answering while its settings were read back: the link gave up on it "
            "after (\\d+) ms")
            .match(run.mErr);
    QVERIFY2(said.hasMatch(), qPrintable(run.mErr));
    QVERIFY2(said.captured(1).toLongLong() <= waited, qPrintable(run.mErr));
    QVERIFY(waited < 5000);
  }

  void unreadableProcessorIsExitThree() {
    const QString missing = mDir.filePath("ttyGONE");
    const sRun run = RunCli({"verify", mFile}, missing);
    QCOMPARE(run.mExit, 3);
    QVERIFY2(run.mErr.contains("Port ttyGONE (" + missing + "), the first listed port"), qPrintable(run.mErr));
    QVERIFY2(run.mErr.contains("Device connection failure. " + missing + ": No such file or directory"),
             qPrintable(run.mErr));
    const sRun json = RunCli({"verify", mFile, "--json"}, missing);
    QCOMPARE(json.mExit, 3);
    const QJsonObject result = QJsonDocument::fromJson(json.mOut.toUtf8()).object();
    QCOMPARE(result["read"].toBool(true), false);
    QVERIFY(result["holds"].isNull());
    QVERIFY(result["error"].toString().contains("No such file or directory"));
    // A file the program does not read is not the processor's fault.
    QCOMPARE(RunCli({"verify", mDir.filePath("none.cfg")}, missing).mExit, 2);
  }

  // Polarity in the file's terms: the output strips invert on the wire, and
  // verify names each strip's polarity as show prints it.
  void polarityIsToldAsTheFileHoldsIt() {
    sConfiguration normal = mFirst;
    for (sStripConfiguration& strip : normal.mStrips) strip.mPolarity = false;
    sConfiguration inverted = normal;
    inverted.mStrips[0].mPolarity = true;  // an input strip
    inverted.mStrips[5].mPolarity = true;  // an output strip
    const QString normalFile = mDir.filePath("normal.cfg");
    const QString invertedFile = mDir.filePath("inverted.cfg");
    QVERIFY(SaveThroughProgram(normal, normalFile));
    QVERIFY(SaveThroughProgram(inverted, invertedFile));
    QVERIFY(RunCli({"show", normalFile}, QString()).mOut.contains(normal.mStrips[5].mName + ": gain"));
    auto sim = StartDevSim({});
    QVERIFY(sim);
    QCOMPARE(RunCli({"recall", invertedFile}, sim->mPath).mExit, 0);
    const sRun run = RunCli({"verify", normalFile, "--json"}, sim->mPath);
    QCOMPARE(run.mExit, 1);
    const QJsonObject result = QJsonDocument::fromJson(run.mOut.toUtf8()).object();
    QCOMPARE(result["read"].toBool(), true);
    QCOMPARE(result["holds"].toBool(true), false);
    QCOMPARE(result["file"].toString(), QString("normal.cfg"));
    const QJsonArray differences = result["differences"].toArray();
    QCOMPARE(differences.size(), 2);
    for (int i = 0; i < 2; ++i) {
      const QJsonObject difference = differences[i].toObject();
      QCOMPARE(difference["unit"].toString(), normal.mStrips[i == 0 ? 0 : 5].mName);
      QCOMPARE(difference["parameter"].toString(), QString("polarity"));
      QCOMPARE(difference["file"].toString(), QString("normal"));
      QCOMPARE(difference["device"].toString(), QString("inverted"));
    }
    const sRun same = RunCli({"verify", invertedFile, "--json"}, sim->mPath);
    QCOMPARE(same.mExit, 0);
    QCOMPARE(QJsonDocument::fromJson(same.mOut.toUtf8()).object()["holds"].toBool(), true);
  }

 private:
  QTemporaryDir mDir;
  QString mFile;
  sConfiguration mFirst;
};

QTEST_GUILESS_MAIN(tst_cli_verify)
#include "tst_cli_verify.moc"
