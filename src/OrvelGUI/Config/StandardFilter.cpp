#include "OrvelGUI/Config/StandardFilter.h"

#include <algorithm>
#include <cmath>

#include "AES-Standards/Convert.h"
#include "OrvelGUI/Config/FilterChains.h"
#include "OrvelGUI/Config/NearestCode.h"
#include "OrvelGUI/Core/ParametricEQUnit.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
// The decimals the processor's designs use for pi.
constexpr double kDesignPi = 3.141592654;
// The bell of variant 0 widens its bandwidth by this factor's reciprocal.
constexpr double kBellBandwidth = 0.3023944391;
constexpr double kHighShelfCorner = 0.159;
constexpr double kContourGainDb = -9.0;
constexpr double kLowPassFloorHz = 40.0;
// The equaliser's gain control: +-15 dB.
constexpr GAIN kBandGainLimit = 15 * 256;
constexpr UWORD kLowestFrequency = cParametricEQUnit::kRangeLowest;
constexpr UWORD kHighestFrequency = cParametricEQUnit::kRangeHighest;
constexpr double kCompareLowest = 20.0;
constexpr double kCompareHighest = 20000.0;
constexpr double kCompareFloorDb = -60.0;
// Butterworth slopes of the pass filters by order (slope table values).
constexpr int kButterworthSlopeOfOrder[5] = {-1, -1, HPF_BUTTERWORTH_12_DB, HPF_BUTTERWORTH_18_DB,
                                             HPF_BUTTERWORTH_24_DB};

double Linear(double decibels) { return std::pow(10.0, decibels / 20.0); }

// tan(pi f T) as the processor's designs compute it, and its inverse.
double DesignTan(double hz) { return std::tan(kDesignPi * hz * biquad::kSamplePeriod); }
double FrequencyOfDesignTan(double t) { return std::atan(t) / (kDesignPi * biquad::kSamplePeriod); }
// tan(w0 / 2) of the cookbook designs, and its inverse.
double StandardTan(double hz) { return std::tan(kPi * hz / biquad::kSampleRate); }
double FrequencyOfStandardTan(double t) { return std::atan(t) * biquad::kSampleRate / kPi; }

// g of the variant-0 bell at gain A: (A - 1) / (A + 1).
double BellG(double a) { return (a - 1.0) / (a + 1.0); }

// The bell designs are bilinear transforms whose analog bandwidth carries
// tan(x) / x, x = pi f T, besides the table's Q; a standard peak's Q at
// 96 kHz has that factor's reciprocal.
double BellWarp(double hz) {
  const double x = kDesignPi * hz * biquad::kSamplePeriod;
  return x / DesignTan(hz);
}

// Q of the standard peak that a bell of table Q `q` realises, and back.
double PeakQOfBell(double q, double gainDb, UBYTE variant, double hz) {
  const double a = Linear(gainDb);
  const double analog = variant == 0 ? kBellBandwidth * q / std::sqrt(1.0 - BellG(a) * BellG(a))
                                     : q * std::pow(10.0, -std::fabs(gainDb) / 40.0);
  return analog * BellWarp(hz);
}
double BellQOfPeak(double peakQ, double gainDb, UBYTE variant, double hz) {
  const double a = Linear(gainDb);
  const double analog = peakQ / BellWarp(hz);
  if (variant == 0) return analog * std::sqrt(1.0 - BellG(a) * BellG(a)) / kBellBandwidth;
  return analog * std::pow(10.0, std::fabs(gainDb) / 40.0);
}

// The first-order shelf designs at gain A put their zero and pole at
// tan(pi f T) times 2 pi A / (A + 1), 2 pi / (A + 1) (low shelf) and
// 0.159 (A + 1) / A, 0.159 (A + 1) (high shelf); a standard shelf's midpoint
// lies where the tangent is their geometric mean.
double LowShelfTanFactor(double a) { return 2.0 * kDesignPi * std::sqrt(a) / (a + 1.0); }
double HighShelfTanFactor(double a) { return kHighShelfCorner * (a + 1.0) / std::sqrt(a); }
double ShelfMidpoint(double hz, double factor) { return FrequencyOfStandardTan(DesignTan(hz) * factor); }
double ShelfDesignFrequency(double midpoint, double factor) {
  return FrequencyOfDesignTan(StandardTan(midpoint) / factor);
}

