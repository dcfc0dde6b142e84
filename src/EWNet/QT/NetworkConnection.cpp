#include "EWNet/QT/NetworkConnection.h"

#include <QCoreApplication>
#include <QTcpSocket>
#include <QThread>
#include <atomic>
#include <vector>

#include "EWNet/Core/ErrLog.h"
#include "EWNet/Core/NetObjct.h"
#include "EWNet/Core/RegRoutr.h"
#include "EWNet/QT/AcceptedSocket.h"
#include "EWNet/QT/ClientConnectionThreadWorker.h"
#include "EWNet/QT/ConnectionBaseQt.h"
#include "EWNet/QT/LostCommsReceiver.h"
#include "EWNet/QT/LostCommsSender.h"
#include "EWNet/QT/ServerConnectionThreadWorker.h"
#include "EWNet/QT/TCPConnection.h"

namespace {

// Addresses whose refusal is reported; a scan from many addresses stops
// filling the console after this many.
constexpr std::size_t kMaxRefusedReported = 256;

std::mutex gCreationLock;
std::atomic<cNetworkConnection*> gInstance{nullptr};
std::atomic<bool> gAccessAllowed{true};

bool OnMainThread() {
  const QCoreApplication* application = QCoreApplication::instance();
  return application != nullptr && QThread::currentThread() == application->thread();
}

cEWNetConnectionManagerBase* StartForEWNet() { return cNetworkConnection::StartInstance(); }

// Linking the transport in makes StartEWNet bring it up.
const bool kFactoryInstalled = (SetConnectionManagerFactory(&StartForEWNet), true);

}  // namespace

// ---------------------------------------------------------------------------
// Instance

cNetworkConnection* cNetworkConnection::Instance() {
  (void)kFactoryInstalled;
  if (!gAccessAllowed.load()) {
    EW_REPORT_ERROR("Network Connection access after destruction");
    return nullptr;
  }
  if (cNetworkConnection* instance = gInstance.load()) return instance;
  if (!OnMainThread()) {
    EW_REPORT_ERROR("Attempting to create instance on non-main thread");
    return nullptr;
  }
  std::lock_guard<std::mutex> lock(gCreationLock);
  if (gInstance.load() == nullptr) {
    auto* created = new cNetworkConnection;
    gInstance.store(created);
    SetConnectionManager(created);
  }
  return gInstance.load();
}

cNetworkConnection* cNetworkConnection::StartInstance() {
  if (OnMainThread()) gAccessAllowed.store(true);
  return Instance();
}

void cNetworkConnection::DeleteInstance() {
  if (!OnMainThread()) {
    EW_REPORT_ERROR("Attempting to delete instance on non-main thread");
    return;
  }
  std::lock_guard<std::mutex> lock(gCreationLock);
  cNetworkConnection* instance = gInstance.load();
  if (instance == nullptr) return;
  if (GetConnectionManager() == instance) SetConnectionManager(nullptr);
  gAccessAllowed.store(false);
  instance->DisconnectAll();
  gInstance.store(nullptr);
  delete instance;
}

cNetworkConnection::cNetworkConnection() {
  qRegisterMetaType<std::string>("std::string");
  qRegisterMetaType<UWORD>("UWORD");
  qRegisterMetaType<UBYTE>("UBYTE");
  qRegisterMetaType<QAbstractSocket::SocketError>("QAbstractSocket::SocketError");
}

// Threads still running here would outlive the object they report to.
cNetworkConnection::~cNetworkConnection() {
  DisconnectAll();
  delete mReceiver;
  delete mSender;
}

void cNetworkConnection::SetSettings(const sEWNetTransportSettings& settings) {
  std::lock_guard<std::mutex> lock(mSettingsLock);
  mSettings = settings;
}

sEWNetTransportSettings cNetworkConnection::Settings() const {
  std::lock_guard<std::mutex> lock(mSettingsLock);
  return mSettings;
}

