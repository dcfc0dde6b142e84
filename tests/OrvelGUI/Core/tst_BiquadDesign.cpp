// The filter maths against reference values made by an independent route
// (scripts/biquad_golden.py: analogue prototypes through SciPy's bilinear
// transform), and the responses the quantised sections realise.

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>
#include <cmath>

#include "AES-Standards/Convert.h"
#include "OrvelGUI/Core/BiquadDesign.h"
#include "TestSupport.h"

using namespace biquad;

namespace {

QJsonArray GoldenCases() {
  QFile file(QStringLiteral(ORVEL_SOURCE_DIR "/tests/OrvelGUI/Core/data/biquad_golden.json"));
  if (!file.open(QIODevice::ReadOnly)) return {};
  return QJsonDocument::fromJson(file.readAll()).object().value("cases").toArray();
}

// What the code under test designs for one reference case.
bool DesignCase(const QJsonObject& c, tSection& out, double& scale) {
  const double f = UWORDToFrequency(UWORD(c["frequency"].toInt()));
  const QString kind = c["kind"].toString();
  if (kind == "pass") {
    scale = kPassScale;
    return DesignPassSection(c["high_pass"].toBool(), ULONG(c["slope"].toInt()), unsigned(c["index"].toInt()), f,
                             kPassSampling, out);
  }
  scale = kEQScale;
  const double q = QFromWidth(UWORD(c["width"].toInt()));
  if (kind == "flat") {
    out = DesignFlatSection(ULONG(c["type"].toInt()), f, q, kEQSampling);
    return true;
  }
  return DesignEQSection(ULONG(c["type"].toInt()), UBYTE(c["variant"].toInt()), c["gain"].toInt() * kGainStep, f, q,
                         kEQSampling, out);
}

double Combined(const std::vector<tQuantised>& sections, double scale, double f) {
  double db = 0.0;
  for (const tQuantised& s : sections) db += QuantisedMagnitudeDb(s, scale, f);
  return db;
}

tQuantised PassQuantised(bool highPass, ULONG slope, unsigned index, double f) {
  tSection s{};
  DesignPassSection(highPass, slope, index, f, kPassSampling, s);
  return QuantiseSection(s);
}

}  // namespace

class tst_BiquadDesign : public QObject {
  Q_OBJECT

 private slots:
  // Every slope, band type and bell variant over frequencies, gains and
  // widths: coefficients, their quantised integers and the magnitudes.
  void matchesTheReference() {
    const QJsonArray cases = GoldenCases();
    QVERIFY2(cases.size() > 500, "reference values missing");
    int checked = 0;
    for (const QJsonValue& value : cases) {
      const QJsonObject c = value.toObject();
      const QString where = QString::fromUtf8(QJsonDocument(c).toJson(QJsonDocument::Compact)).left(140);
      tSection section{};
      double scale = 0;
      QVERIFY2(DesignCase(c, section, scale), qPrintable(where));
      const QJsonArray expected = c["section"].toArray();
      const QJsonArray quantised = c["quantised"].toArray();
      const tQuantised mine = QuantiseSection(section);
      for (int i = 0; i < 5; ++i) {
        QVERIFY2(std::fabs(section[std::size_t(i)] - expected[i].toDouble()) < 1e-9, qPrintable(where));
        // Truncation of values that differ in the last bits may land one apart.
        QVERIFY2(std::llabs(qint64(mine[std::size_t(i)]) - qint64(quantised[i].toDouble())) <= 1, qPrintable(where));
      }
      for (const QJsonValue& point : c["magnitude_db"].toArray()) {
        const double f = point.toArray()[0].toDouble();
        const double db = point.toArray()[1].toDouble();
        QVERIFY2(std::fabs(SectionMagnitudeDb(section, scale, f) - db) < 1e-6, qPrintable(where));
      }
      ++checked;
    }
    QCOMPARE(checked, cases.size());
  }

