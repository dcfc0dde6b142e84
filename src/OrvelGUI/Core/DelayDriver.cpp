#include "OrvelGUI/Core/DelayDriver.h"

#include <cmath>

#include "AES-Standards/Convert.h"
#include "OrvelGUI/Core/DelayUnit.h"
#include "OrvelGUI/Core/SerialInterface.h"

cDelayDriver::cDelayDriver(const char* name, UBYTE base, cNonVolatileStorageManager* storage,
                           cSerialInterface* serialInterface, cSavesManager* savesManager, bool forceDefaults)
    : mUnit(nullptr), mInterface(serialInterface), mBase(base) {
  mUnit = new cDelayUnit(name, this, storage, savesManager, forceDefaults);
  mAudioObject = mUnit;
}

cDelayDriver::~cDelayDriver() {
  DestroyAudioObject();
  mUnit = nullptr;
}

std::int32_t cDelayDriver::SamplesOfCode(UWORD code) {
  const double samples = std::round(UWORDToTime(code) * 96000.0);
  return samples >= 2147483647.0 ? INT32_MAX : static_cast<std::int32_t>(samples);
}

void cDelayDriver::SendDelay(UBYTE channel, UWORD code) {
  if (mInterface != nullptr) mInterface->QueueDelayMessage(ULONG(mBase + channel), SamplesOfCode(code));
}

std::optional<std::array<std::int32_t, 6>> cDelayDriver::GetSyncDelays() const {
  if (mInterface == nullptr) return std::nullopt;
  return mInterface->GetSyncDelays();
}

void cDelayDriver::LoadDefaults() {
  if (mUnit != nullptr) mUnit->LoadDefaults();
}
