#include "OrvelGUI/Core/AudioObject.h"

cAudioObject::cAudioObject(const char* name, EW_NET_DATA_SCALE numberOfParameters, bool actionTick)
    : cNetObject(name, numberOfParameters, actionTick, false), mInformEnabled(true) {}

void cAudioObject::InformParameter(const cEWNetMessage& message) {
  if (mInformEnabled) SendToInformList(message);
}

void cAudioObject::InformUBYTE(UWORD method, UBYTE value) {
  EWNetAddress(mSystemMessage, EW_INVALID_CONNECTION, EW_INVALID_HANDLE, method, 1).SetUBYTE(0, value);
  InformParameter(mSystemMessage);
}

void cAudioObject::InformUWORD(UWORD method, UWORD value) {
  EWNetAddress(mSystemMessage, EW_INVALID_CONNECTION, EW_INVALID_HANDLE, method, 2).SetUWORD(0, value);
  InformParameter(mSystemMessage);
}

void cAudioObject::AnswerUBYTE(UWORD connectionId, EW_NET_DATA_SCALE handle, EW_NET_DATA_SCALE method, UBYTE value) {
  EWNetSendUBYTE(mSystemMessage, connectionId, handle, method, value);
}

void cAudioObject::AnswerUWORD(UWORD connectionId, EW_NET_DATA_SCALE handle, EW_NET_DATA_SCALE method, UWORD value) {
  EWNetSendUWORD(mSystemMessage, connectionId, handle, method, value);
}
