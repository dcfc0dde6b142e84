// orvel-cli show and recall on configuration files written by the program,
// recall against the orvel-devsim program.

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

#include "OrvelGUI/Config/ConfigJson.h"
#include "OrvelGUI/Config/Configuration.h"
#include "OrvelGUI/Config/StandaloneAssembly.h"
#include "OrvelGUI/Core/SavesManager.h"
#include "Tools/CliSupport.h"

namespace {

// Writes a configuration file through the program's own saves manager.
bool WriteConfiguration(const QString& file, sConfiguration& written) {
  cStandaloneAssembly assembly;
  written = ReadConfiguration(assembly.Core());
  written.mStrips[6].mGain = 1546;
  written.mStrips[6].mMute = true;
  written.mPanels[1].mHighPass = {25000, 2, false};
  written.mPanels[2].mEQ[1].mBands[5] = {41314, 60 << 8, -3840, 1, 1, true};
  written.mPanels[0].mDelay = {40000, 40000, 1};
  return ApplyConfiguration(assembly.Core(), written) && assembly.Core().SaveConfiguration(file, 10000);
}

// The commands the simulator received, in order, from its JSON-lines log.
QList<int> CommandsInLog(const QString& path) {
  QList<int> commands;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return commands;
  for (const QByteArray& line : file.readAll().split('\n')) {
    const QJsonObject object = QJsonDocument::fromJson(line).object();
    if (object["dir"] == "rx") commands << object["type"].toInt();
  }
  return commands;
}

}  // namespace

