#include "OrvelGUI/Core/Plausibility.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <functional>

#include "OrvelGUI/Core/BiquadDesign.h"
#include "OrvelGUI/Core/DelayDriver.h"

namespace plausibility {
namespace {

// Every design of the tables is stable from the lowest code up to a limit
// (the bilinear designs turn unstable past half the sample rate); the range
// a refusal names is searched from this code, which every design realises.
constexpr UWORD kReferenceCode = 21398;  // 100 Hz

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
  char text[256];
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(text, sizeof text, format, arguments);
  va_end(arguments);
  return text;
}

const char* PanelLabel(int panelType) {
  switch (panelType) {
    case 1:
      return "Low";
    case 2:
      return "Mid";
    case 3:
      return "High";
    default:
      return nullptr;
  }
}

bool EndsWith(const std::string& text, const char* tail) {
  const std::size_t n = std::strlen(tail);
  return text.size() >= n && text.compare(text.size() - n, n, tail) == 0;
}

// The lowest and highest code at which `realisable` holds, searched outward
// from the reference code. False when the reference code itself fails.
bool RealisableRange(const std::function<bool(UWORD)>& realisable, UWORD& lowest, UWORD& highest) {
  if (!realisable(kReferenceCode)) return false;
  int good = kReferenceCode;
  int bad = -1;
  while (good - bad > 1) {
    const int middle = (good + bad) / 2;
    (realisable(UWORD(middle)) ? good : bad) = middle;
  }
  lowest = UWORD(good);
  good = kReferenceCode;
  bad = 65536;
  while (bad - good > 1) {
    const int middle = (good + bad) / 2;
    (realisable(UWORD(middle)) ? good : bad) = middle;
  }
  highest = UWORD(good);
  return true;
}

std::string FrequencyRefusal(const std::string& what, UWORD frequency, const std::function<bool(UWORD)>& realisable) {
  UWORD lowest = 0;
  UWORD highest = 0;
  if (!RealisableRange(realisable, lowest, highest)) {
    return Format("%s: frequency %s has no stable design", what.c_str(),
                  FrequencyText(UWORDToFrequency(frequency)).c_str());
  }
  return Format("%s: frequency %s is outside %s .. %s, where its design is stable", what.c_str(),
                FrequencyText(UWORDToFrequency(frequency)).c_str(), FrequencyText(UWORDToFrequency(lowest)).c_str(),
                FrequencyText(UWORDToFrequency(highest)).c_str());
}

bool PassSectionsRealisable(bool highPass, UBYTE biquadCount, ULONG slope, UWORD frequency) {
  for (unsigned i = 0; i < biquadCount; ++i) {
    biquad::tSection section{};
    if (!biquad::DesignPassSection(highPass, slope, i, UWORDToFrequency(frequency), biquad::kPassSampling, section) ||
        !biquad::IsRealisableSection(section, biquad::kPassScale)) {
      return false;
    }
  }
  return true;
}

bool BandRealisable(const cParametricEQUnit::sBand& b, UWORD frequency) {
  const double hz = UWORDToFrequency(frequency);
  const double q = biquad::QFromWidth(b.mWidth);
  biquad::tSection section{};
  if (!biquad::DesignEQSection(b.mType, b.mVariant, b.mGain * biquad::kGainStep, hz, q, biquad::kEQSampling, section) ||
      !biquad::IsRealisableSection(section, biquad::kEQScale)) {
    return false;
  }
  return biquad::IsRealisableSection(biquad::DesignFlatSection(b.mType, hz, q, biquad::kEQSampling), biquad::kEQScale);
}

std::string FlagsRefusal(const std::string& what, UWORD flags, UWORD meaningful) {
  return Format("%s: flags 0x%04X carry bits without meaning (only 0x%04X are used)", what.c_str(), unsigned(flags),
                unsigned(meaningful));
}

}  // namespace

std::string DecibelText(double decibels, int decimals) { return Format("%+.*f dB", decimals, decibels); }

std::string FrequencyText(double hz) { return hz >= 1000.0 ? Format("%.2f kHz", hz / 1000.0) : Format("%.2f Hz", hz); }

std::string UnitLabel(const char* objectName) {
  const std::string name = objectName != nullptr ? objectName : "";
  int panelType = 0;
  int consumed = 0;
  if (std::sscanf(name.c_str(), "LMH %d:%n", &panelType, &consumed) == 1 && consumed > 0) {
    const char* panel = PanelLabel(panelType);
    const std::string prefix = panel != nullptr ? panel : Format("Panel %d", panelType);
    static const struct {
      const char* mTail;
      const char* mLabel;
    } kObjects[] = {{" HPF Unit", "high-pass"},
                    {" LPF Unit", "low-pass"},
                    {" Delay Unit", "delay"},
                    {" L Parametric EQ Unit", "EQ left"},
                    {" R Parametric EQ Unit", "EQ right"},
                    {" Parametric EQ Gang", "EQ gang"}};
    for (const auto& object : kObjects) {
      if (EndsWith(name, object.mTail)) return prefix + " " + object.mLabel;
    }
    return name;
  }
  char side[8] = {};
  int output = 0;
  if (std::sscanf(name.c_str(), "InOutFader:Input %1[LR] Control Strip Unit%n", side, &consumed) == 1 &&
      std::size_t(consumed) == name.size()) {
    return Format("Input %s fader", side);
  }
  if (std::sscanf(name.c_str(), "InOutFader:%1[LR] Control Strip Unit%d", side, &output) == 2) {
    return Format("Output %d %s fader", output, side);
  }
  return name;
}

std::string CheckSwitch(const std::string& unit, const char* what, int value) {
  if (value == 0 || value == 1) return std::string();
  return Format("%s: %s %d is not 0 or 1", unit.c_str(), what, value);
}