// ---------------------------------------------------------------------------
// Who may connect

void cNetworkConnection::SetAllowedPeersSource(tAllowedPeersSource source, const std::string& settingName) {
  Q_ASSERT(OnMainThread());
  mAllowedPeersSource = std::move(source);
  mAllowedPeersSetting = settingName;
}

void cNetworkConnection::SetAllowedPeers(const cPeerAllowList& peers, const std::string& settingName) {
  auto fixed = std::make_shared<const cPeerAllowList>(peers);
  SetAllowedPeersSource([fixed] { return fixed; }, settingName);
}

cNetworkConnection::tAllowedPeers cNetworkConnection::AllowedPeers() {
  Q_ASSERT(OnMainThread());
  if (mAllowedPeersSource) {
    if (tAllowedPeers peers = mAllowedPeersSource()) return peers;
  }
  static const tAllowedPeers kLoopbackOnly = std::make_shared<const cPeerAllowList>();
  return kLoopbackOnly;
}

bool cNetworkConnection::Admits(const QHostAddress& peer) {
  const tAllowedPeers peers = AllowedPeers();
  if (peers->Admits(peer)) return true;
  // A new list is a new story: its refusals are told afresh.
  if (peers != mReportedFor) {
    mReportedFor = peers;
    mRefusedReported.clear();
  }
  bool isV4 = false;
  const quint32 v4 = peer.toIPv4Address(&isV4);
  const QString text = peer.isNull() ? QStringLiteral("an unknown address")
                       : isV4        ? QHostAddress(v4).toString()
                                     : peer.toString();
  if (mRefusedReported.size() <= kMaxRefusedReported && mRefusedReported.insert(text).second) {
    const std::string setting = mAllowedPeersSetting.empty() ? std::string("loopback only") : mAllowedPeersSetting;
    if (mRefusedReported.size() > kMaxRefusedReported) {
      EW_REPORT_NOTIFICATION("Refused object-network connections from %d addresses; further ones are not listed",
                             int(kMaxRefusedReported));
    } else {
      EW_REPORT_NOTIFICATION("Refused object-network connection from %s: not in the allowed peers (%s)",
                             text.toUtf8().constData(), setting.c_str());
    }
  }
  return false;
}

void cNetworkConnection::NoteRefusedByPeer(UWORD connectionId, const std::string& hostName, UBYTE reason) {
  EW_SILENT_NOTIFICATION("Connection %d refused by %s, reason %d", int(connectionId), hostName.c_str(), int(reason));
  emit RefusedByPeer(connectionId, hostName, reason);
}

// ---------------------------------------------------------------------------
// Lost-communication supervision

void cNetworkConnection::InitialiseLostComms() {
  if (!OnMainThread()) {
    EW_REPORT_ERROR("Must be called on main thread");
    return;
  }
  std::lock_guard<std::mutex> lock(mLostCommsLock);
  if (mSender != nullptr || mReceiver != nullptr) {
    EW_REPORT_ERROR("Inconsistent state");
    return;
  }
  const int period = Settings().mHeartbeatPeriodMs;
  mSender = new cLostCommsSenderController(this, period);
  mReceiver = new cLostCommsReceiverController(this, period);
  connect(mReceiver, &cLostCommsReceiverController::UnitLowTTLWarning, this, &cNetworkConnection::UnitLowTTLWarning);
}

void cNetworkConnection::UninitialiseLostComms() {
  if (!OnMainThread()) {
    EW_REPORT_ERROR("Must be called on main thread");
    return;
  }
  cLostCommsSenderController* sender = nullptr;
  cLostCommsReceiverController* receiver = nullptr;
  {
    std::lock_guard<std::mutex> lock(mLostCommsLock);
    std::swap(sender, mSender);
    std::swap(receiver, mReceiver);
  }
  if ((sender == nullptr) != (receiver == nullptr)) {
    EW_REPORT_ERROR("Inconsistent state: %s,  %s", receiver != nullptr ? "Reciever Present" : "Reciever Null",
                    sender != nullptr ? "Sender Present" : "Sender Null");
  }
  // Outside the lock: the threads may be waiting for it while they are joined.
  delete receiver;
  delete sender;
}

