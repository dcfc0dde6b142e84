// Who may connect to the object network: the allow list as a user writes
// it, and real TCP peers on the loopback range, one of them bound to
// 127.0.0.2, admitted or turned away when the server accepts them.

#include <QNetworkInterface>
#include <QtTest>

#include "EWNet/QT/TCPConnection.h"
#include "EWNet/QT/TransportFixture.h"
#include "TestSupport.h"

namespace {

const QHostAddress kSecondLoopback(QStringLiteral("127.0.0.2"));
const QByteArray kNotAllowedNotice = QByteArray("\x06\x01", 2);
const char kRefusalOfSecond[] =
    "Refused object-network connection from 127.0.0.2: not in the allowed peers (network/allow)";

QByteArray Word(UWORD value) { return QByteArray().append(char(value >> 8)).append(char(value & 0xFF)); }

// The peer is closed by the far side (after the notice it was sent).
bool ClosedByServer(cRawPeer& peer) {
  return WaitUntil([&] {
    peer.Pump();
    return peer.mTcp.state() == QAbstractSocket::UnconnectedState;
  });
}

}  // namespace

class tst_PeerAdmission : public QObject {
  Q_OBJECT

 private slots:
  void allowListAsWritten_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("admitted");
    QTest::addColumn<QStringList>("refused");
    QTest::addColumn<bool>("remote");
    QTest::addColumn<QStringList>("invalid");
    const QStringList none;
    QTest::newRow("unset: loopback") << "" << QStringList{"127.0.0.1", "127.0.0.2", "::1", "::ffff:127.0.0.1"}
                                     << QStringList{"192.168.1.5", "10.0.0.1", "::2"} << false << none;
    QTest::newRow("off: loopback") << " Off " << QStringList{"127.0.0.1", "127.255.0.9", "::1"}
                                   << QStringList{"192.168.1.5"} << false << none;
    QTest::newRow("one loopback address") << "127.0.0.1" << QStringList{"127.0.0.1", "::ffff:127.0.0.1"}
                                          << QStringList{"127.0.0.2", "::1"} << false << none;
    QTest::newRow("range and address") << "192.168.1.0/24, 10.0.0.7,"
                                       << QStringList{"192.168.1.0", "192.168.1.255", "10.0.0.7"}
                                       << QStringList{"192.168.2.1", "10.0.0.8", "127.0.0.1"} << true << none;
    QTest::newRow("IPv6 range") << "fd00::/8" << QStringList{"fd12::5"} << QStringList{"fe80::1", "127.0.0.1"} << true
                                << none;
    QTest::newRow("any") << "any" << QStringList{"8.8.8.8", "127.0.0.1", "2001:db8::1"} << none << true << none;
    // A mistyped entry admits no one, and the rest of the list stays as it is.
    QTest::newRow("invalid entries narrow") << "192.168.1.300, 10.0.0.7, 10.0.0.0/40, lan" << QStringList{"10.0.0.7"}
                                            << QStringList{"192.168.1.3", "10.0.0.8", "127.0.0.1"} << true
                                            << QStringList{"192.168.1.300", "10.0.0.0/40", "lan"};
    QTest::newRow("nothing valid") << "everyone" << none << QStringList{"127.0.0.1", "192.168.1.1"} << false
                                   << QStringList{"everyone"};
  }
  void allowListAsWritten() {
    QFETCH(QString, text);
    QFETCH(QStringList, admitted);
    QFETCH(QStringList, refused);
    QFETCH(bool, remote);
    QFETCH(QStringList, invalid);
    const cPeerAllowList list = cPeerAllowList::Parse(text);
    for (const QString& address : admitted) QVERIFY2(list.Admits(QHostAddress(address)), qPrintable(address));
    for (const QString& address : refused) QVERIFY2(!list.Admits(QHostAddress(address)), qPrintable(address));
    QCOMPARE(list.AdmitsRemotePeers(), remote);
    QCOMPARE(list.InvalidEntries(), invalid);
    QCOMPARE(list.IsValid(), invalid.isEmpty());
    QVERIFY(!list.Admits(QHostAddress()));
  }

  // "local" follows the machine's interfaces as they are.
  void localSubnetsAdmitThisMachinesNetworks() {
    const cPeerAllowList list = cPeerAllowList::Parse("local");
    QVERIFY(list.AdmitsRemotePeers());
    QCOMPARE(list.Describe(), QStringList{"local"});
    int checked = 0;
    for (const QNetworkInterface& interface : QNetworkInterface::allInterfaces()) {
      if (!interface.flags().testFlag(QNetworkInterface::IsUp)) continue;
      for (const QNetworkAddressEntry& entry : interface.addressEntries()) {
        QVERIFY2(list.Admits(entry.ip()), qPrintable(entry.ip().toString()));
        ++checked;
      }
    }
    QVERIFY(checked > 0);  // the loopback interface at least
    // An address of the documentation ranges that is on no interface here.
    for (const char* outside : {"198.51.100.1", "203.0.113.1", "192.0.2.1"}) {
      const QHostAddress address(QString::fromLatin1(outside));
      bool onInterface = false;
      for (const auto& subnet : cPeerAllowList::LocalSubnets())
        onInterface |= address.isInSubnet(subnet.first, subnet.second);
      if (onInterface) continue;
      QVERIFY(!list.Admits(address));
      return;
    }
    QFAIL("every documentation range is on an interface");
  }

  void peerFromSecondLoopbackAddress_data() {
    QTest::addColumn<QString>("allowed");
    QTest::addColumn<bool>("admitted");
    QTest::newRow("only 127.0.0.1") << "127.0.0.1" << false;
    QTest::newRow("lists 127.0.0.2") << "127.0.0.1, 127.0.0.2" << true;
    QTest::newRow("range") << "127.0.0.2/31" << true;
    QTest::newRow("any") << "any" << true;
  }
  // The same peer, bound to 127.0.0.2, sends a hello and a parameter write:
  // admitted, it is answered and its write arrives; refused, it gets the
  // notice and is closed, no ID is taken and its bytes reach no object.
  void peerFromSecondLoopbackAddress() {
    QFETCH(QString, allowed);
    QFETCH(bool, admitted);
    cRunningTransport transport;
    cReportCapture reports;
    transport.mManager->SetAllowedPeers(cPeerAllowList::Parse(allowed), "network/allow");
    auto target = MakeObject<cRecordingObject>("Admission Target");
    QSignalSpy counts(transport.mManager, &cNetworkConnection::NumberOfConnectionsChanged);

    cRawPeer peer;
    QVERIFY(peer.ConnectFrom(kSecondLoopback, transport.Port()));
    peer.SendHello();
    peer.Write(MessagePacket(target->GetHandle(), 0x0042, 4097, Word(0xBAD)));
    if (admitted) {
      QVERIFY(peer.AwaitAck() != 0);
      QVERIFY(WaitUntil([&] { return HasReceived(*target, 4097); }));
      QCOMPARE(transport.mManager->HostNameOfConnection(1), std::string("127.0.0.2"));
      QCOMPARE(reports.Count("Refused object-network connection"), 0);
      return;
    }
    QVERIFY(ClosedByServer(peer));
    QCOMPARE(peer.mTcpIn, cTCPConnection::RefusalPacket(cTCPConnection::kRefusedNotAllowed));
    QCOMPARE(peer.CountTcpUtil(kNotAllowedNotice), 1);
    // Refused again from the same address: one report for both.
    cRawPeer again;
    QVERIFY(again.ConnectFrom(kSecondLoopback, transport.Port()));
    QVERIFY(ClosedByServer(again));
    QCOMPARE(reports.Count(kRefusalOfSecond), 1);
    QCOMPARE(counts.size(), 0);
    // An admitted peer's write, sent after the refused ones', arrives alone.
    cRawPeer local;
    QVERIFY(local.Connect(transport.Port()));
    local.Write(MessagePacket(target->GetHandle(), 0x0043, 4098, Word(1)));
    QVERIFY(WaitUntil([&] { return HasReceived(*target, 4098); }));
    const auto received = ReceivedBy(*target);
    QCOMPARE(int(received.size()), 1);
    QCOMPARE(int(received.front().mSource), 0x43);
  }

  // A new list is asked for with every accepted peer: a change holds for the
  // next one at once, while connected peers stay.
  void aChangedListHoldsForTheNextPeer() {
    cRunningTransport transport;
    cReportCapture reports;
    auto allowed = std::make_shared<std::shared_ptr<const cPeerAllowList>>(
        std::make_shared<const cPeerAllowList>(cPeerAllowList::Parse("127.0.0.2")));
    transport.mManager->SetAllowedPeersSource([allowed] { return *allowed; }, "network/allow");
    cRawPeer first;
    QVERIFY(first.ConnectFrom(kSecondLoopback, transport.Port()));
    first.SendHello();
    QVERIFY(first.AwaitAck() != 0);

    *allowed = std::make_shared<const cPeerAllowList>(cPeerAllowList::Parse("127.0.0.1"));
    cRawPeer second;
    QVERIFY(second.ConnectFrom(kSecondLoopback, transport.Port()));
    QVERIFY(ClosedByServer(second));
    QCOMPARE(int(transport.mManager->NumberOfConnections()), 1);
    QCOMPARE(first.mTcp.state(), QAbstractSocket::ConnectedState);

    // Refused again under a list that refuses it once more: reported anew.
    *allowed = std::make_shared<const cPeerAllowList>(cPeerAllowList::Parse("127.0.0.3"));
    cRawPeer third;
    QVERIFY(third.ConnectFrom(kSecondLoopback, transport.Port()));
    QVERIFY(ClosedByServer(third));
    QCOMPARE(reports.Count(kRefusalOfSecond), 2);

    *allowed = std::make_shared<const cPeerAllowList>(cPeerAllowList::Any());
    cRawPeer fourth;
    QVERIFY(fourth.ConnectFrom(kSecondLoopback, transport.Port()));
    fourth.SendHello();
    QVERIFY(fourth.AwaitAck() != 0);
    QCOMPARE(int(transport.mManager->NumberOfConnections()), 2);
  }
};

QTEST_GUILESS_MAIN(tst_PeerAdmission)
#include "tst_PeerAdmission.moc"
