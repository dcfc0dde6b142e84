// orvel-cli create and import say what the processor really does: a code and
// its unit form must agree, unit fields hold sensible values, arrays may name
// only the entries they change, and values the processor cannot realise are
// refused with the units' own limits, leaving no file.

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

#include "Tools/ConfigFiles.h"

namespace {

QJsonObject ShownJson(const QString& file) {
  return QJsonDocument::fromJson(RunCli({"show", file, "--json"}, QString()).mOut.toUtf8()).object();
}

// `object` with the value at a path of keys and indexes replaced.
QJsonValue Replaced(const QJsonValue& at, const QVariantList& path, int depth, const QJsonValue& value) {
  if (depth == path.size()) return value;
  if (path[depth].type() == QVariant::Int) {
    QJsonArray array = at.toArray();
    array[path[depth].toInt()] = Replaced(array[path[depth].toInt()], path, depth + 1, value);
    return array;
  }
  QJsonObject object = at.toObject();
  const QString key = path[depth].toString();
  object[key] = Replaced(object[key], path, depth + 1, value);
  return object;
}

QJsonObject With(const QJsonObject& document, const QVariantList& path, const QJsonValue& value) {
  return Replaced(document, path, 0, value).toObject();
}

}  // namespace

class tst_cli_create_limits : public QObject {
  Q_OBJECT

  QTemporaryDir mDir;
  QJsonObject mDefaults;  // show --json of the defaults

  sRun Create(const QByteArray& document, const QString& name) {
    return RunCliWithInput({"create", "-", mDir.filePath(name)}, document);
  }

 private slots:
  void initTestCase() {
    QVERIFY(mDir.isValid());
    QCOMPARE(RunCli({"defaults", mDir.filePath("defaults.cfg")}, QString()).mExit, 0);
    mDefaults = ShownJson(mDir.filePath("defaults.cfg"));
    QVERIFY(mDefaults.contains("panels"));
  }

  // The engineer edits frequency_hz in what show --json printed and leaves
  // the code: refused, naming both, instead of silently keeping the code.
  void editedUnitFieldMustAgreeWithItsCode_data() {
    QTest::addColumn<QVariantList>("path");
    QTest::addColumn<QJsonValue>("value");
    QTest::addColumn<QString>("message");
    QTest::newRow("frequency_hz") << QVariantList{"panels", 1, "low_pass", "frequency_hz"} << QJsonValue(2500.0)
                                  << "panels[1].low_pass.frequency_hz: 2500 does not agree with "
                                     "panels[1].low_pass.frequency ";
    QTest::newRow("gain_db") << QVariantList{"panels", 0, "eq", 0, "bands", 1, "gain_db"} << QJsonValue(-4.5)
                             << "panels[0].eq[0].bands[1].gain_db: -4.5 does not agree with "
                                "panels[0].eq[0].bands[1].gain ";
    QTest::newRow("fader") << QVariantList{"strips", 3, "gain_db"} << QJsonValue(-6.0)
                           << "strips[3].gain_db: -6 does not agree with strips[3].gain -32767 (-inf)";
    QTest::newRow("q") << QVariantList{"panels", 2, "eq", 1, "bands", 5, "q"} << QJsonValue(7.0)
                       << "panels[2].eq[1].bands[5].q: 7 does not agree with panels[2].eq[1].bands[5].width ";
    QTest::newRow("left_ms") << QVariantList{"panels", 1, "delay", "left_ms"} << QJsonValue(3.0)
                             << "panels[1].delay.left_ms: 3 does not agree with panels[1].delay.left ";
    QTest::newRow("slope_name") << QVariantList{"panels", 0, "high_pass", "slope_name"} << QJsonValue("18dB Bessel")
                                << "panels[0].high_pass.slope_name: \"18dB Bessel\" does not agree with "
                                   "panels[0].high_pass.slope ";
    QTest::newRow("nonsense number") << QVariantList{"panels", 0, "high_pass", "frequency_hz"} << QJsonValue("abc")
                                     << "panels[0].high_pass.frequency_hz: expected a number";
    QTest::newRow("nonsense name") << QVariantList{"panels", 2, "eq", 0, "bands", 0, "type_name"} << QJsonValue("bogus")
                                   << "panels[2].eq[0].bands[0].type_name: expected one of";
    QTest::newRow("negative q") << QVariantList{"panels", 1, "eq", 0, "bands", 0, "q"} << QJsonValue(-1.0)
                                << "panels[1].eq[0].bands[0].q: -1 is out of range";
  }
  void editedUnitFieldMustAgreeWithItsCode() {
    QFETCH(QVariantList, path);
    QFETCH(QJsonValue, value);
    QFETCH(QString, message);
    const QString name = QString("edited-%1.cfg").arg(QTest::currentDataTag());
    const sRun run = Create(QJsonDocument(With(mDefaults, path, value)).toJson(), name);
    QCOMPARE(run.mExit, 1);
    QVERIFY2(run.mErr.contains(message), qPrintable(run.mErr));
    QVERIFY(!QFile::exists(mDir.filePath(name)));
  }

