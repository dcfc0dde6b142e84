#include "OrvelGUI/QtGUIComponents/ValueStepper.h"

#include <algorithm>
#include <cmath>

#include "AES-Standards/Convert.h"
#include "OrvelGUI/QtGUIComponents/EWCCFormat.h"
#include "OrvelGUI/QtGUIComponents/ProjectCCFormat.h"

namespace {

constexpr double kZeroCode = 0x8000;
constexpr double kCodesPerOctave = 4608.0;
constexpr double kCodesPerWidthRow = 256.0;
constexpr double kSampleRate = 96000.0;
// Neighbouring time codes lie this far apart, as a ratio less one.
const double kTimeCodeRatio = std::pow(10.0, 11.0 / 65536.0) - 1.0;

// Position `k` on a grid (in grid steps) moved by `steps` points. Within
// `tolerance` of a grid point it counts as on it.
double Moved(double k, int steps, double tolerance) {
  const double nearest = std::round(k);
  if (std::fabs(k - nearest) <= tolerance) return nearest + steps;
  return (steps > 0 ? std::floor(k) : std::ceil(k)) + steps;
}

}  // namespace

UWORD cValueStepper::Step(UWORD value, int type, int steps, bool fine, UWORD minimum, UWORD maximum, bool levelType) {
  if (minimum > maximum) std::swap(minimum, maximum);
  if (steps == 0) return value;
  const double from = (levelType && value == 0) ? minimum : value;
  double code = from;
  if (cEWCCFormat::IsGainType(type)) {
    const double step = (fine ? 0.1 : 0.5) * 256.0;
    // The code nearest a grid point is on it (0.1 dB is 25.6 codes).
    code = std::round(Moved((from - kZeroCode) / step, steps, 0.5 / step) * step) + kZeroCode;
  } else if (cEWCCFormat::IsFrequencyType(type)) {
    const double step = kCodesPerOctave / (fine ? 96.0 : 24.0);
    code = Moved(from / step, steps, 1e-9) * step;
  } else if (type == cProjectCCFormat::FILTER_WIDTH || type == cProjectCCFormat::BELL_Q) {
    // A bell's Q rises with its width code: one row of the table a step.
    code = Moved(from / kCodesPerWidthRow, steps, 1e-9) * kCodesPerWidthRow;
  } else if (type == cEWCCFormat::TIME_SEC) {
    const double step = fine ? 1.0 / kSampleRate : 1e-4;
    const double seconds = from == 0 ? 0.0 : UWORDToTime(UWORD(from));
    const double k = Moved(seconds / step, steps, 0.5 * seconds * kTimeCodeRatio / step + 1e-9);
    code = k <= 0.0 ? 0.0 : std::round(TimeCode(k * step));
  } else {
    return value;
  }
  if (!std::isfinite(code)) return value;
  return UWORD(std::clamp(code, double(minimum), double(maximum)));
}
