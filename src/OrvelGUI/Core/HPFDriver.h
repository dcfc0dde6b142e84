#pragma once

#include "OrvelGUI/Core/PassFilterDriver.h"

// Driver of a panel's high-pass filter (slot offset 0).
class cHPFDriver : public cPassFilterDriver {
 public:
  cHPFDriver(const char* name, cNonVolatileStorageManager* storage, cSerialInterface* serialInterface,
             cSavesManager* savesManager, UBYTE base, UBYTE slotOffset, UBYTE biquadCount, double samplePeriod,
             double sampleRate)
      : cPassFilterDriver(name, storage, serialInterface, savesManager, base, slotOffset, biquadCount, samplePeriod,
                          sampleRate, true) {}
};
