#include <QFile>
#include <QSignalSpy>
#include <QtTest>
#include <algorithm>
#include <memory>
#include <thread>

#include "OrvelGUI/Core/AppPaths.h"
#include "OrvelGUI/Core/SavesManager.h"
#include "TestSupport.h"
#include "TransportFixture.h"

namespace {

const QByteArray kBye("BYE");

QByteArray Word(UWORD value) { return QByteArray().append(char(value >> 8)).append(char(value & 0xFF)); }

QByteArray Long(ULONG value) { return Word(UWORD(value >> 16)) + Word(UWORD(value & 0xFFFF)); }

QByteArray Path(const char* text) { return QByteArray(text).append('\0'); }

bool IsMessage(const cPacketCollector::sPacket& p, UWORD destination, UWORD method) {
  return !p.mUtility && p.mMessage.mDestination == destination && p.mMessage.mMethod == method;
}

// Stands in for the application object, which takes the manager's signals.
class cApplicationStandIn : public QObject {
  Q_OBJECT
 public slots:
  void LostComms(UWORD ConnectionId, std::string HostName) { mLost.push_back({ConnectionId, HostName}); }
  void ConnectionDisconnected(UWORD ConnectionId, std::string HostName, bool, QAbstractSocket::SocketError) {
    mDisconnected.push_back({ConnectionId, HostName});
  }

 public:
  std::vector<std::pair<UWORD, std::string>> mLost;
  std::vector<std::pair<UWORD, std::string>> mDisconnected;
};

}  // namespace

class tst_Transport : public QObject {
  Q_OBJECT

