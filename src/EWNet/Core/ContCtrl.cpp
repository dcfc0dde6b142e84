#include "EWNet/Core/ContCtrl.h"

#include "EWNet/Core/ErrLog.h"
#include "EWNet/Core/RegRoutr.h"
#include "EWNet/Core/audiodrv.h"

cContinuousController::cContinuousController(const char* name, cContinuousControllerDriver* driver,
                                             EW_NET_DATA_SCALE numberOfParameters)
    : cNetObject(name, numberOfParameters, true, false), mValue(0), mTouched(0), mFirstTick(true), mDriver(driver) {}

cContinuousController::~cContinuousController() { Unregister(); }

void cContinuousController::ActionTick() {
  const UWORD value = mDriver->ReadValue();
  const UBYTE touched = mDriver->ReadTouched();
  if (mFirstTick) {
    // A new control must not broadcast its default over what links deliver.
    mFirstTick = false;
    mValue = value;
    mTouched = touched;
    return;
  }
  if (value != mValue) {
    mValue = value;
    EWNetPublishUWORD(*this, mSystemMessage, M_CONTINUOUS_CONTROLLER_VALUE, value);
  }
  if (touched != mTouched) {
    mTouched = touched;
    EWNetPublishUBYTE(*this, mSystemMessage, M_CONTINUOUS_CONTROLLER_TOUCHED, touched);
  }
}

void cContinuousController::EntrypointMessage(cEWNetMessage& message) {
  switch (message.mMethod) {
    case M_CONTINUOUS_CONTROLLER_VALUE:
      if (!EWNetPayloadLongEnough(*this, message, 2)) return;
      mDriver->WriteValue(message.GetUWORD(0));
      // The driver may adjust what it was given; the cache follows the driver
      // so that the next tick does not publish the value again.
      mValue = mDriver->ReadValue();
      SendToInformList(message);
      return;
    case M_CONTINUOUS_CONTROLLER_TOUCHED:
      EW_REPORT_ERROR("M_CONTINUOUS_CONTROLLER_TOUCHED - is read only");
      return;
    case ContinuousControllerRange:
      if (!EWNetPayloadLongEnough(*this, message, kRangeMessageLength)) return;
      ApplyRange(message);
      SendToInformList(message);
      return;
    case M_CONTINUOUS_CONTROLLER_FLAG:
      if (!EWNetPayloadLongEnough(*this, message, 1)) return;
      mDriver->SetControlFlag(message.GetUBYTE(0) != 0);
      SendToInformList(message);
      return;
    default:
      cNetObject::EntrypointMessage(message);
      return;
  }
}

void cContinuousController::ApplyRange(cEWNetMessage& message) {
  const UWORD minimum = message.GetUWORD(0);
  const UWORD maximum = message.GetUWORD(2);
  if (maximum < minimum) {
    EW_REPORT_ERROR("ControllerRangeUpper = %d, is lower than ControllerRangeLower = %d", maximum, minimum);
    return;
  }
  mDriver->SetRange(minimum, maximum, message.GetUBYTE(4) != 0);
  UWORD value = message.mLength > 6 ? message.GetUWORD(5) : mValue;
  if (value < minimum) value = minimum;
  if (value > maximum) value = maximum;
  mDriver->WriteValue(value);
  mValue = mDriver->ReadValue();
}

void cContinuousController::UpdateNewObject(UWORD connectionId, EW_NET_DATA_SCALE handle,
                                            EW_NET_DATA_SCALE destinationMethod, EW_NET_DATA_SCALE sourceMethod) {
  switch (sourceMethod) {
    case M_CONTINUOUS_CONTROLLER_VALUE:
      EWNetSendUWORD(mSystemMessage, connectionId, handle, destinationMethod, mValue);
      return;
    case M_CONTINUOUS_CONTROLLER_TOUCHED:
      EWNetSendUBYTE(mSystemMessage, connectionId, handle, destinationMethod, mTouched);
      return;
    case ContinuousControllerRange:
      EWNetAddress(mSystemMessage, connectionId, handle, destinationMethod, kRangeMessageLength);
      mSystemMessage.SetUWORD(0, mDriver->GetMinimum());
      mSystemMessage.SetUWORD(2, mDriver->GetMaximum());
      mSystemMessage.SetUBYTE(4, mDriver->GetLevelType() ? 0xFF : 0);
      SendMessage(mSystemMessage);
      return;
    default:
      cNetObject::UpdateNewObject(connectionId, handle, destinationMethod, sourceMethod);
      return;
  }
}

void cContinuousController::PostToSelf(cEWNetMessage& message) {
  message.mConnectionId = 0;
  message.mDestination = mHandle;
  message.mSource = mHandle;
  SendMessage(message);
}

void cContinuousController::PostContinuousControllerValue(UWORD value) {
  const UWORD minimum = mDriver->GetMinimum();
  const UWORD maximum = mDriver->GetMaximum();
  if (value > maximum || value < minimum) {
    EW_REPORT_ERROR("PostCCValue provided out of range value. Min:%d, Max:%d, Val:%d, \"%s\"", minimum, maximum, value,
                    GetName());
    value = value > maximum ? maximum : minimum;
  }
  // A message of its own: this may run on any thread, while the working
  // messages belong to the dispatch thread.
  cEWNetMessage message(2);
  message.mMethod = M_CONTINUOUS_CONTROLLER_VALUE;
  message.SetUWORD(0, value);
  PostToSelf(message);
}

void cContinuousController::PostContinuousControllerRangeAndValue(UWORD minimum, UWORD maximum, UWORD value) {
  if (value > maximum || value < minimum) {
    EW_REPORT_ERROR("PostContinuousControllerRangeAndValue provided out of range values. Min:%d, Max:%d, Val:%d",
                    minimum, maximum, value);
    value = value > maximum ? maximum : minimum;
  }
  cEWNetMessage range(kRangeAndValueMessageLength);
  range.mMethod = ContinuousControllerRange;
  range.SetUWORD(0, minimum);
  range.SetUWORD(2, maximum);
  range.SetUBYTE(4, mDriver->GetLevelType() ? 0xFF : 0);
  range.SetUWORD(5, value);
  PostToSelf(range);

  cEWNetMessage message(2);
  message.mMethod = M_CONTINUOUS_CONTROLLER_VALUE;
  message.SetUWORD(0, value);
  PostToSelf(message);
}
