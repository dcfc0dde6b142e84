#pragma once

// A running object network with its transport, as the application starts it,
// and a raw-socket peer that stands in for a remote unit.

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QUdpSocket>
#include <QtTest>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "EWNet/Core/NetFactory.h"
#include "EWNet/QT/ConnectionBase.h"
#include "EWNet/QT/EWNetTCPServer.h"
#include "EWNet/QT/NetworkConnection.h"
#include "NetTestObjects.h"

inline bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 5000) {
  QDeadlineTimer deadline(timeoutMs);
  while (!done()) {
    if (deadline.hasExpired()) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QThread::msleep(1);
  }
  return true;
}

// The application's start and stop sequence around a test.
// Values recorded from any thread and read by the test thread.
template <typename tItem>
class cThreadSafeLog {
 public:
  void Add(const tItem& item) {
    std::lock_guard<std::mutex> lock(mLock);
    mItems.push_back(item);
  }
  std::vector<tItem> Items() const {
    std::lock_guard<std::mutex> lock(mLock);
    return mItems;
  }
  bool Empty() const { return Items().empty(); }

 private:
  mutable std::mutex mLock;
  std::vector<tItem> mItems;
};

struct cRunningTransport {
  explicit cRunningTransport(sEWNetTransportSettings settings = TestSettings()) {
    StartEWNet(0, true);
    mManager = cNetworkConnection::Instance();
    mManager->SetSettings(settings);
    mManager->InitialiseLostComms();
    mServer = std::make_unique<cEWNetTCPServer>(nullptr, 0);
    mDispatch.Start();
    SetSystemRunning(true);
  }
  ~cRunningTransport() {
    SetSystemRunning(false);
    mDispatch.Stop();
    mManager->UninitialiseLostComms();
    cNetworkConnection::DeleteInstance();
    mServer.reset();
    StopEWNet();
  }
  static sEWNetTransportSettings TestSettings() {
    sEWNetTransportSettings settings;
    settings.mUdpBasePort = 0;
    settings.mConnectTimeoutMs = 2000;
    settings.mByeWaitMs = 2000;
    return settings;
  }
  quint16 Port() const { return mServer->serverPort(); }
  std::string Host() const { return "127.0.0.1:" + std::to_string(Port()); }

  cNetworkConnection* mManager = nullptr;
  std::unique_ptr<cEWNetTCPServer> mServer;
  cSyscallThread mDispatch;
};

// Cuts what a peer receives back into packets.
class cPacketCollector : public cConnectionBase {
 public:
  struct sPacket {
    bool mUtility;
    cEWNetMessage mMessage;
    QByteArray mUtil;
  };
  std::vector<sPacket> mPackets;

 protected:
  void EWNetMessageReceived(cEWNetMessage& message) override { mPackets.push_back({false, message, {}}); }
  void UtilMessageReceived(UBYTE* data, UWORD length) override {
    mPackets.push_back({true, cEWNetMessage(), QByteArray(reinterpret_cast<const char*>(data), length)});
  }
};

inline QByteArray UtilPacket(const QByteArray& payload) {
  QByteArray packet(int(ewframe::EncodedUtilSize(UWORD(payload.size()))), '\0');
  ewframe::EncodeUtil(reinterpret_cast<const UBYTE*>(payload.constData()), UWORD(payload.size()),
                      reinterpret_cast<UBYTE*>(packet.data()));
  return packet;
}

inline QByteArray MessagePacket(UWORD destination, UWORD source, UWORD method, const QByteArray& payload,
                                bool version2 = false, UWORD connection = 0) {
  cEWNetMessage message(EW_NET_DATA_SCALE(payload.size()));
  if (!payload.isEmpty()) std::memcpy(message.mData, payload.constData(), size_t(payload.size()));
  message.mConnectionId = connection;
  message.mDestination = destination;
  message.mSource = source;
  message.mMethod = method;
  QByteArray packet(int(ewframe::EncodedMessageSize(message, version2)), '\0');
  ewframe::EncodeMessage(message, version2, reinterpret_cast<UBYTE*>(packet.data()));
  return packet;
}

inline QByteArray PortPayload(UBYTE type, UBYTE version, quint16 port) {
  return QByteArray().append(char(type)).append(char(version)).append(char(port >> 8)).append(char(port & 0xFF));
}

