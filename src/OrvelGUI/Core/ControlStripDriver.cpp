#include "OrvelGUI/Core/ControlStripDriver.h"

#include <cmath>
#include <limits>

#include "AES-Standards/Convert.h"
#include "OrvelGUI/Core/ControlStripUnit.h"
#include "OrvelGUI/Core/SerialInterface.h"

cControlStripDriver::cControlStripDriver(const char* name, cNonVolatileStorageManager* storage,
                                         cSerialInterface* serialInterface, cSavesManager* savesManager, UBYTE index,
                                         UBYTE invert)
    : mUnit(nullptr),
      mInterface(serialInterface),
      mIndex(index),
      mMute(0),
      mPolarity(0),
      mGainWord(kGainMinusInfinity),
      mHeldGain(kGainMinusInfinity) {
  mUnit = new cControlStripUnit(name, this, storage, savesManager, invert);
  mAudioObject = mUnit;
  Reload();
}

cControlStripDriver::~cControlStripDriver() {
  DestroyAudioObject();
  mUnit = nullptr;
}

std::int32_t cControlStripDriver::GainToLinear(int gain) {
  // From the exact 1/256 dB value: the field has room for it, and a fader at
  // -9.5 dB must not reach the loudspeaker as -9 dB.
  if (gain >= 0) return INT32_MAX;
  const double linear = std::pow(10.0, double(gain) / (256.0 * 20.0)) * 2147483647.0;
  return static_cast<std::int32_t>(linear);
}

double cControlStripDriver::RealisedGainDb(int gainWord) {
  const std::int32_t linear = LinearGain(GAIN(std::clamp(gainWord, -32768, 32767)), false);
  if (linear == 0) return -std::numeric_limits<double>::infinity();
  return 20.0 * std::log10(std::abs(double(linear)) / 2147483647.0) + kFullScaleGain / 256.0;
}

void cControlStripDriver::Update() {
  if (mInterface == nullptr) return;
  if (mMute != 0) {
    if (mGainWord == kGainMinusInfinity) {
      mInterface->QueueControlStripMessage(mIndex, 0, UWORD(mHeldGain), mPolarity, 1);
    }
    return;
  }
  mInterface->QueueControlStripMessage(mIndex, LinearGain(mGainWord, mPolarity != 0), UWORD(mGainWord), mPolarity, 0);
}

std::int32_t cControlStripDriver::LinearGain(GAIN gainWord, bool devicePolarity) {
  if (gainWord < kSilenceBelow) return 0;
  // Plain int: gain - 3082 must not wrap through 16 bits into a loud gain.
  const std::int32_t linear = GainToLinear(int(gainWord) - kFullScaleGain);
  return devicePolarity ? -linear : linear;
}

void cControlStripDriver::SetMute(bool mute) {
  mMute = mute ? 1 : 0;
  if (mute) {
    mHeldGain = mGainWord;
    mGainWord = kGainMinusInfinity;
  } else {
    mGainWord = mHeldGain;
  }
  Update();
}

void cControlStripDriver::SetPolarity(bool polarity) {
  mPolarity = polarity ? 1 : 0;
  Update();
}

void cControlStripDriver::SetGain(GAIN gain) {
  if (mMute != 0) {
    mHeldGain = gain;
  } else {
    mGainWord = gain;
  }
  Update();
}

void cControlStripDriver::SetAll(bool mute, bool polarity, GAIN gain) {
  mMute = mute ? 1 : 0;
  mPolarity = polarity ? 1 : 0;
  if (mute) {
    mHeldGain = gain;
    mGainWord = kGainMinusInfinity;
  } else {
    mGainWord = gain;
  }
  Update();
}

void cControlStripDriver::Reload() {
  if (mUnit != nullptr) SetAll(mUnit->GetMute(), mUnit->GetPolarity() != (mUnit->GetInvert() != 0), mUnit->GetGain());
}

void cControlStripDriver::LoadDefaults() {
  if (mUnit != nullptr) mUnit->LoadDefaults();
}

std::optional<sControlStripRecord> cControlStripDriver::GetSyncData() const {
  if (mInterface == nullptr || mIndex >= cSerialPortManager::kStripCount) return std::nullopt;
  const auto records = mInterface->GetSyncControlStrips();
  if (!records) return std::nullopt;
  return (*records)[mIndex];
}
