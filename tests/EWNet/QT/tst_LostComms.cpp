#include <QSignalSpy>
#include <QtTest>
#include <atomic>

#include "EWNet/QT/LostCommsReceiver.h"
#include "EWNet/QT/LostCommsSender.h"
#include "TestSupport.h"
#include "TransportFixture.h"

namespace {

class cFakeHandler : public cLostCommsHandler {
 public:
  void SendUtilDatagramToConnection(const UBYTE* data, UWORD count, UWORD connectionId) override {
    mSent.push_back({connectionId, QByteArray(reinterpret_cast<const char*>(data), count)});
  }
  std::string DisplayNameOfConnection(UWORD connectionId) override { return "unit " + std::to_string(connectionId); }
  void HandleLostComms(UWORD connectionId) override { mLost.push_back(connectionId); }
  std::vector<std::pair<UWORD, QByteArray>> mSent;
  std::vector<UWORD> mLost;
};

void Tick(cLostCommsReceiverWorker& receiver, int times) {
  for (int i = 0; i < times; ++i) receiver.TimerFired();
}

}  // namespace

class tst_LostComms : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { qRegisterMetaType<UWORD>("UWORD"); }

  void aSilentConnectionIsWarnedAtFiveTicksAndLostAtThirty() {
    cReportCapture reports;
    cFakeHandler handler;
    cLostCommsReceiverWorker receiver(&handler, 1000);
    QSignalSpy warnings(&receiver, &cLostCommsReceiverWorker::UnitLowTTLWarning);
    receiver.ReceivedMessageSlot(3);  // before supervision: ignored
    receiver.NewUDPConnectionSlot(3);
    Tick(receiver, 4);
    QCOMPARE(warnings.size(), 0);
    Tick(receiver, 1);
    QCOMPARE(warnings.size(), 1);
    QCOMPARE(warnings.at(0).at(1).toBool(), true);
    // A heartbeat refills the counter; the next tick withdraws the warning.
    receiver.ReceivedMessageSlot(3);
    Tick(receiver, 1);
    QCOMPARE(warnings.size(), 2);
    QCOMPARE(warnings.at(1).at(1).toBool(), false);
    QCOMPARE(int(receiver.TimeToLive(3)), 29);
    Tick(receiver, 28);
    QVERIFY(handler.mLost.empty());
    Tick(receiver, 1);
    QCOMPARE(handler.mLost, std::vector<UWORD>{3});
    QVERIFY(reports.Contains("Communication lost to unit - unit 3"));
    Tick(receiver, 40);
    QCOMPARE(int(handler.mLost.size()), 1);
  }

  void entriesAreSilentWhenClosedAndRestartWithTheirLowFlag() {
    cReportCapture reports;
    cFakeHandler handler;
    cLostCommsReceiverWorker receiver(&handler, 1000);
    QSignalSpy warnings(&receiver, &cLostCommsReceiverWorker::UnitLowTTLWarning);
    receiver.NewUDPConnectionSlot(20);
    Tick(receiver, 3);
    receiver.NewUDPConnectionSlot(20);
    QVERIFY(reports.Contains("Lost Comms Receiver Unit Already in Use, ConnectionId 20"));
    QCOMPARE(int(receiver.TimeToLive(20)), 27);
    Tick(receiver, 3);
    QCOMPARE(warnings.size(), 1);
    receiver.ConnectionClosedSlot(20);
    Tick(receiver, 60);
    QCOMPARE(warnings.size(), 1);
    QVERIFY(handler.mLost.empty());
    receiver.NewUDPConnectionSlot(20);
    Tick(receiver, 1);
    QCOMPARE(warnings.size(), 2);
    QCOMPARE(warnings.at(1).at(1).toBool(), false);
    receiver.NewUDPConnectionSlot(0);
    receiver.NewUDPConnectionSlot(21);  // outside 1 to 20: nothing
    Tick(receiver, 1);
    QCOMPARE(warnings.size(), 2);
  }

  void theSenderBeatsForActiveConnectionsOnly() {
    cReportCapture reports;
    cFakeHandler handler;
    cLostCommsSenderWorker sender(&handler, 1000);
    sender.TimerFired();
    QVERIFY(handler.mSent.empty());
    sender.NewUDPConnectionSlot(20);
    sender.NewUDPConnectionSlot(2);
    sender.NewUDPConnectionSlot(2);
    QVERIFY(reports.Contains("Lost Comms Sender already active, ConnectionId 2"));
    sender.TimerFired();
    QCOMPARE(int(handler.mSent.size()), 2);
    QCOMPARE(handler.mSent[0].first, UWORD(2));
    QCOMPARE(handler.mSent[1].first, UWORD(20));
    QCOMPARE(handler.mSent[1].second, QByteArray(1, '\3'));
    sender.ConnectionClosedSlot(2);
    sender.TimerFired();
    QCOMPARE(int(handler.mSent.size()), 3);
  }

  // A real peer that completes the handshake but never beats: warned, lost,
  // closed without "BYE", and the objects forget its links. One that beats
  // stays.
  void aPeerThatStopsBeatingIsDisconnectedAndForgotten() {
    sEWNetTransportSettings settings = cRunningTransport::TestSettings();
    settings.mHeartbeatPeriodMs = 40;
    cRunningTransport transport(settings);
    cReportCapture reports;
    // The supervision emits from its own thread: record under a lock rather
    // than through a signal spy, which the test thread reads meanwhile.
    cThreadSafeLog<std::pair<UWORD, bool>> warnings;
    cThreadSafeLog<UWORD> lost;
    QObject::connect(
        transport.mManager, &cNetworkConnection::UnitLowTTLWarning, transport.mManager,
        [&warnings](UWORD id, bool low) {
          warnings.Add({id, low});
        },
        Qt::DirectConnection);
    // A lost connection is told on the main thread, once it is taken down.
    std::atomic<bool> toldElsewhereOrEarly{false};
    QObject::connect(
        transport.mManager, &cNetworkConnection::LostComms, transport.mManager,
        [&](UWORD id, const std::string&) {
          lost.Add(id);
          const bool onMain = QThread::currentThread() == QCoreApplication::instance()->thread();
          if (!onMain || !transport.mManager->HostNameOfConnection(id).empty()) toldElsewhereOrEarly = true;
        },
        Qt::DirectConnection);
    auto source = MakeObject<cRecordingObject>("Source");

    cRawPeer beating;
    QVERIFY(beating.Connect(transport.Port()));
    beating.SendHello();
    const quint16 beatingServerPort = beating.AwaitAck();
    cRawPeer silent;
    QVERIFY(silent.Connect(transport.Port()));
    silent.SendHello();
    QVERIFY(silent.AwaitAck() != 0);
    QElapsedTimer elapsed;  // supervision started just before the acknowledge
    elapsed.start();
    // The silent peer links itself to parameter 0 of the source.
    silent.Write(MessagePacket(source->GetHandle(), 0x0042, M_OBJECT_ADD_TO_INFORM_LIST,
                               QByteArray::fromHex("ffff0042100010000000")));
    const auto links = [&] {
      cRegistryLocker lock;
      return int(source->GetNumberOfInformListItems(PARAMETER_BASE));
    };
    QVERIFY(WaitUntil([&] { return links() == 1; }));

    bool beatsArrive = true;
    QVERIFY(WaitUntil(
        [&] {
          beating.SendDatagram(UtilPacket(QByteArray(1, '\3')), beatingServerPort);
          beating.Pump();
          return !lost.Empty();
        },
        5000));
    QCOMPARE(lost.Items().at(0), UWORD(2));
    QVERIFY(!toldElsewhereOrEarly);
    QVERIFY(elapsed.elapsed() >= 25 * settings.mHeartbeatPeriodMs);
    const auto warned = warnings.Items();
    QCOMPARE(warned.at(0).first, UWORD(2));
    QCOMPARE(warned.at(0).second, true);
    QVERIFY(reports.Contains("Communication lost to unit - 127.0.0.1 - Server Side"));
    QVERIFY(WaitUntil([&] { return silent.mTcp.state() == QAbstractSocket::UnconnectedState; }));
    QCOMPARE(silent.CountTcpUtil("BYE"), 0);
    QVERIFY(WaitUntil([&] { return links() == 0; }));
    QCOMPARE(int(transport.mManager->NumberOfConnections()), 1);
    for (const auto& warning : warnings.Items()) beatsArrive &= warning.first != 1;
    QVERIFY(beatsArrive);
    // The program's own heartbeats reach the peer it supervises.
    QVERIFY(beating.AwaitUdp([](const auto& p) { return p.mUtility && p.mUtil == QByteArray(1, '\3'); }));
  }
};

QTEST_GUILESS_MAIN(tst_LostComms)
#include "tst_LostComms.moc"