void cNetworkConnection::EmitClosedToLostComms(UWORD connectionId) {
  std::lock_guard<std::mutex> lock(mLostCommsLock);
  if (mReceiver != nullptr) emit mReceiver->ConnectionClosedSignal(connectionId);
  if (mSender != nullptr) emit mSender->ConnectionClosedSignal(connectionId);
}

void cNetworkConnection::EmitNewToLostComms(UWORD connectionId) {
  std::lock_guard<std::mutex> lock(mLostCommsLock);
  if (mSender != nullptr) emit mSender->NewUDPConnectionSignal(connectionId);
  if (mReceiver != nullptr) emit mReceiver->NewUDPConnectionSignal(connectionId);
}

void cNetworkConnection::NewUDPConnection(UWORD connectionId) { EmitNewToLostComms(connectionId); }

void cNetworkConnection::UtilityMessageReceived(const UBYTE* data, int length, UWORD connectionId) {
  if (length < 1) {
    EW_REPORT_ERROR("Empty utility packet on connection %d ignored", int(connectionId));
    return;
  }
  if (data[0] != cLostCommsSenderWorker::kHeartbeat) {
    EW_REPORT_ERROR("Unknown Util Message Received Byte[0] %d", int(data[0]));
    return;
  }
  std::lock_guard<std::mutex> lock(mLostCommsLock);
  if (mReceiver != nullptr) emit mReceiver->ReceivedMessageSignal(connectionId);
}

// Supervision thread. LostComms is emitted by the main thread when it takes
// the connection down, so its receivers get it there, after the disconnect.
void cNetworkConnection::HandleLostComms(UWORD connectionId) {
  quint64 serial = 0;
  {
    std::lock_guard<std::recursive_mutex> lock(mTableLock);
    sEntry* entry = Entry(connectionId, false);
    if (entry == nullptr) return;
    serial = entry->mSerial;
    entry->mClosing = true;
    entry->mController->Worker()->CloseLost();
  }
  // The controller lives on the main thread and is deleted there.
  RequestDisconnect(connectionId, serial, true);
}

// ---------------------------------------------------------------------------
// Connection IDs

UWORD cNetworkConnection::AcquireNextAvaiableConnectionID() {
  std::lock_guard<std::recursive_mutex> lock(mTableLock);
  for (UWORD i = 0; i < kEWNetMaxConnections; ++i) {
    if (mInUse[i] != 0) continue;
    mInUse[i] = 1;
    ++mCount;
    emit NumberOfConnectionsChanged(mCount);
    return UWORD(i + 1);
  }
  EW_REPORT_ERROR("All availible connections are in use");
  return 0xFFFF;
}

void cNetworkConnection::ReleaseConnectionID(UWORD connectionId) {
  std::lock_guard<std::recursive_mutex> lock(mTableLock);
  if (!IsEWNetConnectionId(connectionId) || mInUse[connectionId - 1] == 0) return;
  mInUse[connectionId - 1] = 0;
  mTable[connectionId - 1] = sEntry();
  --mCount;
  emit NumberOfConnectionsChanged(mCount);
}

UBYTE cNetworkConnection::NumberOfConnections() {
  std::lock_guard<std::recursive_mutex> lock(mTableLock);
  return mCount;
}

cNetworkConnection::sEntry* cNetworkConnection::Entry(UWORD connectionId, bool evenClosing) {
  if (!IsEWNetConnectionId(connectionId) || mInUse[connectionId - 1] == 0) return nullptr;
  sEntry& entry = mTable[connectionId - 1];
  if (entry.mController == nullptr || (entry.mClosing && !evenClosing)) return nullptr;
  return &entry;
}

