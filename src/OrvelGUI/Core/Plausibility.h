#pragma once

#include <string>

#include "AES-Standards/Convert.h"
#include "EWNet/Core/Types.h"
#include "OrvelGUI/Core/ParametricEQUnit.h"
#include "OrvelGUI/Core/SerialPortManager.h"

// What the processor can realise, in one place: every value that would reach
// the loudspeakers, from a file, a message or the device's own records, is
// held against these limits before anything is applied. Pure functions.
//
// A check answers an empty text when the value is realisable, and otherwise
// the refusal: the unit, the value and the limit it breaks, in the words a
// user reads ("Mid EQ left band 3: gain +86.0 dB is outside -15 .. +15 dB").
// `unit` is the unit's label (UnitLabel).
namespace plausibility {

// The equaliser's gain control of the screens: +-15 dB.
constexpr GAIN kBandGainLowest = -15 * 256;
constexpr GAIN kBandGainHighest = 15 * 256;
// The strips' gains: minus infinity up to the device's full scale, +12.04 dB.
constexpr GAIN kStripGainLowest = kGainMinusInfinity;
constexpr GAIN kStripGainHighest = 3082;
// Bell variants: 0 gain-dependent bandwidth, 1 reciprocal boost and cut.
constexpr int kVariantCount = 2;
// The bits of a sync record's flags word that mean something: bypass (bit 0)
// and, on an equaliser band, the gang (bit 7).
constexpr UWORD kPassFlagBits = 0x0001;
constexpr UWORD kBandFlagBits = 0x0081;
constexpr UWORD kFlagBypass = 0x0001;
constexpr UWORD kFlagGang = 0x0080;

// "Mid EQ left", "Low high-pass", "Output 2 R fader": a unit's object name as
// its user knows the unit. Names of no known pattern come back as they are.
std::string UnitLabel(const char* objectName);

// A switch: 0 or 1.
std::string CheckSwitch(const std::string& unit, const char* what, int value);

// A high-pass or low-pass filter of `biquadCount` sections: the slope from
// its table, and a frequency at which every section's design is stable.
std::string CheckPassFilter(const std::string& unit, bool highPass, UBYTE biquadCount, UWORD frequency, ULONG slope);

// Band `band` (from 0) of an equaliser: type and variant from their tables,
// the gain within the screens' range, and a frequency at which both the
// band's design and the flat section that stands in while it is out are
// stable. The band bypass is checked where it arrives (a byte, a bit).
std::string CheckBand(const std::string& unit, int band, const cParametricEQUnit::sBand& values);

// A strip's fader gain (1/256 dB; -32767 is minus infinity).
std::string CheckStripGain(const std::string& unit, int gain);

// A delay time code: its sample count must fit the device's 32-bit field.
std::string CheckDelay(const std::string& unit, const char* side, UWORD code);

// The device's sync records (the read-back): the same limits, and only the
// flag bits that mean something.
std::string CheckPassRecord(const std::string& unit, bool highPass, UBYTE biquadCount, const sFilter& record);
std::string CheckBandRecord(const std::string& unit, int band, const sFilter& record);
std::string CheckStripRecord(const std::string& unit, const sControlStripRecord& record);
std::string CheckDelaySamples(const std::string& unit, const char* side, std::int32_t samples);

// What a pass filter really gets when its panel has fewer sections than its
// slope needs, or none: empty when the filter is realised as its slope says,
// else "realised as 12 dB, one section" and the like.
std::string RealisedSlope(bool highPass, ULONG slope, UBYTE biquadCount);

// "+86.0 dB", "48.50 kHz": the forms the refusals use.
std::string DecibelText(double decibels, int decimals = 1);
std::string FrequencyText(double hz);

}  // namespace plausibility
