#pragma once

#include <QString>
#include <optional>

#include "EWNet/Core/Types.h"

// Reads what a user typed into a value widget back into a controller value,
// the inverse of the value formatting: gains in dB ("-inf" and "inf" for the
// ends), times in ms unless "us"/"s" says otherwise, frequencies in Hz or
// kHz, filter widths in octaves (fractions such as "1/3" allowed), a bell's
// Q as its curve realises it ("0.5", "Q 0.5").
class cValueTextParser {
 public:
  // Where the number typed lies against the range it is kept in.
  enum class eFit { Within, AboveMaximum, BelowMinimum };
  struct sReading {
    std::optional<UWORD> mValue;  // kept within the range; none when refused
    eFit mFit = eFit::Within;
    const char* mRefusal = nullptr;  // why it was refused
  };

  // The value, kept within [minimum, maximum]; nothing, with a report, when
  // the text is not a number the type can take or the type reads no text.
  // `exponent` as the formatting takes it (the band's gain and frequency for
  // a bell's Q).
  static std::optional<UWORD> Parse(const QString& text, int type, UWORD minimum, UWORD maximum, double exponent = 0.0);
  // The same without a report, saying also whether the range held it.
  static sReading Read(const QString& text, int type, UWORD minimum, UWORD maximum, double exponent = 0.0);
};
