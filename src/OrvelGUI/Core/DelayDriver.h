#pragma once

#include <array>
#include <optional>

#include "EWNet/Core/audiodrv.h"

class cDelayUnit;
class cNonVolatileStorageManager;
class cSavesManager;
class cSerialInterface;

// Sends a panel's two delays to the device as sample counts at 96 kHz; the
// right channel is the device's delay `base` + 1.
class cDelayDriver : public cAudioDriver {
 public:
  cDelayDriver(const char* name, UBYTE base, cNonVolatileStorageManager* storage, cSerialInterface* serialInterface,
               cSavesManager* savesManager, bool forceDefaults);
  ~cDelayDriver() override;

  // Samples of a time code: rounded half away from zero, saturated at the
  // 32-bit limit.
  static std::int32_t SamplesOfCode(UWORD code);

  void SendDelay(UBYTE channel, UWORD code);
  // The device's six delays of the last read-back; none until they arrived.
  std::optional<std::array<std::int32_t, 6>> GetSyncDelays() const;
  void LoadDefaults();

  UBYTE GetBase() const { return mBase; }
  cDelayUnit* GetUnit() const { return mUnit; }

 private:
  cDelayUnit* mUnit;
  cSerialInterface* mInterface;
  UBYTE mBase;
};