 private slots:
  void handshakeMessagesBothWaysAndVersion2() {
    sEWNetTransportSettings settings = cRunningTransport::TestSettings();
    settings.mHeartbeatPeriodMs = 50;
    settings.mUdpBasePort = quint16(FreeUdpPort() - 1);  // connection 1 binds exactly that free port
    cRunningTransport transport(settings);
    auto target = MakeObject<cRecordingObject>("Target");
    cRawPeer peer;
    QVERIFY(peer.Connect(transport.Port()));
    peer.SendHello();
    QCOMPARE(int(peer.AwaitAck()), settings.mUdpBasePort + 1);
    QCOMPARE(int(transport.mManager->NumberOfConnections()), 1);
    QCOMPARE(transport.mManager->HostNameOfConnection(1), std::string("127.0.0.1"));
    QCOMPARE(transport.mManager->DisplayNameOfConnection(1), std::string("127.0.0.1 - Server Side"));
    const quint16 serverUdp = settings.mUdpBasePort + 1;

    // Peer to program: the message arrives stamped with the connection's ID.
    peer.Write(MessagePacket(target->GetHandle(), 0x0077, 4097, Word(0xBEEF), false, 0x5555));
    QVERIFY(WaitUntil([&] { return HasReceived(*target, 4097); }));
    const auto received = ReceivedBy(*target).back();
    QCOMPARE(int(received.mConnectionId), 1);
    QCOMPARE(int(received.mSource), 0x77);
    // Heartbeats come over UDP from the announced port.
    QVERIFY(peer.AwaitUdp([](const auto& p) { return p.mUtility && p.mUtil == QByteArray(1, '\3'); }));
    QCOMPARE(int(peer.mUdpSenderPort), int(serverUdp));

    // Program to peer, over TCP and as a datagram; then version 2 on both.
    const auto send = [&](bool datagram, UWORD method) {
      cEWNetMessage m(2);
      m.SetUWORD(0, method);
      m.mConnectionId = 1;
      m.mDestination = 0x77;
      m.mSource = target->GetHandle();
      m.mMethod = method;
      datagram ? SendDatagram(m) : SendMessage(m);
    };
    const auto arrivedAs = [&](bool datagram, UWORD method, char startByte) {
      const auto* packet = datagram ? peer.AwaitUdp([&](const auto& p) { return IsMessage(p, 0x77, method); })
                                    : peer.AwaitTcp([&](const auto& p) { return IsMessage(p, 0x77, method); });
      if (packet == nullptr) return false;
      const QByteArray expected =
          MessagePacket(0x77, target->GetHandle(), method, Word(method), startByte == '\xf1', 1);
      if (!datagram) return peer.mTcpIn.contains(expected);
      // Heartbeats may arrive in between: any datagram may be the one.
      return std::find(peer.mDatagrams.begin(), peer.mDatagrams.end(), expected) != peer.mDatagrams.end();
    };
    send(false, 4100);
    send(true, 4101);
    QVERIFY(arrivedAs(false, 4100, '\xf0'));
    QVERIFY(arrivedAs(true, 4101, '\xf0'));
    peer.Write(UtilPacket(QByteArray(1, '\5')));
    peer.Write(MessagePacket(0, 0x0078, M_REG_FIND_OBJECT, Path("Target")));
    const auto* found = peer.AwaitTcp([](const auto& p) { return IsMessage(p, 0x78, M_REPLY_OK); });
    QVERIFY(found != nullptr);
    QCOMPARE(found->mMessage.mLength, UWORD(4));  // version 2: the 4-byte answer
    QCOMPARE(found->mMessage.GetULONG(0), ULONG(target->GetHandle()));
    send(false, 4102);
    send(true, 4103);
    QVERIFY(arrivedAs(false, 4102, '\xf1'));
    QVERIFY(arrivedAs(true, 4103, '\xf1'));

    // A datagram message from the peer's UDP port reaches the object.
    peer.SendDatagram(MessagePacket(target->GetHandle(), 0x0079, 4098, Word(7)), serverUdp);
    QVERIFY(WaitUntil([&] { return HasReceived(*target, 4098); }));

    // Connection 2's port is taken: the acknowledge announces the ephemeral one.
    QUdpSocket blocker;
    blocker.bind(QHostAddress(QHostAddress::AnyIPv4), quint16(settings.mUdpBasePort + 2));
    cRawPeer second;
    QVERIFY(second.Connect(transport.Port()));
    second.SendHello();
    const quint16 fallback = second.AwaitAck();
    QVERIFY(fallback != 0 && fallback != settings.mUdpBasePort + 2);
    second.SendDatagram(MessagePacket(target->GetHandle(), 0x0079, 4099, Word(8)), fallback);
    QVERIFY(WaitUntil([&] { return HasReceived(*target, 4099); }));
  }

