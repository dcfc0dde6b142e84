#pragma once

#include <array>

#include "OrvelGUI/Core/AudioObject.h"
#include "OrvelGUI/Core/SaveObject.h"
#include "OrvelGUI/Core/StoredField.h"

class cDelayDriver;

// A panel's left and right delay (time codes) and the gang that keeps them
// equal. A changed delay reaches the device on the second tick after its
// last change, so a run of changes sends only the final value.
//   4096 left (2 bytes)   4097 right (2 bytes)   4098 gang (1 byte)
class cDelayUnit : public cAudioObject, public cSaveObject {
 public:
  static constexpr UWORD kFirstMarker = 26294;
  static constexpr UWORD kLastMarker = 13994;
  static constexpr UWORD kMethodLeft = PARAMETER_BASE + 0;
  static constexpr UWORD kMethodRight = PARAMETER_BASE + 1;
  static constexpr UWORD kMethodGang = PARAMETER_BASE + 2;

  cDelayUnit(const char* name, cDelayDriver* driver, cNonVolatileStorageManager* storage, cSavesManager* savesManager,
             bool forceDefaults);
  ~cDelayUnit() override;

  void EntrypointMessage(cEWNetMessage& message) override;
  void ActionTick() override;
  void UpdateNewObject(UWORD connectionId, EW_NET_DATA_SCALE handle, EW_NET_DATA_SCALE destinationMethod,
                       EW_NET_DATA_SCALE sourceMethod) override;
  // The block SaveData writes: left, right, gang.
  static void WriteBlock(QDataStream& stream, UWORD left, UWORD right, UBYTE gang);
  void SaveData(QDataStream* stream) override;
  // Applies the block as the recall rules say, then marks both delays for
  // sending so that the device holds them whatever it held before.
  void RecallData(QDataStream* stream) override;
  void SyncData() override;
  bool CheckData(QDataStream* stream, std::string& refusal) override;
  void LoadDefaults();

  UWORD GetDelay(UBYTE channel) const { return mDelays.Get(channel); }
  bool GetGang() const { return mGang.Get() != 0; }
  // A delay waits for its tick to be sent.
  bool IsSendPending() const { return mPending[0] || mPending[1]; }

 private:
  struct sBlock {
    qint16 mLeft = 0;
    qint16 mRight = 0;
    qint16 mGang = 0;
  };
  // Reads a block; the refusal, or empty when it may be applied.
  std::string ReadBlock(QDataStream& stream, sBlock& block) const;
  // Stores a differing code and marks it pending; true when it differed.
  bool SetDelay(UBYTE channel, UWORD code);
  void MarkPending(UBYTE channel);
  // With the gang on, copies channel `from` to the other one and informs it.
  void FollowGang(UBYTE from);

  cDelayDriver* mDriver;
  cStoredMarkers mMarkers;
  cStoredArray<UWORD> mDelays;
  cStoredValue<UBYTE> mGang;
  std::array<bool, 2> mPending{{true, true}};
  std::array<UBYTE, 2> mStep{{1, 1}};
};
