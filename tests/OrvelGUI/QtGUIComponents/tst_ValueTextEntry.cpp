// Text typed into a value widget, read back into a controller value: what
// the user typed is what the widget then shows, units change the scale, and
// text that is no number of the type is refused before any logarithm.

#include <QtTest>
#include <cmath>

#include "AES-Standards/Convert.h"
#include "OrvelGUI/QtGUIComponents/ProjectCCFormat.h"
#include "OrvelGUI/QtGUIComponents/QmlValueInterpreterSingleton.h"
#include "OrvelGUI/QtGUIComponents/ValueStepper.h"
#include "OrvelGUI/QtGUIComponents/ValueTextParser.h"
#include "TestSupport.h"

namespace {

constexpr int kRefused = -1;

int Parse(const QString& text, int type, int minimum = 0, int maximum = 65535) {
  const std::optional<UWORD> value = cValueTextParser::Parse(text, type, UWORD(minimum), UWORD(maximum));
  return value ? int(*value) : kRefused;
}

QString Shown(int value, int type, int places) {
  const cValueUnitStrings strings =
      cQmlValueInterpreterSingleton::Interpret(UWORD(value), 0.0, type, cEWCCFormat::eEWCCTypeDecimalPlaces(places));
  return strings.value() + strings.units();
}

}  // namespace

class tst_ValueTextEntry : public QObject {
  Q_OBJECT

