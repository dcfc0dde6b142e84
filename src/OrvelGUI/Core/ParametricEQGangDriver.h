#pragma once

#include <QtGlobal>
#include <string>

#include "EWNet/Core/NetObjct.h"
#include "OrvelGUI/Core/SaveObject.h"
#include "OrvelGUI/Core/StoredField.h"

class cParametricEQDriver;

// Makes a panel's right equaliser follow the left one: while on, every
// parameter of the left unit is linked (with sync) to the same parameter of
// the right unit through the system builder.
//   4096 gang (1 byte)
class cParametricEQGangDriver : public cNetObject, public cSaveObject {
 public:
  static constexpr UWORD kFirstMarker = 4352;
  static constexpr UWORD kLastMarker = 45904;
  static constexpr UWORD kMethodGang = PARAMETER_BASE + 0;

  cParametricEQGangDriver(const char* name, cNonVolatileStorageManager* storage, cSavesManager* savesManager,
                          cParametricEQDriver* left, cParametricEQDriver* right, UBYTE bandCount);
  ~cParametricEQGangDriver() override;

  void EntrypointMessage(cEWNetMessage& message) override;
  void UpdateNewObject(UWORD connectionId, EW_NET_DATA_SCALE handle, EW_NET_DATA_SCALE destinationMethod,
                       EW_NET_DATA_SCALE sourceMethod) override;
  // The block SaveData writes: the gang.
  static void WriteBlock(QDataStream& stream, bool gang);
  void SaveData(QDataStream* stream) override;
  // A ganged file leaves the right equaliser following the left one at
  // once, whatever the links still being made or removed do afterwards.
  void RecallData(QDataStream* stream) override;
  // The gang the device's records show (bit 7 of a band's flags on both
  // sides turns it on); ganged, the right equaliser follows the left at once.
  void SyncData() override;
  bool CheckData(QDataStream* stream, std::string& refusal) override;

  // Queues one link (or its removal) per parameter, left to right.
  void ApplyGang(bool remove);
  bool GetGang() const { return mGang.Get() != 0; }

 private:
  void SetGang(bool gang);
  // The right unit takes the left one's linked parameters now.
  void FollowLeft();
  std::string Label() const;
  // Reads the block; the refusal, or empty when it may be applied.
  std::string ReadBlock(QDataStream& stream, qint8& gang) const;

  cParametricEQDriver* mLeft;
  cParametricEQDriver* mRight;
  char mLeftName[kNameSize];
  char mRightName[kNameSize];
  UBYTE mBandCount;
  cStoredMarkers mMarkers;
  cStoredValue<UBYTE> mGang;
};
