#include "OrvelGUI/Core/SavesClient.h"

#include "AES-Standards/Convert.h"
#include "EWNet/Core/ErrLog.h"
#include "EWNet/Core/RegRoutr.h"
#include "EWNet/Core/audiodrv.h"
#include "OrvelGUI/Core/SavesManager.h"

cSavesClient::cSavesClient() : cNetObject(kName, 3, false, false) {
  for (UWORD method : {kMethodSave, kMethodRecall, kMethodSync}) {
    QueueParameterLink(kName, method, cSavesManager::kName, method, false, false, true);
  }
}

cSavesClient::~cSavesClient() { Unregister(); }

bool cSavesClient::IsLinked() const {
  cRegistryRouter* router = GetRegistryRouter();
  const EW_NET_DATA_SCALE manager = router != nullptr ? router->FindHandle(cSavesManager::kName) : EW_INVALID_HANDLE;
  const cNetObject* managerObject = router != nullptr ? router->GetObject(manager) : nullptr;
  if (managerObject == nullptr) return false;
  for (UWORD method : {kMethodSave, kMethodRecall, kMethodSync}) {
    const EW_NET_DATA_SCALE n = EW_NET_DATA_SCALE(method - PARAMETER_BASE);
    const InformList* mine = GetInformList(n);
    const InformList* theirs = managerObject->GetInformList(n);
    if (mine == nullptr || theirs == nullptr || mine->empty()) return false;
    bool back = false;
    for (const sInformListEntry& entry : *theirs) back = back || entry.mHandle == mHandle;
    if (!back) return false;
  }
  return true;
}

void cSavesClient::Request(UWORD method, const QString& path) {
  mResult = kNoResult;
  const QByteArray bytes = path.toLocal8Bit();
  if (bytes.size() >= kMaxPathBytes) {
    EW_REPORT_ERROR("Path of %d bytes is too long for a request", int(bytes.size()));
    mResult = 0;
    return;
  }
  cEWNetMessage& message = EWNetAddress(mSystemMessage, EW_INVALID_CONNECTION, EW_INVALID_HANDLE, method,
                                        EW_NET_DATA_SCALE(bytes.size() + 1));
  message.SetString(0, bytes.constData());
  SendToInformList(message);
}

void cSavesClient::EntrypointMessage(cEWNetMessage& message) {
  switch (message.mMethod) {
    case kMethodSave:
    case kMethodRecall:
    case kMethodSync:
      if (!EWNetPayloadLongEnough(*this, message, 1)) return;
      mResult = UBYTEToBool(message.GetUBYTE(0)) ? 1 : 0;
      return;
    default:
      cNetObject::EntrypointMessage(message);
  }
}
