#include "OrvelGUI/Config/ChainResponse.h"

#include <cmath>

namespace {

using tComplex = std::complex<double>;

constexpr double kPi = 3.14159265358979323846;
const tComplex kJ(0.0, 1.0);

double Omega(double hz) { return 2.0 * kPi * hz / biquad::kSampleRate; }

sResponsePoint Product(const sResponsePoint& a, const sResponsePoint& b) {
  return {a.mValue * b.mValue, a.mSlope * b.mValue + a.mValue * b.mSlope};
}

sResponsePoint Scaled(const sResponsePoint& p, double factor) { return {p.mValue * factor, p.mSlope * factor}; }

// z^-samples: a pure delay.
sResponsePoint Delay(std::int32_t samples, double omega) {
  const tComplex value = std::polar(1.0, -omega * samples);
  return {value, -kJ * double(samples) * value};
}

}  // namespace

sResponsePoint SectionResponse(const biquad::tQuantised& natural, double scale, double omega) {
  // The device's fixed point: 1.0 = 2^31 / scale.
  double c[5];
  for (int i = 0; i < 5; ++i) c[i] = natural[std::size_t(i)] * scale / 2147483648.0;
  const tComplex z1 = std::polar(1.0, -omega);
  const tComplex z2 = z1 * z1;
  // d z^-k / d omega = -j k z^-k
  const tComplex numerator = c[0] + c[1] * z1 + c[2] * z2;
  const tComplex numeratorSlope = -kJ * (c[1] * z1 + 2.0 * c[2] * z2);
  const tComplex denominator = 1.0 - c[3] * z1 - c[4] * z2;
  const tComplex denominatorSlope = kJ * (c[3] * z1 + 2.0 * c[4] * z2);
  const tComplex value = numerator / denominator;
  return {value, (numeratorSlope * denominator - numerator * denominatorSlope) / (denominator * denominator)};
}

sResponsePoint ChainResponse(const std::vector<sFilterSlot>& targets, int panel, int side, double hz) {
  sResponsePoint chain;
  const double omega = Omega(hz);
  for (const sFilterSlot& slot : targets) {
    if (slot.mPanel != panel || slot.mSide != side || !slot.mSent) continue;
    chain = Product(chain, SectionResponse(NaturalOrder(slot.mWire), slot.mScale, omega));
  }
  return chain;
}

sResponsePoint SideSumResponse(const std::vector<sFilterSlot>& targets, const std::array<sStripPath, 8>& strips,
                               const sConfiguration& configuration, int side, double hz) {
  sResponsePoint sum{{0.0, 0.0}, {0.0, 0.0}};
  const double omega = Omega(hz);
  for (int panel = 0; panel < 3; ++panel) {
    const double gain = StripFactor(strips[std::size_t(OutputStripIndex(panel, side))]);
    if (gain == 0.0) continue;
    const sResponsePoint output = Scaled(
        Product(ChainResponse(targets, panel, side, hz), Delay(OutputDelaySamples(configuration, panel, side), omega)),
        gain);
    sum.mValue += output.mValue;
    sum.mSlope += output.mSlope;
  }
  return Scaled(sum, StripFactor(strips[std::size_t(side)]));
}

sResponseValues ValuesOf(const sResponsePoint& point, double sampleRate) {
  sResponseValues values;
  const double magnitude = std::abs(point.mValue);
  if (!(magnitude > 0.0) || !std::isfinite(magnitude)) {
    values.mDb = magnitude > 0.0 ? magnitude : -INFINITY;
    values.mPhaseDegrees = NAN;
    values.mGroupDelayMs = NAN;
    return values;
  }
  values.mDb = 20.0 * std::log10(magnitude);
  double degrees = std::arg(point.mValue) * 180.0 / kPi;
  if (degrees <= -180.0) degrees += 360.0;
  values.mPhaseDegrees = degrees;
  // The phase falls by omega x delay: group delay = -d phase / d omega = -Im(H' / H).
  values.mGroupDelayMs = -std::imag(point.mSlope / point.mValue) / sampleRate * 1000.0;
  return values;
}
