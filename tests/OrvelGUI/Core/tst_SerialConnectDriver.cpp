// The connect driver as the user interface reaches it: messages 4096 to 4102
// over the object network, with the link talking to the simulated device.

#include <QtTest>

#include "DevSim/SimFixture.h"
#include "EWNet/Core/NetFactory.h"
#include "NetTestObjects.h"
#include "OrvelGUI/Core/LinkSupport.h"
#include "OrvelGUI/Core/SerialConnectDriver.h"
#include "OrvelGUI/Core/SerialInterface.h"
#include "TestSupport.h"

namespace {

constexpr UWORD kConnect = 4096, kPortList = 4097, kVersion = 4098, kStatus = 4099, kSyncDone = 4100, kDelivery = 4101,
                kPorts = 4102;

std::vector<UBYTE> ConnectPayload(bool connect, const QByteArray& name, bool terminate = true) {
  std::vector<UBYTE> payload{UBYTE(connect ? 1 : 0)};
  payload.insert(payload.end(), name.begin(), name.end());
  if (terminate) payload.push_back(0);
  return payload;
}

// A stand-in for the front end's backend, linked to all published parameters.
struct sDriverUnderTest {
  cNetworkScope mNetwork;
  std::unique_ptr<cSerialInterface> mLink;
  std::unique_ptr<cSerialConnectDriver> mDriver;
  std::unique_ptr<cRecordingObject> mFront;

  sDriverUnderTest() {
    mLink = std::make_unique<cSerialInterface>();
    mLink->SetMeterPolling(false);
    mDriver = std::make_unique<cSerialConnectDriver>(mLink.get());
    mFront = std::make_unique<cRecordingObject>("Front End", 5);
    for (UWORD method : {kPortList, kVersion, kStatus, kPorts}) {
      mDriver->AddObjectToInformList(0, mFront->GetHandle(), method, method, 0, 0, false);
    }
  }
  ~sDriverUnderTest() {
    mFront.reset();
    mDriver.reset();
    mLink.reset();
  }
  void Send(UWORD method, std::vector<UBYTE> payload = {}) {
    Post(mFront->GetHandle(), mDriver->GetHandle(), method, std::move(payload));
    Deliver();
  }
  // The payload of the newest message the front end received on `method`.
  QByteArray Last(UWORD method) const {
    for (auto it = mFront->mReceived.rbegin(); it != mFront->mReceived.rend(); ++it) {
      if (it->mMethod == method) return Bytes(it->mPayload);
    }
    return QByteArray("<none>");
  }
  bool TickUntilState(cSerialInterface::LinkState state) {
    return TickUntil(
        [&] {
          mLink->ServiceAndWait();
          if (state == cSerialInterface::CONNECTED) TakeReadBack(*mLink);
        },
        [&] { return mLink->GetState() == state; });
  }
  // A beat of both threads, by hand: the link's step, then the driver's tick.
  void Beat() {
    mLink->ServiceAndWait();
    mDriver->ActionTick();
    Deliver();
  }
  // The delivery answers the front end received, oldest first.
  QByteArray DeliveryAnswers() const {
    QByteArray answers;
    for (const auto& received : mFront->mReceived) {
      if (received.mMethod == kDelivery) answers += Bytes(received.mPayload);
    }
    return answers;
  }
};

class cTickHook : public cActionTickParent {
 public:
  void ActionTickHook() override {
    if (cSerialInterface* link = mLink.load()) link->Service();
  }
  std::atomic<cSerialInterface*> mLink{nullptr};
};

}  // namespace

class tst_SerialConnectDriver : public QObject {
  Q_OBJECT

 private slots:
  void init() { qunsetenv("ORVEL_SERIAL_PORTS"); }

