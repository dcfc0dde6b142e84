#pragma once

#include <cstdint>

#include "EWNet/Core/NetObjct.h"
#include "EWNet/Core/audiodrv.h"

class cSwitchBaseDriver;

constexpr UWORD M_SWITCH_VALUE = PARAMETER_BASE + 0;
constexpr UWORD M_SWITCH_DELTA = PARAMETER_BASE + 1;

// The net object of an on/off or small-integer control.
class cSwitchObject : public cNetObject {
 public:
  cSwitchObject(const char* name, cSwitchBaseDriver* driver, bool actionTick);
  ~cSwitchObject() override;

  void EntrypointMessage(cEWNetMessage& message) override;
  void ActionTick() override;
  void UpdateNewObject(UWORD connectionId, EW_NET_DATA_SCALE handle, EW_NET_DATA_SCALE destinationMethod,
                       EW_NET_DATA_SCALE sourceMethod) override;

  UBYTE GetCachedValue() const { return mValue; }

 private:
  UBYTE mValue;
  cSwitchBaseDriver* mDriver;
  bool mFirstTick;
};

class cSwitchBaseDriver : public cAudioDriver {
 public:
  cSwitchBaseDriver(const char* name, bool actionTick);
  ~cSwitchBaseDriver() override;

  virtual bool LinkSourceToValue(const char* sourcePath, EW_NET_DATA_SCALE sourceParam, bool remove, bool sync,
                                 bool bidirectional);
  virtual bool LinkValueToDestination(const char* destinationPath, EW_NET_DATA_SCALE destinationParam, bool remove,
                                      bool sync, bool bidirectional);
  virtual UBYTE ReadValue() = 0;
  virtual void WriteValue(UBYTE value) = 0;
  // Only drivers that step through a list make use of deltas.
  virtual void ApplyDelta(int16_t steps);
};
