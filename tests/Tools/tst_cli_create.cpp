// orvel-cli defaults and create: the files equal what the program saves,
// show --json | create reproduces files byte for byte, values in units
// become the nearest codes, and bad documents leave no file.

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>

#include "AES-Standards/Convert.h"
#include "OrvelGUI/Config/ConfigJson.h"
#include "OrvelGUI/Core/LowMidHigh.h"
#include "OrvelGUI/Core/Plausibility.h"
#include "Tools/ConfigFiles.h"

namespace {

// A random configuration with pass filters as the processor realises them:
// slopes the Low and Mid panels have the sections for, the High panel's
// low-pass as a fresh program holds it. create refuses any other.
sConfiguration RealisedConfiguration(QRandomGenerator& random) {
  sConfiguration c = RandomConfiguration(random);
  for (sPanelConfiguration& panel : c.mPanels) {
    for (const bool highPass : {true, false}) {
      sPassFilterConfiguration& filter = highPass ? panel.mHighPass : panel.mLowPass;
      const UBYTE sections =
          highPass ? cLowMidHigh::HighPassBiquadsOf(panel.mPanelType) : cLowMidHigh::LowPassBiquadsOf(panel.mPanelType);
      if (sections > 0 && !plausibility::RealisedSlope(highPass, filter.mSlope, sections).empty()) filter.mSlope = 0;
    }
  }
  c.mPanels[2].mLowPass = FreshConfiguration().mPanels[2].mLowPass;
  return c;
}

}  // namespace

