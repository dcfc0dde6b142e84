// orvel-cli biquads, response, export and import: the integers listed are
// those recall writes to the device, the curves match the analog
// prototypes, and filter-settings text goes out and back to the same bands.

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>
#include <complex>

#include "AES-Standards/Convert.h"
#include "Tools/ConfigFiles.h"

namespace {

using tComplex = std::complex<double>;

// Analog prototypes, straight from the published section designs.
double ButterworthDb(double hz, double corner, int order, bool highPass) {
  const double ratio = highPass ? corner / hz : hz / corner;
  return -10.0 * std::log10(1.0 + std::pow(ratio, 2.0 * order));
}

// Bells: H(s) = (s^2 + n s w + w^2) / (s^2 + d s w + w^2); variant 0 has
// n, d = (1 +- g) / (0.3023944391 Q), g = (A - 1) / (A + 1); variant 1 has
// n, d = A / Q, 1 / Q for a boost and 1 / Q, 1 / (A Q) for a cut.
double BellDb(double hz, double centre, double gainDb, double q, int variant) {
  const double a = std::pow(10.0, gainDb / 20.0);
  double n = 0.0;
  double d = 0.0;
  if (variant == 0) {
    const double g = (a - 1.0) / (a + 1.0);
    n = (1.0 + g) / (0.3023944391 * q);
    d = (1.0 - g) / (0.3023944391 * q);
  } else {
    n = a >= 1.0 ? a / q : 1.0 / q;
    d = a >= 1.0 ? 1.0 / q : 1.0 / (a * q);
  }
  const tComplex s(0.0, hz / centre);
  return 20.0 * std::log10(std::abs((s * s + n * s + 1.0) / (s * s + d * s + 1.0)));
}

QJsonObject Json(const QString& text) { return QJsonDocument::fromJson(text.toUtf8()).object(); }

}  // namespace

