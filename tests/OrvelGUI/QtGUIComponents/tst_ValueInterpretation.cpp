// Controller values as the user reads them: every type's value and unit
// strings, the range thresholds of times and frequencies, and the QML
// singleton through which the screens format.

#include <QtTest>

#include "OrvelGUI/QtGUIComponents/ProjectCCFormat.h"
#include "OrvelGUI/QtGUIComponents/QmlValueInterpreterSingleton.h"
#include "TestSupport.h"

namespace {

const QString kMicro = QStringLiteral("\u00b5s");

cValueUnitStrings Format(int type, int value, int places, bool compress = true, double exponent = -5120.0) {
  const auto d = cEWCCFormat::eEWCCTypeDecimalPlaces(places);
  if (type < cProjectCCFormat::DELAY_TIME_MS_96K) {
    return cEWCCFormat::InterpretValue(UWORD(value), exponent, cEWCCFormat::eEWCCType(type), d, compress);
  }
  return cProjectCCFormat::InterpretValue(UWORD(value), exponent, cProjectCCFormat::eProjectCCType(type), d, compress);
}

}  // namespace

class tst_ValueInterpretation : public QObject {
  Q_OBJECT

 private slots:
  void formats_data() {
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("places");
    QTest::addColumn<bool>("compress");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("units");
    using F = cEWCCFormat;
    using P = cProjectCCFormat;
    // Gains: truncated, never rounded ...
    QTest::newRow("gain minus infinity") << int(F::GAIN_OFFSET_DB) << 0 << 1 << true << "-Inf"
                                         << "dB";
    QTest::newRow("gain 0 dB") << int(F::GAIN_OFFSET_DB) << 32768 << 1 << false << "0.0"
                               << " dB";
    QTest::newRow("gain 1.5 dB") << int(F::GAIN_OFFSET_DB) << 32768 + 384 << 1 << true << "1.5"
                                 << "dB";
    QTest::newRow("gain truncated") << int(F::GAIN_OFFSET_DB) << 32768 + 25 << 1 << true << "0.0"
                                    << "dB";
    // ... from half a code further out: the code nearest to 0.7 dB (179,
    // 0.6992 dB) reads 0.7, the one below it 0.6.
    QTest::newRow("gain at the code nearest a tenth") << int(F::GAIN_OFFSET_DB) << 32768 + 179 << 1 << true << "0.7"
                                                      << "dB";
    QTest::newRow("gain below it truncated") << int(F::GAIN_OFFSET_DB) << 32768 + 178 << 1 << true << "0.6"
                                             << "dB";
    QTest::newRow("negative gain at its nearest code") << int(F::GAIN_OFFSET_DB) << 32768 - 77 << 1 << true << "-0.3"
                                                       << "dB";
    QTest::newRow("gain code 1 is finite") << int(F::GAIN_OFFSET_DB) << 1 << 0 << true << "-127"
                                           << "dB";
    QTest::newRow("forced zero inside 0.2 dB") << int(F::GAIN_OFFSET_DB_FORCE_ZERO) << 32768 + 51 << 1 << true << "0.0"
                                               << "dB";
    QTest::newRow("forced zero just outside") << int(F::GAIN_OFFSET_DB_FORCE_ZERO) << 32768 + 52 << 1 << true << "0.2"
                                              << "dB";
    QTest::newRow("forced zero minus infinity") << int(F::GAIN_OFFSET_DB_FORCE_ZERO) << 0 << 1 << true << "-Inf"
                                                << "dB";
    QTest::newRow("gain without units") << int(F::GAIN_OFFSET_DB_NO_UNITS) << 32768 - 768 << 1 << false << "-3.0"
                                        << "";
    QTest::newRow("gain floor at -40") << int(F::GAIN_OFFSET_DB_SUB_40) << 0 << 1 << true << "<-40"
                                       << "dB";
    QTest::newRow("padded gain") << int(F::PADDED_GAIN_OFFSET_DB) << 32768 + 256 << 1 << true << "-19.0"
                                 << "dB";
    // Frequencies: rounded, unit switched at 1 kHz, places by range.
    QTest::newRow("lowest frequency") << int(F::FREQ_HZ) << 0 << 3 << false << "4.0"
                                      << " Hz";
    QTest::newRow("1024 Hz") << int(F::FREQ_HZ) << 4608 * 8 << 0 << true << "1.02"
                             << "kHz";
    // One form beside another: the form follows the rounded number.
    QTest::newRow("99.99 Hz rounds up to the integers") << int(F::FREQ_HZ) << 21398 << 0 << true << "100"
                                                        << "Hz";
    QTest::newRow("99.94 Hz keeps its place") << int(F::FREQ_HZ) << 21394 << 0 << true << "99.9"
                                              << "Hz";
    QTest::newRow("999.95 Hz is 1.00 kHz") << int(F::FREQ_HZ) << 36706 << 0 << true << "1.00"
                                           << "kHz";
    QTest::newRow("999.50 Hz is 999 Hz") << int(F::FREQ_HZ) << 36703 << 0 << true << "999"
                                         << "Hz";
    QTest::newRow("100 Hz and up as integers") << int(F::FREQ_HZ) << 21399 << 0 << true << "100"
                                               << "Hz";
    QTest::newRow("compact kHz") << int(F::FREQ_HZ_COMPACT) << 39390 << 0 << true << "1.5"
                                 << "k";
    QTest::newRow("compact below 1 kHz") << int(F::FREQ_HZ_COMPACT) << 10699 << 0 << false << "20.0"
                                         << " Hz";
    // Times: 1 us steps logarithmically to 100 ks, about three digits shown.
    QTest::newRow("time 1 us") << int(F::TIME_SEC) << 1 << 0 << true << "1.00" << kMicro;
    QTest::newRow("time zero") << int(F::TIME_SEC) << 0 << 0 << true << "0.00" << kMicro;
    QTest::newRow("time 5957") << int(F::TIME_SEC) << 5957 << 0 << true << "9.99" << kMicro;
    QTest::newRow("time 5958") << int(F::TIME_SEC) << 5958 << 0 << true << "10.0" << kMicro;
    QTest::newRow("time 11916") << int(F::TIME_SEC) << 11916 << 0 << true << "100" << kMicro;
    QTest::newRow("time 17873") << int(F::TIME_SEC) << 17873 << 0 << true << "999" << kMicro;
    QTest::newRow("time 17874") << int(F::TIME_SEC) << 17874 << 0 << false << "1.00"
                                << " ms";
    QTest::newRow("time 23832") << int(F::TIME_SEC) << 23832 << 0 << true << "10.0"
                                << "ms";
    QTest::newRow("time 29790") << int(F::TIME_SEC) << 29790 << 0 << true << "100"
                                << "ms";
    QTest::newRow("time 35747") << int(F::TIME_SEC) << 35747 << 0 << true << "1.00"
                                << "s";
    QTest::newRow("time 41704") << int(F::TIME_SEC) << 41704 << 0 << true << "9.99"
                                << "s";
    QTest::newRow("time 47663") << int(F::TIME_SEC) << 47663 << 0 << true << "100"
                                << "s";
    QTest::newRow("time top") << int(F::TIME_SEC) << 65535 << 0 << true << "99923"
                              << "s";
    QTest::newRow("inverted 47662") << int(F::TIME_SEC_INVERTED) << 47662 << 0 << true << "999" << kMicro;
    QTest::newRow("inverted 47661") << int(F::TIME_SEC_INVERTED) << 47661 << 0 << true << "1.00"
                                    << "ms";
    QTest::newRow("inverted 53620") << int(F::TIME_SEC_INVERTED) << 53620 << 0 << true << "99.9" << kMicro;
    QTest::newRow("inverted 59578") << int(F::TIME_SEC_INVERTED) << 59578 << 0 << true << "9.99" << kMicro;
    QTest::newRow("inverted 29789") << int(F::TIME_SEC_INVERTED) << 29789 << 0 << true << "999"
                                    << "ms";
    QTest::newRow("inverted 29788") << int(F::TIME_SEC_INVERTED) << 29788 << 0 << true << "1.00"
                                    << "s";
    QTest::newRow("inverted 17873") << int(F::TIME_SEC_INVERTED) << 17873 << 0 << true << "99.9"
                                    << "s";
    QTest::newRow("doubled 4164") << int(F::TIME_SEC_DOUBLED) << 4164 << 0 << true << "9.99" << kMicro;
    QTest::newRow("doubled 4165") << int(F::TIME_SEC_DOUBLED) << 4165 << 0 << true << "10.0" << kMicro;
    QTest::newRow("doubled 16079") << int(F::TIME_SEC_DOUBLED) << 16079 << 0 << true << "999" << kMicro;
    QTest::newRow("doubled 16080") << int(F::TIME_SEC_DOUBLED) << 16080 << 0 << true << "1.00"
                                   << "ms";
    QTest::newRow("doubled 33953") << int(F::TIME_SEC_DOUBLED) << 33953 << 0 << true << "999"
                                   << "ms";
    QTest::newRow("doubled 33954") << int(F::TIME_SEC_DOUBLED) << 33954 << 0 << true << "1.00"
                                   << "s";
    // The remaining generic types.
    QTest::newRow("samples") << int(F::DELAY_TIME_SAMPLES) << 480 << 2 << false << "480"
                             << " S";
    QTest::newRow("celsius") << int(F::TEMP_C) << 32768 + 25 * 256 + 20 << 1 << true << "25.0"
                             << "\u00b0C";
    QTest::newRow("fahrenheit") << int(F::TEMP_F) << 32768 + 25 * 256 << 1 << true << "77.0"
                                << "\u00b0F";
    QTest::newRow("doubled value") << int(F::DOUBLED_VALUE) << 40000 << 0 << true << "80000"
                                   << "";
    QTest::newRow("8.8 seconds") << int(F::TIME_8_DOT_8_SECONDS) << 384 << 2 << true << "1.50"
                                 << "s";
    QTest::newRow("raw / 10") << int(F::RAW_DIVIDED_10) << 12345 << 1 << true << "1234.5"
                              << "";
    QTest::newRow("raw / 10000") << int(F::RAW_DIVIDED_10000) << 12345 << 4 << true << "1.2345"
                                 << "";
    QTest::newRow("raw + 1") << int(F::RAW_PLUS_1) << 65535 << 0 << true << "65536"
                             << "";
    QTest::newRow("raw offset") << int(F::RAW_OFFSET) << 0 << 0 << true << "-32768"
                                << "";
    QTest::newRow("raw offset / 100") << int(F::RAW_OFFSET_DIVIDED_100) << 32768 - 150 << 1 << true << "-1.5"
                                      << "";
    QTest::newRow("hex") << int(F::RAW_HEX) << 0xAB << 0 << true << "0x00ab"
                         << "";
    QTest::newRow("hex shifted") << int(F::RAW_HEX_SHIFTED_1) << 0xAB << 0 << true << "0x00ab0"
                                 << "";
    QTest::newRow("uninterpreted") << int(F::DONT_INTERPRET) << 1234 << 3 << false << "1234"
                                   << "";
    // The product's types.
    QTest::newRow("delay ms") << int(P::DELAY_TIME_MS_96K) << 96 << 2 << true << "1.00"
                              << "ms";
    QTest::newRow("delay ms truncated") << int(P::DELAY_TIME_MS_96K) << 95 << 2 << true << "0.98"
                                        << "ms";
    QTest::newRow("pan left") << int(P::PAN) << 0 << 0 << true << "L 37"
                              << "";
    QTest::newRow("pan left near centre") << int(P::PAN) << 36 << 0 << true << "L  1"
                                          << "";
    QTest::newRow("pan centre") << int(P::PAN) << 37 << 0 << true << "     0"
                                << "";
    QTest::newRow("pan right") << int(P::PAN) << 74 << 0 << true << "R 37"
                               << "";
    QTest::newRow("width 0.5") << int(P::FILTER_WIDTH) << 0x1E00 << 0 << true << "0.5"
                               << "";
    QTest::newRow("width 1/24") << int(P::FILTER_WIDTH) << 0x2CFF << 0 << true << "1/24"
                                << "";
    QTest::newRow("geq bottom") << int(P::GEQ_BAND_GAIN) << 0 << 1 << true << "-12.0"
                                << "dB";
    QTest::newRow("geq top") << int(P::GEQ_BAND_GAIN) << 255 << 1 << false << "12.0"
                             << " dB";
    QTest::newRow("geq beyond the bands") << int(P::GEQ_BAND_GAIN) << 65535 << 1 << true << "127.9"
                                          << "dB";
    QTest::newRow("suppressed") << int(P::SUPPRESS_VALUE_OUPUT) << 1234 << 0 << true << ""
                                << "";
    QTest::newRow("decay of -1 dB per frame")
        << int(P::DB_PER_FRAME_TO_MS_PER_10DB) << 32768 - 256 << 0 << true << "200.0"
        << "ms";
    QTest::newRow("decay of -6 dB per frame")
        << int(P::DB_PER_FRAME_TO_MS_PER_10DB) << 32768 - 1536 << 0 << true << "33.33"
        << "ms";
    // Mended: 0 dB per frame used to divide by zero.
    QTest::newRow("no decay") << int(P::DB_PER_FRAME_TO_MS_PER_10DB) << 32768 << 0 << false << "Inf"
                              << " ms";
    // Mended: places beyond 0..4 are clamped instead of formatting a
    // thousand digits or a negative precision.
    QTest::newRow("places above four") << int(F::GAIN_OFFSET_DB) << 32768 + 384 << 1000 << true << "1.5000"
                                       << "dB";
    QTest::newRow("negative places") << int(F::GAIN_OFFSET_DB) << 32768 + 384 << -3 << true << "1"
                                     << "dB";
  }
  void formats() {
    QFETCH(int, type);
    QFETCH(int, value);
    QFETCH(int, places);
    QFETCH(bool, compress);
    QFETCH(QString, text);
    QFETCH(QString, units);
    cReportCapture reports;
    const cValueUnitStrings result = Format(type, value, places, compress);
    QCOMPARE(result.value(), text);
    QCOMPARE(result.units(), units);
    QVERIFY2(reports.Lines().empty(), qPrintable(reports.Dump()));
  }

