#include "QtGUIComponents/EWNetDrivers/SignalSlotDrivers/LinkedSourceGuard.h"

#include <algorithm>

#include "EWNet/Core/ErrLog.h"

bool cLinkedSourceGuard::IsLinkedLocalSource(const cNetObject& object, EW_NET_DATA_SCALE source) {
  if (source == object.GetHandle()) return true;
  for (const sDeleteListEntry& entry : object.GetDeleteList()) {
    if (entry.mConnectionId == 0 && entry.mHandle == source) return true;
  }
  for (EW_NET_DATA_SCALE parameter = 0; parameter < object.GetNumberOfParameters(); ++parameter) {
    const cNetObject::InformList* list = object.GetInformList(parameter);
    if (list == nullptr) continue;
    for (const sInformListEntry& entry : *list) {
      if (entry.mConnectionId == 0 && entry.mHandle == source) return true;
    }
  }
  return false;
}

bool cLinkedSourceGuard::Admits(const cNetObject& object, const cEWNetMessage& message) {
  if (message.mMethod < PARAMETER_BASE) return true;
  if (message.mConnectionId == 0 && IsLinkedLocalSource(object, message.mSource)) return true;
  const std::pair<UWORD, EW_NET_DATA_SCALE> source(message.mConnectionId, message.mSource);
  if (mReported.size() <= kMaxReportedSources &&
      std::find(mReported.begin(), mReported.end(), source) == mReported.end()) {
    mReported.push_back(source);
    if (mReported.size() > kMaxReportedSources) {
      EW_REPORT_ERROR("\"%s\" refused values from %d sources; further ones are not reported", object.GetName(),
                      int(kMaxReportedSources));
    } else {
      EW_REPORT_ERROR(
          "\"%s\" refused method 0x%X from connection %d, object 0x%X: it takes values only from the object it is "
          "linked to on this machine",
          object.GetName(), unsigned(message.mMethod), int(message.mConnectionId), unsigned(message.mSource));
    }
  }
  return false;
}
