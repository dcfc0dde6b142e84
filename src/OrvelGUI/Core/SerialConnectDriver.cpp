#include "OrvelGUI/Core/SerialConnectDriver.h"

#include <QByteArray>
#include <algorithm>
#include <cstring>
#include <limits>

#include "AES-Standards/Convert.h"
#include "EWNet/Core/ErrLog.h"
#include "EWNet/Core/RegRoutr.h"
#include "OrvelGUI/Core/SerialInterface.h"

namespace {

constexpr int kMaxPorts = 255;
// Port names and the version text travel in fixed slots; the link matches a
// name cut to the slot back to its port.
constexpr int kSlotBytes = cSerialPortManager::kPortNameSlotChars + 1;
// A name or path in the whole-name list is cut to this many bytes.
constexpr int kMaxTextBytes = 255;

// Text in a fixed slot: cut to fit, always NUL-terminated.
void PutSlot(cEWNetMessage& message, EW_NET_DATA_SCALE at, const QByteArray& text) {
  const int length = std::min<int>(text.size(), kSlotBytes - 1);
  std::memset(message.GetPointer(at), 0, std::size_t(kSlotBytes));
  std::memcpy(message.GetPointer(at), text.constData(), std::size_t(length));
}

QByteArray TextOfAtMost(const QString& text) { return text.toUtf8().left(kMaxTextBytes); }

}  // namespace

cSerialConnectDriver::cSerialConnectDriver(cSerialInterface* serialInterface)
    : cNetObject(kObjectName, kParameterCount, true, false),
      mInterface(serialInterface),
      mPublishedState(serialInterface->GetState()) {}

cSerialConnectDriver::~cSerialConnectDriver() { Unregister(); }

void cSerialConnectDriver::FillPortSlots(const std::vector<sSerialPortEntry>& ports) {
  const int count = std::min<int>(int(ports.size()), kMaxPorts);
  mSystemMessage.SetLength(EW_NET_DATA_SCALE(1 + kSlotBytes * count));
  mSystemMessage.SetUBYTE(0, UBYTE(count));
  for (int i = 0; i < count; ++i) {
    const QString& name = ports[std::size_t(i)].mName;
    PutSlot(mSystemMessage, EW_NET_DATA_SCALE(1 + kSlotBytes * i), name.toUtf8());
  }
}

void cSerialConnectDriver::FillPorts(const std::vector<sSerialPortEntry>& ports) {
  QByteArray payload(1, '\0');
  int count = 0;
  for (const sSerialPortEntry& port : ports) {
    const QByteArray entry = TextOfAtMost(port.mName) + '\0' + TextOfAtMost(port.mSystemLocation) + '\0';
    if (count == kMaxPorts || payload.size() + entry.size() > std::numeric_limits<EW_NET_DATA_SCALE>::max()) {
      EW_REPORT_ERROR("Port list cut after %d ports", count);
      break;
    }
    payload += entry;
    ++count;
  }
  payload[0] = char(count);
  mSystemMessage.SetLength(EW_NET_DATA_SCALE(payload.size()));
  std::memcpy(mSystemMessage.GetPointer(0), payload.constData(), std::size_t(payload.size()));
}