  // The unit form alone, or with the code it means, is taken.
  void unitFieldAloneOrAgreeingIsTaken() {
    QJsonObject lowPass = mDefaults["panels"].toArray()[1].toObject()["low_pass"].toObject();
    lowPass.remove("frequency");
    lowPass["frequency_hz"] = 2500.0;
    QJsonObject edited = With(mDefaults, {"panels", 1, "low_pass"}, lowPass);
    QVERIFY2(Create(QJsonDocument(edited).toJson(), "alone.cfg").mExit == 0, "unit form alone refused");
    const QJsonObject shown = ShownJson(mDir.filePath("alone.cfg"));
    const double hz = shown["panels"].toArray()[1].toObject()["low_pass"].toObject()["frequency_hz"].toDouble();
    QVERIFY2(std::fabs(hz - 2500.0) < 2500.0 * 0.001, qPrintable(QString::number(hz)));
    // What show printed for the new file goes back in unchanged.
    const sRun again = Create(QJsonDocument(shown).toJson(), "again.cfg");
    QVERIFY2(again.mExit == 0, qPrintable(again.mErr));
    QCOMPARE(FileBytes(mDir.filePath("again.cfg")), FileBytes(mDir.filePath("alone.cfg")));
  }

  // Only the strips, panels, equalisers and bands named change; the rest
  // keeps the defaults.
  void partialArraysKeepTheDefaultsOfWhatIsLeftOut() {
    const QByteArray document = R"({
      "strips": [{"index": 5, "gain_db": -6}, {"name": "STRIP0", "mute": true}],
      "panels": [{"name": "High", "gang": false,
                  "eq": [{"side": "right", "bands": [{"index": 4, "gain_db": 2}, {"bypass": true}]}]},
                 {"index": 0, "delay": {"left_ms": 1.5}}]})";
    QByteArray named = document;
    named.replace("STRIP0", mDefaults["strips"].toArray()[0].toObject()["name"].toString().toUtf8());
    const sRun run = Create(named, "partial.cfg");
    QVERIFY2(run.mExit == 0, qPrintable(run.mErr));
    QJsonObject expected = mDefaults;
    expected = With(expected, {"strips", 5, "gain"}, -1536);
    expected = With(expected, {"strips", 5, "gain_db"}, -6.0);
    expected = With(expected, {"strips", 0, "mute"}, true);
    expected = With(expected, {"panels", 2, "gang"}, false);
    expected = With(expected, {"panels", 2, "eq", 1, "bands", 4, "gain"}, 512);
    expected = With(expected, {"panels", 2, "eq", 1, "bands", 4, "gain_db"}, 2.0);
    expected = With(expected, {"panels", 2, "eq", 1, "bands", 1, "bypass"}, true);  // by its position
    const QJsonObject shown = ShownJson(mDir.filePath("partial.cfg"));
    const QJsonObject lowDelay = shown["panels"].toArray()[0].toObject()["delay"].toObject();
    QCOMPARE(lowDelay["left"].toInt(), 18924);  // 1.5 ms
    expected = With(expected, {"panels", 0, "delay"}, lowDelay);
    // A bell's realised Q follows its gain.
    const QJsonObject band =
        shown["panels"].toArray()[2].toObject()["eq"].toArray()[1].toObject()["bands"].toArray()[4].toObject();
    if (band.contains("realised_q"))
      expected = With(expected, {"panels", 2, "eq", 1, "bands", 4, "realised_q"}, band["realised_q"]);
    QCOMPARE(shown, expected);
  }

  void badEntriesAreRefused_data() {
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<QString>("message");
    QTest::newRow("twice") << QByteArray(R"({"strips": [{"index": 1}, {"index": 1}]})")
                           << "strips[1]: entry 1 is given twice";
    QTest::newRow("too many") << QByteArray(R"({"panels": [{}, {}, {}, {}]})")
                              << "panels: expected at most 3 entries, got 4";
    QTest::newRow("unknown name") << QByteArray(R"({"panels": [{"name": "Sub"}]})")
                                  << "panels[0].name: expected one of \"Low\", \"Mid\", \"High\"";
    QTest::newRow("index and name") << QByteArray(R"({"panels": [{"index": 0, "name": "Mid"}]})")
                                    << "panels[0].name: is entry 1, not the index 0";
    QTest::newRow("index out of range") << QByteArray(
                                               R"({"panels": [{"name": "Low", "eq": [{"bands": [{"index": 2}]}]}]})")
                                        << "panels[0].eq[0].bands[0].index: 2 is out of range (0 .. 1)";
    QTest::newRow("side") << QByteArray(R"({"panels": [{"eq": [{"side": "middle"}]}]})")
                          << "panels[0].eq[0].side: expected one of \"left\", \"right\"";
  }
  void badEntriesAreRefused() {
    QFETCH(QByteArray, document);
    QFETCH(QString, message);
    const sRun run = Create(document, "bad-entry.cfg");
    QCOMPARE(run.mExit, 1);
    QVERIFY2(run.mErr.contains(message), qPrintable(run.mErr));
    QVERIFY(!QFile::exists(mDir.filePath("bad-entry.cfg")));
  }

  // What the processor cannot realise, each with the limit it breaks.
  void unrealisableValuesAreRefused_data() {
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<QString>("message");
    QTest::newRow("strip above full scale")
        << QByteArray(R"({"strips": [{"index": 4, "gain_db": 127}]})")
        << "Output 2 L fader: gain +127.000 dB is above the processor's full scale +12.039 dB";
    QTest::newRow("band gain") << QByteArray(R"({"panels": [{"index": 1, "gang": false,
                                   "eq": [{"bands": [{"gain_db": 20}]}]}]})")
                               << "band 1: gain +20.0 dB is outside -15 .. +15 dB";
    QTest::newRow("notch") << QByteArray(R"({"panels": [{"index": 1, "gang": false,
                               "eq": [{"bands": [{}, {"type_name": "NOTCH"}]}]}]})")
                           << "band 2: type NOTCH has no design on the processor";
    QTest::newRow("60 kHz high-pass") << QByteArray(R"({"panels": [{"index": 0, "high_pass": {"frequency_hz": 60000,
                                          "bypass": false}}]})")
                                      << "Low high-pass";
    QTest::newRow("low-pass on High") << QByteArray(R"({"panels": [{"index": 2, "low_pass": {"frequency_hz": 5000,
                                          "bypass": false}}]})")
                                      << "not realised: the panel has no such section";
    QTest::newRow("slope beyond the sections")
        << QByteArray(R"({"panels": [{"index": 1, "high_pass": {"slope_name": "24dB Butterworth", "bypass": false}}]})")
        << "slope 24dB Butterworth would be realised as 12 dB, one section";
  }
  void unrealisableValuesAreRefused() {
    QFETCH(QByteArray, document);
    QFETCH(QString, message);
    const sRun run = Create(document, "unrealisable.cfg");
    QCOMPARE(run.mExit, 1);
    QVERIFY2(run.mErr.contains("the processor cannot realise this configuration"), qPrintable(run.mErr));
    QVERIFY2(run.mErr.contains(message), qPrintable(run.mErr));
    QVERIFY(!QFile::exists(mDir.filePath("unrealisable.cfg")));
  }

  // The same limits hold for an import, which writes nothing then.
  void importRefusesWhatCannotBeRealised() {
    const QString text = mDir.filePath("boost.txt");
    QFile file(text);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("Filter 1: ON PK Fc 1000 Hz Gain 3.0 dB Q 1.41\nPreamp: 120 dB\n");
    file.close();
    sConfiguration unity = FreshConfiguration();
    unity.mStrips[2].mGain = 0;
    const QString into = mDir.filePath("unity.cfg");
    QVERIFY(SaveThroughProgram(unity, into));
    const QString out = mDir.filePath("boosted.cfg");
    // The fader's own check would refuse first: allow any difference.
    const sRun run = RunCli(
        {"import", text, "--into", into, "--panel", "low", "--side", "left", "--max-error", "200", out}, QString());
    QCOMPARE(run.mExit, 1);
    QVERIFY2(run.mErr.contains("above the processor's full scale"), qPrintable(run.mErr));
    QVERIFY(!QFile::exists(out));
  }
};

QTEST_GUILESS_MAIN(tst_cli_create_limits)
#include "tst_cli_create_limits.moc"
