#pragma once

#include "EWNet/Core/NetObjct.h"

class cContinuousControllerDriver;

// Parameter methods of the continuous controllers.
constexpr UWORD M_CONTINUOUS_CONTROLLER_VALUE = PARAMETER_BASE + 0;
constexpr UWORD M_CONTINUOUS_CONTROLLER_TOUCHED = PARAMETER_BASE + 1;
constexpr UWORD ContinuousControllerRange = PARAMETER_BASE + 2;
constexpr UWORD M_CONTINUOUS_CONTROLLER_FLAG = PARAMETER_BASE + 3;
constexpr UWORD M_CONTINUOUS_CONTROLLER_DELTA = PARAMETER_BASE + 4;

// Payload sizes of a range message: without and with a value.
constexpr EW_NET_DATA_SCALE kRangeMessageLength = 5;
constexpr EW_NET_DATA_SCALE kRangeAndValueMessageLength = 7;

// The net object of one continuous control. It polls its driver on every
// tick and publishes changes; values arriving on its parameters go to the
// driver and on to the other links.
class cContinuousController : public cNetObject {
 public:
  cContinuousController(const char* name, cContinuousControllerDriver* driver, EW_NET_DATA_SCALE numberOfParameters);
  ~cContinuousController() override;

  void EntrypointMessage(cEWNetMessage& message) override;
  void ActionTick() override;
  void UpdateNewObject(UWORD connectionId, EW_NET_DATA_SCALE handle, EW_NET_DATA_SCALE destinationMethod,
                       EW_NET_DATA_SCALE sourceMethod) override;

  // Safe from any thread: they only post to the object itself.
  void PostContinuousControllerValue(UWORD value);
  void PostContinuousControllerRangeAndValue(UWORD minimum, UWORD maximum, UWORD value);

  UWORD GetCachedValue() const { return mValue; }

 protected:
  UWORD mValue;
  UBYTE mTouched;
  bool mFirstTick;
  cContinuousControllerDriver* mDriver;

 private:
  void ApplyRange(cEWNetMessage& message);
  void PostToSelf(cEWNetMessage& message);
};