// A remote unit played with raw sockets.
class cRawPeer {
 public:
  bool Connect(quint16 port) { return ConnectFrom(QHostAddress(QHostAddress::LocalHost), port); }
  // From another loopback address (127.0.0.2, say), bound before connecting.
  bool ConnectFrom(const QHostAddress& from, quint16 port) {
    if (from != QHostAddress(QHostAddress::LocalHost) && !mTcp.bind(from, 0)) return false;
    mTcp.connectToHost(QHostAddress::LocalHost, port);
    if (!mTcp.waitForConnected(3000)) return false;
    return mUdp.bind(from, 0);
  }
  void Write(const QByteArray& bytes) {
    mTcp.write(bytes);
    mTcp.flush();
  }
  void SendHello(UBYTE version = 3) { Write(UtilPacket(PortPayload(1, version, mUdp.localPort()))); }
  // Reads what has arrived on TCP and UDP into the collectors.
  void Pump() {
    const QByteArray tcp = mTcp.readAll();
    mTcpIn.append(tcp);
    mTcpPackets.MessageReceived(reinterpret_cast<const UBYTE*>(tcp.constData()), ULONG(tcp.size()));
    while (mUdp.hasPendingDatagrams()) {
      QByteArray datagram(int(qMax<qint64>(mUdp.pendingDatagramSize(), 0)), '\0');
      mUdp.readDatagram(datagram.data(), datagram.size(), &mUdpSender, &mUdpSenderPort);
      mDatagrams.push_back(datagram);
      mUdpPackets.MessageReceived(reinterpret_cast<const UBYTE*>(datagram.constData()), ULONG(datagram.size()));
    }
  }
  // Waits for a TCP packet that matches, pumping the sockets.
  const cPacketCollector::sPacket* AwaitTcp(const std::function<bool(const cPacketCollector::sPacket&)>& matches,
                                            int timeoutMs = 5000) {
    return Await(mTcpPackets, matches, timeoutMs);
  }
  const cPacketCollector::sPacket* AwaitUdp(const std::function<bool(const cPacketCollector::sPacket&)>& matches,
                                            int timeoutMs = 5000) {
    return Await(mUdpPackets, matches, timeoutMs);
  }
  // The acknowledge's UDP port, after a hello.
  quint16 AwaitAck() {
    const auto* ack = AwaitTcp([](const auto& p) { return p.mUtility && p.mUtil.size() == 4 && p.mUtil[0] == 2; });
    return ack != nullptr ? quint16((UBYTE(ack->mUtil[2]) << 8) | UBYTE(ack->mUtil[3])) : 0;
  }
  void SendDatagram(const QByteArray& bytes, quint16 port) { mUdp.writeDatagram(bytes, QHostAddress::LocalHost, port); }
  int CountTcpUtil(const QByteArray& payload) {
    Pump();
    int n = 0;
    for (const auto& packet : mTcpPackets.mPackets) n += packet.mUtility && packet.mUtil == payload;
    return n;
  }

  QTcpSocket mTcp;
  QUdpSocket mUdp;
  QByteArray mTcpIn;
  std::vector<QByteArray> mDatagrams;
  cPacketCollector mTcpPackets;
  cPacketCollector mUdpPackets;
  QHostAddress mUdpSender;
  quint16 mUdpSenderPort = 0;

 private:
  const cPacketCollector::sPacket* Await(cPacketCollector& collector,
                                         const std::function<bool(const cPacketCollector::sPacket&)>& matches,
                                         int timeoutMs) {
    const cPacketCollector::sPacket* found = nullptr;
    WaitUntil(
        [&] {
          Pump();
          for (const auto& packet : collector.mPackets)
            if (matches(packet)) found = &packet;
          return found != nullptr;
        },
        timeoutMs);
    return found;
  }
};

// Net objects of a test are made and deleted while the dispatch thread runs.
template <typename tObject>
using tTestObject = tNetPtr<tObject>;

template <typename tObject, typename... tArgs>
tTestObject<tObject> MakeObject(tArgs&&... args) {
  return MakeNetObject<tObject>(std::forward<tArgs>(args)...);
}

// What a recording object has received so far, read under the registry lock
// that its deliveries hold.
inline std::vector<cRecordingObject::sReceived> ReceivedBy(const cRecordingObject& object) {
  cRegistryLocker lock;
  return object.mReceived;
}

inline bool HasReceived(const cRecordingObject& object, UWORD method) {
  for (const auto& r : ReceivedBy(object))
    if (r.mMethod == method) return true;
  return false;
}

// A TCP port on which nothing listens.
inline quint16 ClosedTcpPort() {
  QTcpServer server;
  server.listen(QHostAddress::LocalHost, 0);
  return server.serverPort();
}

// A UDP port that was free a moment ago.
inline quint16 FreeUdpPort() {
  QUdpSocket probe;
  probe.bind(QHostAddress(QHostAddress::AnyIPv4), 0);
  return probe.localPort();
}
