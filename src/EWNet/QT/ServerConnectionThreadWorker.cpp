#include "EWNet/QT/ServerConnectionThreadWorker.h"

#include "EWNet/Core/ErrLog.h"
#include "EWNet/QT/TCPConnection.h"
#include "EWNet/QT/UDPConnection.h"

cServerConnectionThreadWorker::cServerConnectionThreadWorker(UWORD connectionId, qintptr socketDescriptor,
                                                             const sEWNetTransportSettings& settings,
                                                             cNetworkConnection* manager)
    : cConnectionThreadWorkerBase(connectionId, "ServerSide", settings, manager), mSocketDescriptor(socketDescriptor) {}

std::string cServerConnectionThreadWorker::DisplayName() const {
  return PeerAddress().toString().toStdString() + " - Server Side";
}

void cServerConnectionThreadWorker::InitOnThread() {
  mSocket = new QTcpSocket;
  if (!mSocket->setSocketDescriptor(mSocketDescriptor, QAbstractSocket::ConnectedState, QIODevice::ReadWrite)) {
    NoteSocketError(int(mSocket->error()));
    emit CallDisconnectedSignal();
    return;
  }
  connect(mSocket, &QTcpSocket::errorOccurred, this, &cServerConnectionThreadWorker::TCPSocketError);
  const QHostAddress peer = mSocket->peerAddress();
  SetPeer(peer);
  SetHostName(peer.toString().toUtf8().toStdString());
  MarkSetUp();
  mSocket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
  EW_SILENT_NOTIFICATION("Connection made from %s (EWNet)", HostName().c_str());
  auto* tcp = new cTCPConnection(mSocket, mConnectionId, mSettings.mSendQueueCapBytes, mSettings.mByeWaitMs);
  connect(tcp, &cTCPConnection::HelloReceived, this, &cServerConnectionThreadWorker::RemoteUDPPortReceived,
          Qt::DirectConnection);
  AdoptTCP(tcp);
}

void cServerConnectionThreadWorker::RemoteUDPPortReceived(ushort UDPPort) {
  // A second hello gets no second socket.
  if (UDPOnThread() != nullptr) {
    if (!mRepeatedHelloReported) EW_REPORT_ERROR("Repeated hello on connection %d ignored", int(mConnectionId));
    mRepeatedHelloReported = true;
    return;
  }
  const int wanted = mSettings.mUdpBasePort != 0 ? mSettings.mUdpBasePort + mConnectionId : 0;
  const quint16 localPort = wanted <= 65535 ? quint16(wanted) : 0;
  auto* udp = new cUDPConnection(mConnectionId, PeerAddress(), localPort, mSettings.mSendQueueCapBytes);
  AdoptUDP(udp);
  PairUDP(UDPPort);
  TCPOnThread()->SendHelloAck(udp->LocalPort());
}

void cServerConnectionThreadWorker::TCPSocketError(QAbstractSocket::SocketError error) {
  if (error == QAbstractSocket::TemporaryError) return;
  if (cTCPConnection* tcp = TCPOnThread()) tcp->StopTransmit();
  NoteSocketError(int(error));
  emit CallDisconnectedSignal();
}
