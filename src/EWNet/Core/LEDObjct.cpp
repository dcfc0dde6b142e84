#include "EWNet/Core/LEDObjct.h"

#include "EWNet/Core/ContCtrl.h"
#include "EWNet/Core/ErrLog.h"

cLEDObject::cLEDObject(const char* name, cLEDBaseDriver* driver)
    : cNetObject(name, 1, false, false), mState(0), mDriver(driver) {}

cLEDObject::~cLEDObject() { Unregister(); }

void cLEDObject::EntrypointMessage(cEWNetMessage& message) {
  if (message.mMethod != M_LED_STATE) {
    cNetObject::EntrypointMessage(message);
    return;
  }
  if (!EWNetPayloadLongEnough(*this, message, 1)) return;
  const UBYTE state = message.GetUBYTE(0);
  if (state != mState) {
    SendToInformList(message);
    mState = state;
  }
  mDriver->SetState(state);
}

void cLEDObject::UpdateNewObject(UWORD connectionId, EW_NET_DATA_SCALE handle, EW_NET_DATA_SCALE destinationMethod,
                                 EW_NET_DATA_SCALE sourceMethod) {
  if (sourceMethod != M_LED_STATE) {
    EW_REPORT_ERROR("Method undefined at this level");
    return;
  }
  EWNetSendUBYTE(mSystemMessage, connectionId, handle, destinationMethod, mState);
}

cLEDBaseDriver::cLEDBaseDriver(const char* name) {
  if (name != nullptr) mAudioObject = new cLEDObject(name, this);
}

cLEDBaseDriver::~cLEDBaseDriver() { DestroyAudioObject(); }
