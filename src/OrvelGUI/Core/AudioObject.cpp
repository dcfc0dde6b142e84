#include "OrvelGUI/Core/AudioObject.h"

#include "EWNet/Core/ErrLog.h"
#include "OrvelGUI/Core/Plausibility.h"

cAudioObject::cAudioObject(const char* name, EW_NET_DATA_SCALE numberOfParameters, bool actionTick)
    : cNetObject(name, numberOfParameters, actionTick, false),
      mInformEnabled(true),
      mLabel(plausibility::UnitLabel(name)) {}

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

void cAudioObject::ReportRefusal(const std::string& refusal) { EW_REPORT_ERROR("%s; not applied", refusal.c_str()); }

void cAudioObject::ReportRefusedRecords(const std::string& refusal) {
  EW_REPORT_ERROR("%s; %s keeps its values, nothing of the device's records adopted", refusal.c_str(), Label().c_str());
}