  void connectAndDisconnect() {
    auto device = StartSimulator();
    QVERIFY(device);
    const QString path = QString::fromStdString(device->DevicePath());
    UseDevicePorts({path});
    sDriverUnderTest t;
    QCOMPARE(QString(t.mDriver->GetName()), QString("Serial Connection Driver NetObject"));

    // The request is answered with the state it finds: still disconnected.
    t.Send(kConnect, ConnectPayload(true, path.section('/', -1).toUtf8()));
    QCOMPARE(t.Last(kConnect), QByteArray(1, '\0'));
    QVERIFY(t.TickUntilState(cSerialInterface::CONNECTED));
    t.Send(kStatus);
    QCOMPARE(t.Last(kStatus), QByteArray("\x02\x00", 2));
    t.Send(kVersion);
    QCOMPARE(t.Last(kVersion), QByteArray("V1.4\0\0\0\0", 8));

    t.Send(kConnect, ConnectPayload(false, QByteArray()));
    QCOMPARE(t.Last(kConnect), QByteArray(1, '\x02'));
    QVERIFY(t.TickUntilState(cSerialInterface::DISCONNECTED));
    QVERIFY(device->WaitForReceived(5, 2000));
    QCOMPARE(ReceivedTypes(*device), QString("0,7,9,3,15"));
    t.Send(kStatus);
    QCOMPARE(t.Last(kStatus), QByteArray("\x00\x00", 2));
    t.Send(kVersion);
    QCOMPARE(t.Last(kVersion), QByteArray(8, '\0'));
  }

  void connectRequestPayloads_data() {
    QTest::addColumn<bool>("terminated");
    QTest::newRow("NUL-terminated name") << true;
    QTest::newRow("name running to the end of the payload") << false;
  }
  void connectRequestPayloads() {
    QFETCH(bool, terminated);
    auto device = StartSimulator();
    QVERIFY(device);
    const QString path = QString::fromStdString(device->DevicePath());
    UseDevicePorts({"/nonexistent-orvel-dir/ttyFIRST", path});
    sDriverUnderTest t;
    t.Send(kConnect, ConnectPayload(true, path.section('/', -1).toUtf8(), terminated));
    QVERIFY(t.TickUntilState(cSerialInterface::CONNECTED));
  }

  void malformedConnectRequest() {
    cReportCapture reports;
    sDriverUnderTest t;
    t.Send(kConnect);
    QVERIFY(reports.Contains("without payload"));
    QCOMPARE(t.Last(kConnect), QByteArray("<none>"));
    t.mLink->ServiceAndWait();
    QCOMPARE(t.mLink->GetState(), cSerialInterface::DISCONNECTED);
    QCOMPARE(t.mLink->TakeLastError(), UBYTE(0));
  }

  void errorIsPublishedOnce() {
    UseDevicePorts({"/nonexistent-orvel-dir/ttyGONE"});
    sDriverUnderTest t;
    t.Send(kConnect, ConnectPayload(true, "ttyGONE"));
    t.mLink->ServiceAndWait();
    t.Send(kStatus);
    QCOMPARE(t.Last(kStatus), QByteArray("\x00\x02", 2));
    t.Send(kStatus);
    QCOMPARE(t.Last(kStatus), QByteArray("\x00\x00", 2));
  }

  // Both lists go out on a request for either: the 8-byte slots peers read,
  // and the whole names with their paths the screens read.
  void portLists_data() {
    QTest::addColumn<QStringList>("paths");
    QTest::addColumn<QByteArray>("slotted");
    QTest::addColumn<QByteArray>("whole");
    QTest::newRow("none") << QStringList() << QByteArray(1, '\0') << QByteArray(1, '\0');
    QTest::newRow("seven characters fit")
        << QStringList{"/dev/ttyORV0", "/x/ttyACM1"} << QByteArray("\x02ttyORV0\0ttyACM1\0", 17)
        << QByteArray("\x02ttyORV0\0/dev/ttyORV0\0ttyACM1\0/x/ttyACM1\0", 41);
    QTest::newRow("longer names are cut to the slot, not in the whole list")
        << QStringList{"/x/ttyOrvelLeft", "/x/a", "/x/ttyOrvelRight"}
        << QByteArray("\x03ttyOrve\0a\0\0\0\0\0\0\0ttyOrve\0", 25)
        << QByteArray("\x03ttyOrvelLeft\0/x/ttyOrvelLeft\0a\0/x/a\0ttyOrvelRight\0/x/ttyOrvelRight\0", 68);
    QTest::newRow("one name in two folders: named by the paths")
        << QStringList{"/a/ttyORV0", "/b/ttyORV0", "/a/ttyORV0"} << QByteArray("\x02/a/ttyO\0/b/ttyO\0", 17)
        << QByteArray("\x02/a/ttyORV0\0/a/ttyORV0\0/b/ttyORV0\0/b/ttyORV0\0", 45);
  }
  void portLists() {
    QFETCH(QStringList, paths);
    QFETCH(QByteArray, slotted);
    QFETCH(QByteArray, whole);
    sDriverUnderTest t;
    UseDevicePorts(paths);  // read on every request, not only at start
    for (UWORD request : {kPortList, kPorts}) {
      t.mFront->mReceived.clear();
      t.Send(request);
      QCOMPARE(t.Last(kPortList).replace('\0', '.'), QByteArray(slotted).replace('\0', '.'));
      QCOMPARE(t.Last(kPorts), whole);
    }
  }

