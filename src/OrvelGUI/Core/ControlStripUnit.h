#pragma once

#include "OrvelGUI/Core/AudioObject.h"
#include "OrvelGUI/Core/SaveObject.h"
#include "OrvelGUI/Core/StoredField.h"

class cControlStripDriver;

// Fader gain, mute and polarity of one input or output strip. Output strips
// invert: the device receives the polarity XOR the invert flag.
//   4096 mute (1 byte)   4097 polarity (1 byte)   4098 gain (offset form)
//   4099 reserved (answered as 0, ignored)
class cControlStripUnit : public cAudioObject, public cSaveObject {
 public:
  static constexpr UWORD kFirstMarker = 21862;
  static constexpr UWORD kLastMarker = 64261;
  static constexpr UWORD kMethodMute = PARAMETER_BASE + 0;
  static constexpr UWORD kMethodPolarity = PARAMETER_BASE + 1;
  static constexpr UWORD kMethodGain = PARAMETER_BASE + 2;
  static constexpr UWORD kMethodReserved = PARAMETER_BASE + 3;

  cControlStripUnit(const char* name, cControlStripDriver* driver, cNonVolatileStorageManager* storage,
                    cSavesManager* savesManager, UBYTE invert);
  ~cControlStripUnit() override;

  void EntrypointMessage(cEWNetMessage& message) override;
  void UpdateNewObject(UWORD connectionId, EW_NET_DATA_SCALE handle, EW_NET_DATA_SCALE destinationMethod,
                       EW_NET_DATA_SCALE sourceMethod) override;
  // The block SaveData writes: mute, polarity, gain.
  static void WriteBlock(QDataStream& stream, bool mute, bool polarity, GAIN gain);
  void SaveData(QDataStream* stream) override;
  // Applies the block as the recall rules say, then sends the whole strip so
  // that the device holds it whatever it held before.
  void RecallData(QDataStream* stream) override;
  void SyncData() override;
  bool CheckData(QDataStream* stream, std::string& refusal) override;
  void LoadDefaults();

  bool GetMute() const { return mMute.Get() != 0; }
  bool GetPolarity() const { return mPolarity.Get() != 0; }
  GAIN GetGain() const { return mGain.Get(); }
  UBYTE GetInvert() const { return mInvert; }

 private:
  struct sBlock {
    qint8 mMute = 0;  // bools in the file
    qint8 mPolarity = 0;
    qint16 mGain = 0;
  };
  // Reads a block; the refusal, or empty when it may be applied.
  std::string ReadBlock(QDataStream& stream, sBlock& block) const;
  // Stores and informs what differs; true when anything did.
  bool ApplySettings(bool mute, bool polarity, GAIN gain);

  cControlStripDriver* mDriver;
  UBYTE mInvert;
  cStoredMarkers mMarkers;
  cStoredValue<UBYTE> mMute;
  cStoredValue<UBYTE> mPolarity;
  cStoredValue<GAIN> mGain;
};
