#pragma once

#include "EWNet/QT/ConnectionThreadWorkerBase.h"

// The accepting side of a remote connection, set up on its thread from a
// socket descriptor that the TCP server accepted.
class cServerConnectionThreadWorker : public cConnectionThreadWorkerBase {
  Q_OBJECT
 public:
  cServerConnectionThreadWorker(UWORD connectionId, qintptr socketDescriptor, const sEWNetTransportSettings& settings,
                                cNetworkConnection* manager);

  std::string DisplayName() const override;

 public slots:
  void InitOnThread() override;
  void RemoteUDPPortReceived(ushort UDPPort);
  void TCPSocketError(QAbstractSocket::SocketError error);

 private:
  const qintptr mSocketDescriptor;
  bool mRepeatedHelloReported = false;
};

class cServerConnectionThreadController : public cConnectionThreadControllerBase {
  Q_OBJECT
 public:
  explicit cServerConnectionThreadController(cServerConnectionThreadWorker* worker)
      : cConnectionThreadControllerBase(QThread::NormalPriority, worker) {}
};
