// What the processor can realise: the limits and their texts, the stable
// frequency range each design really has, and that everything the program
// itself writes passes.

#include <QDir>
#include <QRandomGenerator>
#include <QtTest>

#include "AES-Standards/Convert.h"
#include "OrvelGUI/Config/Configuration.h"
#include "OrvelGUI/Config/ConfigurationCheck.h"
#include "OrvelGUI/Config/StandaloneAssembly.h"
#include "OrvelGUI/Core/BiquadDesign.h"
#include "OrvelGUI/Core/LowMidHigh.h"
#include "OrvelGUI/Core/Plausibility.h"
#include "TestSupport.h"
#include "Tools/ConfigFiles.h"

using namespace plausibility;
using tBand = cParametricEQUnit::sBand;

namespace {

constexpr int kTimeoutMs = 10000;

// Every refusal the checks give for a configuration, as a user reads them.
QStringList Refusals(const sConfiguration& c) {
  QStringList all;
  for (const std::string& refusal : ConfigurationRefusals(c)) all << QString::fromStdString(refusal);
  return all;
}

}  // namespace

class tst_Plausibility : public QObject {
  Q_OBJECT

 private slots:
  void labels() {
    QCOMPARE(UnitLabel("LMH 2: L Parametric EQ Unit"), std::string("Mid EQ left"));
    QCOMPARE(UnitLabel("LMH 3: R Parametric EQ Unit"), std::string("High EQ right"));
    QCOMPARE(UnitLabel("LMH 1:  HPF Unit"), std::string("Low high-pass"));
    QCOMPARE(UnitLabel("LMH 3:  LPF Unit"), std::string("High low-pass"));
    QCOMPARE(UnitLabel("LMH 2:  Delay Unit"), std::string("Mid delay"));
    QCOMPARE(UnitLabel("LMH 1:  Parametric EQ Gang"), std::string("Low EQ gang"));
    QCOMPARE(UnitLabel("LMH 7:  HPF Unit"), std::string("Panel 7 high-pass"));
    QCOMPARE(UnitLabel("InOutFader:Input R Control Strip Unit"), std::string("Input R fader"));
    QCOMPARE(UnitLabel("InOutFader:L Control Strip Unit3"), std::string("Output 3 L fader"));
    QCOMPARE(UnitLabel("Saves Manager NetObject"), std::string("Saves Manager NetObject"));
  }

  // The texts name the unit, the value and the limit.
  void refusalTexts() {
    const tBand bell{41314, 3328, 0, nPEQ::BELL, 0, false};
    tBand b = bell;
    b.mGain = GAIN(86 * 256);
    QCOMPARE(CheckBand("Mid EQ left", 2, b), std::string("Mid EQ left band 3: gain +86.0 dB is outside -15 .. +15 dB"));
    b = bell;
    b.mType = 1238110131;
    QCOMPARE(CheckBand("Mid EQ left", 0, b),
             std::string("Mid EQ left band 1: type 1238110131 is not a band type (0 .. 7)"));
    b = bell;
    b.mType = nPEQ::NOTCH;
    QCOMPARE(CheckBand("Low EQ right", 1, b),
             std::string("Low EQ right band 2: type NOTCH has no design on the processor"));
    b = bell;
    b.mVariant = 2;
    QCOMPARE(CheckBand("x", 0, b), std::string("x band 1: variant 2 is not a bell variant (0 .. 1)"));
    QCOMPARE(CheckSwitch("Low delay", "gang", 2), std::string("Low delay: gang 2 is not 0 or 1"));
    QCOMPARE(CheckPassFilter("Mid high-pass", true, 1, 21398, 4),
             std::string("Mid high-pass: slope 4 is not a slope of the table (0 .. 3)"));
    QCOMPARE(CheckStripGain("Input L fader", 3083),
             std::string("Input L fader: gain +12.043 dB is above the processor's full scale +12.039 dB"));
    QVERIFY(CheckStripGain("Input L fader", 3082).empty());
    QVERIFY(CheckStripGain("Input L fader", kGainMinusInfinity).empty());
    QVERIFY(!CheckStripGain("Input L fader", -32768).empty());
    QVERIFY(CheckBand("x", 0, tBand{41314, 3328, -3840, nPEQ::LFSHELF, 1, true}).empty());
    QVERIFY(!CheckBand("x", 0, tBand{41314, 3328, -3841, nPEQ::LFSHELF, 1, true}).empty());
    QVERIFY(CheckDelay("Mid delay", "left", 60000).empty());
    QCOMPARE(CheckDelay("Mid delay", "right", 65535).substr(0, 16), std::string("Mid delay right:"));
  }

