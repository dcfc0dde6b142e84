#pragma once

#include <QtCore/qobjectdefs.h>
#include <array>
#include <cstdint>

#include "EWNet/Core/Types.h"

// Section designs of the processor's filter chains, and the fixed-point form
// the device takes them in. Pure functions: no net objects, no device link,
// nothing kept between calls; reports go to the error log.
//
// A section is a biquad y[n] = b0 x[n] + b1 x[n-1] + b2 x[n-2] - a1 y[n-1] -
// a2 y[n-2]. Designs return its five coefficients in the order b0, b1, b2,
// -a1, -a2 (feedback terms already negated), with a0 normalised to 1 and all
// five divided by a scale divisor: 2 for the pass filters, 8 for the
// equaliser. The device undoes the scale: it reads the quantised integers as
// fixed point with 1.0 = 2^31 / scale.

// The enumerations carry a meta-object (QtCore only) so that the screens can
// name their values.
namespace nPEQ {
Q_NAMESPACE

// Band types of the parametric equaliser.
enum eParametricEQType : ULONG {
  BELL = 0,  // bell variant 0: gain-dependent bandwidth; other: reciprocal boost and cut
  LFSHELF = 1,
  HFSHELF = 2,
  LPASS = 3,  // Butterworth low-pass, never below 40 Hz
  HPASS = 4,
  NOTCH = 5,        // no design of its own: the flat section stands in
  LOW_CONTOUR = 6,  // low shelf fixed at -9 dB
  HIGH_CONTOUR = 7,
};
Q_ENUM_NS(eParametricEQType)

// Slopes of the high-pass and low-pass units (biquad 0 and biquad 1).
enum eHighPassType : ULONG {
  HPF_BUTTERWORTH_12_DB = 0,  // 2nd order Q 0.7071; flat
  HPF_BUTTERWORTH_18_DB = 1,  // 1st order; 2nd order Q 1.0
  HPF_BUTTERWORTH_24_DB = 2,  // 2nd order Q 0.5412; 2nd order Q 1.3066
  HPF_BESSEL_18_DB = 3,       // 1st order at f / 1.3227; 2nd order Q 0.6910 at f / 1.4476
};
Q_ENUM_NS(eHighPassType)
}  // namespace nPEQ

// The slopes were named without the namespace first; those names stay.
using nPEQ::eHighPassType;
using nPEQ::HPF_BESSEL_18_DB;
using nPEQ::HPF_BUTTERWORTH_12_DB;
using nPEQ::HPF_BUTTERWORTH_18_DB;
using nPEQ::HPF_BUTTERWORTH_24_DB;

namespace biquad {

// b0, b1, b2, -a1, -a2, divided by the scale.
using tSection = std::array<double, 5>;
// The same five, quantised.
using tQuantised = std::array<std::int32_t, 5>;

constexpr double kSampleRate = 96000.0;
constexpr double kSamplePeriod = 1.0 / 96000.0;
constexpr double kPassScale = 2.0;
constexpr double kEQScale = 8.0;
constexpr double kCoefficientMultiplier = 2147483647.0;
constexpr double kButterworthQ = 0.707106781187;
// Q of the flat stand-in sections and of the equaliser's default bands.
constexpr double kFlatQ = 2.41;
// dB per unit of a stored gain (1/256 dB).
constexpr double kGainStep = 0.00390625;
constexpr int kSlopeCount = 4;
constexpr int kBandTypeCount = 8;
constexpr int kQTableSize = 45;

// The identity section of each scale, as the device reads it.
constexpr std::int32_t kPassIdentity = 0x40000000;
constexpr std::int32_t kEQIdentity = 0x10000000;

struct sSampling {
  double mPeriod;  // passed as a constant, not derived from the rate
  double mRate;
  double mScale;
};
constexpr sSampling kPassSampling{kSamplePeriod, kSampleRate, kPassScale};
constexpr sSampling kEQSampling{kSamplePeriod, kSampleRate, kEQScale};

// The eight closed-form bilinear designs.
enum eDesign {
  DESIGN_HIGH_PASS_2 = 1,  // Q
  DESIGN_LOW_PASS_2 = 2,   // Q
  DESIGN_HIGH_PASS_1 = 3,
  DESIGN_LOW_PASS_1 = 4,
  DESIGN_BELL = 5,             // gain, Q; at 0 dB it passes the signal unchanged
  DESIGN_BELL_RECIPROCAL = 6,  // gain, Q
  DESIGN_LOW_SHELF = 7,        // gain (first order)
  DESIGN_HIGH_SHELF = 8,       // gain (first order)
};

// One design at `frequency` Hz; parameters a design does not use are ignored.
tSection Design(eDesign design, double frequency, double gainDb, double q, const sSampling& sampling);

// Biquad `index` (0 or 1) of a pass filter. False, with a report and `out`
// untouched, for an index above 1 or a slope the table does not know.
bool DesignPassSection(bool highPass, ULONG slope, unsigned index, double frequency, const sSampling& sampling,
                       tSection& out);

// Which design biquad `index` of a pass filter uses, with its Q and the
// divisor of the filter's frequency; DESIGN_BELL is the flat 0 dB stand-in.
// False for an index above 1 or a slope the table does not know.
bool PassSectionDesign(bool highPass, ULONG slope, unsigned index, eDesign& design, double& q,
                       double& frequencyDivisor);

// The section of an equaliser band. False, with a report and `out`
// untouched, for NOTCH and unknown types.
bool DesignEQSection(ULONG type, UBYTE variant, double gainDb, double frequency, double q, const sSampling& sampling,
                     tSection& out);

// The unity section that stands in for a band that is out: the band's own
// design at 0 dB for bells and shelves, else a 0 dB bell of Q 2.41 (unknown
// types are reported and get that too).
tSection DesignFlatSection(ULONG type, double frequency, double q, const sSampling& sampling);

// Q of a width code: its high byte indexes the Q table, capped at the last entry.
double QFromWidth(UWORD width);

// List text of a slope ("12dB Butterworth"), or null when unknown.
const char* SlopeName(ULONG slope);
// Name of a band type ("BELL"), or null when unknown.
const char* BandTypeName(ULONG type);

// value x 2147483647, truncated toward zero, saturated at the 32-bit limits;
// NaN gives 0.
std::int32_t QuantiseCoefficient(double value);
tQuantised QuantiseSection(const tSection& section);

// Finite, and with its poles inside the unit circle once the scale is undone.
// Designs above half the sample rate fail this.
bool IsUsableSection(const tSection& section, double scale);
// Usable, and realised as designed: no coefficient saturates in the device's
// 32-bit format, and the quantised section is stable as well.
bool IsRealisableSection(const tSection& section, double scale);

// The order on the wire: b0, -a1, b1, -a2, b2.
tQuantised WireOrder(const tQuantised& section);

// Magnitude in dB at `frequency` of a designed section, or of its quantised
// integers as the device reads them.
double SectionMagnitudeDb(const tSection& section, double scale, double frequency, double sampleRate = kSampleRate);
double QuantisedMagnitudeDb(const tQuantised& section, double scale, double frequency, double sampleRate = kSampleRate);

}  // namespace biquad
