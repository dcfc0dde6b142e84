#include "EWNet/QT/ConnectionThreadWorkerBase.h"

#include "EWNet/Core/ErrLog.h"
#include "EWNet/Core/NetObjct.h"
#include "EWNet/Core/RegRoutr.h"
#include "EWNet/QT/ConnectionBaseQt.h"
#include "EWNet/QT/NetworkConnection.h"
#include "EWNet/QT/TCPConnection.h"
#include "EWNet/QT/UDPConnection.h"

cConnectionThreadWorkerBase::cConnectionThreadWorkerBase(UWORD connectionId, const std::string& hostName,
                                                         const sEWNetTransportSettings& settings,
                                                         cNetworkConnection* manager)
    : mConnectionId(connectionId), mSettings(settings), mManager(manager), mHostName(hostName) {
  connect(this, &cConnectionThreadWorkerBase::CallDisconnectedSignal, this,
          &cConnectionThreadWorkerBase::CallDisconnectedSlot, Qt::QueuedConnection);
}

cConnectionThreadWorkerBase::~cConnectionThreadWorkerBase() {
  cTCPConnection* tcp = nullptr;
  cUDPConnection* udp = nullptr;
  bool immediate = false;
  {
    std::lock_guard<std::mutex> lock(mLock);
    std::swap(tcp, mTcp);
    std::swap(udp, mUdp);
    immediate = mLostComms || mAbandoned;
    mHeld.clear();
  }
  // The derived part is gone: a socket error raised while closing must not
  // reach a slot of the derived class.
  if (mSocket != nullptr) mSocket->disconnect(this);
  if (tcp != nullptr) {
    tcp->disconnect(this);
    tcp->Close(immediate);
    delete tcp;
  }
  if (udp != nullptr) {
    udp->Close();
    delete udp;
  }
  delete mSocket;
  if (mSetUp.load()) EW_SILENT_NOTIFICATION("%s Disconnected (EWNet)", HostName().c_str());
}

std::string cConnectionThreadWorkerBase::HostName() const {
  std::lock_guard<std::mutex> lock(mLock);
  return mHostName;
}

std::string cConnectionThreadWorkerBase::DisplayName() const { return HostName(); }

void cConnectionThreadWorkerBase::SetHostName(const std::string& hostName) {
  std::lock_guard<std::mutex> lock(mLock);
  mHostName = hostName;
}

QHostAddress cConnectionThreadWorkerBase::PeerAddress() const {
  std::lock_guard<std::mutex> lock(mLock);
  return mPeerAddress;
}

void cConnectionThreadWorkerBase::SetPeer(const QHostAddress& address) {
  std::lock_guard<std::mutex> lock(mLock);
  mPeerAddress = address;
}

bool cConnectionThreadWorkerBase::SendMessage(const cEWNetMessage& message) {
  std::lock_guard<std::mutex> lock(mLock);
  if (mTcp != nullptr) return mTcp->SendEWNetMessage(message);
  const ULONG size = ewframe::EncodedMessageSize(message, false);
  if (!mHoldsPending || mHeldBytes + size > mSettings.mSendQueueCapBytes) return false;
  mHeld.push_back(message);
  mHeldBytes += size;
  return true;
}

bool cConnectionThreadWorkerBase::SendDatagram(const cEWNetMessage& message) {
  std::lock_guard<std::mutex> lock(mLock);
  if (mUdp == nullptr) return false;
  return mUdp->SendEWNetMessage(message, mTcp != nullptr && mTcp->UsesVersion2());
}

bool cConnectionThreadWorkerBase::SendUtilDatagram(const UBYTE* payload, UWORD count) {
  std::lock_guard<std::mutex> lock(mLock);
  return mUdp != nullptr && mUdp->SendUtil(payload, count);
}

bool cConnectionThreadWorkerBase::UsesVersion2Messages() const {
  std::lock_guard<std::mutex> lock(mLock);
  return mTcp != nullptr && mTcp->UsesVersion2();
}

bool cConnectionThreadWorkerBase::IsPaired() const {
  std::lock_guard<std::mutex> lock(mLock);
  return mPaired;
}

bool cConnectionThreadWorkerBase::ErrorOccurred() const {
  std::lock_guard<std::mutex> lock(mLock);
  return mErrorOccurred;
}

