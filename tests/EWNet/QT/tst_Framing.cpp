#include <QRandomGenerator>
#include <QtTest>
#include <vector>

#include "EWNet/QT/ConnectionBase.h"
#include "EWNet/QT/UDPConnection.h"
#include "TestSupport.h"
#include "TransportFixture.h"

namespace {

// Records every packet as the bytes it would be sent as, so that what was
// received can be compared with what was framed.
class cRecordingConnection : public cConnectionBase {
 public:
  cRecordingConnection() : cConnectionBase(7) {}
  std::vector<QByteArray> mReceived;  // messages re-encoded (version 1), utility payloads prefixed "U:"

 protected:
  void EWNetMessageReceived(cEWNetMessage& message) override {
    QByteArray bytes(int(ewframe::EncodedMessageSize(message, false)), '\0');
    ewframe::EncodeMessage(message, false, reinterpret_cast<UBYTE*>(bytes.data()));
    mReceived.push_back(bytes);
  }
  void UtilMessageReceived(UBYTE* data, UWORD length) override {
    mReceived.push_back("U:" + QByteArray(reinterpret_cast<const char*>(data), length));
  }
};

void Feed(cConnectionBase& connection, const QByteArray& bytes) {
  connection.MessageReceived(reinterpret_cast<const UBYTE*>(bytes.constData()), ULONG(bytes.size()));
}

QByteArray Hex(const char* hex) { return QByteArray::fromHex(hex); }

const QByteArray kFindPayload("Target\0", 7);

// A few valid packets of each kind.
QByteArray MixedStream(QRandomGenerator& random, std::vector<QByteArray>* expected) {
  QByteArray stream;
  const int packets = 1 + int(random.bounded(8));
  for (int i = 0; i < packets; ++i) {
    QByteArray payload(int(random.bounded(40)), '\0');
    for (char& c : payload) c = char(random.bounded(256));
    const UWORD method = UWORD(4096 + random.bounded(8));
    switch (random.bounded(3)) {
      case 0:
        stream += MessagePacket(5, 6, method, payload, false, 9);
        if (expected) expected->push_back(MessagePacket(5, 6, method, payload, false, 9));
        break;
      case 1:
        stream += MessagePacket(5, 6, method, payload, true, 9);
        if (expected) expected->push_back(MessagePacket(5, 6, method, payload, false, 9));
        break;
      default:
        stream += UtilPacket(payload);
        if (expected) expected->push_back("U:" + payload);
        break;
    }
  }
  return stream;
}

}  // namespace

class tst_Framing : public QObject {
  Q_OBJECT

 private slots:
  void encodesBothMessageVersionsAndUtilityPackets() {
    QCOMPARE(MessagePacket(0x0102, 0x0304, 0x1005, Hex("aabb"), false, 0x0708).toHex(), QByteArray("f00708010203041005"
                                                                                                   "0002aabbf7"));
    QCOMPARE(MessagePacket(0x0102, 0x0304, 0x1005, Hex("aabb"), true, 0x0708).toHex(),
             QByteArray("f10708000001020000030400001005"
                        "00000002aabbf8"));
    QCOMPARE(UtilPacket("BYE").toHex(), QByteArray("e00003425945e7"));
    QCOMPARE(UtilPacket(QByteArray()).toHex(), QByteArray("e00000e7"));
  }

  void splitPacketsGiveTheSameMessagesAsWholeOnes() {
    const QByteArray packet = MessagePacket(3, 4, 4097, Hex("0102030405"), false, 2);
    cRecordingConnection whole;
    Feed(whole, packet);
    cRecordingConnection bytewise;
    for (char c : packet) Feed(bytewise, QByteArray(1, c));
    QCOMPARE(int(whole.mReceived.size()), 1);
    QCOMPARE(bytewise.mReceived, whole.mReceived);
    QCOMPARE(whole.mReceived[0], packet);
    QCOMPARE(int(whole.MessagesReceived()), 1);
  }

  void garbageIsCountedAndSkippedAndTwoPacketsInAChunkArriveInOrder() {
    cRecordingConnection connection;
    const QByteArray first = MessagePacket(1, 2, 4096, Hex("11"));
    const QByteArray second = UtilPacket(Hex("0203"));
    Feed(connection, Hex("0001e1f2ff") + first + second);
    QCOMPARE(int(connection.DiscardedBytes()), 5);
    QCOMPARE(int(connection.mReceived.size()), 2);
    QCOMPARE(connection.mReceived[0], first);
    QCOMPARE(connection.mReceived[1], QByteArray("U:") + Hex("0203"));
  }

