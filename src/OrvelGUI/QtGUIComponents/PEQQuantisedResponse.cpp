#include "OrvelGUI/QtGUIComponents/PEQQuantisedResponse.h"

#include <algorithm>
#include <cmath>

#include "AES-Standards/Convert.h"
#include "OrvelGUI/Core/ControlStripDriver.h"
#include "OrvelGUI/QtGUIComponents/PEQGraphMaths.h"

namespace peqgraph {

namespace {

// QuantiseCoefficient cuts anything at or beyond the 32-bit limits.
bool Saturates(const biquad::tSection& section) {
  for (double value : section) {
    const double scaled = value * biquad::kCoefficientMultiplier;
    if (std::isnan(scaled) || scaled >= 2147483647.0 || scaled <= -2147483648.0) return true;
  }
  return false;
}

void Add(sQuantisedBand& band, const biquad::tSection& section) {
  band.mSaturated = band.mSaturated || Saturates(section);
  band.mSections.push_back(biquad::QuantiseSection(section));
}

}  // namespace

sQuantisedBand QuantisedEQBand(ULONG type, UWORD frequency, UWORD width, GAIN gain) {
  sQuantisedBand band;
  band.mScale = biquad::kEQScale;
  const double hz = UWORDToFrequency(frequency);
  const double q = biquad::QFromWidth(width);
  biquad::tSection section{};
  // A notch has no design: the unit reports that on every change and sends
  // the flat section, which is what is drawn here, without the report.
  if (type == nPEQ::NOTCH ||
      !biquad::DesignEQSection(type, 0, gain * biquad::kGainStep, hz, q, biquad::kEQSampling, section)) {
    section = biquad::DesignFlatSection(type, hz, q, biquad::kEQSampling);
  }
  Add(band, section);
  return band;
}

sQuantisedBand QuantisedHighPassBand(ULONG slope, UWORD frequency) {
  sQuantisedBand band;
  band.mScale = biquad::kPassScale;
  const double hz = UWORDToFrequency(frequency);
  for (unsigned index = 0; index < 2; ++index) {
    biquad::tSection section{};
    if (biquad::DesignPassSection(true, slope, index, hz, biquad::kPassSampling, section)) Add(band, section);
  }
  return band;
}

bool sOutputChain::operator==(const sOutputChain& o) const {
  return mHighPassFrequency == o.mHighPassFrequency && mHighPassSlope == o.mHighPassSlope &&
         mHighPassOn == o.mHighPassOn && mHighPassSections == o.mHighPassSections &&
         mLowPassFrequency == o.mLowPassFrequency && mLowPassSlope == o.mLowPassSlope && mLowPassOn == o.mLowPassOn &&
         mLowPassSections == o.mLowPassSections && mGain == o.mGain && mMuted == o.mMuted;
}

sQuantisedBand QuantisedPassFilter(bool highPass, ULONG slope, UWORD frequency, int sections, bool on) {
  sQuantisedBand band;
  band.mScale = biquad::kPassScale;
  if (!on) return band;
  const double hz = UWORDToFrequency(frequency);
  for (int index = 0; index < std::min(sections, 2); ++index) {
    biquad::tSection section{};
    if (biquad::DesignPassSection(highPass, slope, unsigned(index), hz, biquad::kPassSampling, section)) {
      Add(band, section);
    }
  }
  return band;
}

cQuantisedOutputChain::cQuantisedOutputChain(const sOutputChain& chain)
    : mHighPass(QuantisedPassFilter(true, chain.mHighPassSlope, chain.mHighPassFrequency, chain.mHighPassSections,
                                    chain.mHighPassOn)),
      mLowPass(QuantisedPassFilter(false, chain.mLowPassSlope, chain.mLowPassFrequency, chain.mLowPassSections,
                                   chain.mLowPassOn)),
      mGainDb(cControlStripDriver::RealisedGainDb(chain.mGain)),
      mSilent(chain.mMuted || !std::isfinite(mGainDb)) {}

double cQuantisedOutputChain::LevelDb(double frequency) const {
  if (mSilent) return kSilenceDb;
  return QuantisedBandDb(mHighPass, frequency) + QuantisedBandDb(mLowPass, frequency) + mGainDb;
}

double QuantisedBandDb(const sQuantisedBand& band, double frequency) {
  double db = 0.0;
  for (const biquad::tQuantised& section : band.mSections) {
    db += biquad::QuantisedMagnitudeDb(section, band.mScale, frequency, biquad::kSampleRate);
  }
  return db;
}

}  // namespace peqgraph