UWORD ClampedFrequency(double hz, UWORD lowest, UWORD highest) {
  UWORD code = 0;
  if (!nearestcode::Frequency(hz, code)) code = hz > 4.0 ? 65535 : 0;
  return std::clamp(code, lowest, highest);
}

// The band gain a standard filter's gain becomes: +-15 dB.
GAIN BandGain(double gainDb) {
  GAIN gain = 0;
  if (!nearestcode::Gain(gainDb, gain)) gain = gainDb > 0 ? kBandGainLimit : -kBandGainLimit;
  return std::clamp<GAIN>(gain, -kBandGainLimit, kBandGainLimit);
}

// b0, b1, b2, -a1, -a2 of a0 b0 ... as the section form wants them.
biquad::tSection Normalised(double b0, double b1, double b2, double a0, double a1, double a2) {
  return {b0 / a0, b1 / a0, b2 / a0, -a1 / a0, -a2 / a0};
}

// The cookbook's designs, and the first-order ones by the same transform.
biquad::tSection StandardSection(const sStandardFilter& f) {
  const double w0 = 2.0 * kPi * f.mFrequency / biquad::kSampleRate;
  const double cs = std::cos(w0);
  const double alpha = std::sin(w0) / (2.0 * f.mQ);
  const double t = std::tan(w0 / 2.0);
  const double a = std::pow(10.0, f.mGainDb / 40.0);
  const double root = 2.0 * std::sqrt(a) * alpha;
  switch (f.mType) {
    case eStandardType::Peak:
      return Normalised(1.0 + alpha * a, -2.0 * cs, 1.0 - alpha * a, 1.0 + alpha / a, -2.0 * cs, 1.0 - alpha / a);
    case eStandardType::LowShelf:
      if (f.mOrder == 1) return Normalised(1.0 + a * t, a * t - 1.0, 0.0, 1.0 + t / a, t / a - 1.0, 0.0);
      return Normalised(a * ((a + 1.0) - (a - 1.0) * cs + root), 2.0 * a * ((a - 1.0) - (a + 1.0) * cs),
                        a * ((a + 1.0) - (a - 1.0) * cs - root), (a + 1.0) + (a - 1.0) * cs + root,
                        -2.0 * ((a - 1.0) + (a + 1.0) * cs), (a + 1.0) + (a - 1.0) * cs - root);
    case eStandardType::HighShelf:
      if (f.mOrder == 1) {
        return Normalised(a * a * (1.0 + t / a), a * a * (t / a - 1.0), 0.0, 1.0 + a * t, a * t - 1.0, 0.0);
      }
      return Normalised(a * ((a + 1.0) + (a - 1.0) * cs + root), -2.0 * a * ((a - 1.0) + (a + 1.0) * cs),
                        a * ((a + 1.0) + (a - 1.0) * cs - root), (a + 1.0) - (a - 1.0) * cs + root,
                        2.0 * ((a - 1.0) - (a + 1.0) * cs), (a + 1.0) - (a - 1.0) * cs - root);
    case eStandardType::HighPass:
      if (f.mOrder == 1) return Normalised(1.0, -1.0, 0.0, 1.0 + t, t - 1.0, 0.0);
      return Normalised((1.0 + cs) / 2.0, -(1.0 + cs), (1.0 + cs) / 2.0, 1.0 + alpha, -2.0 * cs, 1.0 - alpha);
    case eStandardType::LowPass:
      if (f.mOrder == 1) return Normalised(t, t, 0.0, 1.0 + t, t - 1.0, 0.0);
      return Normalised((1.0 - cs) / 2.0, 1.0 - cs, (1.0 - cs) / 2.0, 1.0 + alpha, -2.0 * cs, 1.0 - alpha);
    default:
      return {1.0, 0.0, 0.0, 0.0, 0.0};
  }
}

sStandardFilter PassSection(bool highPass, double hz, int order, double q) {
  sStandardFilter f;
  f.mType = highPass ? eStandardType::HighPass : eStandardType::LowPass;
  f.mFrequency = hz;
  f.mOrder = order;
  f.mQ = order == 2 ? q : biquad::kButterworthQ;
  f.mPanelSection = true;
  return f;
}

}  // namespace