  // "Does the processor hold what was sent?": answered at once without a
  // port; otherwise once the units have settled and every packet offered
  // until then is acknowledged.
  void deliveryIsAnsweredWhenTheProcessorHoldsIt() {
    {
      sDriverUnderTest t;
      t.Send(kDelivery);
      QCOMPARE(t.DeliveryAnswers(), QByteArray(1, '\x02'));
    }
    auto device = StartSimulator();
    QVERIFY(device);
    UseDevicePorts({QString::fromStdString(device->DevicePath())});
    sDriverUnderTest t;
    bool unitsBusy = true;
    t.mDriver->SetUnitsBusyCheck([&] { return unitsBusy; });
    t.Send(kConnect, ConnectPayload(true, QByteArray()));
    QVERIFY(t.TickUntilState(cSerialInterface::CONNECTED));
    for (ULONG i = 0; i < 6; ++i) t.mLink->QueueDelayMessage(i, std::int32_t(100 + i));
    t.Send(kDelivery);
    // Everything goes out and is acknowledged, but a unit still has
    // something to send: no answer yet.
    for (int beat = 0; beat < 20; ++beat) t.Beat();
    QTRY_COMPARE(device->Model().Delays()[5], 105);
    for (int beat = 0; beat < 5; ++beat) t.Beat();
    QCOMPARE(t.DeliveryAnswers(), QByteArray());
    // What the unit sends as it settles belongs to the delivery too.
    unitsBusy = false;
    t.mLink->QueueDelayMessage(0, 7);
    QVERIFY(TickUntil([&] { t.Beat(); }, [&] { return !t.DeliveryAnswers().isEmpty(); }));
    QCOMPARE(t.DeliveryAnswers(), QByteArray(1, '\x01'));
    QCOMPARE(device->Model().Delays()[0], 7);
  }

  // A device that hangs up before it has acknowledged everything: the
  // delivery fails, and the lost link is published without being asked for.
  void deliveryFailsWhenTheLinkIsLost() {
    devsim::sFaultModes faults;
    faults.mHangUpAfter = 7;  // the version request, the read-back and three delays
    auto device = StartSimulator({1, 4, {}, {}, faults});
    QVERIFY(device);
    UseDevicePorts({QString::fromStdString(device->DevicePath())});
    sDriverUnderTest t;
    t.Send(kConnect, ConnectPayload(true, QByteArray()));
    QVERIFY(t.TickUntilState(cSerialInterface::CONNECTED));
    t.Beat();  // the driver has seen the connected state
    t.mFront->mReceived.clear();
    for (ULONG i = 0; i < 6; ++i) t.mLink->QueueDelayMessage(i, std::int32_t(i));
    t.Send(kDelivery);
    QVERIFY(TickUntil([&] { t.Beat(); }, [&] { return !t.DeliveryAnswers().isEmpty(); }));
    QCOMPARE(t.DeliveryAnswers(), QByteArray(1, '\0'));
    QCOMPARE(t.mLink->GetState(), cSerialInterface::NO_REPLY);
    QCOMPARE(t.Last(kStatus), QByteArray("\x05\x00", 2));
    // The state came before the answer that it explains.
    int status = -1;
    int answer = -1;
    for (int i = 0; i < int(t.mFront->mReceived.size()); ++i) {
      if (t.mFront->mReceived[std::size_t(i)].mMethod == kStatus && status < 0) status = i;
      if (t.mFront->mReceived[std::size_t(i)].mMethod == kDelivery) answer = i;
    }
    QVERIFY(status >= 0 && status < answer);
  }

  void longVersionTextIsCut() {
    auto device = StartSimulator({255, 255, {}, {}, {}});
    QVERIFY(device);
    UseDevicePorts({QString::fromStdString(device->DevicePath())});
    sDriverUnderTest t;
    t.Send(kConnect, ConnectPayload(true, QByteArray()));
    QVERIFY(t.TickUntilState(cSerialInterface::CONNECTED));
    QCOMPARE(t.mLink->GetVersionText(), QString("V255.255"));
    t.Send(kVersion);
    QCOMPARE(t.Last(kVersion), QByteArray("V255.25\0", 8));
  }

