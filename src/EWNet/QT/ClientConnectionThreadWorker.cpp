#include "EWNet/QT/ClientConnectionThreadWorker.h"

#include <QTimer>
#include <algorithm>

#include "EWNet/Core/ErrLog.h"
#include "EWNet/QT/NetworkConnection.h"
#include "EWNet/QT/TCPConnection.h"
#include "EWNet/QT/UDPConnection.h"

cClientConnectionThreadWorker::cClientConnectionThreadWorker(UWORD connectionId, const std::string& hostName,
                                                             const sEWNetTransportSettings& settings,
                                                             cNetworkConnection* manager)
    : cConnectionThreadWorkerBase(connectionId, hostName, settings, manager) {
  HoldMessagesUntilConnected();
}

bool cClientConnectionThreadWorker::ResolveHost(const std::string& hostName, quint16 defaultPort, QHostAddress& address,
                                                quint16& port) {
  const size_t colon = hostName.find(':');
  const std::string host = hostName.substr(0, colon);
  port = defaultPort;
  if (colon != std::string::npos) {
    const std::string digits = hostName.substr(colon + 1);
    if (digits.empty() || digits.size() > 5 || !std::all_of(digits.begin(), digits.end(), ::isdigit)) return false;
    const int value = std::stoi(digits);
    if (value < 1 || value > 65535) return false;
    port = quint16(value);
  }
  if (std::count(host.begin(), host.end(), '.') != 3) return false;
  return address.setAddress(QString::fromStdString(host)) && address.protocol() == QAbstractSocket::IPv4Protocol;
}

void cClientConnectionThreadWorker::InitOnThread() {
  mSocket = new QTcpSocket;
  connect(mSocket, &QTcpSocket::connected, this, &cClientConnectionThreadWorker::TCPSocketConnected);
  connect(mSocket, &QTcpSocket::errorOccurred, this, &cClientConnectionThreadWorker::TCPSocketError);
  QHostAddress address;
  quint16 port = 0;
  if (!ResolveHost(HostName(), mSettings.mRemoteTcpPort, address, port)) {
    AttemptFailed();
    return;
  }
  mResolved.store(true);
  // The attempt is bounded even where the network never answers.
  QTimer::singleShot(mSettings.mConnectTimeoutMs, this, [this] {
    if (AttemptFinished()) return;
    mSocket->abort();
    TCPSocketError(QAbstractSocket::SocketTimeoutError);
  });
  mSocket->connectToHost(address, port, QIODevice::ReadWrite);
}

void cClientConnectionThreadWorker::TCPSocketConnected() {
  if (mErrorFlagged.load()) return;
  mConnected.store(true);
  MarkSetUp();
  SetPeer(mSocket->peerAddress());
  EW_SILENT_NOTIFICATION("Connection made to %s (EWNet)", HostName().c_str());
  mSocket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
  auto* udp = new cUDPConnection(mConnectionId, mSocket->peerAddress(), 0, mSettings.mSendQueueCapBytes);
  AdoptUDP(udp);
  auto* tcp = new cTCPConnection(mSocket, mConnectionId, mSettings.mSendQueueCapBytes, mSettings.mByeWaitMs);
  connect(tcp, &cTCPConnection::HelloAckReceived, this, &cClientConnectionThreadWorker::RemoteUDPPortReceived,
          Qt::DirectConnection);
  connect(
      tcp, &cTCPConnection::RefusedByPeer, this,
      [this](UBYTE reason) {
        if (mManager != nullptr) mManager->NoteRefusedByPeer(mConnectionId, HostName(), reason);
      },
      Qt::DirectConnection);
  AdoptTCP(tcp);
  tcp->SendHello(udp->LocalPort());
  ReleaseHeldMessages();
  FinishAttempt();
}

void cClientConnectionThreadWorker::RemoteUDPPortReceived(ushort UDPPort) {
  if (mUdpPaired) {
    EW_REPORT_ERROR("Repeated hello acknowledge on connection %d ignored", int(mConnectionId));
    return;
  }
  mUdpPaired = true;
  PairUDP(UDPPort);
}

void cClientConnectionThreadWorker::TCPSocketError(QAbstractSocket::SocketError error) {
  EW_SILENT_NOTIFICATION("TCP Connection Failed: \"%s\" -- \"%s\"", mSocket->errorString().toUtf8().constData(),
                         HostName().c_str());
  mLastConnectionError.store(int(error));
  mErrorFlagged.store(true);
  NoteSocketError(int(error));
  if (mConnected.load()) {
    FinishAttempt();
    emit CallDisconnectedSignal();
  } else {
    AttemptFailed();
  }
}

void cClientConnectionThreadWorker::AttemptFailed() {
  FailHeldMessages();
  FinishAttempt();
  emit CallDisconnectedSignal();
}

void cClientConnectionThreadWorker::FinishAttempt() {
  std::lock_guard<std::mutex> lock(mAttemptLock);
  mAttemptFinished = true;
  mAttemptDone.notify_all();
}

bool cClientConnectionThreadWorker::AttemptFinished() {
  std::lock_guard<std::mutex> lock(mAttemptLock);
  return mAttemptFinished;
}

bool cClientConnectionThreadWorker::WaitForAttempt(int timeoutMs) {
  std::unique_lock<std::mutex> lock(mAttemptLock);
  return mAttemptDone.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return mAttemptFinished; });
}
