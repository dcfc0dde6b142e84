#pragma once

#include <condition_variable>
#include <mutex>

#include "EWNet/QT/ConnectionThreadWorkerBase.h"

// The connecting side of a remote connection. The host is a dotted IPv4
// address, optionally followed by ':' and a port (the configured remote port
// otherwise).
class cClientConnectionThreadWorker : public cConnectionThreadWorkerBase {
  Q_OBJECT
 public:
  cClientConnectionThreadWorker(UWORD connectionId, const std::string& hostName,
                                const sEWNetTransportSettings& settings, cNetworkConnection* manager);

  // Any thread: waits at most timeoutMs for the attempt to end; true when it has.
  bool WaitForAttempt(int timeoutMs);
  bool IsConnected() const { return mConnected.load(); }
  int LastConnectionError() const { return mLastConnectionError.load(); }
  bool Resolved() const { return mResolved.load(); }

  // Splits "a.b.c.d[:port]"; false for anything else.
  static bool ResolveHost(const std::string& hostName, quint16 defaultPort, QHostAddress& address, quint16& port);

 public slots:
  void InitOnThread() override;
  void TCPSocketConnected();
  void TCPSocketError(QAbstractSocket::SocketError error);
  void RemoteUDPPortReceived(ushort UDPPort);

 private:
  void FinishAttempt();
  bool AttemptFinished();
  void AttemptFailed();

  std::mutex mAttemptLock;
  std::condition_variable mAttemptDone;
  bool mAttemptFinished = false;
  std::atomic<bool> mConnected{false};
  std::atomic<bool> mErrorFlagged{false};
  std::atomic<int> mLastConnectionError{-2};
  std::atomic<bool> mResolved{false};
  bool mUdpPaired = false;
};

class cClientConnectionThreadController : public cConnectionThreadControllerBase {
  Q_OBJECT
 public:
  explicit cClientConnectionThreadController(cClientConnectionThreadWorker* worker)
      : cConnectionThreadControllerBase(QThread::LowPriority, worker) {}
  cClientConnectionThreadWorker* ClientWorker() const { return static_cast<cClientConnectionThreadWorker*>(Worker()); }
};
