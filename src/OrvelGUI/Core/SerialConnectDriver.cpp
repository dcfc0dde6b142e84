#include "OrvelGUI/Core/SerialConnectDriver.h"

#include <QByteArray>
#include <QStringList>
#include <algorithm>
#include <cstring>

#include "AES-Standards/Convert.h"
#include "EWNet/Core/ErrLog.h"
#include "EWNet/Core/RegRoutr.h"
#include "OrvelGUI/Core/SerialInterface.h"

namespace {

constexpr int kMaxPorts = 255;
// Port names and the version text travel in fixed slots; the link matches a
// name cut to the slot back to its port.
constexpr int kSlotBytes = cSerialPortManager::kPortNameSlotChars + 1;

// Text in a fixed slot: cut to fit, always NUL-terminated.
void PutSlot(cEWNetMessage& message, EW_NET_DATA_SCALE at, const QByteArray& text) {
  const int length = std::min<int>(text.size(), kSlotBytes - 1);
  std::memset(message.GetPointer(at), 0, std::size_t(kSlotBytes));
  std::memcpy(message.GetPointer(at), text.constData(), std::size_t(length));
}

}  // namespace

cSerialConnectDriver::cSerialConnectDriver(cSerialInterface* serialInterface)
    : cNetObject(kObjectName, kParameterCount, false, false), mInterface(serialInterface) {}

cSerialConnectDriver::~cSerialConnectDriver() { Unregister(); }

bool cSerialConnectDriver::FillParameter(EW_NET_DATA_SCALE method) {
  switch (method) {
    case kMethodConnect:
      mSystemMessage.SetLength(1);
      mSystemMessage.SetUBYTE(0, mInterface->GetState());
      break;
    case kMethodPortList: {
      QStringList names = mInterface->GetPortNames();
      if (names.size() > kMaxPorts) names = names.mid(0, kMaxPorts);
      mSystemMessage.SetLength(EW_NET_DATA_SCALE(1 + kSlotBytes * names.size()));
      mSystemMessage.SetUBYTE(0, UBYTE(names.size()));
      for (int i = 0; i < names.size(); ++i) {
        const QByteArray name = names.at(i).toUtf8();
        if (name.size() >= kSlotBytes) {
          // The slot carries the first 7 characters; the link accepts them
          // back as long as they name only this port.
          EW_REPORT_NOTIFICATION("Port name %s is listed as its first %d characters", qPrintable(names.at(i)),
                                 kSlotBytes - 1);
        }
        PutSlot(mSystemMessage, EW_NET_DATA_SCALE(1 + kSlotBytes * i), name);
      }
      break;
    }
    case kMethodVersion:
      mSystemMessage.SetLength(kSlotBytes);
      PutSlot(mSystemMessage, 0, mInterface->GetVersionText().toUtf8());
      break;
    case kMethodStatus:
      mSystemMessage.SetLength(2);
      mSystemMessage.SetUBYTE(0, mInterface->GetState());
      mSystemMessage.SetUBYTE(1, mInterface->TakeLastError());
      break;
    default:
      return false;
  }
  mSystemMessage.mMethod = method;
  return true;
}

void cSerialConnectDriver::Publish(EW_NET_DATA_SCALE method) {
  if (!FillParameter(method)) return;
  mSystemMessage.mConnectionId = EW_INVALID_CONNECTION;
  mSystemMessage.mDestination = EW_INVALID_HANDLE;
  SendToInformList(mSystemMessage);
}

void cSerialConnectDriver::EntrypointMessage(cEWNetMessage& message) {
  switch (message.mMethod) {
    case kMethodConnect: {
      if (message.mLength < 1) {
        EW_REPORT_ERROR("Connect request without payload ignored");
        return;
      }
      const bool connect = UBYTEToBool(message.GetUBYTE(0));
      // The name ends at its NUL or at the end of the payload, whichever
      // comes first.
      const char* name = reinterpret_cast<const char*>(message.GetPointer(1));
      const std::size_t room = std::size_t(message.mLength - 1);
      const QString portName = QString::fromUtf8(name, int(strnlen(name, room)));
      mInterface->RequestConnection(connect, portName);
      FillParameter(kMethodConnect);
      mSystemMessage.mConnectionId = message.mConnectionId;
      mSystemMessage.mDestination = message.mSource;
      SendMessage(mSystemMessage);
      return;
    }
    case kMethodPortList:
    case kMethodVersion:
    case kMethodStatus:
      Publish(message.mMethod);
      return;
    case kMethodSyncDone:
      mInterface->SetConnected();
      return;
    default:
      cNetObject::EntrypointMessage(message);
  }
}

void cSerialConnectDriver::UpdateNewObject(UWORD connectionId, EW_NET_DATA_SCALE handle,
                                           EW_NET_DATA_SCALE destinationMethod, EW_NET_DATA_SCALE sourceMethod) {
  if (!FillParameter(sourceMethod)) {
    cNetObject::UpdateNewObject(connectionId, handle, destinationMethod, sourceMethod);
    return;
  }
  mSystemMessage.mConnectionId = connectionId;
  mSystemMessage.mDestination = handle;
  mSystemMessage.mMethod = destinationMethod;
  SendMessage(mSystemMessage);
}
