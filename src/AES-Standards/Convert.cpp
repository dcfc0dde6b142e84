#include "AES-Standards/Convert.h"

#include <cmath>

#include "EWNet/Core/ErrLog.h"

namespace {

constexpr double kFrequencyCodesPerOctave = 4608.0;
constexpr double kLowestFrequency = 4.0;
constexpr double kLog10Of2 = 0.3010299956639812;
constexpr double kTimeDecadesPerCode = 11.0 / 65536.0;
constexpr double kTimeUnit = 1e-6;

// Plain truncation toward zero into the code range; NaN gives 0. There is
// deliberately no rounding allowance: a code must be what the formula gives,
// so a value a hair below a whole code is the code below, even though that
// makes code -> value -> code come back one lower for some codes.
UWORD TruncateToUWORD(double value) {
  if (!(value > 0.0)) return 0;
  if (value >= 65535.0) return 65535;
  return static_cast<UWORD>(value);
}

}  // namespace

bool UBYTEToBool(UBYTE value) {
  if (value > 1) EW_REPORT_ERROR("Bad conversion to boolean for UBYTE with value 0x%X", static_cast<unsigned>(value));
  return value != 0;
}

GAIN UWORDToGain(UWORD code) {
  if (code == 0) return kGainMinusInfinity;
  return static_cast<GAIN>(static_cast<int>(code) - kGainOffset);
}

UWORD GainToUWORD(GAIN gain) {
  if (gain == kGainMinusInfinity) return 0;
  return static_cast<UWORD>(static_cast<int>(gain) + kGainOffset);
}

double UWORDToFrequency(UWORD code) {
  return kLowestFrequency * std::pow(2.0, static_cast<double>(code) / kFrequencyCodesPerOctave);
}

UWORD FrequencyToUWORD(double frequency) { return TruncateToUWORD(FrequencyCode(frequency)); }

double FrequencyCode(double frequency) { return std::log10(frequency * 0.25) / kLog10Of2 * kFrequencyCodesPerOctave; }

double UWORDToTime(UWORD code) {
  if (code == 0) return 0.0;
  return std::pow(10.0, (static_cast<double>(code) - 1.0) * kTimeDecadesPerCode) * kTimeUnit;
}

UWORD TimeToUWORD(double seconds) {
  if (seconds == 0.0) return 0;
  return TruncateToUWORD(TimeCode(seconds));
}

double TimeCode(double seconds) { return std::log10(seconds / kTimeUnit) / kTimeDecadesPerCode + 1.0; }