bool cSerialConnectDriver::FillParameter(EW_NET_DATA_SCALE method, const std::vector<sSerialPortEntry>& ports) {
  switch (method) {
    case kMethodConnect:
      mSystemMessage.SetLength(1);
      mSystemMessage.SetUBYTE(0, mInterface->GetState());
      break;
    case kMethodPortList:
      FillPortSlots(ports);
      break;
    case kMethodPorts:
      FillPorts(ports);
      break;
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

void cSerialConnectDriver::Publish(EW_NET_DATA_SCALE method, const std::vector<sSerialPortEntry>& ports) {
  if (!FillParameter(method, ports)) return;
  mSystemMessage.mConnectionId = EW_INVALID_CONNECTION;
  mSystemMessage.mDestination = EW_INVALID_HANDLE;
  SendToInformList(mSystemMessage);
}

void cSerialConnectDriver::PublishPortLists() {
  const std::vector<sSerialPortEntry> ports = mInterface->GetPorts();
  Publish(kMethodPortList, ports);
  Publish(kMethodPorts, ports);
}

void cSerialConnectDriver::Answer(UWORD connectionId, EW_NET_DATA_SCALE handle, UBYTE outcome) {
  EWNetSendUBYTE(mSystemMessage, connectionId, handle, kMethodDelivery, outcome);
}

void cSerialConnectDriver::StartWatch(const cEWNetMessage& request) {
  cDeliveryWatch watch(*mInterface);
  if (watch.Outcome() != cDeliveryWatch::WAITING || mWatches.size() >= kMaxWatches) {
    if (watch.Outcome() == cDeliveryWatch::WAITING) {
      EW_REPORT_ERROR("Delivery request from handle %d refused: %d deliveries are followed already",
                      int(request.mSource), int(kMaxWatches));
    }
    Answer(request.mConnectionId, request.mSource,
           watch.Outcome() == cDeliveryWatch::WAITING ? cDeliveryWatch::LOST : watch.Outcome());
    return;
  }
  mWatches.push_back({request.mConnectionId, request.mSource, watch});
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
      FillParameter(kMethodConnect, {});
      mSystemMessage.mConnectionId = message.mConnectionId;
      mSystemMessage.mDestination = message.mSource;
      SendMessage(mSystemMessage);
      return;
    }
    case kMethodPortList:
    case kMethodPorts:
      PublishPortLists();
      return;
    case kMethodVersion:
    case kMethodStatus:
      Publish(message.mMethod);
      return;
    case kMethodSyncDone:
      mInterface->SetConnected();
      return;
    case kMethodDelivery:
      StartWatch(message);
      return;
    default:
      cNetObject::EntrypointMessage(message);
  }
}

void cSerialConnectDriver::UpdateNewObject(UWORD connectionId, EW_NET_DATA_SCALE handle,
                                           EW_NET_DATA_SCALE destinationMethod, EW_NET_DATA_SCALE sourceMethod) {
  const bool portList = sourceMethod == kMethodPortList || sourceMethod == kMethodPorts;
  if (!FillParameter(sourceMethod, portList ? mInterface->GetPorts() : std::vector<sSerialPortEntry>{})) {
    cNetObject::UpdateNewObject(connectionId, handle, destinationMethod, sourceMethod);
    return;
  }
  mSystemMessage.mConnectionId = connectionId;
  mSystemMessage.mDestination = handle;
  mSystemMessage.mMethod = destinationMethod;
  SendMessage(mSystemMessage);
}

void cSerialConnectDriver::ActionTick() {
  // The state first: whoever shows it sees a lost link before the failed
  // delivery it explains.
  // Only for someone who listens: publishing hands the last error over.
  const UBYTE state = mInterface->GetState();
  const InformList* listeners = GetInformList(EW_NET_DATA_SCALE(kMethodStatus - PARAMETER_BASE));
  if (state != mPublishedState && listeners != nullptr && !listeners->empty()) {
    mPublishedState = state;
    Publish(kMethodStatus);
  }
  if (mWatches.empty()) return;
  const bool busy = mUnitsBusy && mUnitsBusy();
  for (auto it = mWatches.begin(); it != mWatches.end();) {
    const cDeliveryWatch::eOutcome outcome = it->mWatch.Tick(busy);
    if (outcome == cDeliveryWatch::WAITING) {
      ++it;
      continue;
    }
    if (it->mWatch.TimedOut()) {
      EW_REPORT_ERROR("The processor did not confirm everything it was sent within %d ticks",
                      cDeliveryWatch::kTimeoutTicks);
    }
    Answer(it->mConnectionId, it->mHandle, outcome);
    it = mWatches.erase(it);
  }
}
