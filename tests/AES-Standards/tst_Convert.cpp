#include <QtTest>
#include <cmath>
#include <limits>

#include "AES-Standards/Convert.h"
#include "TestSupport.h"

class tst_Convert : public QObject {
  Q_OBJECT

 private slots:
  void ubyteToBool_data() {
    QTest::addColumn<int>("value");
    QTest::addColumn<bool>("expected");
    QTest::addColumn<QString>("report");
    QTest::newRow("0") << 0 << false << QString();
    QTest::newRow("1") << 1 << true << QString();
    QTest::newRow("2") << 2 << true << "Bad conversion to boolean for UBYTE with value 0x2\t";
    QTest::newRow("0xFF") << 0xFF << true << "Bad conversion to boolean for UBYTE with value 0xFF\t";
  }
  void ubyteToBool() {
    QFETCH(int, value);
    QFETCH(bool, expected);
    QFETCH(QString, report);
    cReportCapture reports;
    QCOMPARE(UBYTEToBool(UBYTE(value)), expected);
    if (report.isEmpty()) {
      QVERIFY2(reports.Lines().empty(), qPrintable(reports.Dump()));
    } else {
      QCOMPARE(reports.Count("ERROR: " + report.toStdString() + "(file:///AES-Standards/Convert:"), 1);
    }
  }

