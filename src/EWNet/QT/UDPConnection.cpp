#include "EWNet/QT/UDPConnection.h"

#include <QTimer>

#include "EWNet/Core/ErrLog.h"

namespace {
// Larger than any IPv4 datagram, so none is ever cut by the read.
constexpr qint64 kDatagramBuffer = 65536;
// Datagrams read per call before the thread's other work gets a turn.
constexpr int kDatagramsPerCall = 256;
}  // namespace

cUDPConnection::cUDPConnection(UWORD connectionId, const QHostAddress& remoteAddress, quint16 localPort,
                               ULONG queueCapBytes)
    : cConnectionBaseQt(connectionId, queueCapBytes),
      mSocket(this),
      mRemoteAddress(remoteAddress),
      mDatagram(new char[kDatagramBuffer]) {
  if (!mSocket.bind(QHostAddress(QHostAddress::AnyIPv4), localPort)) {
    EW_SILENT_NOTIFICATION("UDP Bind on %d Failed. Trying to use ephemeral port", int(localPort));
    if (!mSocket.bind(QHostAddress(QHostAddress::AnyIPv4), 0)) EW_REPORT_ERROR("UDP Bind Failed.");
  }
  connect(&mSocket, &QUdpSocket::readyRead, this, &cUDPConnection::ReadPendingDatagrams);
  mLocalPort = mSocket.localPort();
}

cUDPConnection::~cUDPConnection() { Close(); }

bool cUDPConnection::SendEWNetMessage(const cEWNetMessage& message, bool version2) {
  return CanSend() && QueueEWNetMessage(message, version2);
}

bool cUDPConnection::SendUtil(const UBYTE* payload, UWORD count) {
  return CanSend() && QueueUtilMessage(payload, count);
}

void cUDPConnection::Transmit() {
  QByteArray packet;
  while (TakeNextPacket(packet)) {
    const qint64 sent = mSocket.writeDatagram(packet, mRemoteAddress, mRemotePort.load());
    if (sent != packet.size()) {
      const QAbstractSocket::SocketError error = mSocket.error();
      if (error != QAbstractSocket::NetworkError && error != QAbstractSocket::TemporaryError) {
        EW_REPORT_ERROR("Error writing datagram %ld %lu %d", long(sent), static_cast<unsigned long>(packet.size()),
                        int(error));
      }
    }
  }
}

void cUDPConnection::ReadPendingDatagrams() {
  mResumeScheduled = false;
  for (int n = 0; n < kDatagramsPerCall && !mClosed.load() && mSocket.hasPendingDatagrams(); ++n) {
    if (RouterIsBehind()) break;
    QHostAddress sender;
    quint16 senderPort = 0;
    const qint64 size = mSocket.readDatagram(mDatagram.get(), kDatagramBuffer, &sender, &senderPort);
    if (size < 0) return;
    if (sender.toIPv4Address() != mRemoteAddress.toIPv4Address() || senderPort != mRemotePort.load() ||
        senderPort == 0) {
      continue;
    }
    // Each datagram stands alone: a packet it leaves unfinished is dropped
    // rather than completed by whatever the next datagram brings.
    ResetReceiving();
    MessageReceived(reinterpret_cast<const UBYTE*>(mDatagram.get()), ULONG(size));
    if (ReceivingState() != kHunting) {
      EW_REPORT_ERROR("Datagram of %ld bytes on connection %d ends inside a packet", long(size), int(mConnectionId));
      ResetReceiving();
    }
  }
  if (!mClosed.load() && mSocket.hasPendingDatagrams() && !mResumeScheduled) {
    mResumeScheduled = true;
    const int delay = RouterIsBehind() ? kEWNetReadPauseRetryMs : 0;
    QTimer::singleShot(delay, this, &cUDPConnection::ReadPendingDatagrams);
  }
}

void cUDPConnection::EWNetMessageReceived(cEWNetMessage& message) { DeliverRemoteMessage(message); }

void cUDPConnection::UtilMessageReceived(UBYTE* data, UWORD length) {
  if (mUtilHandler) mUtilHandler(data, length);
}

void cUDPConnection::Close() {
  if (mClosed.exchange(true)) return;
  StopQueueing();
  disconnect(&mSocket, &QUdpSocket::readyRead, this, &cUDPConnection::ReadPendingDatagrams);
  if (mSocket.isOpen()) mSocket.close();
}
