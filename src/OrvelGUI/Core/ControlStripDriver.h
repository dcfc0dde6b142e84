#pragma once

#include <optional>

#include "EWNet/Core/audiodrv.h"
#include "OrvelGUI/Core/SerialPortManager.h"

class cControlStripUnit;
class cNonVolatileStorageManager;
class cSavesManager;
class cSerialInterface;

// Turns a strip's fader gain, mute and polarity into what the device's strip
// takes: a linear gain with full scale at fader +12.04 dB, the gain word, the
// polarity and the mute. Muting holds the gain to restore on unmute.
class cControlStripDriver : public cAudioDriver {
 public:
  // Fader gains below this (about -116 dB) are silence.
  static constexpr int kSilenceBelow = -29695;
  // The fader gain that is the device's full scale (12.04 dB).
  static constexpr int kFullScaleGain = 3082;

  cControlStripDriver(const char* name, cNonVolatileStorageManager* storage, cSerialInterface* serialInterface,
                      cSavesManager* savesManager, UBYTE index, UBYTE invert);
  ~cControlStripDriver() override;

  // 10^(dB / 20) x (2^31 - 1) of the exact gain in 1/256 dB, truncated
  // toward zero; full scale (0) and above saturate at 2147483647.
  static std::int32_t GainToLinear(int gain);
  // The gain in dB the device plays for a gain word, from the linear field
  // it is sent (full scale being +12.04 dB); minus infinity for a word it
  // is sent as silence.
  static double RealisedGainDb(int gainWord);
  // The linear gain an unmuted strip queues for a fader gain and device
  // polarity: 0 below kSilenceBelow, negative with the polarity set. The
  // tools that describe the processor's signal path use it too, so that they
  // follow what the device is sent.
  static std::int32_t LinearGain(GAIN gainWord, bool devicePolarity);

  void SetMute(bool mute);
  void SetPolarity(bool polarity);  // the device's polarity (unit polarity XOR invert)
  void SetGain(GAIN gain);
  void SetAll(bool mute, bool polarity, GAIN gain);
  // Takes mute, polarity XOR invert and gain from the unit and sends them.
  void Reload();
  void Update();
  void LoadDefaults();
  // The device's record of this strip; none until the device's strip
  // records have arrived.
  std::optional<sControlStripRecord> GetSyncData() const;

  UBYTE GetIndex() const { return mIndex; }
  bool GetMute() const { return mMute != 0; }
  bool GetDevicePolarity() const { return mPolarity != 0; }
  GAIN GetGainWord() const { return mGainWord; }
  GAIN GetHeldGain() const { return mHeldGain; }
  cControlStripUnit* GetUnit() const { return mUnit; }

 private:
  cControlStripUnit* mUnit;
  cSerialInterface* mInterface;
  UBYTE mIndex;
  UBYTE mMute;
  UBYTE mPolarity;
  GAIN mGainWord;
  GAIN mHeldGain;
};
