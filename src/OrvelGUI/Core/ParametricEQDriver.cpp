#include "OrvelGUI/Core/ParametricEQDriver.h"

#include "OrvelGUI/Core/ParametricEQUnit.h"
#include "OrvelGUI/Core/SerialInterface.h"

cParametricEQDriver::cParametricEQDriver(const char* name, cNonVolatileStorageManager* storage,
                                         cSerialInterface* serialInterface, cSavesManager* savesManager,
                                         UBYTE bandCount, double scale, double samplePeriod, double sampleRate,
                                         UBYTE channel, UBYTE base, UBYTE slotOffset)
    : cBiquadDriver(serialInterface, base, slotOffset, bandCount, biquad::kEQIdentity),
      mUnit(nullptr),
      mChannel(channel),
      mGang(false) {
  mUnit = new cParametricEQUnit(name, this, storage, savesManager, bandCount,
                                biquad::sSampling{samplePeriod, sampleRate, scale});
  mAudioObject = mUnit;
}

cParametricEQDriver::~cParametricEQDriver() {
  DestroyAudioObject();
  mUnit = nullptr;
}

void cParametricEQDriver::SendBiquad(UBYTE band, const biquad::tQuantised& stored, UWORD frequency, UWORD width,
                                     GAIN gain, ULONG type, UBYTE variant, bool eqBypass) {
  const std::int32_t* buffer = FillDeviceBuffer(band, stored);
  if (buffer == nullptr || mInterface == nullptr) return;
  const UBYTE flags = UBYTE((mGang ? 0x80 : 0) | (eqBypass ? 1 : 0));
  mInterface->QueueFilterMessage(DeviceAddress(band), buffer, 20, frequency, width, UWORD(gain), UBYTE(type), variant,
                                 flags);
}

void cParametricEQDriver::LoadDefaults() {
  if (mUnit != nullptr) mUnit->LoadDefaults();
}
