#pragma once

#include <QHostAddress>
#include <QTcpSocket>
#include <atomic>
#include <deque>
#include <mutex>
#include <string>

#include "EWNet/QT/ThreadController.h"
#include "EWNet/QT/TransportSettings.h"

class cNetworkConnection;
class cTCPConnection;
class cUDPConnection;
class cEWNetMessage;

// Runs one remote connection (its TCP and UDP halves) on a thread of its own.
// The connection objects are created, used and deleted on that thread; other
// threads only queue packets through the worker, under its lock.
class cConnectionThreadWorkerBase : public cThreadWorker {
  Q_OBJECT
 public:
  cConnectionThreadWorkerBase(UWORD connectionId, const std::string& hostName, const sEWNetTransportSettings& settings,
                              cNetworkConnection* manager);
  // Runs on the worker's thread when the thread finishes: closes the
  // connection (orderly unless it was lost or abandoned).
  ~cConnectionThreadWorkerBase() override;

  UWORD ConnectionId() const { return mConnectionId; }

  // Any thread.
  std::string HostName() const;
  virtual std::string DisplayName() const;
  QHostAddress PeerAddress() const;
  bool SendMessage(const cEWNetMessage& message);
  bool SendDatagram(const cEWNetMessage& message);
  bool SendUtilDatagram(const UBYTE* payload, UWORD count);
  bool UsesVersion2Messages() const;
  // The handshake is done: the peer's UDP port is known.
  bool IsPaired() const;
  bool ErrorOccurred() const;
  int SocketError() const;
  void ClearSupervise();
  // Marks the connection lost and has the worker's thread close it at once,
  // without "BYE".
  void CloseLost();

 signals:
  void ConnectionThreadDisconnected(UWORD ConnectionID);
  void CallDisconnectedSignal();

 private slots:
  void CallDisconnectedSlot();
  // Worker's thread: the closing CloseLost asked for. It is queued carrying
  // nothing: the connection objects are the worker thread's own.
  void CloseLostOnThread();

 protected:
  // Worker's thread. The worker takes ownership of what it adopts.
  void AdoptTCP(cTCPConnection* tcp);
  void AdoptUDP(cUDPConnection* udp);
  cTCPConnection* TCPOnThread() const { return mTcp; }
  cUDPConnection* UDPOnThread() const { return mUdp; }
  void PairUDP(quint16 remotePort);
  void NoteSocketError(int error);
  void SetHostName(const std::string& hostName);
  void SetPeer(const QHostAddress& address);
  void MarkSetUp() { mSetUp.store(true); }
  // Outgoing attempts keep what is sent to them until they are connected.
  void HoldMessagesUntilConnected() { mHoldsPending = true; }
  void ReleaseHeldMessages();
  // A failed attempt answers the finds it was holding, so that no asker waits.
  void FailHeldMessages();
  QTcpSocket* mSocket = nullptr;  // owned; worker's thread

  const UWORD mConnectionId;
  const sEWNetTransportSettings mSettings;
  cNetworkConnection* const mManager;

 private:
  void Abandon();

  mutable std::mutex mLock;
  std::string mHostName;
  QHostAddress mPeerAddress;
  cTCPConnection* mTcp = nullptr;
  cUDPConnection* mUdp = nullptr;
  bool mLostComms = false;
  bool mAbandoned = false;
  bool mSupervise = true;
  bool mPaired = false;
  bool mErrorOccurred = false;
  int mSocketError = -1;
  bool mHoldsPending = false;
  std::deque<cEWNetMessage> mHeld;
  ULONG mHeldBytes = 0;
  std::atomic<bool> mSetUp{false};
  std::atomic<bool> mDisconnectSignalled{false};
};

// Owns the thread of one connection worker and relays its disconnect.
class cConnectionThreadControllerBase : public cThreadController {
  Q_OBJECT
 public:
  cConnectionThreadControllerBase(QThread::Priority priority, cConnectionThreadWorkerBase* worker);
  cConnectionThreadWorkerBase* Worker() const { return mWorker; }
  // Moves the worker onto the controller's thread and starts it.
  void StartWorker() { Start(mWorker); }

 signals:
  void ConnectionThreadDisconnected(UWORD ConnectionID);

 private:
  cConnectionThreadWorkerBase* const mWorker;
};
