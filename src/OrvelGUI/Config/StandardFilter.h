#pragma once

#include <QString>

#include "OrvelGUI/Config/Configuration.h"

// Filters as room-measurement tools and audio pipelines name them (peak,
// first-order shelves, Butterworth and Bessel pass filters), and how the
// processor's bands and pass filters read in those terms. The processor's
// bell and shelf frequencies and widths do not mean what those tools mean
// (a bell variant 0 of width Q is a standard peak of another Q, a low shelf
// turns over well above its frequency), so parameters are translated: the
// standard description gives the same analog curve as the band's design.

enum class eStandardType { None, Peak, LowShelf, HighShelf, HighPass, LowPass };

struct sStandardFilter {
  eStandardType mType = eStandardType::None;
  bool mOn = true;
  double mFrequency = 1000.0;  // Hz: centre, shelf midpoint or -3 dB corner
  double mGainDb = 0.0;        // peaks and shelves
  double mQ = 0.707106781187;  // peaks; second-order pass filters
  int mOrder = 2;              // pass filters: 1 to 4
  bool mBessel = false;
  // Pass filters of a panel carry the slope they were written with; -1 for
  // a band's own second-order Butterworth.
  int mSlope = -1;
};

// The analog curve of a standard filter, in dB.
double StandardMagnitudeDb(const sStandardFilter& filter, double hz);

// How a band and a pass filter read as standard filters.
sStandardFilter StandardOfBand(const sBandConfiguration& band, bool eqBypass);
sStandardFilter StandardOfPassFilter(const sPassFilterConfiguration& filter, bool highPass);

// The codes nearest to a standard filter that band `band` of an equaliser of
// `bandCount` bands can take: its frequency range, gains of +-15 dB and the
// width table; `current` gives what the filter does not (the bell variant).
// False with `why` for a filter the band cannot realise.
bool BandOfStandard(const sStandardFilter& filter, const sBandConfiguration& current, int bandCount, int band,
                    sBandConfiguration& out, QString& why);
// The same for a panel's pass filter (20 Hz to 20 kHz, the slope table).
bool PassFilterOfStandard(const sStandardFilter& filter, sPassFilterConfiguration& out, QString& why);
