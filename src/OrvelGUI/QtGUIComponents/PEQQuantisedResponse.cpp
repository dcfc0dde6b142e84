#include "OrvelGUI/QtGUIComponents/PEQQuantisedResponse.h"

#include <cmath>

#include "AES-Standards/Convert.h"

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

double QuantisedBandDb(const sQuantisedBand& band, double frequency) {
  double db = 0.0;
  for (const biquad::tQuantised& section : band.mSections) {
    db += biquad::QuantisedMagnitudeDb(section, band.mScale, frequency, biquad::kSampleRate);
  }
  return db;
}

}  // namespace peqgraph