  void aMissingEndByteResynchronisesOnThatByte_data() {
    QTest::addColumn<QByteArray>("broken");
    QTest::addColumn<QString>("report");
    QByteArray v1 = MessagePacket(1, 2, 4096, Hex("11"));
    v1.chop(1);
    QByteArray v2 = MessagePacket(1, 2, 4096, Hex("11"), true);
    v2.chop(1);
    QByteArray util = UtilPacket(Hex("0102"));
    util.chop(1);
    QTest::newRow("version 1") << v1 << "Invalid EWNetMessage Data Packet! - No message delimiter mConnectionId = 7";
    QTest::newRow("version 2") << v2 << "Invalid EWNetMessage Data Packet! - No message delimiter mConnectionId = 7";
    QTest::newRow("utility") << util << "Invalid Util Data Packet! - No message delimiter, mConnectionId = 7";
  }
  void aMissingEndByteResynchronisesOnThatByte() {
    QFETCH(QByteArray, broken);
    QFETCH(QString, report);
    cReportCapture reports;
    cRecordingConnection connection;
    // The byte where the end byte belongs starts the next packet.
    const QByteArray next = MessagePacket(9, 8, 4098, Hex("2233"));
    Feed(connection, broken + next);
    QCOMPARE(int(connection.mReceived.size()), 1);
    QCOMPARE(connection.mReceived[0], next);
    QCOMPARE(reports.Count(report.toStdString()), 1);
    QCOMPARE(connection.ReceivingState(), cConnectionBase::kHunting);
  }

  void emptyPayloadsAndReservedBytes() {
    cRecordingConnection connection;
    Feed(connection, Hex("e00000e7"));
    // Version 2 with every reserved pair set: they are ignored.
    Feed(connection, Hex("f10001ffff0002ffff0003ffff1000ffff00015af8"));
    QCOMPARE(int(connection.mReceived.size()), 2);
    QCOMPARE(connection.mReceived[0], QByteArray("U:"));
    QCOMPARE(connection.mReceived[1], MessagePacket(2, 3, 0x1000, Hex("5a"), false, 1));
  }

  // The end byte of the longest version-2 packet lies beyond 16 bits of position.
  void theLongestPacketsOfEachKindArrive() {
    cRecordingConnection connection;
    QByteArray payload(0xFFFF, '\x5a');
    Feed(connection,
         MessagePacket(1, 2, 4096, payload, true) + MessagePacket(1, 2, 4096, payload) + UtilPacket(payload));
    QCOMPARE(int(connection.mReceived.size()), 3);
    QCOMPARE(connection.mReceived[0], MessagePacket(1, 2, 4096, payload));
    QCOMPARE(connection.mReceived[2].size(), 0xFFFF + 2);
  }

  // Random and mutated streams in random chunks: no fault, and once any
  // broken packet has run out the parser is back in step.
  void fuzzedStreamsAlwaysComeBackInStep() {
    cReportCapture reports;  // the broken packets are reported; the lines are not wanted here
    QRandomGenerator random(20240611);
    const QByteArray drain(0xFFFF + 24, '\0');
    const QByteArray sentinel = MessagePacket(0x1234, 0x4321, 0x1111, Hex("c0ffee"), false, 3);
    for (int round = 0; round < 400; ++round) {
      QByteArray stream = MixedStream(random, nullptr);
      if (round % 4 == 0) {
        stream = QByteArray(int(random.bounded(600)), '\0');
        for (char& c : stream) c = char(random.bounded(256));
      } else {
        for (int m = int(random.bounded(6)); m > 0; --m) {
          const int at = int(random.bounded(stream.size()));
          switch (random.bounded(3)) {
            case 0:
              stream[at] = char(random.bounded(256));
              break;
            case 1:
              stream.insert(at, char(random.bounded(256)));
              break;
            default:
              stream.remove(at, 1 + int(random.bounded(4)));
              break;
          }
          if (stream.isEmpty()) break;
        }
      }
      cRecordingConnection connection;
      const QByteArray all = stream + drain + sentinel;
      for (int at = 0; at < all.size();) {
        const int chunk = 1 + int(random.bounded(round % 2 ? 7 : 3000));
        Feed(connection, all.mid(at, chunk));
        at += chunk;
      }
      QVERIFY2(!connection.mReceived.empty() && connection.mReceived.back() == sentinel, qPrintable(stream.toHex()));
      QCOMPARE(connection.ReceivingState(), cConnectionBase::kHunting);
    }
    // Unbroken streams arrive exactly as framed, however they are cut.
    for (int round = 0; round < 200; ++round) {
      std::vector<QByteArray> expected;
      const QByteArray stream = MixedStream(random, &expected);
      cRecordingConnection connection;
      for (int at = 0; at < stream.size();) {
        const int chunk = 1 + int(random.bounded(20));
        Feed(connection, stream.mid(at, chunk));
        at += chunk;
      }
      QCOMPARE(connection.mReceived, expected);
    }
  }

