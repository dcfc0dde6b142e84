#include "OrvelGUI/Config/NearestCode.h"

#include <cmath>

#include "AES-Standards/Convert.h"
#include "OrvelGUI/Core/BiquadDesign.h"

namespace nearestcode {
namespace {

// Round to the nearest whole code, if it lies within [lowest, highest].
bool Round(double exact, double lowest, double highest, long& code) {
  if (!std::isfinite(exact)) return false;
  const double rounded = std::round(exact);
  if (rounded < lowest || rounded > highest) return false;
  code = long(rounded);
  return true;
}

double TableQ(int index) { return biquad::QFromWidth(UWORD(index << 8)); }

}  // namespace

bool Frequency(double hz, UWORD& code) {
  long value = 0;
  if (!(hz > 0.0) || !Round(FrequencyCode(hz), 0, 65535, value)) return false;
  code = UWORD(value);
  return true;
}

bool Gain(double decibels, GAIN& code) {
  long value = 0;
  if (!Round(decibels * 256.0, -32768, 32767, value)) return false;
  code = GAIN(value);
  return true;
}

bool Time(double seconds, UWORD& code) {
  if (!std::isfinite(seconds) || seconds < 0.0) return false;
  // Below code 1 (1 us) the neighbours are code 0 (no delay) and code 1.
  const double shortest = UWORDToTime(1);
  if (seconds < shortest) {
    code = seconds < 0.5 * shortest ? 0 : 1;
    return true;
  }
  long value = 0;
  if (!Round(TimeCode(seconds), 1, 65535, value)) return false;
  code = UWORD(value);
  return true;
}

bool WidthOfQ(double q, UWORD& width) {
  const int last = biquad::kQTableSize - 1;
  if (!(q > 0.0) || !std::isfinite(q)) return false;
  // Half a step (by ratio) beyond either end still has a nearest entry.
  if (q < TableQ(0) / std::sqrt(TableQ(1) / TableQ(0)) ||
      q > TableQ(last) * std::sqrt(TableQ(last) / TableQ(last - 1))) {
    return false;
  }
  int best = 0;
  for (int i = 1; i <= last; ++i) {
    if (std::fabs(std::log(q / TableQ(i))) < std::fabs(std::log(q / TableQ(best)))) best = i;
  }
  width = UWORD(best << 8);
  return true;
}

}  // namespace nearestcode
