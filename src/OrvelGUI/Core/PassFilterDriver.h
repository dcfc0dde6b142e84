#pragma once

#include "OrvelGUI/Core/BiquadDriver.h"

class cNonVolatileStorageManager;
class cSavesManager;
class cPassFilterUnit;

// Places a high-pass or low-pass unit's biquads in the filter chains of both
// channels of a panel: every biquad goes to the left channel (`base`) and to
// the right one (`base` + 1).
class cPassFilterDriver : public cBiquadDriver {
 public:
  cPassFilterDriver(const char* name, cNonVolatileStorageManager* storage, cSerialInterface* serialInterface,
                    cSavesManager* savesManager, UBYTE base, UBYTE slotOffset, UBYTE biquadCount, double samplePeriod,
                    double sampleRate, bool highPass);
  ~cPassFilterDriver() override;

  // Queues biquad `index` for both channels with its parameter words.
  void SendBiquad(UBYTE index, const biquad::tQuantised& stored, UWORD frequency, UBYTE slope, bool bypass);
  // The left channel's record of the first biquad; none for a filter the
  // panel has no section for (the High low-pass), whose slot offset would
  // name the next unit's record.
  std::optional<sFilter> GetSyncData() const { return mBiquadCount > 0 ? SyncRecord(0, mSlotOffset) : std::nullopt; }
  void LoadDefaults();

  cPassFilterUnit* GetUnit() const { return mUnit; }

 private:
  cPassFilterUnit* mUnit;
};