  // Datagrams through a paired UDP connection: each stands alone, foreign
  // senders are ignored, and random ones leave the receiver in step.
  void datagramsStandAloneAndFuzzedOnesDoNoHarm() {
    cNetworkScope network;
    cReportCapture reports;
    QUdpSocket peer;
    QVERIFY(peer.bind(QHostAddress(QHostAddress::LocalHost), 0));
    QUdpSocket stranger;
    QVERIFY(stranger.bind(QHostAddress(QHostAddress::LocalHost), 0));
    cUDPConnection connection(4, QHostAddress(QHostAddress::LocalHost), 0, 1 << 20);
    int heartbeats = 0;
    connection.SetUtilHandler([&](const UBYTE* data, UWORD length) { heartbeats += length == 1 && data[0] == 3; });
    const cEWNetMessage probe;
    QVERIFY(!connection.SendEWNetMessage(probe, false));  // not paired yet: nothing is queued
    QCOMPARE(int(connection.QueuedBytes()), 0);
    connection.SetRemoteUDPPort(peer.localPort());
    auto* router = GetRegistryRouter();
    const auto deliveredAfter = [&](const QByteArray& datagram, QUdpSocket& from) {
      const ULONG before = router->GetNumberOfQueuedMessages();
      from.writeDatagram(datagram, QHostAddress::LocalHost, connection.LocalPort());
      WaitUntil([&] { return router->GetNumberOfQueuedMessages() > before; }, 300);
      return int(router->GetNumberOfQueuedMessages() - before);
    };
    const QByteArray message = MessagePacket(7, 8, 4096, Hex("0102"));
    QCOMPARE(deliveredAfter(message, peer), 1);
    QCOMPARE(deliveredAfter(message, stranger), 0);
    // A packet cut at the end of one datagram is not finished by the next.
    QCOMPARE(deliveredAfter(message.left(6), peer), 0);
    QVERIFY(reports.Contains("ends inside a packet"));
    QCOMPARE(deliveredAfter(message.mid(6), peer), 0);
    QCOMPARE(deliveredAfter(UtilPacket(Hex("03")) + message, peer), 1);
    QCOMPARE(heartbeats, 1);

    QRandomGenerator random(77);
    for (int i = 0; i < 300; ++i) {
      QByteArray datagram = i % 2 ? MixedStream(random, nullptr) : QByteArray(int(random.bounded(200)), '\0');
      for (int m = int(random.bounded(4)); m > 0 && !datagram.isEmpty(); --m)
        datagram[int(random.bounded(datagram.size()))] = char(random.bounded(256));
      peer.writeDatagram(datagram, QHostAddress::LocalHost, connection.LocalPort());
      if (i % 50 == 0) QCoreApplication::processEvents();
    }
    WaitUntil([&] { return false; }, 200);
    QCOMPARE(connection.ReceivingState(), cConnectionBase::kHunting);
    QCOMPARE(deliveredAfter(message, peer), 1);
    router->DoWork();
  }

  // The accepting side binds 51324 + ID unless that port is taken.
  void udpBindsTheAskedPortOrFallsBackToAnEphemeralOne() {
    QUdpSocket probe;
    QVERIFY(probe.bind(QHostAddress(QHostAddress::AnyIPv4), 0));
    const quint16 taken = probe.localPort();
    cUDPConnection fallback(3, QHostAddress(QHostAddress::LocalHost), taken, 1024);
    QVERIFY(fallback.LocalPort() != 0);
    QVERIFY(fallback.LocalPort() != taken);
    probe.close();
    cUDPConnection asked(3, QHostAddress(QHostAddress::LocalHost), taken, 1024);
    QCOMPARE(asked.LocalPort(), taken);
  }
};

QTEST_GUILESS_MAIN(tst_Framing)
#include "tst_Framing.moc"