int cConnectionThreadWorkerBase::SocketError() const {
  std::lock_guard<std::mutex> lock(mLock);
  return mSocketError;
}

void cConnectionThreadWorkerBase::NoteSocketError(int error) {
  std::lock_guard<std::mutex> lock(mLock);
  mErrorOccurred = true;
  mSocketError = error;
}

void cConnectionThreadWorkerBase::ClearSupervise() {
  std::lock_guard<std::mutex> lock(mLock);
  mSupervise = false;
}

void cConnectionThreadWorkerBase::CloseLost() {
  {
    std::lock_guard<std::mutex> lock(mLock);
    mLostComms = true;
  }
  QMetaObject::invokeMethod(this, "CloseLostOnThread", Qt::QueuedConnection);
}

void cConnectionThreadWorkerBase::CloseLostOnThread() {
  if (mTcp != nullptr) mTcp->Close(true);
  if (mUdp != nullptr) mUdp->Close();
}

// A peer that lets its queue fill up gets no "BYE": it would not read it.
void cConnectionThreadWorkerBase::Abandon() {
  {
    std::lock_guard<std::mutex> lock(mLock);
    mAbandoned = true;
    mErrorOccurred = true;
  }
  if (mTcp != nullptr) {
    mTcp->StopTransmit();
    mTcp->Close(true);
  }
  emit CallDisconnectedSignal();
}

void cConnectionThreadWorkerBase::AdoptTCP(cTCPConnection* tcp) {
  connect(tcp, &cTCPConnection::TCPConnectionDisconnected, this, &cConnectionThreadWorkerBase::CallDisconnectedSignal);
  connect(tcp, &cConnectionBaseQt::SendQueueOverflow, this, &cConnectionThreadWorkerBase::Abandon,
          Qt::QueuedConnection);
  std::lock_guard<std::mutex> lock(mLock);
  mTcp = tcp;
}

void cConnectionThreadWorkerBase::AdoptUDP(cUDPConnection* udp) {
  const UWORD id = mConnectionId;
  cNetworkConnection* manager = mManager;
  udp->SetUtilHandler([manager, id](const UBYTE* data, UWORD length) {
    if (manager != nullptr) manager->UtilityMessageReceived(data, length, id);
  });
  std::lock_guard<std::mutex> lock(mLock);
  mUdp = udp;
}

void cConnectionThreadWorkerBase::PairUDP(quint16 remotePort) {
  bool supervise = false;
  {
    std::lock_guard<std::mutex> lock(mLock);
    if (mUdp == nullptr) return;
    mUdp->SetRemoteUDPPort(remotePort);
    mPaired = true;
    supervise = mSupervise;
  }
  if (supervise && mManager != nullptr) mManager->NewUDPConnection(mConnectionId);
}

void cConnectionThreadWorkerBase::ReleaseHeldMessages() {
  std::lock_guard<std::mutex> lock(mLock);
  mHoldsPending = false;
  for (const cEWNetMessage& message : mHeld) mTcp->SendEWNetMessage(message);
  mHeld.clear();
  mHeldBytes = 0;
}

void cConnectionThreadWorkerBase::FailHeldMessages() {
  std::deque<cEWNetMessage> held;
  {
    std::lock_guard<std::mutex> lock(mLock);
    mHoldsPending = false;
    held.swap(mHeld);
    mHeldBytes = 0;
  }
  for (const cEWNetMessage& message : held) {
    if (message.mMethod == M_REG_FIND_OBJECT) EWNetAnswerFindFailed(message, 0);
  }
}

void cConnectionThreadWorkerBase::CallDisconnectedSlot() {
  if (!mDisconnectSignalled.exchange(true)) emit ConnectionThreadDisconnected(mConnectionId);
}

cConnectionThreadControllerBase::cConnectionThreadControllerBase(QThread::Priority priority,
                                                                 cConnectionThreadWorkerBase* worker)
    : cThreadController(priority), mWorker(worker) {
  connect(worker, &cConnectionThreadWorkerBase::ConnectionThreadDisconnected, this,
          &cConnectionThreadControllerBase::ConnectionThreadDisconnected);
}
