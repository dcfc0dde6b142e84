#pragma once

#include <vector>

#include "OrvelGUI/Core/BiquadDesign.h"

// What the device really plays for a band: the digital sections designed by
// the same functions the units use, at 96 kHz, quantised to the integers that
// are sent, and their response as the device computes it.
namespace peqgraph {

struct sQuantisedBand {
  std::vector<biquad::tQuantised> mSections;
  double mScale = biquad::kEQScale;
  // A coefficient did not fit the device's fixed point and was cut to its limit.
  bool mSaturated = false;
};

// An equaliser band as the EQ unit designs it (variant 0); types without a
// design of their own get the unit's flat stand-in.
sQuantisedBand QuantisedEQBand(ULONG type, UWORD frequency, UWORD width, GAIN gain);
// A high-pass band as the pass-filter unit designs its two sections.
sQuantisedBand QuantisedHighPassBand(ULONG slope, UWORD frequency);

// Level in dB at `frequency` Hz of all sections together.
double QuantisedBandDb(const sQuantisedBand& band, double frequency);

// What an output plays around one of its equalisers: the panel's pass
// filters and the output strip's gain.
struct sOutputChain {
  UWORD mHighPassFrequency = 10699;
  ULONG mHighPassSlope = 0;
  bool mHighPassOn = false;
  int mHighPassSections = 0;  // the biquads the panel's unit has
  UWORD mLowPassFrequency = 56622;
  ULONG mLowPassSlope = 0;
  bool mLowPassOn = false;
  int mLowPassSections = 0;  // none on the High panel
  GAIN mGain = 0;            // the strip's gain word
  bool mMuted = false;

  bool operator==(const sOutputChain& other) const;
  bool operator!=(const sOutputChain& other) const { return !(*this == other); }
};

// A pass filter as its unit quantises its first `sections` biquads; none
// while it is out (the device then gets identity sections).
sQuantisedBand QuantisedPassFilter(bool highPass, ULONG slope, UWORD frequency, int sections, bool on);

// The chain's pass filters and gain, quantised once, and their level in dB
// at a frequency; silent (kSilenceDb and below) when muted or off.
class cQuantisedOutputChain {
 public:
  explicit cQuantisedOutputChain(const sOutputChain& chain = {});
  double LevelDb(double frequency) const;

 private:
  sQuantisedBand mHighPass;
  sQuantisedBand mLowPass;
  double mGainDb;
  bool mSilent;
};

}  // namespace peqgraph
