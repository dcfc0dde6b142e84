#pragma once

#include "OrvelGUI/Core/PassFilterUnit.h"

// The high-pass filter of a panel (designs 1 and 3).
class cHPFUnit : public cPassFilterUnit {
 public:
  static constexpr UWORD kFirstMarker = 12625;
  static constexpr UWORD kLastMarker = 15454;

  cHPFUnit(const char* name, cPassFilterDriver* driver, cNonVolatileStorageManager* storage,
           cSavesManager* savesManager, UBYTE biquadCount, const biquad::sSampling& sampling)
      : cPassFilterUnit(name, driver, storage, savesManager, biquadCount, sampling, true, kFirstMarker, kLastMarker) {}
};