  void findsAreAnsweredWithTwoBytesAndHostsAndFilesAreRefused() {
    cRunningTransport transport;
    cReportCapture reports;
    auto saves = MakeObject<cSavesManager>();
    auto target = MakeObject<cRecordingObject>("Target");
    cRawPeer peer;
    QVERIFY(peer.Connect(transport.Port()));
    peer.Write(MessagePacket(0, 0x0070, M_REG_FIND_OBJECT, Path("Target")));
    const auto* found = peer.AwaitTcp([](const auto& p) { return IsMessage(p, 0x70, M_REPLY_OK); });
    QVERIFY(found != nullptr);
    QCOMPARE(found->mMessage.mLength, UWORD(2));
    QCOMPARE(found->mMessage.GetUWORD(0), target->GetHandle());

    // A find naming a host would make the program connect out for the peer.
    peer.Write(MessagePacket(0, 0x0071, M_REG_FIND_OBJECT, Path("127.0.0.1/Target")));
    QVERIFY(peer.AwaitTcp([](const auto& p) { return IsMessage(p, 0x71, M_REPLY_FAIL); }));
    QVERIFY(reports.Contains("Find naming a host from connection 1 refused"));
    QCOMPARE(int(transport.mManager->NumberOfConnections()), 1);

    // The peer links itself to the save results, then asks for saves, into a
    // file of its choosing and into the default one: each refused with 0 to
    // the asker, and no file appears.
    const UWORD save = cSavesManager::kMethodSave;
    peer.Write(MessagePacket(saves->GetHandle(), 0x0072, M_OBJECT_ADD_TO_INFORM_LIST,
                             Word(0) + Word(0x72) + Word(save) + Word(save) + QByteArray(2, '\0')));
    const QString chosen = QDir::home().filePath("chosen-by-peer.cfg");
    QFile::remove(orvelpaths::DefaultSaveFile());
    for (const QByteArray& path : {chosen.toLocal8Bit().append('\0'), QByteArray()}) {
      peer.mTcpPackets.mPackets.clear();
      peer.Write(MessagePacket(saves->GetHandle(), 0x0073, save, path));
      const auto* refused = peer.AwaitTcp([&](const auto& p) { return IsMessage(p, 0x73, save); });
      QVERIFY(refused != nullptr);
      QCOMPARE(refused->mMessage.GetUBYTE(0), UBYTE(0));
    }
    QCOMPARE(reports.Count("Save request from connection 1 refused"), 2);
    QVERIFY(!QFile::exists(chosen));
    QVERIFY(!QFile::exists(orvelpaths::DefaultSaveFile()));
    // The link to the results gets none of the refusals, only the asker does:
    // by the time a later find is answered, any would have come.
    peer.Write(MessagePacket(0, 0x0074, M_REG_FIND_OBJECT, Path("Target")));
    QVERIFY(peer.AwaitTcp([](const auto& p) { return IsMessage(p, 0x74, M_REPLY_OK); }));
    QVERIFY(!peer.AwaitTcp([&](const auto& p) { return IsMessage(p, 0x72, save); }, 0));
    // A recall may not name a file either.
    peer.Write(
        MessagePacket(saves->GetHandle(), 0x0073, cSavesManager::kMethodRecall, chosen.toLocal8Bit().append('\0')));
    QVERIFY(WaitUntil([&] { return reports.Contains("File request from connection 1 naming a path refused"); }));
  }

  // A unit whose connection to this one uses version-2 messages links with
  // the 32-bit forms: the link is made and synced, values travel back as
  // version-2 packets, and the 32-bit removal takes the link down again.
  void linksInTheFormsOfVersion2() {
    cRunningTransport transport;
    auto source = MakeObject<cRecordingObject>("Source");
    {
      cRegistryLocker lock;
      source->mValues[0] = 0x1234;
    }
    cRawPeer peer;
    QVERIFY(peer.Connect(transport.Port()));
    peer.Write(UtilPacket(QByteArray(1, '\5')));
    const UWORD kMethod = 4200;
    peer.Write(MessagePacket(source->GetHandle(), 0x0042, M_OBJECT_ADD_TO_INFORM_LIST,
                             Word(0) + Long(0x42) + Long(kMethod) + Long(4096) + QByteArray("\0\1", 2), true));
    // A value reaches the peer, and as a version-2 packet.
    const auto valueArrived = [&](UWORD value) {
      const auto* packet =
          peer.AwaitTcp([&](const auto& p) { return IsMessage(p, 0x42, kMethod) && p.mMessage.GetUWORD(0) == value; });
      const QByteArray version2 = MessagePacket(0x42, source->GetHandle(), kMethod, Word(value), true, 1);
      return packet != nullptr && peer.mTcpIn.contains(version2);
    };
    QVERIFY(valueArrived(0x1234));
    QVERIFY(peer.AwaitTcp([](const auto& p) { return IsMessage(p, 0x42, M_OBJECT_ADD_TO_DELETE_LIST); }));
    {
      cRegistryLocker lock;
      source->Publish(0, 0x5678);
    }
    QVERIFY(valueArrived(0x5678));

    peer.Write(MessagePacket(source->GetHandle(), 0x0042, M_OBJECT_REMOVE_FROM_INFORM_LIST,
                             Word(0) + Long(0x42) + Long(kMethod) + Long(4096), true));
    QVERIFY(peer.AwaitTcp([](const auto& p) { return IsMessage(p, 0x42, M_OBJECT_REMOVE_FROM_DELETE_LIST); }));
    cRegistryLocker lock;
    QCOMPARE(source->GetNumberOfInformListItems(4096), EW_NET_DATA_SCALE(0));
  }

