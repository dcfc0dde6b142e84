#include "OrvelGUI/Core/PassFilterDriver.h"

#include "OrvelGUI/Core/HPFUnit.h"
#include "OrvelGUI/Core/LPFUnit.h"
#include "OrvelGUI/Core/SerialInterface.h"

cPassFilterDriver::cPassFilterDriver(const char* name, cNonVolatileStorageManager* storage,
                                     cSerialInterface* serialInterface, cSavesManager* savesManager, UBYTE base,
                                     UBYTE slotOffset, UBYTE biquadCount, double samplePeriod, double sampleRate,
                                     bool highPass)
    : cBiquadDriver(serialInterface, base, slotOffset, biquadCount, biquad::kPassIdentity), mUnit(nullptr) {
  const biquad::sSampling sampling{samplePeriod, sampleRate, biquad::kPassScale};
  if (highPass) {
    mUnit = new cHPFUnit(name, this, storage, savesManager, biquadCount, sampling);
  } else {
    mUnit = new cLPFUnit(name, this, storage, savesManager, biquadCount, sampling);
  }
  mAudioObject = mUnit;
  mBypass = mUnit->GetBypass();
}

cPassFilterDriver::~cPassFilterDriver() {
  DestroyAudioObject();
  mUnit = nullptr;
}

void cPassFilterDriver::SendBiquad(UBYTE index, const biquad::tQuantised& stored, UWORD frequency, UBYTE slope,
                                   bool bypass) {
  const std::int32_t* buffer = FillDeviceBuffer(index, stored);
  if (buffer == nullptr || mInterface == nullptr) return;
  for (UBYTE channel = 0; channel < 2; ++channel) {
    mInterface->QueueFilterMessage(DeviceAddress(index, channel), buffer, 20, frequency, 0, 0, slope, 0,
                                   bypass ? 1 : 0);
  }
}

void cPassFilterDriver::LoadDefaults() {
  if (mUnit != nullptr) mUnit->LoadDefaults();
}
