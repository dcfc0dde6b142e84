#pragma once

#include "OrvelGUI/Core/PassFilterDriver.h"

// Driver of a panel's low-pass filter (slot offset 1).
class cLPFDriver : public cPassFilterDriver {
 public:
  cLPFDriver(const char* name, cNonVolatileStorageManager* storage, cSerialInterface* serialInterface,
             cSavesManager* savesManager, UBYTE base, UBYTE slotOffset, UBYTE biquadCount, double samplePeriod,
             double sampleRate)
      : cPassFilterDriver(name, storage, serialInterface, savesManager, base, slotOffset, biquadCount, samplePeriod,
                          sampleRate, false) {}
};
