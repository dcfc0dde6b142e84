#include "OrvelGUI/QtGUIComponents/SerialConnectionBackend.h"

#include <QThread>
#include <cstring>

#include "EWNet/Core/ErrLog.h"
#include "EWNet/Core/RegRoutr.h"
#include "EWNet/Core/SysBuild.h"
#include "EWNet/Core/Syscall.h"
#include "OrvelGUI/Core/SerialConnectDriver.h"
#include "OrvelGUI/QtGUIComponents/BackendMessaging.h"
#include "QtGUIComponents/EWNetDrivers/SignalSlotDrivers/GuiThreadHandoff.h"

namespace {

constexpr EW_NET_DATA_SCALE kConnect = cSerialConnectDriver::kMethodConnect;
constexpr EW_NET_DATA_SCALE kPortList = cSerialConnectDriver::kMethodPortList;
constexpr EW_NET_DATA_SCALE kVersion = cSerialConnectDriver::kMethodVersion;
constexpr EW_NET_DATA_SCALE kStatus = cSerialConnectDriver::kMethodStatus;
constexpr EW_NET_DATA_SCALE kSyncDone = cSerialConnectDriver::kMethodSyncDone;
constexpr EW_NET_DATA_SCALE kPorts = cSerialConnectDriver::kMethodPorts;

// Text of at most `room` bytes from `at`, ending at its NUL if it has one.
QString TextIn(const cEWNetMessage& message, EW_NET_DATA_SCALE at, std::size_t room) {
  const char* text = reinterpret_cast<const char*>(message.GetPointer(at));
  return QString::fromUtf8(text, int(strnlen(text, room)));
}

// The NUL-terminated text at `at`, which moves past it; false when the
// payload ends first.
bool NextText(const cEWNetMessage& message, int& at, QString& text) {
  if (at >= message.mLength) return false;
  const std::size_t room = std::size_t(message.mLength - at);
  const char* start = reinterpret_cast<const char*>(message.GetPointer(EW_NET_DATA_SCALE(at)));
  const std::size_t length = strnlen(start, room);
  if (length == room) return false;
  text = QString::fromUtf8(start, int(length));
  at += int(length) + 1;
  return true;
}

}  // namespace

cSerialConnectionBackend::cSerialConnectionBackend(QObject* parent, const char* driverName)
    : QObject(parent), cNetObject(kObjectName, kParameterCount, true, false), mToGui(new cGuiThreadHandoff(this)) {
  QObject::connect(this, &cSerialConnectionBackend::updatePortNamesSignal, this,
                   &cSerialConnectionBackend::updatePortNames);
  const char* driver = driverName != nullptr ? driverName : cSerialConnectDriver::kObjectName;
  cSystemBuilder* builder = GetSystemBuilder();
  if (builder == nullptr) {
    EW_REPORT_ERROR("No system builder: %s stays unlinked", kObjectName);
    return;
  }
  // The driver's published values come here and are sent once at linking;
  // the sync-done request goes the other way. The port list is the one with
  // whole names and paths: the 8-byte slots of the other cut names short.
  for (EW_NET_DATA_SCALE method : {kConnect, kPorts, kVersion, kStatus}) {
    builder->AddLinkCommandToList(MakeLinkCommand(driver, method, kObjectName, method, true), true);
  }
  builder->AddLinkCommandToList(MakeLinkCommand(kObjectName, kSyncDone, driver, kSyncDone, false), true);
}

cSerialConnectionBackend::~cSerialConnectionBackend() { RemoveFromNetwork(); }

void cSerialConnectionBackend::RemoveFromNetwork() {
  cRegistryLocker lock;
  Unregister();
}

void cSerialConnectionBackend::AssertGuiThread() const { Q_ASSERT(QThread::currentThread() == thread()); }

void cSerialConnectionBackend::SendParameter(EW_NET_DATA_SCALE method, const QByteArray& payload) {
  AssertGuiThread();
  SendBackendParameter(*this, method, payload);
}

void cSerialConnectionBackend::SendFromDispatchThread(EW_NET_DATA_SCALE method) {
  EWNetAddress(mSystemMessage, EW_INVALID_CONNECTION, EW_INVALID_HANDLE, method, 0);
  SendToInformList(mSystemMessage);
}

void cSerialConnectionBackend::RequestLink(bool connect, const QString& name) {
  QByteArray payload(1, connect ? '\1' : '\0');
  payload += name.toUtf8();
  payload += '\0';
  {
    // The first status poll comes a full poll period after the request, when
    // the link has acted on it.
    cRegistryLocker lock;
    mConnectRequested = true;
    mTickCounter = 0;
  }
  SendParameter(kConnect, payload);
}

QString cSerialConnectionBackend::PortPathOf(const QString& name) const {
  const int index = mPortNames.indexOf(name);
  return index >= 0 && index < mPortPaths.size() ? mPortPaths.at(index) : name;
}