  void identityAndQuantisationFigures() {
    const tSection passBell = Design(DESIGN_BELL, 1000.0, 0.0, kButterworthQ, kPassSampling);
    const tSection eqBell = Design(DESIGN_BELL, 1000.0, 0.0, 2.0, kEQSampling);
    QCOMPARE(QuantiseSection(passBell)[0], 1073741823);
    QCOMPARE(QuantiseSection(eqBell)[0], 268435455);
    for (const tSection& s : {passBell, eqBell}) {
      QCOMPARE(s[1], -s[3]);  // b1 = a1
      QCOMPARE(s[2], -s[4]);  // b2 = a2
    }
    QCOMPARE(QuantiseCoefficient(-0.3), -644245094);
    QCOMPARE(QuantiseCoefficient(1.0), INT32_MAX);
    QCOMPARE(QuantiseCoefficient(-1.0), -INT32_MAX);
    QCOMPARE(QuantiseCoefficient(1.5), INT32_MAX);
    QCOMPARE(QuantiseCoefficient(-7.0), INT32_MIN);
    QCOMPARE(QuantiseCoefficient(std::nan("")), 0);
    QCOMPARE(QuantiseCoefficient(HUGE_VAL), INT32_MAX);
    QCOMPARE(WireOrder(tQuantised{1, 2, 3, 4, 5}), (tQuantised{1, 4, 2, 5, 3}));
  }

  void tablesAndNames() {
    QCOMPARE(QFromWidth(60 << 8), 34.623);
    QCOMPARE(QFromWidth(0xFFFF), 34.623);
    QCOMPARE(QFromWidth(3328), 0.801);
    QCOMPARE(QFromWidth(0x00FF), 0.404);
    QCOMPARE(QString(SlopeName(HPF_BESSEL_18_DB)), QString("18dB Bessel"));
    QVERIFY(SlopeName(4) == nullptr);
    QCOMPARE(QString(BandTypeName(nPEQ::HIGH_CONTOUR)), QString("HIGH_CONTOUR"));
    QVERIFY(BandTypeName(8) == nullptr);
  }

  void designsOutsideTheTables() {
    cReportCapture reports;
    tSection untouched{9, 9, 9, 9, 9};
    QVERIFY(!DesignPassSection(true, 4, 0, 100.0, kPassSampling, untouched));
    QVERIFY(!DesignPassSection(false, 0, 2, 100.0, kPassSampling, untouched));
    QVERIFY(!DesignEQSection(nPEQ::NOTCH, 0, 3.0, 1000.0, 1.0, kEQSampling, untouched));
    QVERIFY(!DesignEQSection(8, 0, 3.0, 1000.0, 1.0, kEQSampling, untouched));
    QCOMPARE(untouched, (tSection{9, 9, 9, 9, 9}));
    QCOMPARE(reports.Count("Unknown filter type! 4"), 1);
    QCOMPARE(reports.Count("Unhandled LPF Biquad: 2,  Type: 0"), 1);
    QCOMPARE(reports.Count("NYI - Notch... Freq = 1000.000000, Q = 1.000000"), 1);
    QCOMPARE(reports.Count("Unknown filter type: 8"), 1);
    // What stands in for them passes the signal unchanged.
    for (ULONG type : {ULONG(nPEQ::NOTCH), ULONG(8), ULONG(nPEQ::LFSHELF), ULONG(nPEQ::HFSHELF)}) {
      const tQuantised flat = QuantiseSection(DesignFlatSection(type, 1000.0, 1.0, kEQSampling));
      for (double f : {30.0, 1000.0, 15000.0}) QVERIFY(std::fabs(QuantisedMagnitudeDb(flat, kEQScale, f)) < 0.01);
    }
    const tSection lfFlat = DesignFlatSection(nPEQ::LFSHELF, 1000.0, 1.0, kEQSampling);
    QCOMPARE(lfFlat[2], 0.0);  // first order, not a bell
    QCOMPARE(lfFlat[4], 0.0);
  }

  void lowPassBandNeverBelow40Hz() {
    tSection at20{};
    QVERIFY(DesignEQSection(nPEQ::LPASS, 0, 0.0, 20.0, 1.0, kEQSampling, at20));
    QCOMPARE(at20, Design(DESIGN_LOW_PASS_2, 40.0, 0.0, kButterworthQ, kEQSampling));
  }