  void gainFigures_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("gain");
    QTest::newRow("0 dB") << 0x8000 << 0;
    QTest::newRow("+1 dB") << 0x8000 + 256 << 256;
    QTest::newRow("-1 dB") << 0x8000 - 256 << -256;
    QTest::newRow("minus infinity") << 0 << int(kGainMinusInfinity);
    QTest::newRow("top") << 0xFFFF << 0x7FFF;
  }
  void gainFigures() {
    QFETCH(int, code);
    QFETCH(int, gain);
    QCOMPARE(int(UWORDToGain(UWORD(code))), gain);
    QCOMPARE(int(GainToUWORD(GAIN(gain))), code);
  }

  void gainRoundTrips() {
    for (int gain = kGainMinusInfinity; gain <= 32767; ++gain) {
      if (UWORDToGain(GainToUWORD(GAIN(gain))) != gain) QFAIL(qPrintable(QString("gain %1").arg(gain)));
    }
    // Code 1 is the same minus infinity as code 0; every other code survives.
    for (int code = 2; code <= 0xFFFF; ++code) {
      if (GainToUWORD(UWORDToGain(UWORD(code))) != code) QFAIL(qPrintable(QString("code %1").arg(code)));
    }
    QCOMPARE(int(GainToUWORD(UWORDToGain(1))), 0);
  }

  void frequencyFigures_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<double>("hertz");
    QTest::newRow("lowest") << 0 << 4.0;
    QTest::newRow("one octave") << 4608 << 8.0;
    QTest::newRow("near 1 kHz") << 36706 << 4.0 * std::pow(2.0, 36706 / 4608.0);
    QTest::newRow("highest") << 65535 << 76438.1;
  }
  void frequencyFigures() {
    QFETCH(int, code);
    QFETCH(double, hertz);
    QVERIFY(std::fabs(UWORDToFrequency(UWORD(code)) - hertz) < 0.05);
  }

  void timeFigures_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<double>("seconds");
    QTest::newRow("zero") << 0 << 0.0;
    QTest::newRow("1 us") << 1 << 1e-6;
    QTest::newRow("one decade up") << 5959 << 1e-6 * std::pow(10.0, 5958 * 11.0 / 65536.0);
    QTest::newRow("highest") << 65535 << 99922.7;
  }
  void timeFigures() {
    QFETCH(int, code);
    QFETCH(double, seconds);
    QVERIFY(std::fabs(UWORDToTime(UWORD(code)) - seconds) <= seconds * 1e-6);
  }

  // The encoders truncate exactly what the formulas give. The last rows lie a
  // few 1e-8 of a code below a whole code, far above rounding noise: they must
  // give the code below.
  void encodersTruncate_data() {
    QTest::addColumn<double>("hertz");
    QTest::addColumn<int>("frequencyCode");
    QTest::addColumn<double>("seconds");
    QTest::addColumn<int>("timeCode");
    QTest::newRow("edges: 8 Hz, 1 us") << 8.0 << 4608 << 1e-6 << 1;
    QTest::newRow("lowest") << 4.0 << 0 << 0.0 << 0;
    QTest::newRow("1 kHz (36706.33), 10 us (5958.8)") << 1000.0 << 36706 << 1e-5 << 5958;
    QTest::newRow("just below a code (45046.99999997, 50712.99999997)")
        << 3506.521 << 45046 << 31196944 / 96000.0 << 50712;
    QTest::newRow("just below a code (49654.99999997, 51730.99999997)")
        << 7013.042 << 49654 << 46235970 / 96000.0 << 51730;
  }
  void encodersTruncate() {
    QFETCH(double, hertz);
    QFETCH(int, frequencyCode);
    QFETCH(double, seconds);
    QFETCH(int, timeCode);
    QCOMPARE(int(FrequencyToUWORD(hertz)), frequencyCode);
    QCOMPARE(int(TimeToUWORD(seconds)), timeCode);
  }

  // A value inside a code's step encodes to that code; the value of a code
  // itself comes back as that code or, by rounding noise under truncation, the
  // one below.
  void codesRoundTrip() {
    int frequencyLower = 0;
    int timeLower = 0;
    for (int code = 0; code <= 0xFFFF; ++code) {
      const int frequency = FrequencyToUWORD(UWORDToFrequency(UWORD(code)));
      const int time = TimeToUWORD(UWORDToTime(UWORD(code)));
      if (frequency != code && frequency != code - 1) QFAIL(qPrintable(QString("frequency %1").arg(code)));
      if (time != code && time != code - 1) QFAIL(qPrintable(QString("time %1").arg(code)));
      frequencyLower += frequency != code ? 1 : 0;
      timeLower += time != code ? 1 : 0;
      if (code == 0xFFFF) break;
      const double midFrequency = 4.0 * std::pow(2.0, (code + 0.5) / 4608.0);
      if (FrequencyToUWORD(midFrequency) != code) QFAIL(qPrintable(QString("frequency step %1").arg(code)));
      if (code == 0) continue;
      const double midTime = 1e-6 * std::pow(10.0, (code - 0.5) * 11.0 / 65536.0);
      if (TimeToUWORD(midTime) != code) QFAIL(qPrintable(QString("time step %1").arg(code)));
    }
    // Most codes survive exactly; the drops are rounding noise, not a bias.
    QVERIFY2(frequencyLower < 0x10000 / 5, qPrintable(QString::number(frequencyLower)));
    QVERIFY2(timeLower < 0x10000 / 5, qPrintable(QString::number(timeLower)));
  }

  void encodersClampOutOfRange_data() {
    QTest::addColumn<double>("hertz");
    QTest::addColumn<double>("seconds");
    QTest::addColumn<int>("code");
    const double nan = std::numeric_limits<double>::quiet_NaN();
    QTest::newRow("below range") << 1.0 << 1e-9 << 0;
    QTest::newRow("negative") << -5.0 << -1.0 << 0;
    QTest::newRow("above range") << 1e6 << 1e9 << 0xFFFF;
    QTest::newRow("not a number") << nan << nan << 0;
  }
  void encodersClampOutOfRange() {
    QFETCH(double, hertz);
    QFETCH(double, seconds);
    QFETCH(int, code);
    QCOMPARE(int(FrequencyToUWORD(hertz)), code);
    QCOMPARE(int(TimeToUWORD(seconds)), code);
  }
};

QTEST_GUILESS_MAIN(tst_Convert)
#include "tst_Convert.moc"
