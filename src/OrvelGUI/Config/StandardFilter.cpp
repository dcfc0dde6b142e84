#include "OrvelGUI/Config/StandardFilter.h"

#include <algorithm>
#include <cmath>
#include <complex>

#include "AES-Standards/Convert.h"
#include "OrvelGUI/Config/NearestCode.h"
#include "OrvelGUI/Core/BiquadDesign.h"
#include "OrvelGUI/Core/ParametricEQUnit.h"

namespace {

using tComplex = std::complex<double>;

constexpr double kPi = 3.14159265358979323846;
constexpr double kHighShelfCorner = 0.159;
constexpr double kContourGainDb = -9.0;
constexpr double kLowPassFloorHz = 40.0;
// The equaliser's gain control: +-15 dB.
constexpr GAIN kBandGainLimit = 15 * 256;
constexpr UWORD kLowestFrequency = cParametricEQUnit::kRangeLowest;
constexpr UWORD kHighestFrequency = cParametricEQUnit::kRangeHighest;
// -3 dB frequency of the third-order Bessel polynomial normalised for delay.
constexpr double kBesselCorner = 1.75567236868;
// Butterworth slopes of the pass filters by order (slope table values).
constexpr int kButterworthSlopeOfOrder[5] = {-1, -1, HPF_BUTTERWORTH_12_DB, HPF_BUTTERWORTH_18_DB,
                                             HPF_BUTTERWORTH_24_DB};

double Linear(double decibels) { return std::pow(10.0, decibels / 20.0); }
double Decibels(tComplex h) { return 20.0 * std::log10(std::abs(h)); }

double PassMagnitudeDb(const sStandardFilter& f, double hz) {
  const double ratio = f.mType == eStandardType::LowPass ? hz / f.mFrequency : f.mFrequency / hz;
  if (f.mBessel) {
    const tComplex s(0.0, ratio * kBesselCorner);
    return Decibels(15.0 / (s * s * s + 6.0 * s * s + 15.0 * s + 15.0));
  }
  if (f.mOrder == 2 && f.mSlope < 0) {
    const tComplex s(0.0, ratio);
    return Decibels(1.0 / (s * s + s / f.mQ + 1.0));
  }
  return -10.0 * std::log10(1.0 + std::pow(ratio, 2.0 * f.mOrder));
}

// Shelf midpoints of the first-order shelf designs at gain A.
double LowShelfMidpoint(double hz, double a) { return 2.0 * kPi * hz * std::sqrt(a) / (a + 1.0); }
double HighShelfMidpoint(double hz, double a) { return kHighShelfCorner * hz * (a + 1.0) / std::sqrt(a); }

UWORD ClampedFrequency(double hz, UWORD lowest, UWORD highest) {
  UWORD code = 0;
  if (!nearestcode::Frequency(hz, code)) code = hz > 4.0 ? 65535 : 0;
  return std::clamp(code, lowest, highest);
}

}  // namespace

double StandardMagnitudeDb(const sStandardFilter& f, double hz) {
  if (!f.mOn) return 0.0;
  const double w = hz / f.mFrequency;
  const tComplex s(0.0, w);
  switch (f.mType) {
    case eStandardType::Peak: {
      const double a = std::pow(10.0, f.mGainDb / 40.0);
      return Decibels((s * s + s * a / f.mQ + 1.0) / (s * s + s / (a * f.mQ) + 1.0));
    }
    case eStandardType::LowShelf: {
      const double a = std::sqrt(Linear(f.mGainDb));
      return Decibels((s + a) / (s + 1.0 / a));
    }
    case eStandardType::HighShelf: {
      const double a = std::sqrt(Linear(f.mGainDb));
      return Decibels(a * a * (s + 1.0 / a) / (s + a));
    }
    case eStandardType::HighPass:
    case eStandardType::LowPass:
      return PassMagnitudeDb(f, hz);
    default:
      return 0.0;
  }
}

sStandardFilter StandardOfBand(const sBandConfiguration& band, bool eqBypass) {
  sStandardFilter f;
  f.mOn = !(band.mBypass || eqBypass);
  const double hz = UWORDToFrequency(band.mFrequency);
  const double gain = band.mGain * biquad::kGainStep;
  switch (band.mType) {
    case nPEQ::BELL:
      f.mType = eStandardType::Peak;
      f.mFrequency = hz;
      f.mGainDb = gain;
      f.mQ = biquad::RealisedBellQ(biquad::QFromWidth(band.mWidth), gain, band.mVariant);
      break;
    case nPEQ::LFSHELF:
    case nPEQ::LOW_CONTOUR:
      f.mType = eStandardType::LowShelf;
      f.mGainDb = band.mType == nPEQ::LFSHELF ? gain : kContourGainDb;
      f.mFrequency = LowShelfMidpoint(hz, Linear(f.mGainDb));
      f.mOrder = 1;
      break;
    case nPEQ::HFSHELF:
    case nPEQ::HIGH_CONTOUR:
      f.mType = eStandardType::HighShelf;
      f.mGainDb = band.mType == nPEQ::HFSHELF ? gain : kContourGainDb;
      f.mFrequency = HighShelfMidpoint(hz, Linear(f.mGainDb));
      f.mOrder = 1;
      break;
    case nPEQ::LPASS:
      f.mType = eStandardType::LowPass;
      f.mFrequency = std::max(kLowPassFloorHz, hz);
      break;
    case nPEQ::HPASS:
      f.mType = eStandardType::HighPass;
      f.mFrequency = hz;
      break;
    default:  // NOTCH and unknown types send the flat section
      f.mType = eStandardType::None;
      break;
  }
  return f;
}

