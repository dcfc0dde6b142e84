#include "EWNet/QT/TCPConnection.h"

#include <QTimer>
#include <algorithm>
#include <limits>

#include "EWNet/Core/ErrLog.h"

namespace {
const UBYTE kBye[] = {'B', 'Y', 'E'};
}

cTCPConnection::cTCPConnection(QTcpSocket* socket, UWORD connectionId, ULONG queueCapBytes, int byeWaitMs)
    : cConnectionBaseQt(connectionId, queueCapBytes), mSocket(socket), mByeWaitMs(byeWaitMs) {
  // Qt's own read buffer would otherwise take in everything a flooding peer
  // sends while reading is paused.
  mSocket->setReadBufferSize(64 * 1024);
  connect(mSocket, &QTcpSocket::readyRead, this, &cTCPConnection::Receive);
  connect(mSocket, &QTcpSocket::disconnected, this, &cTCPConnection::TCPConnectionDisconnected);
  connect(mSocket, &QTcpSocket::bytesWritten, this, &cTCPConnection::Transmit);
}

cTCPConnection::~cTCPConnection() { mSocket->disconnect(this); }

bool cTCPConnection::SendEWNetMessage(const cEWNetMessage& message) {
  if (mByeSent.load()) return false;
  return QueueEWNetMessage(message, mVersion2.load());
}

bool cTCPConnection::SendUtil(const UBYTE* payload, UWORD count) {
  if (mByeSent.load()) return false;
  return QueueUtilMessage(payload, count);
}

void cTCPConnection::SendPortUtil(UBYTE type, UWORD udpPort) {
  const UBYTE payload[] = {type, kProtocolVersion, UBYTE(udpPort >> 8), UBYTE(udpPort)};
  SendUtil(payload, sizeof(payload));
}

void cTCPConnection::SendHello(UWORD udpPort) { SendPortUtil(kUtilHello, udpPort); }

void cTCPConnection::SendHelloAck(UWORD udpPort) { SendPortUtil(kUtilHelloAck, udpPort); }

void cTCPConnection::Receive() {
  mResumeScheduled = false;
  UBYTE chunk[kReadChunk];
  while (!mByeReceived.load()) {
    if (RouterIsBehind()) {
      if (!mResumeScheduled) {
        mResumeScheduled = true;
        QTimer::singleShot(kEWNetReadPauseRetryMs, this, &cTCPConnection::Receive);
      }
      return;
    }
    const qint64 got = mSocket->read(reinterpret_cast<char*>(chunk), sizeof(chunk));
    if (got <= 0) return;
    MessageReceived(chunk, ULONG(got));
  }
}

void cTCPConnection::Transmit() { WritePackets(kSocketHighWater); }

void cTCPConnection::WritePackets(qint64 highWater) {
  if (mTransmitStopped.load()) {
    StopQueueing();
    return;
  }
  if (!mSocket->isOpen()) return;
  QByteArray packet;
  // What the socket has not written yet stays bounded; the rest waits in the
  // capped queue and bytesWritten brings us back.
  while (mSocket->bytesToWrite() < highWater && TakeNextPacket(packet)) {
    qint64 done = 0;
    while (done < packet.size()) {
      const qint64 written = mSocket->write(packet.constData() + done, packet.size() - done);
      if (written <= 0) return;  // the packet is lost, later ones stay queued
      done += written;
    }
  }
}

// Whatever follows a "BYE", even in the same read, is ignored.
void cTCPConnection::EWNetMessageReceived(cEWNetMessage& message) {
  if (!mByeReceived.load()) DeliverRemoteMessage(message);
}

void cTCPConnection::UtilPacketReceived(UBYTE* data, UWORD length) {
  if (mByeReceived.load()) return;
  if (length == sizeof(kBye) && std::equal(kBye, kBye + sizeof(kBye), data)) {
    mByeReceived.store(true);
    if (!mByeSent.load()) Close(false);
    return;
  }
  UtilMessageReceived(data, length);
}

void cTCPConnection::UtilMessageReceived(UBYTE* data, UWORD length) {
  if (length == 0) {
    EW_REPORT_ERROR("Empty utility packet on connection %d ignored", int(mConnectionId));
    return;
  }
  const UBYTE type = data[0];
  if (type == kUtilRefused) {
    emit RefusedByPeer(length >= 2 ? data[1] : 0);
    return;
  }
  if (type != kUtilHello && type != kUtilHelloAck) {
    if (type == kUtilVersion2) mVersion2.store(true);
    return;
  }
  if (length < 4) {
    EW_REPORT_ERROR("Utility packet of type %d with %d bytes on connection %d ignored", int(type), int(length),
                    int(mConnectionId));
    return;
  }
  const UBYTE version = data[1];
  const ushort port = ushort((ushort(data[2]) << 8) | data[3]);
  if (type == kUtilHello) {
    if (version == kProtocolVersion) {
      emit HelloReceived(port);
    } else {
      EW_SILENT_NOTIFICATION("Connection attempted from unit using protocol version %d, no UDP connection established",
                             int(version));
    }
  } else if (version == kProtocolVersion) {
    emit HelloAckReceived(port);
  } else {
    EW_REPORT_ERROR("CONNECTION HELLO received with version: %d", int(version));
  }
}

QByteArray cTCPConnection::RefusalPacket(UBYTE reason) {
  const UBYTE payload[] = {kUtilRefused, reason};
  QByteArray packet(int(ewframe::EncodedUtilSize(sizeof(payload))), '\0');
  ewframe::EncodeUtil(payload, sizeof(payload), reinterpret_cast<UBYTE*>(packet.data()));
  return packet;
}

void cTCPConnection::Close(bool immediate) {
  if (mClosing.exchange(true)) return;
  if (immediate) {
    if (mSocket->isOpen()) mSocket->abort();
  } else if (mSocket->state() == QAbstractSocket::ConnectedState) {
    // What was sent before the close leaves before the "BYE".
    WritePackets(std::numeric_limits<qint64>::max());
    UBYTE bye[ewframe::kUtilOverhead + sizeof(kBye)];
    ewframe::EncodeUtil(kBye, sizeof(kBye), bye);
    mSocket->write(reinterpret_cast<const char*>(bye), sizeof(bye));
    mSocket->waitForBytesWritten(mByeWaitMs);
    mByeSent.store(true);
    emit SignalByeSent();
  }
  mByeSent.store(true);
  mClosed.store(true);
  emit TCPConnectionDisconnected();
}

void cTCPConnection::StopTransmit() {
  mTransmitStopped.store(true);
  StopQueueing();
}