  // The stable range of each design is what its designs give: the first
  // unstable code is refused and named, the one below it passes.
  void stableFrequencies() {
    const auto lastStable = [](const std::function<bool(UWORD)>& stable) {
      int code = 65535;
      while (code > 0 && !stable(UWORD(code))) --code;
      return code;
    };
    // A low shelf, a high-pass band and a 24 dB pass filter all stop short of
    // half the sample rate; the Bessel high-pass designs below its corner.
    for (ULONG type : {ULONG(nPEQ::LFSHELF), ULONG(nPEQ::HPASS), ULONG(nPEQ::HIGH_CONTOUR)}) {
      const auto stable = [type](UWORD code) {
        return CheckBand("x", 0, tBand{code, 40 << 8, 3840, type, 1, false}).empty();
      };
      const int last = lastStable(stable);
      QVERIFY2(UWORDToFrequency(UWORD(last)) < 48000.0 && UWORDToFrequency(UWORD(last + 1)) >= 47990.0,
               qPrintable(QString::number(last)));
      const std::string refusal = CheckBand("High EQ left", 4, tBand{UWORD(last + 1), 40 << 8, 3840, type, 1, false});
      QVERIFY2(refusal.find(FrequencyText(UWORDToFrequency(UWORD(last)))) != std::string::npos, refusal.c_str());
      QVERIFY2(refusal.find("High EQ left band 5 (") == 0, refusal.c_str());
    }
    // A bell stays stable past half the sample rate, but its flat stand-in
    // for a bypassed band is a bell too: nothing refuses it.
    QVERIFY(CheckBand("x", 0, tBand{65535, 0, 3840, nPEQ::BELL, 0, true}).empty());
    const int butterworth = lastStable([](UWORD code) { return CheckPassFilter("x", true, 2, code, 2).empty(); });
    const int bessel = lastStable([](UWORD code) { return CheckPassFilter("x", true, 2, code, 3).empty(); });
    QVERIFY(UWORDToFrequency(UWORD(butterworth)) < 48000.0);
    QVERIFY2(bessel > butterworth, "the Bessel slope designs below its frequency");
    // The High panel has no low-pass section: nothing is designed.
    QVERIFY(CheckPassFilter("x", false, 0, 65535, 1).empty());
  }

  void realisedSlopes() {
    QCOMPARE(RealisedSlope(true, HPF_BUTTERWORTH_24_DB, 1), std::string("realised as 12 dB, one section"));
    QCOMPARE(RealisedSlope(false, HPF_BUTTERWORTH_18_DB, 1), std::string("realised as 6 dB, one section"));
    QCOMPARE(RealisedSlope(true, HPF_BESSEL_18_DB, 1), std::string("realised as 6 dB, one section"));
    QVERIFY(RealisedSlope(true, HPF_BUTTERWORTH_12_DB, 1).empty());
    QVERIFY(RealisedSlope(true, HPF_BUTTERWORTH_24_DB, 2).empty());
    QCOMPARE(RealisedSlope(false, HPF_BUTTERWORTH_12_DB, 0),
             std::string("not realised: the panel has no such section, nothing is sent"));
  }

  void records() {
    const sFilter band{41314, 3328, 256, nPEQ::BELL, 1, 0x81};
    QVERIFY(CheckBandRecord("x", 0, band).empty());
    sFilter bad = band;
    bad.mFlags = 0x0181;
    QCOMPARE(CheckBandRecord("Low EQ left", 1, bad),
             std::string("Low EQ left band 2: flags 0x0181 carry bits without meaning (only 0x0081 are used)"));
    QVERIFY(!CheckPassRecord("x", true, 1, band).empty());  // a gang bit means nothing on a pass filter
    QVERIFY(CheckPassRecord("x", true, 1, sFilter{21398, 0, 0, 2, 0, 1}).empty());
    QVERIFY(CheckStripRecord("x", sControlStripRecord{1, 3082, 0}).empty());
    QVERIFY(!CheckStripRecord("x", sControlStripRecord{2, 0, 0}).empty());
    QVERIFY(!CheckStripRecord("x", sControlStripRecord{0, 3083, 1}).empty());
    QVERIFY(!CheckDelaySamples("x", "left", -1).empty());
  }

  void configurationRefusals() {
    sConfiguration c = FreshConfiguration();
    c.mPanels[1].mEQ[0].mBands[2].mGain = 86 * 256;
    c.mStrips[7].mGain = 4000;
    c.mPanels[2].mDelay.mGang = 2;
    QCOMPARE(Refusals(c),
             (QStringList{"Output 3 R fader: gain +15.625 dB is above the processor's full scale +12.039 dB",
                          "Mid EQ left band 3: gain +86.0 dB is outside -15 .. +15 dB",
                          "High delay: gang 2 is not 0 or 1"}));
  }

  // What the program writes passes: its defaults, the examples and random
  // configurations within the screens' and the processor's ranges.
  void programFilesPass() {
    QCOMPARE(Refusals(FreshConfiguration()), QStringList());
    QRandomGenerator random(16);
    for (int i = 0; i < 20; ++i) {
      const sConfiguration c = RandomConfiguration(random);
      QCOMPARE(Refusals(c), QStringList());
    }
    const QDir examples(QStringLiteral(ORVEL_SOURCE_DIR "/examples"));
    const QStringList files = examples.entryList({"*.cfg"}, QDir::Files);
    QVERIFY(files.size() >= 3);
    cReportCapture reports;
    for (const QString& name : files) {
      cStandaloneAssembly assembly(false);
      QVERIFY2(assembly.Core().RecallConfiguration(examples.filePath(name), kTimeoutMs), qPrintable(reports.Dump()));
      QCOMPARE(Refusals(ReadConfiguration(assembly.Core())), QStringList());
    }
    QVERIFY2(!reports.Contains("refused"), qPrintable(reports.Dump()));
  }
};

QTEST_GUILESS_MAIN(tst_Plausibility)
#include "tst_Plausibility.moc"