  // Only designs below half the sample rate are stable: the extreme codes.
  void usableSections() {
    for (UWORD code : {UWORD(0), UWORD(56622)}) {
      const double f = UWORDToFrequency(code);
      tSection s{};
      QVERIFY(DesignPassSection(true, HPF_BUTTERWORTH_24_DB, 1, f, kPassSampling, s));
      QVERIFY(IsUsableSection(s, kPassScale));
      QVERIFY(DesignEQSection(nPEQ::BELL, 1, 128.0, f, 34.623, kEQSampling, s));
      QVERIFY(IsUsableSection(s, kEQScale));
    }
    const double top = UWORDToFrequency(65535);
    for (eDesign d : {DESIGN_HIGH_PASS_1, DESIGN_LOW_PASS_1, DESIGN_HIGH_PASS_2, DESIGN_LOW_PASS_2, DESIGN_LOW_SHELF,
                      DESIGN_HIGH_SHELF}) {
      QVERIFY(!IsUsableSection(Design(d, top, 6.0, 1.0, kEQSampling), kEQScale));
    }
    QVERIFY(!IsUsableSection(tSection{std::nan(""), 0, 0, 0, 0}, kEQScale));
    QVERIFY(!IsUsableSection(tSection{HUGE_VAL, 0, 0, 0, 0}, kEQScale));
  }

  // What the device realises from the integers it receives.
  void realisedResponses() {
    for (double f : {50.0, 1000.0, 10000.0}) {
      for (bool highPass : {true, false}) {
        const tQuantised second = PassQuantised(highPass, HPF_BUTTERWORTH_12_DB, 0, f);
        QVERIFY2(std::fabs(Combined({second}, kPassScale, f) + 3.0103) < 0.01, qPrintable(QString::number(f)));
        // The 12 dB slope's second biquad is flat.
        const tQuantised flat = PassQuantised(highPass, HPF_BUTTERWORTH_12_DB, 1, f);
        QVERIFY(std::fabs(Combined({flat}, kPassScale, f / 3)) < 0.01);
        // Higher Butterworth orders are -3.01 dB at f through both biquads.
        for (ULONG slope : {ULONG(HPF_BUTTERWORTH_18_DB), ULONG(HPF_BUTTERWORTH_24_DB)}) {
          const double db =
              Combined({PassQuantised(highPass, slope, 0, f), PassQuantised(highPass, slope, 1, f)}, kPassScale, f);
          QVERIFY2(std::fabs(db + 3.0103) < 0.02, qPrintable(QString("%1 slope %2: %3").arg(f).arg(slope).arg(db)));
        }
      }
      for (double gain : {-12.0, -3.0, 6.0, 15.0}) {
        for (UBYTE variant : {UBYTE(0), UBYTE(1)}) {
          tSection bell{};
          QVERIFY(DesignEQSection(nPEQ::BELL, variant, gain, f, 2.0, kEQSampling, bell));
          const double peak = QuantisedMagnitudeDb(QuantiseSection(bell), kEQScale, f);
          QVERIFY2(std::fabs(peak - gain) < 0.05, qPrintable(QString("%1 Hz %2 dB: %3").arg(f).arg(gain).arg(peak)));
        }
        tSection low{};
        tSection high{};
        QVERIFY(DesignEQSection(nPEQ::LFSHELF, 0, gain, f, 1.0, kEQSampling, low));
        QVERIFY(DesignEQSection(nPEQ::HFSHELF, 0, gain, f, 1.0, kEQSampling, high));
        // A first-order shelf reaches its gain at DC (low) or half the rate (high).
        QVERIFY(std::fabs(SectionMagnitudeDb(low, kEQScale, 0.0) - gain) < 1e-9);
        QVERIFY(std::fabs(SectionMagnitudeDb(high, kEQScale, kSampleRate / 2) - gain) < 1e-9);
        QVERIFY(std::fabs(QuantisedMagnitudeDb(QuantiseSection(low), kEQScale, f / 100.0) - gain) < 0.1);
      }
    }
  }

