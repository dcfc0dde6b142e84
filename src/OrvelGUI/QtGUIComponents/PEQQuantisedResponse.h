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

}  // namespace peqgraph