// The request names the port by its device path where the list gives one:
// a path is never cut short and never shared by two ports.
void cSerialConnectionBackend::connectToNamedUnit(const QString& name) {
  AssertGuiThread();
  if (mConnect) return;
  const QString port = PortPathOf(name);
  if (port.toUtf8().size() > kMaxPortNameBytes) {
    EW_REPORT_ERROR("Port name of %d bytes refused", int(port.toUtf8().size()));
    return;
  }
  mConnect = true;
  RequestLink(true, port);
  emit connectChanged();
}

void cSerialConnectionBackend::connectToUnit() {
  AssertGuiThread();
  if (mPortNames.isEmpty() || mConnect) return;
  connectToNamedUnit(mPortNames.first());
}

void cSerialConnectionBackend::disconnectFromUnit() {
  AssertGuiThread();
  if (!mConnect) return;
  mConnect = false;
  RequestLink(false, QString());
  emit connectChanged();
}

void cSerialConnectionBackend::setSyncDone() { SendParameter(kSyncDone, QByteArray()); }

void cSerialConnectionBackend::updatePortNames(const QStringList& names) {
  AssertGuiThread();
  if (names == mPortNames) return;
  mPortNames = names;
  emit portNamesChanged();
}

void cSerialConnectionBackend::ApplyPorts(const QStringList& names, const QStringList& paths) {
  AssertGuiThread();
  mPortPaths = paths;
  emit updatePortNamesSignal(names);
}

void cSerialConnectionBackend::StoreState(UBYTE state) {
  if (state == mState) return;
  if (state == CONNECTED) SendParameter(kVersion, QByteArray());
  mState = eConnectionState(state);
  emit stateChanged();
}

// The answer to a connect or disconnect request is the state the link was
// in when it took the request, before acting on it: it says nothing about
// whether the request will succeed, so the user's intent stands.
void cSerialConnectionBackend::ApplyLinkState(UBYTE state) {
  AssertGuiThread();
  StoreState(state);
}

void cSerialConnectionBackend::ApplyStatus(UBYTE state, UBYTE error) {
  AssertGuiThread();
  if (error != 0) emit errorEvent(error);
  // Back to watching the port list once the link is down: after a
  // disconnect, and after a connect attempt that failed (which leaves the
  // state at 0 but reports why).
  if (state == DISCONNECTED && (state != mState || error != 0)) {
    cRegistryLocker lock;
    mConnectRequested = false;
    mTickCounter = 0;
  }
  StoreState(state);
  const bool linkUp = state != DISCONNECTED;
  if (mConnect != linkUp) {
    mConnect = linkUp;
    emit connectChanged();
  }
}

void cSerialConnectionBackend::ApplyVersion(const QString& version) {
  AssertGuiThread();
  if (version == mVersion) return;
  mVersion = version;
  emit versionChanged();
}

void cSerialConnectionBackend::EntrypointMessage(cEWNetMessage& message) {
  if (!mSources.Admits(*this, message)) return;
  switch (message.mMethod) {
    case kConnect: {
      if (!EWNetPayloadLongEnough(*this, message, 1)) return;
      const UBYTE state = message.GetUBYTE(0);
      mToGui->Post([this, state] { ApplyLinkState(state); });
      return;
    }
    case kPorts: {
      if (!EWNetPayloadLongEnough(*this, message, 1)) return;
      const int count = message.GetUBYTE(0);
      QStringList names;
      QStringList paths;
      int at = 1;
      for (int k = 0; k < count; ++k) {
        QString name;
        QString path;
        if (!NextText(message, at, name) || !NextText(message, at, path)) {
          EW_REPORT_ERROR("Port list of %d ports carries only %d", count, k);
          break;
        }
        names << name;
        paths << path;
      }
      mToGui->Post([this, names, paths] { ApplyPorts(names, paths); });
      return;
    }
    case kPortList:
      return;  // the list in 8-byte slots, for peers: the whole names come on kPorts
    case kVersion: {
      const QString version = message.mLength > 0 ? TextIn(message, 0, message.mLength) : QString();
      mToGui->Post([this, version] { ApplyVersion(version); });
      return;
    }
    case kStatus: {
      if (!EWNetPayloadLongEnough(*this, message, 2)) return;
      const UBYTE state = message.GetUBYTE(0);
      const UBYTE error = message.GetUBYTE(1);
      mToGui->Post([this, state, error] { ApplyStatus(state, error); });
      return;
    }
    case kSyncDone:
      return;  // only ever sent from here
    default:
      cNetObject::EntrypointMessage(message);
  }
}

void cSerialConnectionBackend::ActionTick() {
  const UBYTE period = mConnectRequested ? kStatusPollTicks : kPortListPollTicks;
  if (mTickCounter < period) {
    ++mTickCounter;
    return;
  }
  mTickCounter = 0;
  SendFromDispatchThread(mConnectRequested ? kStatus : kPorts);
}
