#pragma once

#include <QHostAddress>
#include <QUdpSocket>
#include <atomic>
#include <functional>
#include <memory>

#include "EWNet/QT/ConnectionBaseQt.h"

// The UDP half of a remote connection: datagram messages and heartbeats. Bound
// from construction, paired once the peer's port is known; accepts datagrams
// only from the peer's address and port. Lives on its worker's thread.
class cUDPConnection : public cConnectionBaseQt {
  Q_OBJECT
 public:
  using tUtilHandler = std::function<void(const UBYTE* data, UWORD length)>;

  // Binds `localPort` on every IPv4 interface, or an ephemeral port when that
  // is taken; 0 asks for an ephemeral port straight away.
  cUDPConnection(UWORD connectionId, const QHostAddress& remoteAddress, quint16 localPort, ULONG queueCapBytes);
  ~cUDPConnection() override;

  quint16 LocalPort() const { return mLocalPort; }
  quint16 RemotePort() const { return mRemotePort.load(); }
  void SetRemoteUDPPort(quint16 port) { mRemotePort.store(port); }
  // Utility packets (heartbeats) go here, on the owner's thread.
  void SetUtilHandler(tUtilHandler handler) { mUtilHandler = std::move(handler); }

  // Any thread. Nothing is queued before pairing or after Close().
  bool SendEWNetMessage(const cEWNetMessage& message, bool version2);
  bool SendUtil(const UBYTE* payload, UWORD count);

  void Close();
  bool IsClosed() const { return mClosed.load(); }

 public slots:
  void Transmit() override;
  void ReadPendingDatagrams();

 protected:
  void EWNetMessageReceived(cEWNetMessage& message) override;
  void UtilMessageReceived(UBYTE* data, UWORD length) override;

 private:
  bool CanSend() const { return !mClosed.load() && mRemotePort.load() != 0; }

  QUdpSocket mSocket;
  const QHostAddress mRemoteAddress;
  std::atomic<quint16> mRemotePort{0};
  quint16 mLocalPort = 0;
  std::atomic<bool> mClosed{false};
  tUtilHandler mUtilHandler;
  std::unique_ptr<char[]> mDatagram;
  bool mResumeScheduled = false;
};