quint64 cNetworkConnection::StoreAndStart(UWORD connectionId, cConnectionThreadControllerBase* controller) {
  std::lock_guard<std::recursive_mutex> lock(mTableLock);
  sEntry& entry = mTable[connectionId - 1];
  if (mInUse[connectionId - 1] == 0 || entry.mController != nullptr) EW_REPORT_ERROR("Inconsistent state");
  const quint64 serial = mNextSerial++;
  entry = sEntry{controller, serial, false};
  // Called on the connection's thread, which starts after this: the request
  // it makes reaches the main thread through the table.
  connect(
      controller->Worker(), &cConnectionThreadWorkerBase::ConnectionThreadDisconnected, this,
      [this, serial](UWORD id) { RequestDisconnect(id, serial, false); }, Qt::DirectConnection);
  // Controllers live on the manager's thread, which deletes them.
  if (QThread::currentThread() != thread()) {
    controller->Thread()->moveToThread(thread());
    controller->moveToThread(thread());
  }
  controller->StartWorker();
  return serial;
}

// ---------------------------------------------------------------------------
// Opening and accepting

void cNetworkConnection::IncomingRemoteConnection(qintptr socketDescriptor) {
  Q_ASSERT(OnMainThread());
  EW_SILENT_NOTIFICATION("Incoming Remote Connection");
  // Before an ID is taken: a refused peer never holds one, nor gets a
  // byte of what it sends read.
  if (!Admits(acceptedsocket::PeerAddress(socketDescriptor))) {
    acceptedsocket::Refuse(socketDescriptor, cTCPConnection::RefusalPacket(cTCPConnection::kRefusedNotAllowed));
    return;
  }
  const UWORD id = AcquireNextAvaiableConnectionID();
  if (id == 0xFFFF) {
    // Nobody would ever close it otherwise.
    acceptedsocket::Refuse(socketDescriptor, cTCPConnection::RefusalPacket(cTCPConnection::kRefusedNoFreeConnection));
    return;
  }
  auto* worker = new cServerConnectionThreadWorker(id, socketDescriptor, Settings(), this);
  StoreAndStart(id, new cServerConnectionThreadController(worker));
}

UWORD cNetworkConnection::StartOutgoing(const std::string& hostName, cClientConnectionThreadController** started,
                                        quint64* serial) {
  std::lock_guard<std::recursive_mutex> lock(mTableLock);
  const UWORD id = AcquireNextAvaiableConnectionID();
  if (id == 0xFFFF) {
    EW_SILENT_NOTIFICATION("Outgoing Remote Connection rejected: \"%s\"", hostName.c_str());
    return 0xFFFF;
  }
  EW_SILENT_NOTIFICATION("Outgoing Remote Connection: %d - \"%s\"", int(id), hostName.c_str());
  auto* controller =
      new cClientConnectionThreadController(new cClientConnectionThreadWorker(id, hostName, Settings(), this));
  const quint64 stored = StoreAndStart(id, controller);
  if (started != nullptr) *started = controller;
  if (serial != nullptr) *serial = stored;
  return id;
}

UWORD cNetworkConnection::OutgoingRemoteConnection(const std::string& hostName) {
  cClientConnectionThreadController* controller = nullptr;
  quint64 serial = 0;
  const UWORD id = StartOutgoing(hostName, &controller, &serial);
  if (id == 0xFFFF) return id;
  // The worker gives up by itself after the connect timeout; the margin only
  // covers a thread that is slow to start.
  cClientConnectionThreadWorker* worker = controller->ClientWorker();
  const bool finished = worker->WaitForAttempt(Settings().mConnectTimeoutMs + 2000);
  if (finished && worker->IsConnected()) return id;
  EW_SILENT_NOTIFICATION("Unsuccessful Connection: %d, Code: %d, Resolved: %s - \"%s\"", int(id),
                         worker->LastConnectionError(), worker->Resolved() ? "True" : "False", hostName.c_str());
  worker->ClearSupervise();
  if (OnMainThread()) {
    Disconnect(id, serial, false);
  } else {
    RequestDisconnect(id, serial, false);
  }
  return 0xFFFF;
}

