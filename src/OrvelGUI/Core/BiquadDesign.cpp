#include "OrvelGUI/Core/BiquadDesign.h"

#include <algorithm>
#include <cmath>
#include <complex>

#include "EWNet/Core/ErrLog.h"

namespace biquad {
namespace {

// The designs use these decimals, not the full-precision constants.
constexpr double kP = 3.141592654;
constexpr double kP2 = 6.283185308;
constexpr double kBellBandwidth = 0.3023944391;
constexpr double kHighShelfCorner = 0.159;
constexpr double kContourGainDb = -9.0;
constexpr double kLowPassFloorHz = 40.0;

constexpr double kQTable[kQTableSize] = {
    0.404, 0.422, 0.442, 0.464, 0.486, 0.511, 0.537, 0.565, 0.596,  0.63,   0.667,  0.707, 0.752,  0.801,  0.857,
    0.92,  0.991, 1.073, 1.169, 1.281, 1.415, 1.492, 1.578, 1.673,  1.781,  1.903,  2.041, 2.145,  2.388,  2.608,
    2.872, 3.194, 3.596, 4.319, 4.801, 5.765, 7.209, 8.653, 11.096, 12.981, 16.027, 17.31, 23.081, 28.852, 34.623};

const char* const kSlopeNames[kSlopeCount] = {"12dB Butterworth", "18dB Butterworth", "24dB Butterworth",
                                              "18dB Bessel"};
const char* const kBandTypeNames[kBandTypeCount] = {"BELL",  "LFSHELF", "HFSHELF",     "LPASS",
                                                    "HPASS", "NOTCH",   "LOW_CONTOUR", "HIGH_CONTOUR"};

struct sPassStage {
  eDesign mHighPass;  // the low-pass unit uses the matching low-pass design
  double mQ;
  double mFrequencyDivisor;
};

// Slope x biquad. DESIGN_BELL marks the flat stand-in (0 dB bell).
constexpr sPassStage kPassStages[kSlopeCount][2] = {
    {{DESIGN_HIGH_PASS_2, kButterworthQ, 1.0}, {DESIGN_BELL, kButterworthQ, 1.0}},
    {{DESIGN_HIGH_PASS_1, 0.0, 1.0}, {DESIGN_HIGH_PASS_2, 1.0, 1.0}},
    {{DESIGN_HIGH_PASS_2, 0.541196100146, 1.0}, {DESIGN_HIGH_PASS_2, 1.306562964876, 1.0}},
    {{DESIGN_HIGH_PASS_1, 0.0, 1.32267579991}, {DESIGN_HIGH_PASS_2, 0.691046625825, 1.44761713315}},
};

eDesign LowPassOf(eDesign highPass) {
  switch (highPass) {
    case DESIGN_HIGH_PASS_2:
      return DESIGN_LOW_PASS_2;
    case DESIGN_HIGH_PASS_1:
      return DESIGN_LOW_PASS_1;
    default:
      return highPass;
  }
}

}  // namespace

tSection Design(eDesign design, double f, double gainDb, double q, const sSampling& sampling) {
  const double s = sampling.mScale;
  const double t = std::tan(kP * f * sampling.mPeriod);
  const double d = 2.0 * sampling.mRate;
  const double w = 2.0 * t * sampling.mRate;
  const double W = kP2 * f;
  const double K = W / t;
  const double A = std::pow(10.0, gainDb / 20.0);
  switch (design) {
    case DESIGN_HIGH_PASS_2:
    case DESIGN_LOW_PASS_2: {
      const double N = 1.0 / ((w * d / q + d * d + w * w) * s);
      const double na1 = -2.0 * (w * w - d * d) * N;
      const double na2 = -(d * d + w * w - w * d / q) * N;
      if (design == DESIGN_HIGH_PASS_2) return tSection{d * d * N, -2.0 * d * d * N, d * d * N, na1, na2};
      return tSection{w * w * N, 2.0 * w * w * N, w * w * N, na1, na2};
    }
    case DESIGN_HIGH_PASS_1:
    case DESIGN_LOW_PASS_1: {
      const double N = 1.0 / ((w + d) * s);
      const double na1 = -(w - d) * N;
      if (design == DESIGN_HIGH_PASS_1) return tSection{d * N, -d * N, 0.0, na1, 0.0};
      return tSection{w * N, w * N, 0.0, na1, 0.0};
    }
    case DESIGN_BELL: {
      const double g = (A - 1.0) / (A + 1.0);
      const double B = W / (f * q * kP * sampling.mPeriod / t * kBellBandwidth);
      const double N = 1.0 / ((K * K + K * (1.0 - g) * B + W * W) * s);
      const double b1 = 2.0 * (W * W - K * K) * N;
      return tSection{(K * K + K * (1.0 + g) * B + W * W) * N, b1, (K * K - K * (1.0 + g) * B + W * W) * N, -b1,
                      -(K * K - K * (1.0 - g) * B + W * W) * N};
    }
    case DESIGN_BELL_RECIPROCAL: {
      const double B = W / (f * q * kP * sampling.mPeriod / t);
      const double M = A >= 1.0 ? A * B * K : B * K;
      const double E = A >= 1.0 ? B * K : (B / A) * K;
      const double N = 1.0 / ((E + K * K + W * W) * s);
      const double b1 = 2.0 * (W * W - K * K) * N;
      return tSection{(M + K * K + W * W) * N, b1, (K * K - M + W * W) * N, -b1, -(K * K - E + W * W) * N};
    }
    case DESIGN_LOW_SHELF: {
      const double H = A / (A + 1.0) * W * 2.0 * kP;
      const double L = 1.0 / (A + 1.0) * W * 2.0 * kP;
      const double N = 1.0 / ((K + L) * s);
      return tSection{(K + H) * N, (H - K) * N, 0.0, -(L - K) * N, 0.0};
    }
    case DESIGN_HIGH_SHELF: {
      const double c = W * kHighShelfCorner;
      const double H = A / (A + 1.0) * K;
      const double L = 1.0 / (A + 1.0) * K;
      const double N = 1.0 / ((L + c) * s);
      return tSection{(H + c) * N, (c - H) * N, 0.0, -(c - L) * N, 0.0};
    }
  }
  return {};
}

bool DesignPassSection(bool highPass, ULONG slope, unsigned index, double frequency, const sSampling& sampling,
                       tSection& out) {
  if (index > 1) {
    EW_REPORT_ERROR(highPass ? "Unhandled HPF Biquad: %d,  Type: %d" : "Unhandled LPF Biquad: %d,  Type: %d",
                    static_cast<int>(index), static_cast<int>(slope));
    return false;
  }
  if (slope >= static_cast<ULONG>(kSlopeCount)) {
    EW_REPORT_ERROR("Unknown filter type! %d", static_cast<int>(slope));
    return false;
  }
  eDesign design = DESIGN_BELL;
  double q = 0.0;
  double divisor = 1.0;
  PassSectionDesign(highPass, slope, index, design, q, divisor);
  out = Design(design, frequency / divisor, 0.0, q, sampling);
  return true;
}

bool PassSectionDesign(bool highPass, ULONG slope, unsigned index, eDesign& design, double& q,
                       double& frequencyDivisor) {
  if (index > 1 || slope >= static_cast<ULONG>(kSlopeCount)) return false;
  const sPassStage& stage = kPassStages[slope][index];
  design = highPass ? stage.mHighPass : LowPassOf(stage.mHighPass);
  q = stage.mQ;
  frequencyDivisor = stage.mFrequencyDivisor;
  return true;
}

bool DesignEQSection(ULONG type, UBYTE variant, double gainDb, double frequency, double q, const sSampling& sampling,
                     tSection& out) {
  switch (type) {
    case nPEQ::BELL:
      out = Design(variant == 0 ? DESIGN_BELL : DESIGN_BELL_RECIPROCAL, frequency, gainDb, q, sampling);
      return true;
    case nPEQ::LFSHELF:
      out = Design(DESIGN_LOW_SHELF, frequency, gainDb, q, sampling);
      return true;
    case nPEQ::HFSHELF:
      out = Design(DESIGN_HIGH_SHELF, frequency, gainDb, q, sampling);
      return true;
    case nPEQ::LPASS:
      out = Design(DESIGN_LOW_PASS_2, std::max(kLowPassFloorHz, frequency), 0.0, kButterworthQ, sampling);
      return true;
    case nPEQ::HPASS:
      out = Design(DESIGN_HIGH_PASS_2, frequency, 0.0, kButterworthQ, sampling);
      return true;
    case nPEQ::NOTCH:
      EW_REPORT_ERROR("NYI - Notch... Freq = %f, Q = %f", frequency, q);
      return false;
    case nPEQ::LOW_CONTOUR:
      out = Design(DESIGN_LOW_SHELF, frequency, kContourGainDb, q, sampling);
      return true;
    case nPEQ::HIGH_CONTOUR:
      out = Design(DESIGN_HIGH_SHELF, frequency, kContourGainDb, q, sampling);
      return true;
    default:
      EW_REPORT_ERROR("Unknown filter type: %d", static_cast<int>(type));
      return false;
  }
}

tSection DesignFlatSection(ULONG type, double frequency, double q, const sSampling& sampling) {
  switch (type) {
    case nPEQ::BELL:
      return Design(DESIGN_BELL, frequency, 0.0, q, sampling);
    case nPEQ::LFSHELF:
      return Design(DESIGN_LOW_SHELF, frequency, 0.0, q, sampling);
    case nPEQ::HFSHELF:
      return Design(DESIGN_HIGH_SHELF, frequency, 0.0, q, sampling);
    default:
      if (type >= static_cast<ULONG>(kBandTypeCount)) {
        EW_REPORT_ERROR("Unknown filter type: %d", static_cast<int>(type));
      }
      return Design(DESIGN_BELL, frequency, 0.0, kFlatQ, sampling);
  }
}

double QFromWidth(UWORD width) { return kQTable[std::min(width >> 8, kQTableSize - 1)]; }

const char* SlopeName(ULONG slope) { return slope < static_cast<ULONG>(kSlopeCount) ? kSlopeNames[slope] : nullptr; }

const char* BandTypeName(ULONG type) {
  return type < static_cast<ULONG>(kBandTypeCount) ? kBandTypeNames[type] : nullptr;
}

std::int32_t QuantiseCoefficient(double value) {
  const double scaled = value * kCoefficientMultiplier;
  if (std::isnan(scaled)) return 0;
  if (scaled >= 2147483647.0) return INT32_MAX;
  if (scaled <= -2147483648.0) return INT32_MIN;
  return static_cast<std::int32_t>(scaled);
}

tQuantised QuantiseSection(const tSection& section) {
  tQuantised out{};
  for (std::size_t i = 0; i < out.size(); ++i) out[i] = QuantiseCoefficient(section[i]);
  return out;
}

bool IsUsableSection(const tSection& section, double scale) {
  for (double c : section) {
    if (!std::isfinite(c)) return false;
  }
  // Denominator 1 + a1 z^-1 + a2 z^-2 is stable inside the triangle
  // |a2| < 1, |a1| < 1 + a2.
  const double a1 = -section[3] * scale;
  const double a2 = -section[4] * scale;
  return std::fabs(a2) < 1.0 && std::fabs(a1) < 1.0 + a2;
}

bool IsRealisableSection(const tSection& section, double scale) {
  if (!IsUsableSection(section, scale)) return false;
  for (double c : section) {
    const double scaled = c * kCoefficientMultiplier;
    if (scaled > 2147483647.0 || scaled < -2147483648.0) return false;
  }
  // The device's fixed point: 1.0 = 2^31 / scale.
  const tQuantised q = QuantiseSection(section);
  const double one = 2147483648.0 / scale;
  const double a1 = -q[3] / one;
  const double a2 = -q[4] / one;
  return std::fabs(a2) < 1.0 && std::fabs(a1) < 1.0 + a2;
}

tQuantised WireOrder(const tQuantised& s) { return {s[0], s[3], s[1], s[4], s[2]}; }

namespace {

double MagnitudeDb(const std::array<double, 5>& c, double frequency, double sampleRate) {
  const double omega = 2.0 * M_PI * frequency / sampleRate;
  const std::complex<double> z1 = std::polar(1.0, -omega);
  const std::complex<double> z2 = z1 * z1;
  const std::complex<double> numerator = c[0] + c[1] * z1 + c[2] * z2;
  const std::complex<double> denominator = 1.0 - c[3] * z1 - c[4] * z2;
  return 20.0 * std::log10(std::abs(numerator) / std::abs(denominator));
}

}  // namespace

double SectionMagnitudeDb(const tSection& section, double scale, double frequency, double sampleRate) {
  std::array<double, 5> unscaled{};
  for (std::size_t i = 0; i < unscaled.size(); ++i) unscaled[i] = section[i] * scale;
  return MagnitudeDb(unscaled, frequency, sampleRate);
}

double QuantisedMagnitudeDb(const tQuantised& section, double scale, double frequency, double sampleRate) {
  // The device's fixed point: 1.0 = 2^31 / scale.
  std::array<double, 5> unscaled{};
  for (std::size_t i = 0; i < unscaled.size(); ++i) unscaled[i] = section[i] * scale / 2147483648.0;
  return MagnitudeDb(unscaled, frequency, sampleRate);
}

}  // namespace biquad