  void distances() {
    using P = cProjectCCFormat;
    QCOMPARE(Format(P::DELAY_DISTANCE_M_96K, 960, 2, true, 343.0).value(), QString("3.43"));
    QCOMPARE(Format(P::DELAY_DISTANCE_M_96K, 960, 2, true, 343.0).units(), QString("m"));
    QCOMPARE(Format(P::DELAY_DISTANCE_FT_96K, 960, 2, false, 343.0).value(), QString("11.25"));
    QCOMPARE(Format(P::DELAY_DISTANCE_FT_96K, 960, 2, false, 343.0).units(), QString(" ft"));
  }

  void diagnostics() {
    cReportCapture reports;
    const cValueUnitStrings tooWide = Format(cProjectCCFormat::FILTER_WIDTH, 0x2D00, 0);
    QCOMPARE(tooWide.value(), QString());
    QCOMPARE(tooWide.units(), QString());
    QCOMPARE(reports.Count("11520 / 256 == 45 >= NUMBER_OF_WIDTH_VALUES"), 1);

    const cValueUnitStrings unknown = Format(40, 1234, 0);
    QCOMPARE(unknown.value(), QString("1234"));
    QCOMPARE(unknown.units(), QString());
    QCOMPARE(reports.Count("ERROR: Unhandled type: 40\t(file:///OrvelGUI/QtGUIComponents/ProjectCCFormat:"), 1);
  }

