#pragma once

#include "EWNet/Core/NetObjct.h"
#include "EWNet/Core/audiodrv.h"

class cLEDBaseDriver;

constexpr UWORD M_LED_STATE = PARAMETER_BASE + 0;

// The net object of an indicator: it only receives.
class cLEDObject : public cNetObject {
 public:
  cLEDObject(const char* name, cLEDBaseDriver* driver);
  ~cLEDObject() override;

  void EntrypointMessage(cEWNetMessage& message) override;
  void UpdateNewObject(UWORD connectionId, EW_NET_DATA_SCALE handle, EW_NET_DATA_SCALE destinationMethod,
                       EW_NET_DATA_SCALE sourceMethod) override;

 private:
  UBYTE mState;
  cLEDBaseDriver* mDriver;
};

class cLEDBaseDriver : public cAudioDriver {
 public:
  explicit cLEDBaseDriver(const char* name);
  ~cLEDBaseDriver() override;

  virtual void SetState(UBYTE state) = 0;
};