UWORD cNetworkConnection::ConnectToHost(const std::string& hostName) {
  std::lock_guard<std::recursive_mutex> lock(mTableLock);
  const UWORD existing = ConnectionIdForHost(hostName);
  if (existing != 0xFFFF) return existing;
  return StartOutgoing(hostName, nullptr, nullptr);
}

bool cNetworkConnection::IsConnectedToHost(const std::string& hostName) {
  return ConnectionIdForHost(hostName) != 0xFFFF;
}

bool cNetworkConnection::IsHandshakeComplete(UWORD connectionId) {
  std::lock_guard<std::recursive_mutex> lock(mTableLock);
  const sEntry* entry = Entry(connectionId, false);
  return entry != nullptr && entry->mController->Worker()->IsPaired();
}

UWORD cNetworkConnection::ConnectionIdForHost(const std::string& hostName) {
  std::lock_guard<std::recursive_mutex> lock(mTableLock);
  for (UWORD id = 1; id <= kEWNetMaxConnections; ++id) {
    const sEntry* entry = Entry(id, true);
    if (entry != nullptr && entry->mController->Worker()->HostName() == hostName) return id;
  }
  return 0xFFFF;
}

std::string cNetworkConnection::HostNameOfConnection(UWORD connectionId) {
  std::lock_guard<std::recursive_mutex> lock(mTableLock);
  const sEntry* entry = Entry(connectionId, true);
  return entry != nullptr ? entry->mController->Worker()->HostName() : std::string();
}

std::string cNetworkConnection::DisplayNameOfConnection(UWORD connectionId) {
  std::lock_guard<std::recursive_mutex> lock(mTableLock);
  const sEntry* entry = Entry(connectionId, true);
  return entry != nullptr ? entry->mController->Worker()->DisplayName() : std::string();
}

QHostAddress cNetworkConnection::PeerAddressOfHost(const std::string& hostName) {
  std::lock_guard<std::recursive_mutex> lock(mTableLock);
  const sEntry* entry = Entry(ConnectionIdForHost(hostName), true);
  return entry != nullptr ? entry->mController->Worker()->PeerAddress() : QHostAddress();
}

// ---------------------------------------------------------------------------
// Traffic

void cNetworkConnection::SendMessageToConnection(const cEWNetMessage& message) {
  bool queued = false;
  {
    std::lock_guard<std::recursive_mutex> lock(mTableLock);
    if (sEntry* entry = Entry(message.mConnectionId, false))
      queued = entry->mController->Worker()->SendMessage(message);
  }
  // A find that cannot leave would keep its asker waiting for ever.
  if (!queued && message.mMethod == M_REG_FIND_OBJECT && IsEWNetConnectionId(message.mConnectionId)) {
    EWNetAnswerFindFailed(message, 0);
  }
}

void cNetworkConnection::SendDatagramToConnection(const cEWNetMessage& message) {
  std::lock_guard<std::recursive_mutex> lock(mTableLock);
  if (sEntry* entry = Entry(message.mConnectionId, false)) entry->mController->Worker()->SendDatagram(message);
}

void cNetworkConnection::SendUtilDatagramToConnection(const UBYTE* data, UWORD count, UWORD connectionId) {
  std::lock_guard<std::recursive_mutex> lock(mTableLock);
  if (sEntry* entry = Entry(connectionId, false)) entry->mController->Worker()->SendUtilDatagram(data, count);
}

bool cNetworkConnection::UsesVersion2Messages(UWORD connectionId) {
  std::lock_guard<std::recursive_mutex> lock(mTableLock);
  const sEntry* entry = Entry(connectionId, true);
  return entry != nullptr && entry->mController->Worker()->UsesVersion2Messages();
}