  void formatterObject() {
    cEWCCFormat format;
    QCOMPARE(format.ewCCType(), cEWCCFormat::NO_UNITS);
    QCOMPARE(format.decimalPlaces(), cEWCCFormat::NO_DECIMAL_PLACES);
    QVERIFY(!format.compressUnits());
    QSignalSpy typeSpy(&format, &cEWCCFormat::ewCCTypeChanged);
    QVERIFY(typeSpy.isValid());
    format.setEwCCType(cEWCCFormat::GAIN_OFFSET_DB);
    format.setEwCCType(cEWCCFormat::GAIN_OFFSET_DB);
    QCOMPARE(typeSpy.count(), 1);
    format.setDecimalPlaces(cEWCCFormat::TWO_DECIMAL_PLACES);
    QCOMPARE(format.interpretValue(32768 + 384), QString("1.50"));
    QCOMPARE(format.interpretUnits(32768 + 384), QString(" dB"));
    format.setCompressUnits(true);
    QCOMPARE(format.interpretUnits(32768 + 384), QString("dB"));
    // The exponent only matters to the types that use one.
    QCOMPARE(format.interpretValue(32768, 2560.0, cEWCCFormat::PADDED_GAIN_OFFSET_DB), QString("10.00"));
    QCOMPARE(format.interpretUnits(96, 1.0, cEWCCFormat::DELAY_TIME_SAMPLES), QString("S"));
    // 27 and 28 are the product's delay types to the QML singleton; the
    // generic formatter still has its own meaning for them.
    format.setCompressUnits(false);
    QCOMPARE(format.interpretValue(50, 1.0, cEWCCFormat::PERCENTAGE), QString("50"));
    QCOMPARE(format.interpretUnits(50, 1.0, cEWCCFormat::PERCENTAGE), QString("%"));
  }