 private slots:
  void values_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("value");
    using F = cEWCCFormat;
    QTest::newRow("0 dB") << "0" << int(F::GAIN_OFFSET_DB) << 32768;
    // A typed gain is its nearest code, as a file or orvel-cli gives it.
    QTest::newRow("+1.5 dB") << "1.5" << int(F::GAIN_OFFSET_DB) << 32768 + 384;
    QTest::newRow("-1.5 dB with unit") << " -1.5 dB " << int(F::GAIN_OFFSET_DB_FORCE_ZERO) << 32768 - 384;
    QTest::newRow("6 dB") << "6" << int(F::GAIN_OFFSET_DB) << 32768 + 1536;
    QTest::newRow("+6 dB") << "+6" << int(F::GAIN_OFFSET_DB) << 32768 + 1536;
    QTest::newRow("-9.5 dB") << "-9.5" << int(F::GAIN_OFFSET_DB) << 32768 - 2432;
    QTest::newRow("0.7 dB, nearest") << "0.7" << int(F::GAIN_OFFSET_DB) << 32768 + 179;
    QTest::newRow("minus infinity is the bottom") << "-Inf" << int(F::GAIN_OFFSET_DB) << 0x5800;
    QTest::newRow("infinity is the top") << "INF" << int(F::GAIN_OFFSET_DB_SUB_40) << 0x8C00;
    QTest::newRow("gain held at the top") << "40" << int(F::GAIN_OFFSET_DB_NO_UNITS) << 0x8C00;
    QTest::newRow("time without unit is ms") << "5" << int(F::TIME_SEC) << 22039;
    // Mended: "ms" used to count as seconds because it contains an "s".
    QTest::newRow("5ms") << "5ms" << int(F::TIME_SEC) << 22039;
    QTest::newRow("5 ms") << "5 MS" << int(F::TIME_SEC) << 22039;
    QTest::newRow("500 us") << "500us" << int(F::TIME_SEC) << 16081;
    QTest::newRow("500 micro sign s") << "500 \u00b5s" << int(F::TIME_SEC) << 16081;
    QTest::newRow("500 mu s") << "500\u03bcs" << int(F::TIME_SEC) << 16081;
    QTest::newRow("0.5 s") << "0.5s" << int(F::TIME_SEC) << 33954;
    QTest::newRow("zero time is the bottom") << "0" << int(F::TIME_SEC) << 0x5800;
    QTest::newRow("doubled time halves") << "1 ms" << int(F::TIME_SEC_DOUBLED) << 16081;
    QTest::newRow("inverted time") << "1 ms" << int(F::TIME_SEC_INVERTED) << 65535 - 17874;
    QTest::newRow("1 kHz") << "1k" << int(F::FREQ_HZ) << 36706;
    QTest::newRow("1 kHz spelled out") << "1 kHz" << int(F::FREQ_HZ_COMPACT) << 36706;
    QTest::newRow("1000 Hz") << "1000 Hz" << int(F::FREQ_HZ) << 36706;
    QTest::newRow("20 Hz") << "20" << int(F::FREQ_HZ) << 10699;
    QTest::newRow("zero frequency is the bottom") << "0" << int(F::FREQ_HZ) << 0x5800;
    QTest::newRow("below 4 Hz is code 0") << "1" << int(F::FREQ_HZ) << 0x5800;
    QTest::newRow("raw") << "1" << int(F::NO_UNITS) << 33024;
    QTest::newRow("raw doubled") << "-2" << int(F::DOUBLED_VALUE) << 32768 - 512;
    QTest::newRow("width as fraction") << "1/3" << int(cProjectCCFormat::FILTER_WIDTH) << 33 * 256;
    QTest::newRow("width as number") << "0.5" << int(cProjectCCFormat::FILTER_WIDTH) << 30 * 256;
    QTest::newRow("width snaps narrower") << "2.95" << int(cProjectCCFormat::FILTER_WIDTH) << 1 * 256;
    QTest::newRow("width beyond the widest") << "12" << int(cProjectCCFormat::FILTER_WIDTH) << 0;
    QTest::newRow("width below the narrowest") << "1/48" << int(cProjectCCFormat::FILTER_WIDTH) << 44 * 256;
  }
  void values() {
    QFETCH(QString, text);
    QFETCH(int, type);
    QFETCH(int, value);
    // Range of a frequency or fader widget: the ends are where the
    // infinities and zeros land.
    const bool ranged = value == 0x5800 || value == 0x8C00;
    QCOMPARE(Parse(text, type, ranged ? 0x5800 : 0, ranged ? 0x8C00 : 65535), value);
  }

  // What was typed is what the widget shows afterwards.
  void typedTextIsShown_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("places");
    QTest::addColumn<QString>("shown");
    using F = cEWCCFormat;
    QTest::newRow("gain") << "1.5" << int(F::GAIN_OFFSET_DB) << 1 << "1.5dB";
    QTest::newRow("negative gain") << "-7.3" << int(F::GAIN_OFFSET_DB) << 1 << "-7.3dB";
    QTest::newRow("small gain") << "0.1" << int(F::GAIN_OFFSET_DB) << 1 << "0.1dB";
    QTest::newRow("gain below its nearest code") << "0.7" << int(F::GAIN_OFFSET_DB) << 1 << "0.7dB";
    QTest::newRow("negative gain above its code") << "-0.3" << int(F::GAIN_OFFSET_DB) << 1 << "-0.3dB";
    QTest::newRow("two places") << "-2.37" << int(F::GAIN_OFFSET_DB) << 2 << "-2.37dB";
    QTest::newRow("1 kHz") << "1k" << int(F::FREQ_HZ) << 0 << "1.00kHz";
    QTest::newRow("just below 1 kHz") << "999.7" << int(F::FREQ_HZ) << 0 << "1.00kHz";
    QTest::newRow("delay") << "5ms" << int(F::TIME_SEC) << 1 << "5.00ms";
    QTest::newRow("short delay") << "250us" << int(F::TIME_SEC) << 1 << "250\u00b5s";
    QTest::newRow("frequency") << "2.5k" << int(F::FREQ_HZ) << 0 << "2.50kHz";
    QTest::newRow("low frequency") << "80" << int(F::FREQ_HZ) << 0 << "80.0Hz";
    QTest::newRow("width third") << "1/3" << int(cProjectCCFormat::FILTER_WIDTH) << 0 << "1/3";
    QTest::newRow("width quarter") << "0.25" << int(cProjectCCFormat::FILTER_WIDTH) << 0 << "1/4";
  }
  void typedTextIsShown() {
    QFETCH(QString, text);
    QFETCH(int, type);
    QFETCH(int, places);
    QFETCH(QString, shown);
    const int value = Parse(text, type);
    QVERIFY(value != kRefused);
    QCOMPARE(Shown(value, type, places), shown);
  }

  // Mended: no logarithm of zero, a negative or a non-number is ever taken.
  void refused_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("report");
    using F = cEWCCFormat;
    QTest::newRow("empty gain") << "" << int(F::GAIN_OFFSET_DB) << "not a gain";
    QTest::newRow("words for a gain") << "loud" << int(F::GAIN_OFFSET_DB) << "not a gain";
    QTest::newRow("negative time") << "-3 ms" << int(F::TIME_SEC) << "a time cannot be negative";
    QTest::newRow("words for a time") << "ms" << int(F::TIME_SEC) << "not a time";
    QTest::newRow("negative frequency") << "-100" << int(F::FREQ_HZ) << "a frequency cannot be negative";
    QTest::newRow("not a frequency") << "k" << int(F::FREQ_HZ) << "not a frequency";
    QTest::newRow("nan") << "nan" << int(F::FREQ_HZ) << "not a frequency";
    QTest::newRow("raw words") << "x1" << int(F::DONT_INTERPRET) << "not a number";
    QTest::newRow("width over zero") << "1/0" << int(cProjectCCFormat::FILTER_WIDTH) << "not a width";
    QTest::newRow("zero width") << "0" << int(cProjectCCFormat::FILTER_WIDTH) << "a width must be positive";
    QTest::newRow("type without text entry")
        << "50" << int(F::PERCENTAGE) << "Unhandled EWCCFormat type. Check and/or add type";
  }
  void refused() {
    QFETCH(QString, text);
    QFETCH(int, type);
    QFETCH(QString, report);
    cReportCapture reports;
    QCOMPARE(Parse(text, type), kRefused);
    QVERIFY2(reports.Contains(report.toStdString()), qPrintable(reports.Dump()));
  }

  // Keys and the wheel step on each type's own grid; a value off the grid
  // goes to its next point first; the ends hold.
  void steps_data() {
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("steps");
    QTest::addColumn<bool>("fine");
    QTest::addColumn<int>("to");
    using F = cEWCCFormat;
    constexpr int dB = 0x8000;
    QTest::newRow("gain up") << int(F::GAIN_OFFSET_DB) << dB - 2432 << 1 << false << dB - 2304;
    QTest::newRow("gain off the grid, down") << int(F::GAIN_OFFSET_DB) << dB - 2150 << -1 << false << dB - 2176;
    QTest::newRow("gain on a tenth's nearest code") << int(F::GAIN_OFFSET_DB) << dB + 179 << 1 << true << dB + 205;
    QTest::newRow("gain held at the top") << int(F::GAIN_OFFSET_DB) << dB + 2944 << 10 << false << 0x8C00;
    QTest::newRow("fader up from off") << int(F::GAIN_OFFSET_DB) << 0 << 1 << false << dB - 10112;
    QTest::newRow("fader down to off") << int(F::GAIN_OFFSET_DB) << dB - 10112 << -1 << false << 0x5800;
    QTest::newRow("frequency up to 1/24 octave") << int(F::FREQ_HZ) << 36706 << 1 << false << 36864;
    QTest::newRow("frequency fine") << int(F::FREQ_HZ) << 36864 << -1 << true << 36816;
    QTest::newRow("frequency held at the bottom") << int(F::FREQ_HZ) << 10699 << -1 << false << 10699;
    QTest::newRow("width a row") << int(cProjectCCFormat::FILTER_WIDTH) << 0x0D00 << 1 << false << 0x0E00;
    QTest::newRow("width held") << int(cProjectCCFormat::FILTER_WIDTH) << 0x2C00 << 3 << false << 0x2C00;
    // Up on a bell's Q field narrows the bell: the next width row.
    QTest::newRow("bell Q a row up") << int(cProjectCCFormat::BELL_Q) << 0x0D00 << 1 << false << 0x0E00;
    QTest::newRow("no grid") << int(F::PERCENTAGE) << 40 << 1 << false << 40;
  }
  void steps() {
    QFETCH(int, type);
    QFETCH(int, from);
    QFETCH(int, steps);
    QFETCH(bool, fine);
    QFETCH(int, to);
    const bool gain = cEWCCFormat::IsGainType(type);
    const UWORD minimum = gain ? 0x5800 : cEWCCFormat::IsFrequencyType(type) ? 10699 : 0;
    const UWORD maximum = gain ? 0x8C00 : cEWCCFormat::IsFrequencyType(type) ? 56622 : 0x2C00;
    QCOMPARE(int(cValueStepper::Step(UWORD(from), type, steps, fine, minimum, maximum, gain)), to);
  }

  // Delays step by 0.1 ms, fine by one sample at 96 kHz.
  void delaySteps() {
    const auto seconds = [](UWORD code) { return UWORDToTime(code); };
    const auto step = [](UWORD from, int steps, bool fine) {
      return cValueStepper::Step(from, cEWCCFormat::TIME_SEC, steps, fine, 0, 23832, false);
    };
    QCOMPARE(QString::number(seconds(step(0, 1, false)) * 1e3, 'f', 3), QString("0.100"));
    const UWORD oneMs = UWORD(std::lround(TimeCode(1e-3)));
    QCOMPARE(QString::number(seconds(step(oneMs, 3, false)) * 1e3, 'f', 3), QString("1.300"));
    QCOMPARE(std::lround(seconds(step(oneMs, 1, true)) * 96000.0), 97L);  // 96 samples and one
    QCOMPARE(int(step(step(0, 1, false), -1, false)), 0);
    QCOMPARE(int(step(23000, 100, false)), 23832);
  }

  void throughTheSingleton() {
    cQmlValueInterpreterSingleton interpreter;
    QCOMPARE(interpreter.valueFromString("1k", int(cEWCCFormat::FREQ_HZ), 10699, 56622), 36706);
    QCOMPARE(interpreter.valueFromString("100k", int(cEWCCFormat::FREQ_HZ), 10699, 56622), 56622);
    // Limits beyond 16 bits, or given the wrong way round, still bound it.
    QCOMPARE(interpreter.valueFromString("inf", int(cEWCCFormat::GAIN_OFFSET_DB), 70000, -4), 65535);
    QCOMPARE(interpreter.valueFromString("-inf", int(cEWCCFormat::GAIN_OFFSET_DB), 70000, -4), 0);
    cReportCapture reports;
    QCOMPARE(interpreter.valueFromString("fast", int(cEWCCFormat::TIME_SEC), 0, 23832), -1);
    // What the user is told about an entry not taken as typed.
    const auto notice = [&](const QString& text, int type, int minimum, int maximum, bool levelType) {
      return interpreter.entryNotice(text, type, minimum, maximum, cEWCCFormat::ONE_DECIMAL_PLACE, levelType);
    };
    QCOMPARE(notice("+6", cEWCCFormat::GAIN_OFFSET_DB, 0x5800, 0x8000, true), QString("The highest is 0.0\u2009dB"));
    QCOMPARE(notice("-60", cEWCCFormat::GAIN_OFFSET_DB, 0x5800, 0x8000, true), QString("Below -40.0\u2009dB is off"));
    QCOMPARE(notice("10", cEWCCFormat::FREQ_HZ, 10699, 56622, false), QString("The lowest is 20.0\u2009Hz"));
    QCOMPARE(notice("-inf", cEWCCFormat::GAIN_OFFSET_DB, 0x5800, 0x8000, true), QString());
    QCOMPARE(notice("-6", cEWCCFormat::GAIN_OFFSET_DB, 0x5800, 0x8000, true), QString());
    QCOMPARE(notice(" ", cEWCCFormat::GAIN_OFFSET_DB, 0x5800, 0x8000, true), QString());
    QCOMPARE(notice("fast", cEWCCFormat::TIME_SEC, 0, 23832, false), QString("fast: not a time"));
    QCOMPARE(interpreter.stepValue(0, int(cEWCCFormat::GAIN_OFFSET_DB), 1, false, 0x5800, 0x8000, true),
             0x8000 - 10112);
  }

  // A bell's width is shown and typed as the Q its curve realises at the
  // band's gain and frequency: every width reads back as itself, at any
  // gain and frequency, and the same typed Q asks for a narrower table Q at
  // a higher gain.
  void bellQ() {
    cQmlValueInterpreterSingleton interpreter;
    const int type = cProjectCCFormat::BELL_Q;
    const UWORD kHz1 = FrequencyToUWORD(1000.0);
    const auto at = [](GAIN gain, UWORD frequency) { return cProjectCCFormat::BellExponent(gain, frequency); };
    for (const GAIN gain : {GAIN(-15 * 256), GAIN(0), GAIN(6 * 256), GAIN(15 * 256)}) {
      for (const double hz : {30.0, 1000.0, 18000.0}) {
        const double exponent = at(gain, FrequencyToUWORD(hz));
        for (int index = 0; index < 45; ++index) {
          const QString shown = cQmlValueInterpreterSingleton::Interpret(UWORD(index << 8), exponent, type,
                                                                         cEWCCFormat::TWO_DECIMAL_PLACES)
                                    .value();
          QVERIFY2(shown.startsWith("Q "), qPrintable(shown));
          QCOMPARE(interpreter.valueFromStringWithExponent(shown, exponent, type, 0, 0x2C00), index << 8);
        }
      }
    }
    // The exponent carries both exactly, also the ends.
    for (const GAIN gain : {GAIN(-32767), GAIN(-3840), GAIN(0), GAIN(32767)}) {
      for (const UWORD frequency : {UWORD(0), kHz1, UWORD(65535)}) {
        GAIN g = 1;
        UWORD f = 1;
        cProjectCCFormat::BellOfExponent(at(gain, frequency), g, f);
        QCOMPARE(g, gain);
        QCOMPARE(f, frequency);
      }
    }
    // Table Q 0.801 (the default width) at 0 dB and at +6 dB, 1 kHz; at
    // 16 kHz the bilinear transform's warping narrows it by 9 %.
    QCOMPARE(
        cQmlValueInterpreterSingleton::Interpret(13 << 8, at(0, kHz1), type, cEWCCFormat::TWO_DECIMAL_PLACES).value(),
        QString("Q 0.242"));
    QCOMPARE(cQmlValueInterpreterSingleton::Interpret(13 << 8, at(6 * 256, kHz1), type, cEWCCFormat::TWO_DECIMAL_PLACES)
                 .value(),
             QString("Q 0.257"));
    QCOMPARE(cQmlValueInterpreterSingleton::Interpret(13 << 8, at(0, FrequencyToUWORD(16000.0)), type,
                                                      cEWCCFormat::TWO_DECIMAL_PLACES)
                 .value(),
             QString("Q 0.220"));
    // Q 1 needs table Q 3.31 at 0 dB (3.194, index 31), less at +15 dB (2.37: 2.388, index 28).
    QCOMPARE(interpreter.valueFromStringWithExponent("1", at(0, kHz1), type, 0, 0x2C00), 31 << 8);
    QCOMPARE(interpreter.valueFromStringWithExponent("q=1", at(15 * 256, kHz1), type, 0, 0x2C00), 28 << 8);
    QCOMPARE(interpreter.valueFromStringWithExponent("1q", at(0, kHz1), type, 0, 0x2C00), 31 << 8);
    // Beyond the table: its ends.
    QCOMPARE(interpreter.valueFromStringWithExponent("100", at(0, kHz1), type, 0, 0x2C00), 44 << 8);
    QCOMPARE(interpreter.valueFromStringWithExponent("0.01", at(0, kHz1), type, 0, 0x2C00), 0);
    cReportCapture reports;
    QCOMPARE(interpreter.valueFromStringWithExponent("0", at(0, kHz1), type, 0, 0x2C00), -1);
    QCOMPARE(interpreter.valueFromStringWithExponent("1 oct", at(0, kHz1), type, 0, 0x2C00), -1);
    QVERIFY2(reports.Contains("a Q must be positive"), qPrintable(reports.Dump()));
  }
};

QTEST_GUILESS_MAIN(tst_ValueTextEntry)
#include "tst_ValueTextEntry.moc"