class tst_cli_config : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QVERIFY(mDir.isValid());
    mFile = mDir.filePath("Stage Left.cfg");
    QVERIFY(WriteConfiguration(mFile, mWritten));
  }

  void showsText() {
    const sRun run = RunCli({"show", mFile}, QString());
    QVERIFY2(run.mExit == 0, qPrintable(run.mErr));
    for (const char* line :
         {"  InOutFader:L Control Strip Unit3: gain 6.04 dB (1546), mute on, polarity normal\n",
          "  LMH 2:  HPF Unit: 171.89 Hz (25000), 24dB Butterworth (2, realised as 12 dB, one section), bypass off\n",
          "  LMH 3:  LPF Unit: 99.99 Hz (21398), 12dB Butterworth (0, not realised: the panel has no such section, "
          "nothing is sent), "
          "bypass on\n",
          "  LMH 1:  Delay Unit: left 5172.486 ms (40000), right 5172.486 ms (40000), gang on\n",
          "    band 6: 2.000 kHz (41314), Q 34.623 (15360), -15.00 dB (-3840), LFSHELF (1), variant 1, bypass on\n",
          "  LMH 3:  Parametric EQ Gang: off\n"}) {
      QVERIFY2(run.mOut.contains(line), qPrintable(run.mOut));
    }
  }

  void showsJson() {
    const sRun run = RunCli({"show", mFile, "--json"}, QString());
    QVERIFY2(run.mExit == 0, qPrintable(run.mErr));
    QJsonParseError parse{};
    const QJsonDocument document = QJsonDocument::fromJson(run.mOut.toUtf8(), &parse);
    QVERIFY2(parse.error == QJsonParseError::NoError, qPrintable(run.mOut));
    sConfiguration shown;
    QString error;
    QVERIFY2(configjson::Decode(document.object(), shown, error), qPrintable(error));
    QCOMPARE(QJsonDocument(configjson::Encode(shown)).toJson(), QJsonDocument(configjson::Encode(mWritten)).toJson());
    const QJsonObject strip = document["strips"].toArray()[0].toObject();
    QCOMPARE(strip["gain"].toInt(), -32767);
    QCOMPARE(strip["gain_db"], QJsonValue(QJsonValue::Null));
  }

  void showRefuses() {
    QVERIFY(QFile::copy(mFile, mDir.filePath("cut.cfg")));
    QFile cut(mDir.filePath("cut.cfg"));
    QVERIFY(cut.resize(cut.size() - 8));
    for (const QString& file : {mDir.filePath("cut.cfg"), mDir.filePath("missing.cfg")}) {
      const sRun run = RunCli({"show", file}, QString());
      QCOMPARE(run.mExit, 1);
      QCOMPARE(run.mOut, QString());
    }
    // A file holding what the processor cannot realise is refused, and the
    // user is told which value.
    sConfiguration impossible = mWritten;
    impossible.mPanels[1].mEQ[0].mBands[2].mGain = 86 * 256;
    const QString plain = mDir.filePath("impossible.plain");
    QFile frame(plain);
    QVERIFY(frame.open(QIODevice::WriteOnly));
    frame.write(QByteArray::fromHex("885b03") + ConfigurationBlocks(impossible) + QByteArray::fromHex("c2ba"));
    frame.close();
    QVERIFY(cSavesManager::CipherFile(plain, mDir.filePath("impossible.cfg"), true));
    for (const char* command : {"show", "biquads"}) {
      const sRun run = RunCli({command, mDir.filePath("impossible.cfg")}, QString());
      QCOMPARE(run.mExit, 1);
      QCOMPARE(run.mOut, QString());
      QVERIFY2(run.mErr.contains("Mid EQ left band 3: gain +86.0 dB is outside -15 .. +15 dB"), qPrintable(run.mErr));
    }
    QCOMPARE(RunCli({"show", mFile, "--xml"}, QString()).mExit, 2);
    QCOMPARE(RunCli({"recall"}, QString()).mExit, 2);
  }

  void recallsIntoTheDevice() {
    const QString log = mDir.filePath("packets.jsonl");
    auto sim = StartDevSim({"--log", log});
    QVERIFY(sim);
    const sRun run = RunCli({"recall", mFile}, sim->mPath);
    QVERIFY2(run.mExit == 0, qPrintable(run.mErr));
    QCOMPARE(run.mOut, QString("Recall Stage Left.cfg Successful\n"));
    QVERIFY2(run.mErr.contains(QRegularExpression("Written in \\d+ ticks, \\d+ ms")), qPrintable(run.mErr));
    const QList<int> commands = CommandsInLog(log);
    QCOMPARE(commands.count(2), 36);
    QCOMPARE(commands.count(6), 8);
    // Stored delays may go out at start, before the recall's packets.
    QCOMPARE(commands.mid(commands.indexOf(2)).count(8), 6);
    QCOMPARE(commands.first(), 0);
    QCOMPARE(commands.last(), 15);
  }

  void recallFailures() {
    // No device: connecting fails as version's does.
    sRun run = RunCli({"recall", mFile}, "/nonexistent-orvel-dir/ttyNONE");
    QCOMPARE(run.mExit, 1);
    QCOMPARE(run.mOut, QString("Recall Stage Left.cfg Failed\n"));
    QVERIFY2(run.mErr.contains("Device connection failure."), qPrintable(run.mErr));
    // Not a configuration: the device is left as it was, and disconnected.
    const QString log = mDir.filePath("refused.jsonl");
    auto sim = StartDevSim({"--log", log});
    QVERIFY(sim);
    QVERIFY(QFile::copy(mFile, mDir.filePath("wrong.cfg")));
    QFile wrong(mDir.filePath("wrong.cfg"));
    QVERIFY(wrong.open(QIODevice::ReadWrite));
    QVERIFY(wrong.write(QByteArray(16, 'z')) == 16);
    wrong.close();
    run = RunCli({"recall", mDir.filePath("wrong.cfg"), "--port", QFileInfo(sim->mPath).fileName()}, sim->mPath);
    QCOMPARE(run.mExit, 1);
    QCOMPARE(run.mOut, QString("Recall wrong.cfg Failed\n"));
    const QList<int> commands = CommandsInLog(log);
    QCOMPARE(commands.count(2), 0);
    QCOMPARE(commands.last(), 15);
  }

  // The processor hangs up, or stops answering, half-way: the recall failed,
  // and the user is told how much of it the processor got.
  void recallCutOff_data() {
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("cause");
    QTest::newRow("hang-up") << "--hangup-after"
                             << "The link to the processor was lost during the recall";
    QTest::newRow("silence") << "--silent-after"
                             << "The processor did not acknowledge every packet within";
  }
  void recallCutOff() {
    QFETCH(QString, fault);
    QFETCH(QString, cause);
    const QString log = mDir.filePath("cut " + fault + ".jsonl");
    auto sim = StartDevSim({fault, "20", "--log", log});
    QVERIFY(sim);
    const sRun run = RunCli({"recall", mFile}, sim->mPath);
    QCOMPARE(run.mExit, 1);
    QCOMPARE(run.mOut, QString("Recall Stage Left.cfg Failed\n"));
    const QRegularExpressionMatch counts =
        QRegularExpression(QRegularExpression::escape(cause) +
                           ".*: (\\d+) of (\\d+) packets written, (\\d+) acknowledged")
            .match(run.mErr);
    QVERIFY2(counts.hasMatch(), qPrintable(run.mErr));
    const int written = counts.captured(1).toInt();
    const int total = counts.captured(2).toInt();
    const int acknowledged = counts.captured(3).toInt();
    QCOMPARE(total, 36 + 8 + 6);
    QVERIFY2(acknowledged < written, qPrintable(run.mErr));
    QVERIFY(!run.mErr.contains("Written in"));
    if (fault == "--hangup-after") {
      QVERIFY2(written < total, qPrintable(run.mErr));
      QVERIFY2(run.mErr.contains("The processor now holds a partial configuration"), qPrintable(run.mErr));
    } else {
      // Everything went out to a device that no longer says so.
      QCOMPARE(written, total);
      QVERIFY2(run.mErr.contains("It may hold a partial configuration"), qPrintable(run.mErr));
      QCOMPARE(CommandsInLog(log).last(), 15);  // and it was still disconnected properly
    }
  }

 private:
  QTemporaryDir mDir;
  QString mFile;
  sConfiguration mWritten;
};

QTEST_GUILESS_MAIN(tst_cli_config)
#include "tst_cli_config.moc"
