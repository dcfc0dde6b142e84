#pragma once

#include <array>
#include <cstdint>

#include "OrvelGUI/Config/Configuration.h"

class cOfflineAssembly;

// What the processor does to a signal besides its filter chains, taken from
// what its drivers send: the control strips' linear gains (through the strip
// driver's own conversion) and the delays' sample counts. The tools that
// describe the whole signal path (the summed response, exports to other
// programs) read it here, so they follow the drivers.

struct sStripPath {
  std::int32_t mLinear = 0;         // what the driver sends: 0 when muted or silent
  std::int32_t mUnmutedLinear = 0;  // what it would send unmuted (the held gain)
  bool mMute = false;
  // The signal's polarity: the device's polarity with the output stages'
  // own inversion undone, i.e. the polarity `show` prints.
  bool mInverted = false;
};

// The eight strips of an assembly in index order (inputs L, R, then L and R
// of outputs 1 to 3). Main thread; takes the registry lock.
std::array<sStripPath, 8> ReadStripPaths(const cOfflineAssembly& assembly);

// The strip that ends output `panel` (0 Low .. 2 High), `side` (0 L, 1 R).
constexpr int OutputStripIndex(int panel, int side) { return 2 + 2 * panel + side; }

// The gain in dB of a strip's linear value, sign ignored: the device's full
// scale, 2^31 - 1, is the fader's +12.04 dB. Minus infinity for 0.
double LinearGainDb(std::int32_t linear);
// The factor by which a strip multiplies the signal (0 when muted or silent),
// with its polarity.
double StripFactor(const sStripPath& strip);

// The samples by which the delay driver delays output `panel`, `side`.
std::int32_t OutputDelaySamples(const sConfiguration& configuration, int panel, int side);