class tst_cli_filters : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QVERIFY(mDir.isValid());
    QRandomGenerator random(77);
    mRandom = mDir.filePath("random.cfg");
    QVERIFY(SaveThroughProgram(RandomConfiguration(random), mRandom));
  }

  void biquadsAreWhatRecallWrites() {
    const QString log = mDir.filePath("wire.jsonl");
    auto sim = StartDevSim({"--log", log});
    QVERIFY(sim);
    const sRun recall = RunCli({"recall", mRandom}, sim->mPath);
    QVERIFY2(recall.mExit == 0, qPrintable(recall.mErr));
    // The last command 2 to each address is what the device holds.
    QMap<int, QJsonObject> wire;
    QFile file(log);
    QVERIFY(file.open(QIODevice::ReadOnly));
    for (const QByteArray& line : file.readAll().split('\n')) {
      const QJsonObject packet = QJsonDocument::fromJson(line).object();
      if (packet["dir"] == "rx" && packet["type"].toInt() == 2) {
        wire[packet["fields"].toObject()["address"].toInt()] = packet["fields"].toObject();
      }
    }
    const sRun biquads = RunCli({"biquads", mRandom, "--json"}, QString());
    QVERIFY2(biquads.mExit == 0, qPrintable(biquads.mErr));
    const QJsonArray listed = QJsonDocument::fromJson(biquads.mOut.toUtf8()).array();
    QCOMPARE(listed.size(), 36);
    QCOMPARE(wire.size(), 36);
    for (const QJsonValue& value : listed) {
      const QJsonObject entry = value.toObject();
      const int address = entry["address"].toInt();
      QVERIFY2(wire.contains(address), qPrintable(QString::number(address, 16)));
      const QJsonObject sent = wire[address];
      QCOMPARE(entry["coefficients"].toArray(), sent["coefficients"].toArray());
      const QJsonArray words = entry["words"].toArray();
      const QJsonArray bytes = entry["bytes"].toArray();
      QCOMPARE(words[0].toInt(), sent["frequency"].toInt());
      QCOMPARE(words[1].toInt(), sent["width"].toInt());
      QCOMPARE(GAIN(words[2].toInt()), GAIN(sent["gain"].toInt()));
      QCOMPARE(bytes[0].toInt(), sent["type"].toInt());
      QCOMPARE(bytes[1].toInt(), sent["variant"].toInt());
      QCOMPARE(bytes[2].toInt(), sent["flags"].toInt());
      QVERIFY(!entry["unit"].toString().isEmpty());
    }
  }

  void responseFollowsTheAnalogPrototypes() {
    sConfiguration c = FreshConfiguration();
    c.mPanels[0].mLowPass = {FrequencyToUWORD(120.0), HPF_BUTTERWORTH_12_DB, false};
    c.mPanels[1].mHighPass = {FrequencyToUWORD(150.0), HPF_BUTTERWORTH_12_DB, false};
    c.mPanels[2].mHighPass = {FrequencyToUWORD(2000.0), HPF_BUTTERWORTH_24_DB, false};
    c.mPanels[1].mEQ[0].mBands[1] = {FrequencyToUWORD(400.0), 20 << 8, 6 * 256, 0, 0, false};
    c.mPanels[1].mEQ[0].mBands[2] = {FrequencyToUWORD(1200.0), 28 << 8, -5 * 256, 0, 1, false};
    c.mPanels[1].mEQ[0].mBands[3] = {FrequencyToUWORD(700.0), 11 << 8, 4 * 256, 0, 1, false};
    const QString file = mDir.filePath("prototypes.cfg");
    QVERIFY(SaveThroughProgram(c, file));
    const sRun run = RunCli({"response", file, "--side", "left", "--csv"}, QString());
    QVERIFY2(run.mExit == 0, qPrintable(run.mErr));
    QStringList lines = run.mOut.split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.takeFirst(), QString("frequency_hz,Low L,Low L phase_deg,Low L group_delay_ms,Mid L,Mid L "
                                        "phase_deg,Mid L group_delay_ms,High L,High L phase_deg,High L "
                                        "group_delay_ms"));
    QCOMPARE(lines.size(), 288);
    double largest = 0.0;
    for (const QString& line : lines) {
      const QStringList v = line.split(',');
      const double hz = v[0].toDouble();
      if (hz >= 10000.0) break;
      const auto freq = [](const sPassFilterConfiguration& f) { return UWORDToFrequency(f.mFrequency); };
      const sPanelConfiguration& mid = c.mPanels[1];
      double midDb = ButterworthDb(hz, freq(mid.mHighPass), 2, true);
      for (int b = 1; b < 4; ++b) {
        const sBandConfiguration& band = mid.mEQ[0].mBands[std::size_t(b)];
        midDb += BellDb(hz, UWORDToFrequency(band.mFrequency), band.mGain / 256.0,
                        (band.mWidth >> 8) == 20   ? 1.415
                        : (band.mWidth >> 8) == 28 ? 2.388
                                                   : 0.707,
                        band.mVariant);
      }
      const double expected[3] = {ButterworthDb(hz, freq(c.mPanels[0].mLowPass), 2, false), midDb,
                                  ButterworthDb(hz, freq(c.mPanels[2].mHighPass), 4, true)};
      // Deep in a stopband the bilinear transform's frequency warping shows
      // (0.6 dB at -78 dB, 10 kHz, for a 120 Hz low-pass): the curves are
      // held to the prototype down to -30 dB.
      for (int p = 0; p < 3; ++p) {
        if (expected[p] < -30.0) continue;
        largest = std::max(largest, std::fabs(v[3 * p + 1].toDouble() - expected[p]));
      }
    }
    qInfo("largest difference below 10 kHz: %.4f dB", largest);
    QVERIFY2(largest < 0.1, qPrintable(QString::number(largest)));
    const QString png = mDir.filePath("response.png");
    const sRun drawn = RunCli({"response", file, "--png", png}, QString());
    QVERIFY2(drawn.mExit == 0, qPrintable(drawn.mErr));
    QCOMPARE(FileBytes(png).left(4), QByteArray("\x89PNG"));
  }

  void exportedFilterSettingsImportToTheSameBands() {
    // Bands and pass filters the text can carry: known types, frequencies
    // inside each band's range, gains within +-15 dB, widths on the table.
    QRandomGenerator random(5);
    sConfiguration c = FreshConfiguration();
    const ULONG kTypes[] = {nPEQ::BELL, nPEQ::LFSHELF, nPEQ::HFSHELF, nPEQ::BELL, nPEQ::HPASS};
    for (int p = 0; p < 3; ++p) {
      sPanelConfiguration& panel = c.mPanels[std::size_t(p)];
      panel.mHighPass = {UWORD(random.bounded(10699, 56622)), ULONG(p == 2 ? random.bounded(4) : 0), false};
      panel.mLowPass = {UWORD(random.bounded(10699, 56622)), 0, p == 2};
      for (int side = 0; side < 2; ++side) {
        std::vector<sBandConfiguration>& bands = panel.mEQ[std::size_t(side)].mBands;
        for (std::size_t b = 0; b < bands.size(); ++b) {
          const UWORD lower = cParametricEQUnit::GetFrequencyRangesLower(UBYTE(bands.size()), UBYTE(b));
          const UWORD upper = cParametricEQUnit::GetFrequencyRangesUpper(UBYTE(bands.size()), UBYTE(b));
          const ULONG type = kTypes[random.bounded(5)];
          bands[b] = {UWORD(random.bounded(lower, upper)),
                      UWORD(random.bounded(45) << 8),
                      GAIN(type == nPEQ::HPASS ? 0 : random.bounded(-3840, 3841)),
                      type,
                      0,
                      random.bounded(4) == 0};
          if (type != nPEQ::BELL) bands[b].mWidth = 13 << 8;  // widths mean nothing to shelves and passes
        }
      }
    }
    const QString original = mDir.filePath("representable.cfg");
    const QString fresh = mDir.filePath("fresh.cfg");
    QVERIFY(SaveThroughProgram(c, original));
    QCOMPARE(RunCli({"defaults", fresh}, QString()).mExit, 0);
    const char* const kPanels[] = {"low", "mid", "high"};
    const char* const kSides[] = {"left", "right"};
    for (int p = 0; p < 3; ++p) {
      for (int side = 0; side < 2; ++side) {
        const sRun text =
            RunCli({"export", original, "--format", "rew", "--panel", kPanels[p], "--side", kSides[side]}, QString());
        QVERIFY2(text.mExit == 0, qPrintable(text.mErr));
        const QString out = mDir.filePath(QString("imported-%1-%2.cfg").arg(p).arg(side));
        const sRun imported = RunCliWithInput(
            {"import", "-", "--into", fresh, "--panel", kPanels[p], "--side", kSides[side], out}, text.mOut.toUtf8());
        QVERIFY2(imported.mExit == 0, qPrintable(text.mOut + imported.mErr));
        QVERIFY(imported.mOut.contains("largest difference"));
        const QJsonObject back = Json(RunCli({"show", out, "--json"}, QString()).mOut);
        const QJsonObject want = Json(RunCli({"show", original, "--json"}, QString()).mOut);
        const QJsonObject backPanel = back["panels"].toArray()[p].toObject();
        const QJsonObject wantPanel = want["panels"].toArray()[p].toObject();
        // OFF lines are skipped: a bypassed band comes back bypassed, with the
        // values the file imported into had; every band that runs comes back
        // as it was, in its own band.
        const QJsonObject backEq = backPanel["eq"].toArray()[side].toObject();
        const QJsonObject wantEq = wantPanel["eq"].toArray()[side].toObject();
        for (int b = 0; b < wantEq["bands"].toArray().size(); ++b) {
          const QJsonObject wantBand = wantEq["bands"].toArray()[b].toObject();
          const QJsonObject backBand = backEq["bands"].toArray()[b].toObject();
          if (wantBand["bypass"].toBool() || wantEq["bypass"].toBool()) {
            QVERIFY(backBand["bypass"].toBool());
          } else {
            QVERIFY2(backBand == wantBand,
                     qPrintable(QJsonDocument(backBand).toJson(QJsonDocument::Compact) + "\n" +
                                QJsonDocument(wantBand).toJson(QJsonDocument::Compact) + "\n" + text.mOut));
          }
        }
        QVERIFY(!backEq["bypass"].toBool());
        QCOMPARE(backPanel["high_pass"], wantPanel["high_pass"]);
        if (p != 2) QCOMPARE(backPanel["low_pass"], wantPanel["low_pass"]);
      }
    }
  }

  void filterTextItCannotTakeIsRefusedByLine_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");
    const QString three =
        "Filter 1: ON PK Fc 100 Hz Gain -3.0 dB Q 2.00\nFilter 2: ON LS Fc 60 Hz Gain 2 dB\n"
        "Filter 3: ON PK Fc 1000 Hz Gain 1 dB Q 1\n";
    QTest::newRow("too many") << three
                              << "line 3 (\"Filter 3: ON PK Fc 1000 Hz Gain 1 dB Q 1\"): more filters than "
                                 "the Low panel's 2 bands";
    QTest::newRow("unknown type") << "Notes: x\nFilter 1: ON NO Fc 100 Hz\n"
                                  << "line 2 (\"Filter 1: ON NO Fc 100 Hz\"): unknown filter type \"NO\"";
    // The bands' shelves are first order: a steep shelf of a large gain comes
    // no closer than 1 dB.
    QTest::newRow("second-order shelf")
        << "Filter 1: ON LS 12dB Fc 100 Hz Gain 12 dB\n"
        << "line 1 (\"Filter 1: ON LS 12dB Fc 100 Hz Gain 12 dB\"): band 1 cannot take it within 1 dB";
    QTest::newRow("steep pass filter")
        << "Filter 1: ON HPQ Fc 100 Hz Q 2\n"
        << "line 1 (\"Filter 1: ON HPQ Fc 100 Hz Q 2\"): the high-pass cannot take it within 1 dB";
    QTest::newRow("clipped gain")
        << "Filter 1: ON PK Fc 100 Hz Gain -30 dB Q 2\n"
        << "line 1 (\"Filter 1: ON PK Fc 100 Hz Gain -30 dB Q 2\"): band 1 cannot take it within 1 dB: the "
           "largest difference on Low L is ";
    QTest::newRow("PC equaliser channel") << "Preamp: -3 dB\nChannel: L\nFilter: ON PK Fc 100 Hz Gain -3 dB Q 1\n"
                                          << "line 2 (\"Channel: L\"): \"Channel:\" is not taken";
    QTest::newRow("no free band") << "Filter 1: ON PK Fc 8 kHz Gain 1 dB Q 1\nFilter 2: ON PK Fc 9 kHz Gain 1 dB Q 1\n"
                                  << "line 2 (\"Filter 2: ON PK Fc 9 kHz Gain 1 dB Q 1\"): no band of the Low panel "
                                     "is left whose range holds 9.00 kHz";
    QTest::newRow("above half the rate") << "Filter: ON PK Fc 50 kHz Gain 1 dB Q 1\n"
                                         << "Fc must be below 48 kHz";
    QTest::newRow("no gain") << "Filter 1: ON PK Fc 100 Hz Q 2\n"
                             << "line 1 (\"Filter 1: ON PK Fc 100 Hz Q 2\"): no gain";
  }

  void filterTextItCannotTakeIsRefusedByLine() {
    QFETCH(QString, text);
    QFETCH(QString, message);
    const QString out = mDir.filePath("refused.cfg");
    const sRun run =
        RunCliWithInput({"import", "-", "--into", mRandom, "--panel", "low", "--side", "left", out}, text.toUtf8());
    QCOMPARE(run.mExit, 1);
    QVERIFY2(run.mErr.contains(message), qPrintable(run.mErr));
    QVERIFY(!QFile::exists(out));
  }

  void pcEqualiserTextImports() {
    // A PC equaliser's file: its preamp, unnumbered lines, shelves with a Q
    // and with a slope, a peak by bandwidth, lines that are off.
    const QByteArray text =
        "# headphone correction\nPreamp: -6.5 dB\nFilter: ON LSC Fc 105 Hz Gain 2.5 dB Q 0.70\n"
        "Filter: ON PK Fc 3000 Hz Gain -4 dB BW Oct 1.0\nFilter: OFF PK Fc 500 Hz Gain 9 dB Q 1\n"
        "Filter: ON HS 6dB Fc 4000 Hz Gain -2 dB\nFilter: ON PK Fc 400 Hz Gain 1.5 dB Q 2\nFilter 9: ON None\n";
    sConfiguration c = FreshConfiguration();
    c.mStrips[4].mGain = 0;
    c.mStrips[5].mGain = 2 * 256;
    const QString into = mDir.filePath("pc-into.cfg");
    const QString out = mDir.filePath("pc-out.cfg");
    QVERIFY(SaveThroughProgram(c, into));
    const sRun run = RunCliWithInput({"import", "-", "--into", into, "--panel", "mid", "--side", "both", out}, text);
    QVERIFY2(run.mExit == 0, qPrintable(run.mErr + run.mOut));
    QVERIFY2(run.mOut.contains("line 5: Filter: OFF PK Fc 500 Hz Gain 9 dB Q 1\n    skipped (OFF)\n"),
             qPrintable(run.mOut));
    QVERIFY(run.mOut.contains("line 8: Filter 9: ON None\n    skipped (None)\n"));
    QVERIFY(run.mOut.contains("Mid L output strip: fader 0.00 dB (0) -> -6.50 dB (-1664)"));
    QVERIFY(run.mOut.contains("Mid R output strip: fader 2.00 dB (512) -> -4.50 dB (-1152)"));
    const QJsonObject back = Json(RunCli({"show", out, "--json"}, QString()).mOut);
    const QJsonArray bands = back["panels"].toArray()[1].toObject()["eq"].toArray()[1].toObject()["bands"].toArray();
    // Mid bands: 20-200 Hz, 35 Hz-1 kHz, 500 Hz-5 kHz, 2-20 kHz. The low
    // shelf takes the first band, the peak at 400 Hz the second, the one at
    // 3 kHz the third, the high shelf the last.
    QCOMPARE(bands[0].toObject()["type_name"].toString(), QString("LFSHELF"));
    QCOMPARE(bands[1].toObject()["gain_db"].toDouble(), 1.5);
    QCOMPARE(bands[2].toObject()["gain_db"].toDouble(), -4.0);
    QCOMPARE(bands[3].toObject()["type_name"].toString(), QString("HFSHELF"));
    for (const QJsonValue& band : bands) QVERIFY(!band.toObject()["bypass"].toBool());
    // The 12 dB/octave shelf of Q 0.7 becomes a first-order one: within 1 dB.
    static const QRegularExpression kShelf(
        "line 3: [^\n]*\n    Mid L band 1: LFSHELF[^\n]*\n    largest difference (\\S+) dB");
    const QRegularExpressionMatch shelf = kShelf.match(run.mOut);
    QVERIFY2(shelf.hasMatch(), qPrintable(run.mOut));
    QVERIFY(shelf.captured(1).toDouble() > 0.1 && shelf.captured(1).toDouble() <= 1.0);
  }

  void importPlacesFiltersByTheirBandsRanges() {
    const QString out = mDir.filePath("placed.cfg");
    // In text order the 600 Hz peak would take the second band and leave the
    // 30 Hz one none (the second band starts at 35 Hz).
    const QByteArray text =
        "Filter 1: ON PK Fc 600 Hz Gain 2 dB Q 1\nFilter 2: ON PK Fc 100 Hz Gain -2 dB Q 1\n"
        "Filter 3: ON PK Fc 30 Hz Gain 3 dB Q 1\n";
    const sRun run = RunCliWithInput({"import", "-", "--into", mRandom, "--panel", "mid", "--side", "left", out}, text);
    QVERIFY2(run.mExit == 0, qPrintable(run.mErr));
    const QJsonArray bands = Json(RunCli({"show", out, "--json"}, QString()).mOut)["panels"]
                                 .toArray()[1]
                                 .toObject()["eq"]
                                 .toArray()[0]
                                 .toObject()["bands"]
                                 .toArray();
    QCOMPARE(bands[0].toObject()["gain_db"].toDouble(), 3.0);
    QCOMPARE(bands[1].toObject()["gain_db"].toDouble(), -2.0);
    QCOMPARE(bands[2].toObject()["gain_db"].toDouble(), 2.0);
    QVERIFY(bands[3].toObject()["bypass"].toBool());
    QVERIFY(run.mOut.contains("not in the text: Mid L band 4 bypassed"));
  }

  void narrowCutTakesTheOtherBellVariant() {
    // A fresh band's bell (variant 0) would need Q 61 for this; its table
    // ends at 34.6, where the reciprocal bell (variant 1) needs no more.
    const QString fresh = mDir.filePath("variant-fresh.cfg");
    const QString out = mDir.filePath("variant.cfg");
    QCOMPARE(RunCli({"defaults", fresh}, QString()).mExit, 0);
    const sRun run = RunCliWithInput({"import", "-", "--into", fresh, "--panel", "mid", "--side", "left", out},
                                     "Filter 3: ON PK Fc 782 Hz Gain -8.7 dB Q 20.97\n");
    QVERIFY2(run.mExit == 0, qPrintable(run.mErr));
    const QJsonObject band = Json(RunCli({"show", out, "--json"}, QString()).mOut)["panels"]
                                 .toArray()[1]
                                 .toObject()["eq"]
                                 .toArray()[0]
                                 .toObject()["bands"]
                                 .toArray()[2]
                                 .toObject();
    QCOMPARE(band["variant"].toInt(), 1);
    QCOMPARE(band["q"].toDouble(), 34.623);
  }

  void importRefusesWhatItCannotComeCloseTo() {
    const QString out = mDir.filePath("max-error.cfg");
    const QByteArray deep = "Filter 1: ON PK Fc 100 Hz Gain -30 dB Q 2\n";
    // A wider allowance takes the filter and says how far it is off.
    const sRun wide = RunCliWithInput(
        {"import", "-", "--into", mRandom, "--panel", "low", "--side", "left", "--max-error", "16", out}, deep);
    QVERIFY2(wide.mExit == 0, qPrintable(wide.mErr));
    static const QRegularExpression kLargest("largest difference (\\S+) dB");
    const double largest = kLargest.match(wide.mOut).captured(1).toDouble();
    // 15 dB at the centre; the grid's nearest point lies beside it.
    QVERIFY2(largest > 14.5 && largest < 15.01, qPrintable(wide.mOut));
    QFile::remove(out);
    QCOMPARE(
        RunCliWithInput(
            {"import", "-", "--into", mRandom, "--panel", "low", "--side", "left", "--max-error", "much", out}, deep)
            .mExit,
        2);
    // A preamp the fader cannot follow: +20 dB from 0 dB passes full scale.
    sConfiguration c = FreshConfiguration();
    c.mStrips[2].mGain = 0;
    const QString into = mDir.filePath("preamp-into.cfg");
    QVERIFY(SaveThroughProgram(c, into));
    const sRun loud =
        RunCliWithInput({"import", "-", "--into", into, "--panel", "low", "--side", "left", out}, "Preamp: +20 dB\n");
    QCOMPARE(loud.mExit, 1);
    QVERIFY2(loud.mErr.contains("line 1 (\"Preamp: +20 dB\"): the Low L output strip cannot take it within 1 dB"),
             qPrintable(loud.mErr));
    QVERIFY(!QFile::exists(out));
  }

  void exportFormats() {
    const sRun yaml = RunCli({"export", mRandom, "--format", "camilladsp"}, QString());
    QVERIFY2(yaml.mExit == 0 || yaml.mErr.contains("below 48 kHz"), qPrintable(yaml.mErr));
    if (yaml.mExit == 0) {
      QVERIFY(yaml.mOut.contains("filters:\n"));
      QVERIFY(yaml.mOut.contains("    channels: [5]\n"));
    }
    const sRun text = RunCli({"export", mRandom, "--format", "text", "--panel", "low", "--side", "left"}, QString());
    QVERIFY2(text.mExit == 0, qPrintable(text.mErr));
    // Four biquads of Low L, each b0 b1 b2 a0 = 1 a1 a2.
    const QStringList rows = text.mOut.split('\n', Qt::SkipEmptyParts).filter(QRegularExpression("^LMH"));
    QCOMPARE(rows.size(), 4);
    for (const QString& row : rows) QCOMPARE(row.section(':', -1).split(' ', Qt::SkipEmptyParts).at(3), QString("1"));
    QCOMPARE(RunCli({"export", mRandom, "--format", "csv"}, QString()).mExit, 2);
  }

 private:
  QTemporaryDir mDir;
  QString mRandom;
};

QTEST_GUILESS_MAIN(tst_cli_filters)
#include "tst_cli_filters.moc"
