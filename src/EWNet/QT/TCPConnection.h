#pragma once

#include <QTcpSocket>
#include <atomic>

#include "EWNet/QT/ConnectionBaseQt.h"

// The TCP half of a remote connection: ordinary messages, the handshake and
// the orderly close. Lives on its worker's thread; the socket belongs to the
// worker.
class cTCPConnection : public cConnectionBaseQt {
  Q_OBJECT
 public:
  static constexpr UBYTE kProtocolVersion = 3;
  static constexpr UBYTE kUtilHello = 1;
  static constexpr UBYTE kUtilHelloAck = 2;
  static constexpr UBYTE kUtilVersion2 = 5;
  // Sent by an accepting side that turns the connection away, with the
  // reason as the second byte, just before it closes; nothing else follows.
  static constexpr UBYTE kUtilRefused = 6;
  static constexpr UBYTE kRefusedNotAllowed = 1;
  static constexpr UBYTE kRefusedNoFreeConnection = 2;
  // Receive() reads at most this much per socket read.
  static constexpr int kReadChunk = 256;
  // Transmit() hands the socket no more while it holds this much unwritten.
  static constexpr qint64 kSocketHighWater = 256 * 1024;

  cTCPConnection(QTcpSocket* socket, UWORD connectionId, ULONG queueCapBytes, int byeWaitMs);
  ~cTCPConnection() override;

  // Any thread. Nothing is queued once "BYE" has been sent.
  bool SendEWNetMessage(const cEWNetMessage& message);
  bool SendUtil(const UBYTE* payload, UWORD count);
  void SendHello(UWORD udpPort);
  void SendHelloAck(UWORD udpPort);
  bool UsesVersion2() const { return mVersion2.load(); }
  // The whole utility packet an accepting side sends when it refuses.
  static QByteArray RefusalPacket(UBYTE reason);

  // Owner's thread.
  void Close(bool immediate);
  void StopTransmit();
  bool IsClosed() const { return mClosed.load(); }

 signals:
  void SignalByeSent();
  void TCPConnectionDisconnected();
  void HelloReceived(ushort RemoteUDPPort);
  void HelloAckReceived(ushort RemoteUDPPort);
  void RefusedByPeer(UBYTE Reason);

 public slots:
  void Transmit() override;
  void Receive();

 protected:
  void EWNetMessageReceived(cEWNetMessage& message) override;
  void UtilPacketReceived(UBYTE* data, UWORD length) override;
  void UtilMessageReceived(UBYTE* data, UWORD length) override;

 private:
  void SendPortUtil(UBYTE type, UWORD udpPort);
  void WritePackets(qint64 highWater);

  QTcpSocket* mSocket;
  const int mByeWaitMs;
  std::atomic<bool> mClosing{false};
  std::atomic<bool> mByeReceived{false};
  std::atomic<bool> mByeSent{false};
  std::atomic<bool> mTransmitStopped{false};
  std::atomic<bool> mVersion2{false};
  std::atomic<bool> mClosed{false};
  bool mResumeScheduled = false;
};