// ---------------------------------------------------------------------------
// Closing

quint64 cNetworkConnection::SerialOf(UWORD connectionId) {
  std::lock_guard<std::recursive_mutex> lock(mTableLock);
  const sEntry* entry = Entry(connectionId, true);
  return entry != nullptr ? entry->mSerial : 0;
}

void cNetworkConnection::DisconnectConnectionID(UWORD connectionId) {
  if (connectionId == 0xFFFF) {
    EW_REPORT_ERROR("Invalid Connection ID");
    return;
  }
  if (const quint64 serial = SerialOf(connectionId)) RequestDisconnect(connectionId, serial, false);
}

void cNetworkConnection::RequestDisconnect(UWORD connectionId, quint64 serial, bool lostComms) {
  {
    std::lock_guard<std::recursive_mutex> lock(mTableLock);
    sEntry* entry = Entry(connectionId, true);
    if (entry == nullptr || entry->mSerial != serial) return;
    entry->mDisconnectRequested = true;
    entry->mLost = entry->mLost || lostComms;
  }
  QMetaObject::invokeMethod(this, "DisconnectRequested", Qt::QueuedConnection);
}

void cNetworkConnection::DisconnectRequested() {
  Q_ASSERT(OnMainThread());
  for (UWORD id = 1; id <= kEWNetMaxConnections; ++id) {
    quint64 serial = 0;
    {
      std::lock_guard<std::recursive_mutex> lock(mTableLock);
      sEntry* entry = Entry(id, true);
      if (entry == nullptr || !entry->mDisconnectRequested) continue;
      entry->mDisconnectRequested = false;
      serial = entry->mSerial;
    }
    Disconnect(id, serial, false);
  }
}

void cNetworkConnection::Disconnect(UWORD connectionId, quint64 serial, bool lostComms) {
  Q_ASSERT(OnMainThread());
  cConnectionThreadControllerBase* controller = nullptr;
  std::string hostName;
  bool errorOccurred = false;
  int socketError = -1;
  bool lostNoticed = false;
  {
    std::lock_guard<std::recursive_mutex> lock(mTableLock);
    sEntry* entry = Entry(connectionId, true);
    if (entry == nullptr || entry->mSerial != serial) return;
    entry->mClosing = true;
    // Whichever way it goes down, a connection the supervision found silent
    // goes as lost, and says so.
    lostNoticed = entry->mLost;
    lostComms = lostComms || lostNoticed;
    controller = entry->mController;
    cConnectionThreadWorkerBase* worker = controller->Worker();
    hostName = worker->HostName();
    errorOccurred = worker->ErrorOccurred();
    socketError = worker->SocketError();
  }
  EmitClosedToLostComms(connectionId);
  emit ConnectionDisconnected(connectionId, hostName, errorOccurred, QAbstractSocket::SocketError(socketError));
  // Not under the table lock: the router takes the registry lock, which a
  // delivering thread holds while it sends through this table. The ID stays
  // taken meanwhile, so its host name is still the one being forgotten.
  if (cRegistryRouter* router = GetRegistryRouter()) router->InformConnectionClosed(connectionId, lostComms);
  ReleaseConnectionID(connectionId);
  delete controller;
  if (lostNoticed) emit LostComms(connectionId, hostName);
}

void cNetworkConnection::DisconnectAll() {
  std::vector<cConnectionThreadControllerBase*> controllers;
  {
    std::lock_guard<std::recursive_mutex> lock(mTableLock);
    for (UWORD id = 1; id <= kEWNetMaxConnections; ++id) {
      if (const sEntry* entry = Entry(id, true)) {
        controllers.push_back(entry->mController);
        ReleaseConnectionID(id);
      }
    }
  }
  for (cConnectionThreadControllerBase* controller : controllers) controller->Thread()->quit();
  for (cConnectionThreadControllerBase* controller : controllers) delete controller;
}