  void singleton() {
    {
      cReportCapture reports;
      QVERIFY(cQmlValueInterpreterSingleton::Instance() == nullptr);
      QCOMPARE(reports.Count("gQmlValueInterpreterSingleton is null"), 1);
    }
    cQmlValueInterpreterSingleton interpreter;
    QCOMPARE(cQmlValueInterpreterSingleton::Instance(), &interpreter);
    const auto one = cEWCCFormat::ONE_DECIMAL_PLACE;
    QCOMPARE(interpreter.interpretValueAndUnits(32768 + 256, int(cEWCCFormat::GAIN_OFFSET_DB), one),
             QString("1.0\u2009dB"));
    QCOMPARE(interpreter.interpretValueAndUnits(32768 + 256, int(cEWCCFormat::GAIN_OFFSET_DB), one, " / "),
             QString("1.0 / dB"));
    // The pad of the padded type is -20 dB unless the caller gives one.
    QCOMPARE(interpreter.interpretValue(32768, int(cEWCCFormat::PADDED_GAIN_OFFSET_DB), one), QString("-20.0"));
    QCOMPARE(interpreter.interpretValueAndUnitsWithExponent(32768, 0.0, int(cEWCCFormat::PADDED_GAIN_OFFSET_DB), one),
             QString("0.0\u2009dB"));
    QCOMPARE(interpreter.interpretUnits(96, int(cProjectCCFormat::DELAY_TIME_MS_96K), one), QString("ms"));
    // A type that is no number counts as "no units"; values beyond 16 bits
    // are held at the ends instead of wrapping.
    QCOMPARE(interpreter.interpretValueAndUnits(1234, QString("bogus"), one), QString("1234\u2009"));
    QCOMPARE(interpreter.interpretValueAndUnitsWithExponent(70000, 1.0, int(cEWCCFormat::RAW_PLUS_1), one, ""),
             QString("65536"));
    QCOMPARE(interpreter.interpretValueAndUnitsWithExponent(-5, 1.0, int(cEWCCFormat::RAW_PLUS_1), one, ""),
             QString("1"));
    {
      cReportCapture reports;
      cQmlValueInterpreterSingleton second;
      QCOMPARE(cQmlValueInterpreterSingleton::Instance(), &interpreter);
      QCOMPARE(reports.Count("already exists"), 1);
    }
    QCOMPARE(cQmlValueInterpreterSingleton::Instance(), &interpreter);
  }
};

QTEST_GUILESS_MAIN(tst_ValueInterpretation)
#include "tst_ValueInterpretation.moc"
