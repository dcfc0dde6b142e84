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
    QCOMPARE(int(FrequencyToUWORD(UWORDToFrequency(UWORD(code)))), code);
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
    QCOMPARE(int(TimeToUWORD(UWORDToTime(UWORD(code)))), code);
  }

  void encodersTruncate() {
    QCOMPARE(int(TimeToUWORD(1e-5)), 5958);         // 5958.8...
    QCOMPARE(int(FrequencyToUWORD(1000.0)), 36706);  // 36706.33...
    QCOMPARE(int(FrequencyToUWORD(UWORDToFrequency(100) * 1.0001)), 100);
  }

  // Every code survives code -> value -> code; truncation alone would lose one
  // in ten frequency codes to rounding noise.
  void codesRoundTrip() {
    for (int code = 0; code <= 0xFFFF; ++code) {
      if (FrequencyToUWORD(UWORDToFrequency(UWORD(code))) != code) QFAIL(qPrintable(QString("frequency %1").arg(code)));
      if (TimeToUWORD(UWORDToTime(UWORD(code))) != code) QFAIL(qPrintable(QString("time %1").arg(code)));
    }
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
