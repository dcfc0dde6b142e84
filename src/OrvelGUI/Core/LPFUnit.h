#pragma once

#include "OrvelGUI/Core/PassFilterUnit.h"

// The low-pass filter of a panel (designs 2 and 4). With no biquads (High
// panel) it keeps and informs its parameters but sends nothing.
class cLPFUnit : public cPassFilterUnit {
 public:
  static constexpr UWORD kFirstMarker = 6809;
  static constexpr UWORD kLastMarker = 8755;

  cLPFUnit(const char* name, cPassFilterDriver* driver, cNonVolatileStorageManager* storage,
           cSavesManager* savesManager, UBYTE biquadCount, const biquad::sSampling& sampling)
      : cPassFilterUnit(name, driver, storage, savesManager, biquadCount, sampling, false, kFirstMarker, kLastMarker) {}
};