double StandardMagnitudeDb(const sStandardFilter& f, double hz) {
  if (!f.mOn || f.mType == eStandardType::None || f.mSlope >= 0) return 0.0;
  return biquad::SectionMagnitudeDb(StandardSection(f), 1.0, hz);
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
      f.mQ = PeakQOfBell(biquad::QFromWidth(band.mWidth), gain, band.mVariant, hz);
      break;
    case nPEQ::LFSHELF:
    case nPEQ::LOW_CONTOUR:
      f.mType = eStandardType::LowShelf;
      f.mGainDb = band.mType == nPEQ::LFSHELF ? gain : kContourGainDb;
      f.mFrequency = ShelfMidpoint(hz, LowShelfTanFactor(Linear(f.mGainDb)));
      f.mOrder = 1;
      break;
    case nPEQ::HFSHELF:
    case nPEQ::HIGH_CONTOUR:
      f.mType = eStandardType::HighShelf;
      f.mGainDb = band.mType == nPEQ::HFSHELF ? gain : kContourGainDb;
      f.mFrequency = ShelfMidpoint(hz, HighShelfTanFactor(Linear(f.mGainDb)));
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

std::vector<sStandardFilter> PassFilterSections(const sPassFilterConfiguration& filter, bool highPass,
                                                int biquadCount) {
  std::vector<sStandardFilter> sections;
  for (int i = 0; i < biquadCount; ++i) {
    biquad::eDesign design = biquad::DESIGN_BELL;
    double q = 0.0;
    double divisor = 1.0;
    if (!biquad::PassSectionDesign(highPass, filter.mSlope, unsigned(i), design, q, divisor)) return {};
    if (design == biquad::DESIGN_BELL) continue;  // the flat stand-in
    const bool firstOrder = design == biquad::DESIGN_HIGH_PASS_1 || design == biquad::DESIGN_LOW_PASS_1;
    sections.push_back(PassSection(highPass, UWORDToFrequency(filter.mFrequency) / divisor, firstOrder ? 1 : 2, q));
    sections.back().mOn = !filter.mBypass;
  }
  return sections;
}

bool BandDesignCode(const sStandardFilter& f, UWORD& code) {
  const double a = Linear(BandGain(f.mGainDb) * biquad::kGainStep);
  double hz = f.mFrequency;
  switch (f.mType) {
    case eStandardType::Peak:
    case eStandardType::HighPass:
    case eStandardType::LowPass:
      break;
    case eStandardType::LowShelf:
      hz = ShelfDesignFrequency(f.mFrequency, LowShelfTanFactor(a));
      break;
    case eStandardType::HighShelf:
      hz = ShelfDesignFrequency(f.mFrequency, HighShelfTanFactor(a));
      break;
    default:
      return false;
  }
  code = ClampedFrequency(hz, 0, 65535);
  return true;
}

bool BandOfStandard(const sStandardFilter& f, const sBandConfiguration& current, int bandCount, int band,
                    sBandConfiguration& out, QString& why) {
  out = current;
  out.mBypass = !f.mOn;
  if (f.mType == eStandardType::None) {
    out.mBypass = true;
    return true;
  }
  if (f.mSlope >= 0 || f.mPanelSection) {
    why = "a band has no pass filter of a slope; the panel's own high-pass and low-pass take those";
    return false;
  }
  const UWORD lowest = cParametricEQUnit::GetFrequencyRangesLower(UBYTE(bandCount), UBYTE(band));
  const UWORD highest = cParametricEQUnit::GetFrequencyRangesUpper(UBYTE(bandCount), UBYTE(band));
  UWORD code = 0;
  if (!BandDesignCode(f, code)) {
    why = "unknown filter";
    return false;
  }
  out.mFrequency = std::clamp(code, lowest, highest);
  out.mGain = BandGain(f.mGainDb);
  switch (f.mType) {
    case eStandardType::Peak: {
      out.mType = nPEQ::BELL;
      // The band keeps its bell variant unless the other one's width table
      // comes nearer the Q (a narrow deep cut is beyond variant 0's table).
      double bestMiss = INFINITY;
      UWORD bestWidth = current.mWidth;
      for (const UBYTE variant : {current.mVariant, UBYTE(current.mVariant == 0 ? 1 : 0)}) {
        const double q = BellQOfPeak(f.mQ, out.mGain * biquad::kGainStep, variant, UWORDToFrequency(out.mFrequency));
        UWORD width = 0;
        if (!nearestcode::WidthOfQ(q, width)) width = UWORD(q < 1.0 ? 0 : (biquad::kQTableSize - 1) << 8);
        const double miss = std::fabs(std::log(biquad::QFromWidth(width) / q));
        if (miss < bestMiss - 1e-9) {
          bestMiss = miss;
          bestWidth = width;
          out.mVariant = variant;
        }
      }
      // A width that already means this Q keeps its code.
      if (out.mVariant != current.mVariant || biquad::QFromWidth(current.mWidth) != biquad::QFromWidth(bestWidth))
        out.mWidth = bestWidth;
      return true;
    }
    case eStandardType::LowShelf:
    case eStandardType::HighShelf:
      out.mType = f.mType == eStandardType::LowShelf ? nPEQ::LFSHELF : nPEQ::HFSHELF;
      return true;
    case eStandardType::HighPass:
    case eStandardType::LowPass:
      if (f.mOrder != 2 || std::fabs(f.mQ / biquad::kButterworthQ - 1.0) > 0.01) {
        why = "the band's high-pass and low-pass are second-order Butterworth (Q 0.707)";
        return false;
      }
      out.mType = f.mType == eStandardType::HighPass ? nPEQ::HPASS : nPEQ::LPASS;
      out.mGain = current.mGain;
      return true;
    default:
      why = "unknown filter";
      return false;
  }
}

bool PassFilterOfStandard(const sStandardFilter& f, sPassFilterConfiguration& out, QString& why) {
  if (f.mSlope < 0 && (f.mOrder < 2 || f.mOrder > 4)) {
    why = "the pass filters take 12, 18 or 24 dB Butterworth and 18 dB Bessel slopes";
    return false;
  }
  out.mSlope = ULONG(f.mSlope >= 0 ? f.mSlope : kButterworthSlopeOfOrder[f.mOrder]);
  out.mBypass = !f.mOn;
  out.mFrequency = ClampedFrequency(f.mFrequency, kLowestFrequency, kHighestFrequency);
  return true;
}

double PassFilterMagnitudeDb(const sPassFilterConfiguration& filter, bool highPass, int biquadCount, double hz) {
  return PassSlopeMagnitudeDb(filter.mSlope, UWORDToFrequency(filter.mFrequency), highPass, biquadCount, hz);
}

double PassSlopeMagnitudeDb(ULONG slope, double frequency, bool highPass, int biquadCount, double hz) {
  double decibels = 0.0;
  for (int i = 0; i < biquadCount; ++i) {
    biquad::tSection section{};
    if (!biquad::DesignPassSection(highPass, slope, unsigned(i), frequency, biquad::kPassSampling, section)) {
      break;
    }
    decibels += biquad::SectionMagnitudeDb(section, biquad::kPassScale, hz);
  }
  return decibels;
}

bool FitPassFilter(const std::vector<sStandardFilter>& sections, bool highPass, int biquadCount,
                   sPassFilterConfiguration& out, double& largestDb) {
  if (biquadCount <= 0 || sections.empty()) return false;
  const std::vector<double> grid = ComparisonGrid();
  std::vector<double> wanted;
  for (double hz : grid) {
    double decibels = 0.0;
    for (const sStandardFilter& s : sections) decibels += StandardMagnitudeDb(s, hz);
    wanted.push_back(decibels);
  }
  largestDb = INFINITY;
  // Every slope at the frequencies that would put one of its sections on one
  // of the given ones.
  for (int slope = 0; slope < biquad::kSlopeCount; ++slope) {
    for (const sStandardFilter& s : sections) {
      for (int i = 0; i < biquadCount; ++i) {
        biquad::eDesign design = biquad::DESIGN_BELL;
        double q = 0.0;
        double divisor = 1.0;
        if (!biquad::PassSectionDesign(highPass, ULONG(slope), unsigned(i), design, q, divisor)) continue;
        const sPassFilterConfiguration candidate{
            ClampedFrequency(s.mFrequency * divisor, kLowestFrequency, kHighestFrequency), ULONG(slope), false};
        double largest = 0.0;
        for (std::size_t k = 0; k < grid.size() && largest < largestDb; ++k) {
          largest = std::max(largest,
                             DifferenceDb(PassFilterMagnitudeDb(candidate, highPass, biquadCount, grid[k]), wanted[k]));
        }
        if (largest < largestDb) {
          largestDb = largest;
          out = candidate;
        }
      }
    }
  }
  return true;
}

double DifferenceDb(double a, double b) {
  return std::fabs(std::max(a, kCompareFloorDb) - std::max(b, kCompareFloorDb));
}

std::vector<double> ComparisonGrid() {
  std::vector<double> grid;
  for (double hz : ResponseGrid()) {
    if (hz >= kCompareLowest && hz <= kCompareHighest) grid.push_back(hz);
  }
  return grid;
}