sStandardFilter StandardOfPassFilter(const sPassFilterConfiguration& filter, bool highPass) {
  sStandardFilter f;
  f.mType = highPass ? eStandardType::HighPass : eStandardType::LowPass;
  f.mOn = !filter.mBypass;
  f.mFrequency = UWORDToFrequency(filter.mFrequency);
  f.mSlope = int(filter.mSlope);
  f.mBessel = filter.mSlope == HPF_BESSEL_18_DB;
  f.mOrder = filter.mSlope == HPF_BUTTERWORTH_12_DB ? 2 : filter.mSlope == HPF_BUTTERWORTH_24_DB ? 4 : 3;
  return f;
}

bool BandOfStandard(const sStandardFilter& f, const sBandConfiguration& current, int bandCount, int band,
                    sBandConfiguration& out, QString& why) {
  out = current;
  out.mBypass = !f.mOn;
  if (f.mType == eStandardType::None) {
    out.mBypass = true;
    return true;
  }
  if (f.mSlope >= 0) {
    why = "a band has no pass filter of a slope; the panel's own high-pass and low-pass take those";
    return false;
  }
  const UWORD lowest = cParametricEQUnit::GetFrequencyRangesLower(UBYTE(bandCount), UBYTE(band));
  const UWORD highest = cParametricEQUnit::GetFrequencyRangesUpper(UBYTE(bandCount), UBYTE(band));
  GAIN gain = 0;
  if (!nearestcode::Gain(f.mGainDb, gain)) gain = f.mGainDb > 0 ? kBandGainLimit : -kBandGainLimit;
  out.mGain = std::clamp<GAIN>(gain, -kBandGainLimit, kBandGainLimit);
  const double a = Linear(out.mGain * biquad::kGainStep);
  switch (f.mType) {
    case eStandardType::Peak: {
      out.mType = nPEQ::BELL;
      out.mFrequency = ClampedFrequency(f.mFrequency, lowest, highest);
      const double q = biquad::TableQOfRealisedBellQ(f.mQ, out.mGain * biquad::kGainStep, out.mVariant);
      UWORD width = 0;
      if (!nearestcode::WidthOfQ(q, width)) width = UWORD(q < 1.0 ? 0 : (biquad::kQTableSize - 1) << 8);
      // A width that already means this Q keeps its code.
      if (biquad::QFromWidth(current.mWidth) != biquad::QFromWidth(width)) out.mWidth = width;
      return true;
    }
    case eStandardType::LowShelf:
    case eStandardType::HighShelf: {
      if (f.mOrder != 1) {
        why = "the band's shelves are first order";
        return false;
      }
      const bool low = f.mType == eStandardType::LowShelf;
      out.mType = low ? nPEQ::LFSHELF : nPEQ::HFSHELF;
      const double design = low ? f.mFrequency * (a + 1.0) / (2.0 * kPi * std::sqrt(a))
                                : f.mFrequency * std::sqrt(a) / (kHighShelfCorner * (a + 1.0));
      out.mFrequency = ClampedFrequency(design, lowest, highest);
      return true;
    }
    case eStandardType::HighPass:
    case eStandardType::LowPass:
      if (f.mOrder != 2 || f.mBessel || std::fabs(f.mQ / biquad::kButterworthQ - 1.0) > 0.01) {
        why = "the band's high-pass and low-pass are second-order Butterworth (Q 0.707)";
        return false;
      }
      out.mType = f.mType == eStandardType::HighPass ? nPEQ::HPASS : nPEQ::LPASS;
      out.mFrequency = ClampedFrequency(f.mFrequency, lowest, highest);
      out.mGain = current.mGain;
      return true;
    default:
      why = "unknown filter";
      return false;
  }
}

bool PassFilterOfStandard(const sStandardFilter& f, sPassFilterConfiguration& out, QString& why) {
  if (f.mSlope < 0 && (f.mOrder < 2 || f.mOrder > 4 || f.mBessel)) {
    why = "the pass filters take 12, 18 or 24 dB Butterworth and 18 dB Bessel slopes";
    return false;
  }
  out.mSlope = ULONG(f.mSlope >= 0 ? f.mSlope : kButterworthSlopeOfOrder[f.mOrder]);
  out.mBypass = !f.mOn;
  out.mFrequency = ClampedFrequency(f.mFrequency, kLowestFrequency, kHighestFrequency);
  return true;
}