  void shortAndRepeatedPacketsChangeNothing() {
    cRunningTransport transport;
    cReportCapture reports;
    auto target = MakeObject<cRecordingObject>("Target");
    cRawPeer peer;
    QVERIFY(peer.Connect(transport.Port()));
    peer.Write(MessagePacket(target->GetHandle(), 0x0070, M_OBJECT_ADD_TO_INFORM_LIST, QByteArray(1, '\0')));
    peer.Write(UtilPacket(QByteArray("\x01\x03", 2)));  // a hello cut short
    peer.Write(UtilPacket(QByteArray()));
    QVERIFY(WaitUntil([&] { return reports.Contains("Inform-list message of 1 bytes from connection 1 refused"); }));
    QVERIFY(WaitUntil([&] { return reports.Contains("Utility packet of type 1 with 2 bytes on connection 1"); }));
    QVERIFY(ReceivedBy(*target).empty());
    // A hello of another protocol version brings no UDP path up.
    peer.SendHello(2);
    peer.SendHello();
    QVERIFY(peer.AwaitAck() != 0);
    peer.SendHello();
    QVERIFY(WaitUntil([&] { return reports.Contains("Repeated hello on connection 1 ignored"); }));
    int acks = 0;
    for (const auto& p : peer.mTcpPackets.mPackets) acks += p.mUtility && p.mUtil.size() == 4 && p.mUtil[0] == 2;
    QCOMPARE(acks, 1);
    // A "BYE" with a fourth letter is no close.
    peer.Write(UtilPacket("BYEX"));
    WaitUntil([] { return false; }, 100);
    QCOMPARE(int(transport.mManager->NumberOfConnections()), 1);
  }

  void byeIsAnsweredOnceAndClosesTheConnection() {
    cRunningTransport transport;
    cApplicationStandIn application;
    connect(transport.mManager, &cNetworkConnection::ConnectionDisconnected, &application,
            &cApplicationStandIn::ConnectionDisconnected);
    cRawPeer closing;
    QVERIFY(closing.Connect(transport.Port()));
    QVERIFY(WaitUntil([&] { return transport.mManager->NumberOfConnections() == 1; }));
    auto target = MakeObject<cRecordingObject>("Target");
    // What follows the "BYE" in the same write is ignored.
    closing.Write(UtilPacket(kBye) + MessagePacket(target->GetHandle(), 0x0070, 4096, Word(1)));
    QVERIFY(WaitUntil([&] { return transport.mManager->NumberOfConnections() == 0; }));
    QVERIFY(ReceivedBy(*target).empty());
    QVERIFY(WaitUntil([&] { return closing.CountTcpUtil(kBye) == 1; }));
    QCOMPARE(int(application.mDisconnected.size()), 1);

    // Closed from this side, twice: one "BYE", then the socket closes.
    cRawPeer closed;
    QVERIFY(closed.Connect(transport.Port()));
    QVERIFY(WaitUntil([&] { return transport.mManager->NumberOfConnections() == 1; }));
    transport.mManager->DisconnectConnectionID(1);
    transport.mManager->DisconnectConnectionID(1);
    QVERIFY(WaitUntil([&] { return transport.mManager->NumberOfConnections() == 0; }));
    WaitUntil([&] { return closed.mTcp.state() == QAbstractSocket::UnconnectedState; });
    QCOMPARE(closed.CountTcpUtil(kBye), 1);
    QCOMPARE(int(application.mDisconnected.size()), 2);
    QCOMPARE(application.mDisconnected[1].first, UWORD(1));
  }

