#include "EWNet/Core/ContCntrWithDeltaDriver.h"

#include <limits>

#include "EWNet/Core/ErrLog.h"

cContinuousControllerWithDelta::cContinuousControllerWithDelta(const char* name,
                                                               cContinuousControllerWithDeltaDriver* driver,
                                                               EW_NET_DATA_SCALE numberOfParameters)
    : cContinuousController(name, driver, numberOfParameters), mSlowDelta(false), mHeldDelta(0), mDeltaHeld(false) {}

cContinuousControllerWithDelta::~cContinuousControllerWithDelta() { Unregister(); }

// The base holds the driver; the constructor only accepts a delta driver.
cContinuousControllerWithDeltaDriver& cContinuousControllerWithDelta::DeltaDriver() const {
  return *static_cast<cContinuousControllerWithDeltaDriver*>(mDriver);
}

void cContinuousControllerWithDelta::ActionTick() {
  DeltaStep();
  cContinuousController::ActionTick();
}

void cContinuousControllerWithDelta::DeltaStep() {
  int delta = DeltaDriver().ReadDelta();
  if (mSlowDelta) {
    if (!mDeltaHeld) {
      if (delta != 0) {
        mHeldDelta = static_cast<int16_t>(delta);
        mDeltaHeld = true;
      }
      return;
    }
    delta += mHeldDelta;
    mDeltaHeld = false;
    mHeldDelta = 0;
    // Two large steps in a row must not wrap round to the other direction.
    if (delta > std::numeric_limits<int16_t>::max()) delta = std::numeric_limits<int16_t>::max();
    if (delta < std::numeric_limits<int16_t>::min()) delta = std::numeric_limits<int16_t>::min();
  }
  if (delta == 0) return;
  EWNetPublishUWORD(*this, mSystemMessage, M_CONTINUOUS_CONTROLLER_DELTA,
                    static_cast<UWORD>(static_cast<int16_t>(delta)));
}

void cContinuousControllerWithDelta::EntrypointMessage(cEWNetMessage& message) {
  if (message.mMethod != M_CONTINUOUS_CONTROLLER_DELTA) {
    cContinuousController::EntrypointMessage(message);
    return;
  }
  if (!EWNetPayloadLongEnough(*this, message, 2)) return;
  DeltaDriver().ApplyDelta(static_cast<int16_t>(message.GetUWORD(0)));
  SendToInformList(message);
}

cContinuousControllerWithDeltaDriver::cContinuousControllerWithDeltaDriver(const char* name, UWORD minimum,
                                                                           UWORD maximum, bool levelType,
                                                                           bool createObject)
    : cContinuousControllerDriver(name, minimum, maximum, levelType, false) {
  if (name != nullptr && createObject) mAudioObject = new cContinuousControllerWithDelta(name, this, 5);
}

cContinuousControllerWithDeltaDriver::~cContinuousControllerWithDeltaDriver() { DestroyAudioObject(); }

void cContinuousControllerWithDeltaDriver::UseSlowDeltaGeneration() {
  if (mAudioObject == nullptr) {
    EW_REPORT_ERROR("Audio object not created!");
    return;
  }
  static_cast<cContinuousControllerWithDelta*>(mAudioObject)->SetSlowDeltaMode(true);
}

bool cContinuousControllerWithDeltaDriver::LinkDeltaToDestination(const char* destinationPath,
                                                                  EW_NET_DATA_SCALE destinationParam, bool remove,
                                                                  bool bidirectional) {
  const char* own = OwnObjectNameForLink();
  if (own == nullptr) return false;
  return QueueParameterLink(own, M_CONTINUOUS_CONTROLLER_DELTA, destinationPath, destinationParam, false, remove,
                            bidirectional);
}
