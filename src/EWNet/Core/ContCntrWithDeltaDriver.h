#pragma once

#include <cstdint>

#include "EWNet/Core/ContCtrl.h"
#include "EWNet/Core/audiodrv.h"

class cContinuousControllerWithDeltaDriver;

// A continuous controller with a fifth parameter that carries step counts
// (from an encoder, or from another controller) instead of values.
class cContinuousControllerWithDelta : public cContinuousController {
 public:
  cContinuousControllerWithDelta(const char* name, cContinuousControllerWithDeltaDriver* driver,
                                 EW_NET_DATA_SCALE numberOfParameters);
  ~cContinuousControllerWithDelta() override;

  void EntrypointMessage(cEWNetMessage& message) override;
  void ActionTick() override;

  // Pairs consecutive ticks, halving the rate of delta messages.
  void SetSlowDeltaMode(bool slow) { mSlowDelta = slow; }
  bool GetSlowDeltaMode() const { return mSlowDelta; }

 private:
  void DeltaStep();
  cContinuousControllerWithDeltaDriver& DeltaDriver() const;

  bool mSlowDelta;
  int16_t mHeldDelta;
  bool mDeltaHeld;
};

class cContinuousControllerWithDeltaDriver : public cContinuousControllerDriver {
 public:
  cContinuousControllerWithDeltaDriver(const char* name, UWORD minimum, UWORD maximum, bool levelType,
                                       bool createObject);
  ~cContinuousControllerWithDeltaDriver() override;

  // Steps since the last call.
  virtual int16_t ReadDelta() = 0;
  virtual void ApplyDelta(int16_t steps) = 0;

  void UseSlowDeltaGeneration();
  bool LinkDeltaToDestination(const char* destinationPath, EW_NET_DATA_SCALE destinationParam, bool remove,
                              bool bidirectional);
};