  // Threads other than the main one ask for connections to be taken down;
  // the main thread takes down each one meant, once, and no other.
  void disconnectRequestsFromOtherThreads() {
    cRunningTransport transport;
    cApplicationStandIn application;
    connect(transport.mManager, &cNetworkConnection::ConnectionDisconnected, &application,
            &cApplicationStandIn::ConnectionDisconnected);
    constexpr int kPeers = 4;
    std::vector<std::unique_ptr<cRawPeer>> peers;
    for (int i = 0; i < kPeers; ++i) {
      peers.push_back(std::make_unique<cRawPeer>());
      QVERIFY(peers.back()->Connect(transport.Port()));
      QVERIFY(WaitUntil([&] { return transport.mManager->NumberOfConnections() == i + 1; }));
    }
    std::thread requester([&] {
      // Each connection is asked for again and again until it is gone, so
      // that requests arrive while the main thread is carrying out others.
      const QDeadlineTimer deadline(5000);
      for (UWORD id = 1; id < kPeers; ++id) {
        while (transport.mManager->HostNameOfConnection(id) == "127.0.0.1" && !deadline.hasExpired()) {
          transport.mManager->DisconnectConnectionID(id);
        }
      }
    });
    // Carried out while the requester still runs: joining it first would
    // order its requests before they are read, whatever carries them.
    QVERIFY(WaitUntil([&] { return transport.mManager->NumberOfConnections() == 1; }));
    requester.join();
    WaitUntil([] { return false; }, 50);
    std::vector<UWORD> ids;
    for (const auto& closed : application.mDisconnected) ids.push_back(closed.first);
    std::sort(ids.begin(), ids.end());
    QCOMPARE(ids, (std::vector<UWORD>{1, 2, 3}));
    QCOMPARE(transport.mManager->ConnectionIdForHost("127.0.0.1"), UWORD(kPeers));
    QVERIFY(WaitUntil([&] { return peers[0]->mTcp.state() == QAbstractSocket::UnconnectedState; }));
    QCOMPARE(peers[kPeers - 1]->mTcp.state(), QAbstractSocket::ConnectedState);
  }

  void theTwentyFirstConnectionIsRefusedAndClosed() {
    cRunningTransport transport;
    cReportCapture reports;
    QSignalSpy counts(transport.mManager, &cNetworkConnection::NumberOfConnectionsChanged);
    std::vector<std::unique_ptr<cRawPeer>> peers;
    for (int i = 0; i < 20; ++i) {
      peers.push_back(std::make_unique<cRawPeer>());
      QVERIFY(peers.back()->Connect(transport.Port()));
    }
    QVERIFY(WaitUntil([&] { return transport.mManager->NumberOfConnections() == 20; }));
    cRawPeer extra;
    QVERIFY(extra.Connect(transport.Port()));
    // The server accepts on this thread, so the wait must keep its events going.
    QVERIFY(WaitUntil([&] {
      extra.Pump();
      return extra.mTcp.state() == QAbstractSocket::UnconnectedState;
    }));
    QVERIFY(reports.Contains("All availible connections are in use"));
    // It is told why before it is closed.
    QCOMPARE(extra.CountTcpUtil(QByteArray("\x06\x02", 2)), 1);
    QCOMPARE(int(transport.mManager->NumberOfConnections()), 20);
    // The lowest free ID goes to the next connection.
    transport.mManager->DisconnectConnectionID(5);
    QVERIFY(WaitUntil([&] { return transport.mManager->NumberOfConnections() == 19; }));
    QVERIFY(transport.mManager->HostNameOfConnection(5).empty());
    cRawPeer next;
    QVERIFY(next.Connect(transport.Port()));
    QVERIFY(WaitUntil([&] { return !transport.mManager->HostNameOfConnection(5).empty(); }));
    QCOMPARE(int(transport.mManager->NumberOfConnections()), 20);
    QCOMPARE(counts.size(), 22);
    QCOMPARE(counts.at(20).at(0).value<UBYTE>(), UBYTE(19));
  }

