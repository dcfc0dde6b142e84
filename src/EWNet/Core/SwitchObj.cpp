#include "EWNet/Core/SwitchObj.h"

#include "EWNet/Core/ContCtrl.h"

cSwitchObject::cSwitchObject(const char* name, cSwitchBaseDriver* driver, bool actionTick)
    : cNetObject(name, 2, actionTick, false), mValue(0), mDriver(driver), mFirstTick(true) {}

cSwitchObject::~cSwitchObject() { Unregister(); }

void cSwitchObject::ActionTick() {
  const UBYTE value = mDriver->ReadValue();
  if (mFirstTick) {
    mFirstTick = false;
    mValue = value;
    return;
  }
  if (value == mValue) return;
  mValue = value;
  EWNetPublishUBYTE(*this, mSystemMessage, M_SWITCH_VALUE, value);
}

void cSwitchObject::EntrypointMessage(cEWNetMessage& message) {
  switch (message.mMethod) {
    case M_SWITCH_VALUE:
      if (!EWNetPayloadLongEnough(*this, message, 1)) return;
      mValue = message.GetUBYTE(0);
      mDriver->WriteValue(mValue);
      SendToInformList(message);
      return;
    case M_SWITCH_DELTA:
      if (!EWNetPayloadLongEnough(*this, message, 2)) return;
      mDriver->ApplyDelta(static_cast<int16_t>(message.GetUWORD(0)));
      return;
    default:
      cNetObject::EntrypointMessage(message);
      return;
  }
}

void cSwitchObject::UpdateNewObject(UWORD connectionId, EW_NET_DATA_SCALE handle, EW_NET_DATA_SCALE destinationMethod,
                                    EW_NET_DATA_SCALE sourceMethod) {
  if (sourceMethod != M_SWITCH_VALUE) {
    cNetObject::UpdateNewObject(connectionId, handle, destinationMethod, sourceMethod);
    return;
  }
  // Before the first poll the cache still holds 0, not the driver's value.
  if (mFirstTick) ActionTick();
  EWNetSendUBYTE(mSystemMessage, connectionId, handle, destinationMethod, mValue);
}

cSwitchBaseDriver::cSwitchBaseDriver(const char* name, bool actionTick) {
  if (name != nullptr) mAudioObject = new cSwitchObject(name, this, actionTick);
}

cSwitchBaseDriver::~cSwitchBaseDriver() { DestroyAudioObject(); }

bool cSwitchBaseDriver::LinkSourceToValue(const char* sourcePath, EW_NET_DATA_SCALE sourceParam, bool remove, bool sync,
                                          bool bidirectional) {
  const char* own = OwnObjectNameForLink();
  return own != nullptr &&
         QueueParameterLink(sourcePath, sourceParam, own, M_SWITCH_VALUE, sync, remove, bidirectional);
}

bool cSwitchBaseDriver::LinkValueToDestination(const char* destinationPath, EW_NET_DATA_SCALE destinationParam,
                                               bool remove, bool sync, bool bidirectional) {
  const char* own = OwnObjectNameForLink();
  return own != nullptr &&
         QueueParameterLink(own, M_SWITCH_VALUE, destinationPath, destinationParam, sync, remove, bidirectional);
}

void cSwitchBaseDriver::ApplyDelta(int16_t steps) { (void)steps; }