class tst_cli_create : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { QVERIFY(mDir.isValid()); }

  void defaultsEqualWhatAFreshProgramSaves() {
    const QString saved = mDir.filePath("fresh.cfg");
    {
      cStandaloneAssembly assembly(false);
      QVERIFY(assembly.Core().SaveConfiguration(saved, 10000));
    }
    const sRun run = RunCli({"defaults", mDir.filePath("defaults.cfg")}, QString());
    QVERIFY2(run.mExit == 0, qPrintable(run.mErr));
    QCOMPARE(FileBytes(mDir.filePath("defaults.cfg")), FileBytes(saved));
    // An empty document is the defaults too.
    QCOMPARE(RunCliWithInput({"create", "-", mDir.filePath("empty.cfg")}, "{}").mExit, 0);
    QCOMPARE(FileBytes(mDir.filePath("empty.cfg")), FileBytes(saved));
  }

  void showJsonThroughCreateReproducesFiles() {
    QRandomGenerator random(20240611);
    for (int i = 0; i < 6; ++i) {
      const QString original = mDir.filePath(QString("random%1.cfg").arg(i));
      const QString again = mDir.filePath(QString("again%1.cfg").arg(i));
      QVERIFY(SaveThroughProgram(RealisedConfiguration(random), original));
      const sRun shown = RunCli({"show", original, "--json"}, QString());
      QVERIFY2(shown.mExit == 0, qPrintable(shown.mErr));
      const sRun created = RunCliWithInput({"create", "-", again}, shown.mOut.toUtf8());
      QVERIFY2(created.mExit == 0, qPrintable(created.mErr));
      QCOMPARE(FileBytes(again), FileBytes(original));
    }
  }

  void valuesInUnitsBecomeTheNearestCodes() {
    const QByteArray document = R"({"strips": [{"gain_db": -6.02}, {"gain_db": null}, {}, {}, {}, {}, {}, {}],
      "panels": [{"high_pass": {"frequency_hz": 99.99, "slope_name": "12dB Butterworth", "frequency": 21398},
                  "delay": {"left_ms": 1.5, "right_ms": 0.0004},
                  "eq": [{"bands": [{"q": 2.0, "gain_db": 3.3, "type_name": "HFSHELF"}, {"q": 40}]}, {}]},
                 {"eq": [{"bands": [{"realised_q": 1.0, "gain_db": 15}, {"q": 1.0}]}]},
                 {"high_pass": {"frequency_hz": 80, "slope_name": "18dB Bessel"}}]})";
    const sRun refused = RunCliWithInput({"create", "-", mDir.filePath("q40.cfg")}, document);
    QCOMPARE(refused.mExit, 1);
    QVERIFY2(refused.mErr.contains("panels[0].eq[0].bands[1].q: 40 is out of range"), qPrintable(refused.mErr));
    QVERIFY(!QFile::exists(mDir.filePath("q40.cfg")));

    QByteArray good = document;
    good.replace("{\"q\": 40}", "{\"q\": 34.9}");
    const QString file = mDir.filePath("units.cfg");
    const sRun run = RunCliWithInput({"create", "-", file}, good);
    QVERIFY2(run.mExit == 0, qPrintable(run.mErr));
    const QJsonObject shown =
        QJsonDocument::fromJson(RunCli({"show", file, "--json"}, QString()).mOut.toUtf8()).object();
    const QJsonArray strips = shown["strips"].toArray();
    QCOMPARE(strips[0].toObject()["gain"].toInt(), -1541);  // -6.02 x 256 = -1541.12
    QCOMPARE(strips[1].toObject()["gain"].toInt(), -32767);
    const QJsonObject low = shown["panels"].toArray()[0].toObject();
    // 99.99 Hz is the code's 99.987 Hz within the code's resolution.
    QCOMPARE(low["high_pass"].toObject()["frequency"].toInt(), 21398);
    QCOMPARE(low["high_pass"].toObject()["slope"].toInt(), 0);
    const QJsonObject highPass = shown["panels"].toArray()[2].toObject()["high_pass"].toObject();
    QCOMPARE(highPass["frequency"].toInt(), 19915);  // 4608 log2(80 / 4) = 19915.44
    QCOMPARE(highPass["slope"].toInt(), 3);
    // 1.5 ms: log10(1500) / (11/65536) + 1 = 18923.6
    QCOMPARE(low["delay"].toObject()["left"].toInt(), 18924);
    QCOMPARE(low["delay"].toObject()["right"].toInt(), 0);  // 0.4 us is nearer to no delay than to 1 us
    const QJsonArray bands = low["eq"].toArray()[0].toObject()["bands"].toArray();
    QCOMPARE(bands[0].toObject()["width"].toInt(), 26 << 8);  // Q 2.041 is the entry nearest 2.0
    QCOMPARE(bands[0].toObject()["gain"].toInt(), 845);       // 3.3 x 256 = 844.8
    QCOMPARE(bands[0].toObject()["type"].toInt(), 2);
    QCOMPARE(bands[1].toObject()["width"].toInt(), 44 << 8);
    // A bell's realised Q at its gain (Q 1 at +15 dB takes table Q 2.388).
    const QJsonArray mid = shown["panels"].toArray()[1].toObject()["eq"].toArray()[0].toObject()["bands"].toArray();
    QCOMPARE(mid[0].toObject()["width"].toInt(), 28 << 8);
    QCOMPARE(mid[1].toObject()["width"].toInt(), 16 << 8);
    // A realised Q beside a table Q must mean the same width, as printed.
    const QJsonObject printed = mid[0].toObject();
    QVERIFY(printed.contains("realised_q"));
    QByteArray both = good;
    both.replace(R"({"q": 1.0})", R"({"q": 1.0, "gain_db": 15, "realised_q": 1.0})");
    const sRun disagreeing = RunCliWithInput({"create", "-", mDir.filePath("both.cfg")}, both);
    QCOMPARE(disagreeing.mExit, 1);
    QVERIFY2(disagreeing.mErr.contains("panels[1].eq[0].bands[1].realised_q: 1 does not agree with"),
             qPrintable(disagreeing.mErr));
  }

  void gangedRightEqualiserFollowsTheLeft() {
    const QString file = mDir.filePath("ganged.cfg");
    const QByteArray followed =
        R"({"panels": [{"gang": true, "eq": [{"bands": [{"gain_db": 4}, {}]}, {"bands": [{"variant": 1}, {}]}]}, {}, {}]})";
    const sRun run = RunCliWithInput({"create", "-", file}, followed);
    QVERIFY2(run.mExit == 0, qPrintable(run.mErr));
    const QJsonObject shown =
        QJsonDocument::fromJson(RunCli({"show", file, "--json"}, QString()).mOut.toUtf8()).object();
    const QJsonObject right = shown["panels"].toArray()[0].toObject()["eq"].toArray()[1].toObject();
    QCOMPARE(right["bands"].toArray()[0].toObject()["gain"].toInt(), 1024);
    QCOMPARE(right["bands"].toArray()[0].toObject()["variant"].toInt(), 1);
    const sRun refused =
        RunCliWithInput({"create", "-", mDir.filePath("unganged.cfg")},
                        R"({"panels": [{"gang": true, "eq": [{}, {"bands": [{"gain_db": 1}, {}]}]}, {}, {}]})");
    QCOMPARE(refused.mExit, 1);
    QVERIFY2(refused.mErr.contains("panels[0].eq[1].bands[0].gain: differs from the left equaliser"),
             qPrintable(refused.mErr));
  }

  void badDocumentsAreRefusedWithTheirPath_data() {
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<QString>("message");
    QTest::newRow("malformed") << QByteArray("{\n  \"strips\": [\n  }") << "line 3, column 4";
    QTest::newRow("not an object") << QByteArray("[1, 2]") << "expected a JSON object";
    QTest::newRow("format") << QByteArray(R"({"format": "other"})") << "format: expected \"orvel-config\"";
    QTest::newRow("version") << QByteArray(R"({"version": 2})") << "version: 2 is out of range (3 .. 3)";
    QTest::newRow("unknown key") << QByteArray(R"({"panels": [{}, {"delay": {"middle": 1}}, {}]})")
                                 << "panels[1].delay.middle: unknown key";
    QTest::newRow("wrong type") << QByteArray(R"({"strips": [{"mute": 1}, {}, {}, {}, {}, {}, {}, {}]})")
                                << "strips[0].mute: expected true or false";
    QTest::newRow("fraction") << QByteArray(R"({"panels": [{"high_pass": {"frequency": 100.5}}, {}, {}]})")
                              << "panels[0].high_pass.frequency: expected a whole number";
    QTest::newRow("code out of range") << QByteArray(R"({"panels": [{}, {}, {"low_pass": {"frequency": 65536}}]})")
                                       << "panels[2].low_pass.frequency: 65536 is out of range (0 .. 65535)";
    QTest::newRow("unit out of range") << QByteArray(R"({"panels": [{}, {"delay": {"left_ms": -1}}, {}]})")
                                       << "panels[1].delay.left_ms: -1 is out of range";
    QTest::newRow("unknown slope") << QByteArray(R"({"panels": [{"high_pass": {"slope": 4}}, {}, {}]})")
                                   << "panels[0].high_pass.slope: 4 is out of range (0 .. 3)";
    QTest::newRow("unknown type name")
        << QByteArray(R"({"panels": [{"eq": [{"bands": [{"type_name": "PEAK"}, {}]}, {}]}, {}, {}]})")
        << "panels[0].eq[0].bands[0].type_name: expected one of \"BELL\"";
    QTest::newRow("band count") << QByteArray(R"({"panels": [{"eq": [{"bands": [{}, {}, {}]}, {}]}, {}, {}]})")
                                << "panels[0].eq[0].bands: expected at most 2 entries, got 3";
    // Placed by its name, the first entry is the Mid panel, and so is the second by its position.
    QTest::newRow("name and position") << QByteArray(R"({"panels": [{"name": "Mid"}, {}, {}]})")
                                       << "panels[1]: entry 1 is given twice";
  }

  void badDocumentsAreRefusedWithTheirPath() {
    QFETCH(QByteArray, document);
    QFETCH(QString, message);
    const QString out = mDir.filePath("refused.cfg");
    const sRun run = RunCliWithInput({"create", "-", out}, document);
    QCOMPARE(run.mExit, 1);
    QVERIFY2(run.mErr.contains(message), qPrintable(run.mErr));
    QCOMPARE(run.mOut, QString());
    QVERIFY(!QFile::exists(out));
  }

  void damagedOrForeignFilesAreRefused() {
    const QString good = mDir.filePath("good.cfg");
    QCOMPARE(RunCli({"defaults", good}, QString()).mExit, 0);
    QByteArray bytes = FileBytes(good);
    const QString cut = mDir.filePath("cut.cfg");
    const QString foreign = mDir.filePath("foreign.cfg");
    {
      QFile f(cut);
      QVERIFY(f.open(QIODevice::WriteOnly));
      f.write(bytes.left(bytes.size() - 8));
      QFile g(foreign);
      QVERIFY(g.open(QIODevice::WriteOnly));
      g.write(QByteArray(bytes.size(), 'x'));
    }
    const QString text = mDir.filePath("bell.txt");
    {
      QFile t(text);
      QVERIFY(t.open(QIODevice::WriteOnly));
      t.write("Filter 1: ON PK Fc 100 Hz Gain -3.0 dB Q 2.00\n");
    }
    for (const QString& file : {cut, foreign}) {
      for (const QStringList& command :
           {QStringList{"biquads", file}, QStringList{"response", file}, QStringList{"export", file, "--format", "rew"},
            QStringList{"import", text, "--into", file, "--panel", "low", "--side", "left",
                        mDir.filePath("never.cfg")}}) {
        const sRun run = RunCli(command, QString());
        QCOMPARE(run.mExit, 1);
        QCOMPARE(run.mOut, QString());
        QVERIFY2(run.mErr.contains("not a configuration file this program reads"), qPrintable(run.mErr));
      }
    }
    QVERIFY(!QFile::exists(mDir.filePath("never.cfg")));
    QCOMPARE(RunCli({"create"}, QString()).mExit, 2);
    QCOMPARE(RunCli({"biquads", good, "--xml"}, QString()).mExit, 2);
    QCOMPARE(RunCli({"create", "--help"}, QString()).mExit, 0);
  }

  void examplesAreWhatTheirDocumentsCreate() {
    const QDir examples(QStringLiteral(ORVEL_SOURCE_DIR) + "/examples");
    const QStringList documents = examples.entryList({"*.json"});
    QVERIFY(documents.contains("crossover-80Hz-2k5Hz.json"));
    for (const QString& document : documents) {
      const QString made = mDir.filePath(document + ".cfg");
      const sRun run = RunCli({"create", examples.filePath(document), made}, QString());
      QVERIFY2(run.mExit == 0, qPrintable(document + ": " + run.mErr));
      QCOMPARE(FileBytes(made), FileBytes(examples.filePath(QString(document).replace(".json", ".cfg"))));
    }
  }

 private:
  QTemporaryDir mDir;
};

QTEST_GUILESS_MAIN(tst_cli_create)
#include "tst_cli_create.moc"
