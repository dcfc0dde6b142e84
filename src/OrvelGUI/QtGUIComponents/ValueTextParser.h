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
  // The value, kept within [minimum, maximum]; nothing, with a report, when
  // the text is not a number the type can take or the type reads no text.
  // `exponent` as the formatting takes it (the band's gain and frequency for
  // a bell's Q).
  static std::optional<UWORD> Parse(const QString& text, int type, UWORD minimum, UWORD maximum, double exponent = 0.0);
};
