#pragma once

#include "EWNet/Core/Types.h"

// The code nearest to a value in each of the stored encodings. Each is false
// for a value that is not finite or lies more than half a step beyond the
// end codes: there is no code near it.
namespace nearestcode {

bool Frequency(double hz, UWORD& code);
// 1/256 dB, the whole signed range (-32767 is minus infinity on a fader).
bool Gain(double decibels, GAIN& code);
bool Time(double seconds, UWORD& code);
// The width whose high byte indexes the Q table entry nearest `q` (by
// ratio); its low byte is 0.
bool WidthOfQ(double q, UWORD& width);

}  // namespace nearestcode