  // A local find of "host/name" opens a connection to that host without
  // waiting on the router; one that cannot be opened is answered with failure.
  void findsOfRemoteNamesConnectOut() {
    cRunningTransport transport;
    auto asker = MakeObject<cRecordingObject>("Asker");
    auto target = MakeObject<cRecordingObject>("Target");
    const auto find = [&](const std::string& path) {
      cEWNetMessage m;
      m.AppendString(path.c_str());
      m.mConnectionId = 0;
      m.mDestination = 0;
      m.mSource = asker->GetHandle();
      m.mMethod = M_REG_FIND_OBJECT;
      SendMessage(m);
    };
    find(transport.Host() + "/Target");
    QVERIFY(WaitUntil([&] { return HasReceived(*asker, M_REPLY_OK); }));
    const auto answer = ReceivedBy(*asker).back();
    QCOMPARE(int(answer.mConnectionId), int(transport.mManager->ConnectionIdForHost(transport.Host())));
    QCOMPARE(answer.mPayload, (std::vector<UBYTE>{UBYTE(target->GetHandle() >> 8), UBYTE(target->GetHandle())}));
    QVERIFY(transport.mManager->IsConnectedToHost(transport.Host()));
    QVERIFY(!transport.mManager->PeerAddressOfHost(transport.Host()).isNull());

    const std::string closedHost = "127.0.0.1:" + std::to_string(ClosedTcpPort());
    find(closedHost + "/Target");
    QVERIFY(WaitUntil([&] { return HasReceived(*asker, M_REPLY_FAIL); }));
    find("no-such-host/Target");
    QVERIFY(WaitUntil([&] {
      int fails = 0;
      for (const auto& r : ReceivedBy(*asker)) fails += r.mMethod == M_REPLY_FAIL;
      return fails == 2;
    }));
    QCOMPARE(transport.mManager->OutgoingRemoteConnection(closedHost), UWORD(0xFFFF));
    // Only the two ends of the working connection remain.
    QVERIFY(WaitUntil([&] { return transport.mManager->NumberOfConnections() == 2; }));
  }

  // The application's sequence: its slots connected, connections open at
  // shutdown, everything joined.
  void theApplicationSequenceStartsAndStopsWithConnectionsOpen() {
    QObject applicationParent;
    cApplicationStandIn application;
    StartEWNet(0, true);
    cNetworkConnection* manager = cNetworkConnection::Instance();
    QVERIFY(manager != nullptr);
    QCOMPARE(static_cast<cEWNetConnectionManagerBase*>(manager), GetConnectionManager());
    manager->SetSettings(cRunningTransport::TestSettings());
    manager->InitialiseLostComms();
    cReportCapture reports;
    manager->InitialiseLostComms();
    QVERIFY(reports.Contains("Inconsistent state"));
    connect(manager, &cNetworkConnection::LostComms, &application, &cApplicationStandIn::LostComms);
    connect(manager, &cNetworkConnection::ConnectionDisconnected, &application,
            &cApplicationStandIn::ConnectionDisconnected);
    auto* server = new cEWNetTCPServer(&applicationParent, 0);
    cSyscallThread dispatch;
    dispatch.Start();
    cRawPeer peer;
    QVERIFY(peer.Connect(server->serverPort()));
    peer.SendHello();
    QVERIFY(peer.AwaitAck() != 0);
    QVERIFY(manager->OutgoingRemoteConnection("127.0.0.1:" + std::to_string(server->serverPort())) != 0xFFFF);
    QVERIFY(WaitUntil([&] { return manager->NumberOfConnections() == 3; }));

    dispatch.Stop();
    manager->UninitialiseLostComms();
    cNetworkConnection::DeleteInstance();
    QVERIFY(cNetworkConnection::Instance() == nullptr);
    QVERIFY(reports.Contains("Network Connection access after destruction"));
    QVERIFY(GetConnectionManager() != static_cast<cEWNetConnectionManagerBase*>(manager));
    QVERIFY(WaitUntil([&] { return peer.mTcp.state() == QAbstractSocket::UnconnectedState; }));
    StopEWNet();
  }
};

QTEST_GUILESS_MAIN(tst_Transport)
#include "tst_Transport.moc"