std::string CheckPassFilter(const std::string& unit, bool highPass, UBYTE biquadCount, UWORD frequency, ULONG slope) {
  if (slope >= ULONG(biquad::kSlopeCount)) {
    return Format("%s: slope %lu is not a slope of the table (0 .. %d)", unit.c_str(),
                  static_cast<unsigned long>(slope), biquad::kSlopeCount - 1);
  }
  // A panel without sections (the High panel's low-pass) designs nothing.
  if (PassSectionsRealisable(highPass, biquadCount, slope, frequency)) return std::string();
  return FrequencyRefusal(unit + " (" + biquad::SlopeName(slope) + ")", frequency,
                          [=](UWORD code) { return PassSectionsRealisable(highPass, biquadCount, slope, code); });
}

std::string CheckBand(const std::string& unit, int band, const cParametricEQUnit::sBand& b) {
  const std::string what = Format("%s band %d", unit.c_str(), band + 1);
  if (b.mType >= ULONG(biquad::kBandTypeCount)) {
    return Format("%s: type %lu is not a band type (0 .. %d)", what.c_str(), static_cast<unsigned long>(b.mType),
                  biquad::kBandTypeCount - 1);
  }
  if (b.mType == nPEQ::NOTCH) {
    return Format("%s: type NOTCH has no design on the processor", what.c_str());
  }
  if (b.mVariant >= kVariantCount) {
    return Format("%s: variant %d is not a bell variant (0 .. %d)", what.c_str(), int(b.mVariant), kVariantCount - 1);
  }
  if (b.mGain < kBandGainLowest || b.mGain > kBandGainHighest) {
    // A gain just beyond a limit would round to it with one decimal.
    const double decibels = b.mGain * biquad::kGainStep;
    const int decimals = std::fabs(decibels) < 15.05 ? 3 : 1;
    return Format("%s: gain %s is outside -15 .. +15 dB", what.c_str(), DecibelText(decibels, decimals).c_str());
  }
  if (BandRealisable(b, b.mFrequency)) return std::string();
  return FrequencyRefusal(what + " (" + biquad::BandTypeName(b.mType) + ")", b.mFrequency,
                          [b](UWORD code) { return BandRealisable(b, code); });
}

std::string CheckStripGain(const std::string& unit, int gain) {
  if (gain > kStripGainHighest) {
    return Format("%s: gain %s is above the processor's full scale %s", unit.c_str(),
                  DecibelText(gain * biquad::kGainStep, 3).c_str(),
                  DecibelText(kStripGainHighest * biquad::kGainStep, 3).c_str());
  }
  if (gain < kStripGainLowest) {
    return Format("%s: gain %d is below minus infinity (%d)", unit.c_str(), gain, int(kGainMinusInfinity));
  }
  return std::string();
}

std::string CheckDelay(const std::string& unit, const char* side, UWORD code) {
  if (cDelayDriver::SamplesOfCode(code) < INT32_MAX) return std::string();
  return Format("%s %s: %.1f s does not fit the device's delay (at most %.1f s)", unit.c_str(), side, UWORDToTime(code),
                (INT32_MAX - 1) / biquad::kSampleRate);
}

std::string CheckPassRecord(const std::string& unit, bool highPass, UBYTE biquadCount, const sFilter& record) {
  if ((record.mFlags & ~kPassFlagBits) != 0) return FlagsRefusal(unit, record.mFlags, kPassFlagBits);
  return CheckPassFilter(unit, highPass, biquadCount, record.mFrequency, record.mType);
}

std::string CheckBandRecord(const std::string& unit, int band, const sFilter& record) {
  if ((record.mFlags & ~kBandFlagBits) != 0) {
    return FlagsRefusal(Format("%s band %d", unit.c_str(), band + 1), record.mFlags, kBandFlagBits);
  }
  const cParametricEQUnit::sBand b{
      record.mFrequency, record.mWidth, record.mGain, record.mType, UBYTE(record.mVariant & 0xFF), false};
  return CheckBand(unit, band, b);
}

std::string CheckStripRecord(const std::string& unit, const sControlStripRecord& record) {
  std::string refusal = CheckSwitch(unit, "mute", record.mMute);
  if (refusal.empty()) refusal = CheckSwitch(unit, "polarity", record.mPolarity);
  if (refusal.empty()) refusal = CheckStripGain(unit, record.mGain);
  return refusal;
}

std::string CheckDelaySamples(const std::string& unit, const char* side, std::int32_t samples) {
  if (samples >= 0) return std::string();
  return Format("%s %s: %ld samples is no delay", unit.c_str(), side, static_cast<long>(samples));
}

std::string RealisedSlope(bool highPass, ULONG slope, UBYTE biquadCount) {
  if (slope >= ULONG(biquad::kSlopeCount)) return std::string();
  if (biquadCount == 0) return "not realised: the panel has no such section, nothing is sent";
  biquad::eDesign second = biquad::DESIGN_BELL;
  double q = 0.0;
  double divisor = 1.0;
  biquad::PassSectionDesign(highPass, slope, 1, second, q, divisor);
  const unsigned needed = second == biquad::DESIGN_BELL ? 1 : 2;
  if (biquadCount >= needed) return std::string();
  biquad::eDesign first = biquad::DESIGN_BELL;
  biquad::PassSectionDesign(highPass, slope, 0, first, q, divisor);
  const bool firstOrder = first == biquad::DESIGN_HIGH_PASS_1 || first == biquad::DESIGN_LOW_PASS_1;
  return Format("realised as %d dB, one section", firstOrder ? 6 : 12);
}

}  // namespace plausibility