  // The realised Q is the designed curve's own: centre over the distance of
  // the points at half its gain in dB (the standard peak's definition), for
  // both variants; and a width found for a realised Q realises it.
  void realisedBellQIsTheCurvesQ() {
    // Low enough that the widest bell's upper half-gain point is barely warped.
    const double f0 = 500.0;
    const auto db = [](const tSection& s, double hz) { return SectionMagnitudeDb(s, kEQScale, hz); };
    for (double gain : {-12.0, -3.0, 6.0, 15.0}) {
      for (UBYTE variant : {UBYTE(0), UBYTE(1)}) {
        for (UWORD width : {UWORD(0), UWORD(13 << 8), UWORD(30 << 8)}) {
          tSection bell{};
          QVERIFY(DesignEQSection(nPEQ::BELL, variant, gain, f0, QFromWidth(width), kEQSampling, bell));
          // Bisection on the log of the frequency, each side of the centre.
          const auto half = [&](double lo, double hi) {
            for (int i = 0; i < 60; ++i) {
              const double mid = std::sqrt(lo * hi);
              const bool beyond = std::fabs(db(bell, mid)) < std::fabs(gain) / 2.0;
              ((lo < f0) == beyond ? lo : hi) = mid;
            }
            return std::sqrt(lo * hi);
          };
          const double measured = f0 / (half(f0, 40000.0) - half(1.0, f0));
          const UWORD code = FrequencyToUWORD(f0);
          const double realised = RealisedBellQOfWidth(width, GAIN(gain * 256.0), variant, code);
          QVERIFY2(std::fabs(measured / realised - 1.0) < 0.02,
                   qPrintable(QString("%1 dB variant %2 width %3: %4 measured, %5")
                                  .arg(gain)
                                  .arg(variant)
                                  .arg(width)
                                  .arg(measured)
                                  .arg(realised)));
          UWORD found = 0;
          QVERIFY(WidthOfRealisedBellQ(realised, GAIN(gain * 256.0), variant, code, found));
          QCOMPARE(found, width);
        }
      }
    }
    // A "1.7" bell (table Q 0.801) at +6 dB, 1 kHz, is Q 0.257.
    const UWORD kHz1 = FrequencyToUWORD(1000.0);
    QVERIFY(std::fabs(RealisedBellQOfWidth(13 << 8, 6 * 256, 0, kHz1) - 0.2568) < 0.0005);
    UWORD width = 1;
    QVERIFY(!WidthOfRealisedBellQ(0.0, 0, 0, kHz1, width) && !WidthOfRealisedBellQ(std::nan(""), 0, 0, kHz1, width));
    QCOMPARE(width, UWORD(1));
  }

  // High up, the realised Q is that of the standard 96 kHz peak (the
  // cookbook's, prewarped at its frequency) whose curve is the band's:
  // without the warping the two would part by over a dB at 16 kHz.
  void realisedBellQIsTheStandardPeaksQ() {
    for (const double hz : {4000.0, 12000.0, 16000.0}) {
      for (const double gain : {-12.0, 9.0}) {
        for (const UBYTE variant : {UBYTE(0), UBYTE(1)}) {
          const UWORD code = FrequencyToUWORD(hz);
          const double f0 = UWORDToFrequency(code);
          tSection bell{};
          QVERIFY(DesignEQSection(nPEQ::BELL, variant, gain, f0, QFromWidth(20 << 8), kEQSampling, bell));
          const double q = RealisedBellQOfWidth(20 << 8, GAIN(gain * 256.0), variant, code);
          const double w0 = 2.0 * M_PI * f0 / kSampleRate;
          const double alpha = std::sin(w0) / (2.0 * q);
          const double a = std::pow(10.0, gain / 40.0);
          const double a0 = 1.0 + alpha / a;
          const tSection peak{(1.0 + alpha * a) / a0, -2.0 * std::cos(w0) / a0, (1.0 - alpha * a) / a0,
                              2.0 * std::cos(w0) / a0, -(1.0 - alpha / a) / a0};
          for (double f = 0.25 * f0; f < std::min(4.0 * f0, 45000.0); f *= 1.1) {
            const double apart = SectionMagnitudeDb(bell, kEQScale, f) - SectionMagnitudeDb(peak, 1.0, f);
            QVERIFY2(std::fabs(apart) < 0.02, qPrintable(QString("%1 Hz %2 dB variant %3 at %4 Hz: %5 dB apart")
                                                             .arg(hz)
                                                             .arg(gain)
                                                             .arg(variant)
                                                             .arg(f)
                                                             .arg(apart)));
          }
        }
      }
    }
  }
};

QTEST_GUILESS_MAIN(tst_BiquadDesign)
#include "tst_BiquadDesign.moc"
