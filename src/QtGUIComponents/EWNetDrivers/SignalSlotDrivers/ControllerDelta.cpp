#include "QtGUIComponents/EWNetDrivers/SignalSlotDrivers/ControllerDelta.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace {

// A remainder kept in 16 bits stops at the ends instead of wrapping round.
std::int16_t Saturate16(int value) {
  return std::int16_t(
      std::clamp(value, int(std::numeric_limits<std::int16_t>::min()), int(std::numeric_limits<std::int16_t>::max())));
}

// Whole thresholds collected; the remainder keeps the rest, with its sign.
int CollectSteps(int collected, int threshold, std::int16_t& remainder) {
  if (collected >= threshold) {
    remainder = Saturate16(collected % threshold);
    return collected / threshold;
  }
  if (collected <= -threshold) {
    remainder = Saturate16(-((-collected) % threshold));
    return (-collected) / threshold;
  }
  remainder = Saturate16(collected);
  return 0;
}

// Smallest move, as a fraction of the range, for a step count of |delta|.
double MinimumFraction(int magnitude) {
  switch (magnitude) {
    case 3:
      return 0.0001;
    case 4:
      return 0.00033;
    case 5:
      return 0.001;
    case 6:
      return 0.0033;
    case 7:
      return 0.01;
    case 8:
      return 0.02;
    case 9:
    case 10:
      return 0.04;
    case 11:
    case 12:
      return 0.06;
    default:
      break;
  }
  double g = 0.06 + 0.007 * (magnitude - 12);
  if (magnitude >= 27) g += 0.01 * (magnitude - 26);
  return g;
}

}  // namespace

int ControllerDeltaSteps(int range, int delta, std::int16_t& remainder, const sControllerDeltaOptions& options) {
  if (range <= 0 || delta == 0) return 0;
  const int magnitude = std::abs(delta);
  if (range < 136) {
    const int ratio = 136 / range;
    int threshold = std::min(ratio, 10);
    if (options.mFineSmallRanges && ratio <= 2) threshold = magnitude > 3 ? ratio : 3;
    return CollectSteps(remainder + delta, threshold, remainder);
  }
  if (range < 512 && options.mCollectMediumRanges) {
    const int ratio = 512 / range;
    const int threshold = ratio > 2 ? std::min(ratio, 10) : (magnitude > 3 ? ratio : 3);
    return CollectSteps(remainder + (magnitude <= 16 ? delta : 2 * delta), threshold, remainder);
  }
  if (magnitude <= 2) return magnitude;
  // The step count's own share of the range counts when it is the larger;
  // taken by magnitude, so both directions accelerate alike.
  const double fraction = std::max(double(magnitude) / range, MinimumFraction(magnitude));
  // Never more than the whole range, which also keeps the cast in bounds.
  return int(std::min(std::trunc(fraction * range + 0.5), double(range)));
}
