#include "OrvelGUI/QtGUIComponents/BackendMessaging.h"

#include <cstring>

#include "EWNet/Core/RegRoutr.h"

void SendBackendParameter(cNetObject& object, EW_NET_DATA_SCALE method, const QByteArray& payload) {
  const auto length = EW_NET_DATA_SCALE(payload.size());
  cEWNetMessage message(length);
  EWNetAddress(message, EW_INVALID_CONNECTION, EW_INVALID_HANDLE, method, length);
  if (length > 0) std::memcpy(message.GetPointer(0), payload.constData(), length);
  cRegistryLocker lock;
  object.SendToInformList(message);
}