  void syncDoneReturnsToConnected() {
    auto device = StartSimulator();
    QVERIFY(device);
    UseDevicePorts({QString::fromStdString(device->DevicePath())});
    sDriverUnderTest t;
    t.Send(kSyncDone);  // no port: ignored
    QCOMPARE(t.mLink->GetState(), cSerialInterface::DISCONNECTED);
    t.Send(kConnect, ConnectPayload(true, QByteArray()));
    QVERIFY(t.TickUntilState(cSerialInterface::CONNECTED));
    QVERIFY(t.mLink->StartSync());
    QVERIFY(t.TickUntilState(cSerialInterface::SYNCING));
    t.Send(kSyncDone);
    QCOMPARE(t.mLink->GetState(), cSerialInterface::CONNECTED);
  }

  void newLinkGetsCurrentValues() {
    UseDevicePorts({"/x/ttyORV0"});
    sDriverUnderTest t;
    cRecordingObject late("Late Front End", 5);
    Post(late.GetHandle(), t.mDriver->GetHandle(), M_OBJECT_ADD_TO_INFORM_LIST,
         {0, 0, UBYTE(late.GetHandle() >> 8), UBYTE(late.GetHandle()), 0x10, 0x01, 0x10, 0x01, 0, 1});
    Deliver();
    QCOMPARE(late.CountMethod(kPortList), 1);
    QCOMPARE(Bytes(late.mReceived.back().mPayload), QByteArray("\x01ttyORV0\0", 9));
  }

  // The real arrangement: the link serviced by the tick thread, the driver
  // reached through the dispatch thread.
  void runsOnTheFrameworkThreads() {
    auto device = StartSimulator();
    QVERIFY(device);
    UseDevicePorts({QString::fromStdString(device->DevicePath())});
    cNetworkScope network;
    cTickHook hook;
    auto ticker = MakeNetObject<cActionTickDriver>(&hook);
    auto link = std::make_unique<cSerialInterface>();
    auto driver = MakeNetObject<cSerialConnectDriver>(link.get());
    auto front = MakeNetObject<cRecordingObject>("Front End", 5);
    driver->AddObjectToInformList(0, front->GetHandle(), kStatus, kStatus, 0, 0, false);
    hook.mLink = link.get();
    cSyscallThread dispatch;
    dispatch.Start();
    ticker->start();
    SetSystemRunning(true);

    auto send = [&](UWORD method, std::vector<UBYTE> payload) {
      cEWNetMessage m(EW_NET_DATA_SCALE(payload.size()));
      for (std::size_t i = 0; i < payload.size(); ++i) m.SetUBYTE(EW_NET_DATA_SCALE(i), payload[i]);
      m.mSource = front->GetHandle();
      m.mDestination = driver->GetHandle();
      m.mMethod = method;
      m.mConnectionId = 0;
      SendMessage(m);
    };
    auto stateSeen = [&](UBYTE state) {
      send(kStatus, {});
      QThread::msleep(20);
      cRegistryLocker lock;
      for (const auto& r : front->mReceived) {
        if (r.mMethod == kStatus && !r.mPayload.empty() && r.mPayload[0] == state) return true;
      }
      return false;
    };
    send(kConnect, ConnectPayload(true, QByteArray()));
    QVERIFY(TickUntil([&] { TakeReadBack(*link); }, [&] { return stateSeen(cSerialInterface::CONNECTED); }, 5000));
    {
      cRegistryLocker lock;  // as a driver on the dispatch thread would
      link->QueueControlStripMessage(6, 42, 7, 0, 0);
    }
    QVERIFY(TickUntil([] {}, [&] { return device->Model().Strips()[6].mLinear == 42; }, 2000));
    {
      cRegistryLocker lock;
      front->mReceived.clear();  // forget the states seen before connecting
    }
    send(kConnect, ConnectPayload(false, QByteArray()));
    QVERIFY(TickUntil([] {}, [&] { return stateSeen(cSerialInterface::DISCONNECTED); }, 5000));

    SetSystemRunning(false);
    dispatch.Stop();
    ticker->StopBeats();
    ticker.reset();
    hook.mLink = nullptr;
    front.reset();
    driver.reset();
    link.reset();
    QVERIFY(TickUntil([] {}, [&] { return ReceivedTypes(*device).endsWith(",15"); }, 2000));
  }
};

QTEST_GUILESS_MAIN(tst_SerialConnectDriver)
#include "tst_SerialConnectDriver.moc"
