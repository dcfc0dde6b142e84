#pragma once

#include <array>
#include <complex>
#include <vector>

#include "OrvelGUI/Config/FilterChains.h"
#include "OrvelGUI/Config/SignalPath.h"

// Complex responses of the processor's chains, from the quantised integers
// the device receives: magnitude, phase and group delay. The group delay is
// analytic: every point carries the derivative of the response by frequency
// beside the response, so sums of outputs (where phases cancel) need no
// numerical differentiation.

struct sResponsePoint {
  std::complex<double> mValue{1.0, 0.0};
  std::complex<double> mSlope{0.0, 0.0};  // d mValue / d omega, omega in radians per sample
};

struct sResponseValues {
  double mDb = 0.0;            // minus infinity where the response is 0
  double mPhaseDegrees = 0.0;  // wrapped into (-180, 180]; NaN where the response is 0
  double mGroupDelayMs = 0.0;  // NaN where the response is 0
};

// One section in the natural order (b0, b1, b2, -a1, -a2) at the device's
// fixed point for `scale`, at `omega` radians per sample.
sResponsePoint SectionResponse(const biquad::tQuantised& natural, double scale, double omega);

// The filter chain of one output (pass filters and bands) at `hz`.
sResponsePoint ChainResponse(const std::vector<sFilterSlot>& targets, int panel, int side, double hz);

// The electrical sum of the three outputs of `side` at `hz`, each through its
// chain, its strip (gain, mute, polarity) and its delay, all after the input
// strip of that side.
sResponsePoint SideSumResponse(const std::vector<sFilterSlot>& targets, const std::array<sStripPath, 8>& strips,
                               const sConfiguration& configuration, int side, double hz);

sResponseValues ValuesOf(const sResponsePoint& point, double sampleRate = biquad::kSampleRate);
