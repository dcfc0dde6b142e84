#pragma once

#include "EWNet/Core/Types.h"

// One step of a value control (a fader, a value field) from the arrow keys,
// the Page keys or the wheel, on a grid of the control's own resolution
// rather than of pixels or codes: gains 0.5 dB (fine 0.1 dB), frequencies
// 1/24 octave (fine 1/96), delays 0.1 ms (fine one sample at 96 kHz), filter
// widths one row of the width table. A value off the grid moves to the next
// grid point in the direction of the step, so steps land on round numbers.
class cValueStepper {
 public:
  // The value `steps` grid steps from `value` (negative: down), kept within
  // [minimum, maximum]. With `levelType`, 0 is the minimum (off). Types with
  // no grid return the value unchanged.
  static UWORD Step(UWORD value, int type, int steps, bool fine, UWORD minimum, UWORD maximum, bool levelType);
};
