#pragma once

#include "EWNet/Core/Types.h"

// The framework's standard encodings of switches, gains, frequencies and times
// as one- and two-byte codes.

constexpr GAIN kGainMinusInfinity = -32767;
constexpr UWORD kGainOffset = 0x8000;

// 0 is false, 1 is true; anything else is reported and taken as true.
bool UBYTEToBool(UBYTE value);

// Gain in 1/256 dB, offset by 0x8000 on the wire; code 0 is minus infinity.
GAIN UWORDToGain(UWORD code);
UWORD GainToUWORD(GAIN gain);

// Hz = 4 * 2^(code / 4608): 4 Hz to about 76.4 kHz.
double UWORDToFrequency(UWORD code);
// Truncates; frequencies outside the code range give the nearest end code.
UWORD FrequencyToUWORD(double frequency);
// The code a frequency (> 0) falls on before it is cut to a whole one: the
// conversion above truncates it, a caller after the nearest code rounds it.
double FrequencyCode(double frequency);

// Seconds, logarithmic from 1 us (code 1), 65536/11 codes per decade; code 0 is 0 s.
double UWORDToTime(UWORD code);
// Truncates; times outside the code range give the nearest end code.
UWORD TimeToUWORD(double seconds);
// The same for a time (> 0).
double TimeCode(double seconds);
