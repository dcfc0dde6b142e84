#pragma once

#include "OrvelGUI/Core/BiquadDriver.h"

class cNonVolatileStorageManager;
class cSavesManager;
class cParametricEQUnit;

// Places one channel's equaliser bands in that channel's filter chain, from
// slot 2 on (after the two pass-filter slots).
class cParametricEQDriver : public cBiquadDriver {
 public:
  static constexpr UBYTE kSlotOffset = 2;

  cParametricEQDriver(const char* name, cNonVolatileStorageManager* storage, cSerialInterface* serialInterface,
                      cSavesManager* savesManager, UBYTE bandCount, double scale, double samplePeriod,
                      double sampleRate, UBYTE channel, UBYTE base, UBYTE slotOffset);
  ~cParametricEQDriver() override;

  // Queues band `band` with its parameter words; byte 3 carries the gang
  // (bit 7) and the EQ bypass (bit 0).
  void SendBiquad(UBYTE band, const biquad::tQuantised& stored, UWORD frequency, UWORD width, GAIN gain, ULONG type,
                  UBYTE variant, bool eqBypass);
  void SetGang(bool gang) { mGang = gang; }
  bool GetGang() const { return mGang; }
  UBYTE GetChannel() const { return mChannel; }
  // The device's record of band `band` of this channel.
  std::optional<sFilter> GetSyncData(UBYTE band = 0) const { return SyncRecord(mChannel, UBYTE(mSlotOffset + band)); }
  void LoadDefaults();

  cParametricEQUnit* GetUnit() const { return mUnit; }

 private:
  cParametricEQUnit* mUnit;
  UBYTE mChannel;
  bool mGang;
};
