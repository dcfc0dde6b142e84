// The loader's backends on the object network: what they send to the
// connect driver and the saves manager (here stand-ins that record it),
// how they read what comes back, including payloads that are too short,
// and how they come and go while the network runs.

#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "NetTestObjects.h"
#include "OrvelGUI/Core/SavesManager.h"
#include "OrvelGUI/Core/SerialConnectDriver.h"
#include "OrvelGUI/QtGUIComponents/OrvelQmlBackend.h"
#include "TestSupport.h"

namespace {

constexpr UWORD kConnect = 4096, kPortList = 4097, kVersion = 4098, kStatus = 4099, kSyncDone = 4100, kDelivery = 4101,
                kPorts = 4102;
constexpr UWORD kSave = 4096, kRecall = 4097, kSync = 4098;

// A port list with whole names, as the driver publishes it on 4102.
std::vector<UBYTE> PortsPayload(const std::vector<std::pair<QByteArray, QByteArray>>& ports) {
  std::vector<UBYTE> payload{UBYTE(ports.size())};
  for (const auto& [name, path] : ports) {
    payload.insert(payload.end(), name.begin(), name.end());
    payload.push_back(0);
    payload.insert(payload.end(), path.begin(), path.end());
    payload.push_back(0);
  }
  return payload;
}

QByteArray PayloadOf(const cRecordingObject::sReceived& received) {
  return QByteArray(reinterpret_cast<const char*>(received.mPayload.data()), int(received.mPayload.size()));
}

// Payloads the stand-in received on one method, oldest first.
QList<QByteArray> Received(const cRecordingObject& object, UWORD method) {
  QList<QByteArray> payloads;
  for (const auto& received : object.mReceived) {
    if (received.mMethod == method) payloads << PayloadOf(received);
  }
  return payloads;
}

// The network with stand-ins for the connect driver and the saves manager,
// and the top-level backend linked to them; delivery is by hand.
struct sBackendsUnderTest {
  cNetworkScope mNetwork;
  std::unique_ptr<cRecordingObject> mDriver = std::make_unique<cRecordingObject>(cSerialConnectDriver::kObjectName, 7);
  std::unique_ptr<cRecordingObject> mManager = std::make_unique<cRecordingObject>(cSavesManager::kName, 3);
  std::unique_ptr<cOrvelQmlBackend> mBackend;
  cSerialConnectionBackend* mSerial = nullptr;
  cSavesDialogBackend* mSaves = nullptr;

  sBackendsUnderTest() {
    mBackend = std::make_unique<cOrvelQmlBackend>();
    mSerial = mBackend->backendSerialConnection();
    mSaves = mBackend->backendSavesDialog();
    Settle();
    mDriver->mReceived.clear();
    mManager->mReceived.clear();
  }
  ~sBackendsUnderTest() {
    mBackend.reset();
    mManager.reset();
    mDriver.reset();
  }
  // Delivers everything and applies what was queued to the GUI thread.
  void Settle() {
    for (int i = 0; i < 4; ++i) {
      Deliver();
      QCoreApplication::processEvents();
    }
  }
  void FromDriver(UWORD method, std::vector<UBYTE> payload) {
    Post(mDriver->GetHandle(), mSerial->GetHandle(), method, std::move(payload));
    Settle();
  }
  void FromManager(UWORD method, std::vector<UBYTE> payload, UWORD connection = 0) {
    Post(mManager->GetHandle(), mSaves->GetHandle(), method, std::move(payload), connection);
    Settle();
  }
  void DeliveryFromDriver(UBYTE outcome) {
    Post(mDriver->GetHandle(), mSaves->GetHandle(), kDelivery, {outcome});
    Settle();
  }
  void Ticks(int count) {
    for (int i = 0; i < count; ++i) mSerial->ActionTick();
    Settle();
  }
};

}  // namespace

class tst_Backends : public QObject {
  Q_OBJECT

 private slots:
  void topLevelBackend() {
    sBackendsUnderTest t;
    QCOMPARE(t.mBackend->versionAndRevisionString(), QString("V1.00"));
    QCOMPARE(QString(t.mSerial->GetName()), QString("Serial Connection Backend NetObject"));
    QCOMPARE(QString(t.mSaves->GetName()), QString("Saves Dialog Backend NetObject"));
    QCOMPARE(t.mSerial->parent(), t.mBackend.get());
    QVERIFY(t.mBackend->backendInOutFader() == nullptr && t.mBackend->backendHigh() == nullptr);

    QSignalSpy spy(t.mBackend.get(), &cOrvelQmlBackend::windowWScaleChanged);
    QVERIFY(spy.isValid());
    t.mBackend->setWindowWScale(1.234);
    QCOMPARE(t.mBackend->windowWScale(), 1.23);
    t.mBackend->setWindowWScale(1.2301);
    QCOMPARE(spy.count(), 1);
    t.mBackend->setWindowHScale(0.125);  // halves away from zero
    QCOMPARE(t.mBackend->windowHScale(), 0.13);
    cReportCapture reports;
    t.mBackend->setWindowWScale(qQNaN());
    QCOMPARE(t.mBackend->windowWScale(), 1.23);
    QCOMPARE(reports.Count("Window scale nan ignored"), 1);
  }

  void editorBackendsAreSetOnce() {
    sBackendsUnderTest t;
    auto* low = new cLowMidHighPanelBackend(1);
    QPointer<cLowMidHighPanelBackend> watch(low);
    t.mBackend->SetEditorBackends({nullptr, low, nullptr, nullptr});
    QCOMPARE(t.mBackend->backendLow(), low);
    QCOMPARE(low->parent(), t.mBackend.get());
    cReportCapture reports;
    t.mBackend->SetEditorBackends({});
    QCOMPARE(t.mBackend->backendLow(), low);
    QCOMPARE(reports.Count("Editor backends are already set"), 1);
    t.mBackend.reset();
    QVERIFY(watch.isNull());
  }

  void linkedToTheDriverAndTheManager() {
    sBackendsUnderTest t;
    // Each backend parameter reaches the same parameter on the other side.
    t.mSerial->setSyncDone();
    t.mSaves->syncDevice();
    t.Settle();
    QCOMPARE(Received(*t.mDriver, kSyncDone), QList<QByteArray>{QByteArray()});
    QCOMPARE(Received(*t.mManager, kSync), QList<QByteArray>{QByteArray()});
    // Linking asked the driver for its values once (stand-in: all zero).
    QCOMPARE(t.mSerial->state(), cSerialConnectionBackend::DISCONNECTED);
    QVERIFY(t.mSerial->portNames().isEmpty());
  }

  void connectRequests() {
    sBackendsUnderTest t;
    QSignalSpy connectSpy(t.mSerial, &cSerialConnectionBackend::connectChanged);
    QVERIFY(connectSpy.isValid());
    t.mSerial->connectToUnit();  // no ports: nothing
    t.FromDriver(kPorts,
                 PortsPayload({{"ttyOrvelLeft", "/dev/ttyOrvelLeft"}, {"ttyOrvelRight", "/x/y/ttyOrvelRight"}}));
    QCOMPARE(t.mSerial->portNames(), QStringList({"ttyOrvelLeft", "ttyOrvelRight"}));
    // The slots of the older list (names cut to 7 characters) are not the screen's.
    t.FromDriver(kPortList, {2, 't', 't', 'y', 'O', 'r', 'v', 'e', 0, 't', 't', 'y', 'O', 'r', 'v', 'e', 0});
    QCOMPARE(t.mSerial->portNames(), QStringList({"ttyOrvelLeft", "ttyOrvelRight"}));
    // A port is asked for by its path, which no other port shares.
    t.mSerial->connectToNamedUnit("ttyOrvelRight");
    t.mSerial->connectToUnit();  // already asked: ignored
    t.Settle();
    QCOMPARE(Received(*t.mDriver, kConnect), QList<QByteArray>{QByteArray("\1/x/y/ttyOrvelRight\0", 20)});
    QVERIFY(t.mSerial->connectFlag());
    QCOMPARE(connectSpy.count(), 1);

    // The driver answers with the state it found, before it acted: the
    // request stands (it used to read as "not connected" for a second).
    t.FromDriver(kConnect, {0});
    QVERIFY(t.mSerial->connectFlag());

    t.FromDriver(kStatus, {2, 0});
    t.FromDriver(kStatus, {2, 0});
    QCOMPARE(t.mSerial->state(), cSerialConnectionBackend::CONNECTED);
    QCOMPARE(Received(*t.mDriver, kVersion).size(), 1);  // one version request only
    t.FromDriver(kVersion, {'V', '1', '.', '4', 0, 0, 0, 0});
    QCOMPARE(t.mSerial->version(), QString("V1.4"));

    t.mSerial->disconnectFromUnit();
    t.mSerial->disconnectFromUnit();
    t.Settle();
    QCOMPARE(Received(*t.mDriver, kConnect).last(), QByteArray("\0\0", 2));
    QCOMPARE(Received(*t.mDriver, kConnect).size(), 2);
    QVERIFY(!t.mSerial->connectFlag());
    t.FromDriver(kStatus, {0, 0});
    QCOMPARE(t.mSerial->state(), cSerialConnectionBackend::DISCONNECTED);
  }

  void statusRepliesDecideTheIntent() {
    sBackendsUnderTest t;
    QSignalSpy errors(t.mSerial, &cSerialConnectionBackend::errorEvent);
    QVERIFY(errors.isValid());
    t.mSerial->connectToNamedUnit("ttyGONE");
    t.Settle();
    t.FromDriver(kStatus, {0, 2});
    QCOMPARE(errors.count(), 1);
    QCOMPARE(errors.first().first().toInt(), 2);
    QVERIFY(!t.mSerial->connectFlag());
    // The device that stopped answering is still the user's connection.
    t.mSerial->connectToNamedUnit("ttyORV0");
    t.Settle();
    t.FromDriver(kStatus, {5, 3});
    QCOMPARE(errors.last().first().toInt(), 3);
    QCOMPARE(t.mSerial->state(), cSerialConnectionBackend::NO_REPLY);
    QVERIFY(t.mSerial->connectFlag());
  }

  void pollsFollowTheRequest() {
    sBackendsUnderTest t;
    // Idle: the port list every 251st tick.
    t.Ticks(250);
    QCOMPARE(Received(*t.mDriver, kPorts).size(), 0);
    t.Ticks(1);
    QCOMPARE(Received(*t.mDriver, kPorts).size(), 1);
    // A request: the status a full 51 ticks later, when the link has acted.
    t.Ticks(100);
    t.mSerial->connectToNamedUnit("ttyORV0");
    t.Ticks(50);
    QCOMPARE(Received(*t.mDriver, kStatus).size(), 0);
    t.Ticks(1);
    QCOMPARE(Received(*t.mDriver, kStatus).size(), 1);
    // A failed attempt goes back to watching the port list.
    t.FromDriver(kStatus, {0, 2});
    t.Ticks(251);
    QCOMPARE(Received(*t.mDriver, kStatus).size(), 1);
    QCOMPARE(Received(*t.mDriver, kPorts).size(), 2);
  }

  void receivedPayloadsAreChecked() {
    sBackendsUnderTest t;
    t.FromDriver(kPorts, PortsPayload({{"port", "/dev/port"}}));
    QSignalSpy names(t.mSerial, &cSerialConnectionBackend::portNamesChanged);
    cReportCapture reports;
    // More ports announced than carried: the ones that are whole.
    std::vector<UBYTE> short3 = PortsPayload({{"a", "/a"}, {"bc", "/bc"}});
    short3[0] = 3;
    short3.insert(short3.end(), {'d', 0, '/'});
    t.FromDriver(kPorts, short3);
    QCOMPARE(t.mSerial->portNames(), QStringList({"a", "bc"}));
    QCOMPARE(t.mSerial->portPaths(), QStringList({"/a", "/bc"}));
    QCOMPARE(reports.Count("Port list of 3 ports carries only 2"), 1);
    // None at all.
    t.FromDriver(kPorts, {0});
    QVERIFY(t.mSerial->portNames().isEmpty());
    QCOMPARE(names.count(), 2);
    // Too short to read: reported and dropped.
    t.FromDriver(kPorts, {});
    t.FromDriver(kStatus, {2});
    t.FromDriver(kConnect, {});
    QCOMPARE(reports.Count("Message too short"), 3);
    QCOMPARE(t.mSerial->state(), cSerialConnectionBackend::DISCONNECTED);
    // The version ends at its NUL or at the payload's end.
    t.FromDriver(kVersion, {'V', '2', '.', '0'});
    QCOMPARE(t.mSerial->version(), QString("V2.0"));
    t.FromDriver(kVersion, {});
    QCOMPARE(t.mSerial->version(), QString());
    t.FromDriver(4200, {});
    QCOMPARE(reports.Count("Unknown Method: 0x1068"), 1);
  }

  // Results reach the screen only for its own requests: the manager answers
  // the asker, a result nobody here asked for is not the user's. A recall is
  // successful only once the link says the processor holds it.
  void recallRequestsAndResults() {
    sBackendsUnderTest t;
    QSignalSpy results(t.mSaves, &cSavesDialogBackend::operationSuccessChanged);
    QVERIFY(results.isValid());
    cReportCapture reports;
    t.FromManager(kRecall, {1});  // nobody asked: not shown
    QCOMPARE(results.count(), 0);
    QCOMPARE(reports.Count("did not ask for is ignored"), 1);

    t.mSaves->recallConfig(QUrl("file:///tmp/My%20Setup.cfg"));
    t.Settle();
    QCOMPARE(Received(*t.mManager, kRecall), QList<QByteArray>{QByteArray("/tmp/My Setup.cfg\0", 18)});
    QCOMPARE(t.mSaves->recallFileName(), QString("My Setup.cfg"));
    t.FromManager(kRecall, {1});
    // Applied: the driver is asked whether the processor holds it; no result yet.
    QCOMPARE(Received(*t.mDriver, kDelivery).size(), 1);
    QCOMPARE(results.count(), 0);
    t.DeliveryFromDriver(1);
    QCOMPARE(results.count(), 1);
    QVERIFY(t.mSaves->operationSuccess());
    QCOMPARE(t.mSaves->operation(), cSavesDialogBackend::RECALL);
    QCOMPARE(t.mSaves->resultText(), QString("Recall My Setup.cfg Successful"));

    // Every outcome of the processor's side, and the manager's refusal: of
    // a file that is there, the file system tells no reason.
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString existing = folder.filePath("b.cfg");
    {
      QFile file(existing);
      QVERIFY(file.open(QIODevice::WriteOnly));
    }
    const struct {
      int mManager;
      int mDelivery;
      const char* mText;
    } cases[] = {{1, 0, "Recall b.cfg Failed"},
                 {1, 2, "Recall b.cfg Loaded, not sent: no processor connected"},
                 {0, -1, "Recall b.cfg Failed"},
                 {1, 1, "Recall b.cfg Successful"}};
    for (const auto& c : cases) {
      t.mSaves->recallConfig(QUrl::fromLocalFile(existing));
      t.Settle();
      t.FromManager(kRecall, {UBYTE(c.mManager)});
      if (c.mDelivery >= 0) t.DeliveryFromDriver(UBYTE(c.mDelivery));
      QCOMPARE(t.mSaves->resultText(), QString(c.mText));
      QCOMPARE(t.mSaves->operationSuccess(), QString(c.mText).endsWith(" Successful"));
    }
    QCOMPARE(results.count(), 5);
    QCOMPARE(Received(*t.mDriver, kDelivery).size(), 4);
    QVERIFY(t.mSaves->failureReason().isEmpty());
    // The manager could not read it: the file system says why.
    const QString missing = folder.filePath("gone.cfg");
    t.mSaves->recallConfig(QUrl::fromLocalFile(missing));
    t.Settle();
    t.FromManager(kRecall, {0});
    QCOMPARE(t.mSaves->resultText(),
             QString("Recall gone.cfg Failed: %1 does not exist").arg(QDir::toNativeSeparators(missing)));
    // The processor did not take it (the link's failure): no file reason.
    t.mSaves->recallConfig(QUrl::fromLocalFile(missing));
    t.Settle();
    t.FromManager(kRecall, {1});
    t.DeliveryFromDriver(0);
    QCOMPARE(t.mSaves->resultText(), QString("Recall gone.cfg Failed"));
    QCOMPARE(results.count(), 7);

    // A save's result is the file's; a result without its byte is no success.
    t.mSaves->saveConfig(QUrl::fromLocalFile("/tmp/out.cfg"));
    t.Settle();
    QCOMPARE(Received(*t.mManager, kSave), QList<QByteArray>{QByteArray("/tmp/out.cfg\0", 13)});
    t.FromManager(kSave, {});
    QCOMPARE(t.mSaves->resultText().left(19), QString("Save out.cfg Failed"));
    t.mSaves->syncDevice();
    t.Settle();
    t.FromManager(kSync, {2});
    QCOMPARE(t.mSaves->operation(), cSavesDialogBackend::SYNC);
    QVERIFY(t.mSaves->operationSuccess());
    QCOMPARE(reports.Count("Bad conversion to boolean for UBYTE with value 0x2"), 1);
    QCOMPARE(results.count(), 9);
    // A sync some units did not take names them; the text ends at its NUL or
    // at the payload's end.
    for (const auto& answer : {std::vector<UBYTE>{0, 'M', 'i', 'd', ' ', 'E', 'Q', 0, 'x'},
                               std::vector<UBYTE>{0, 'M', 'i', 'd', ' ', 'E', 'Q'}}) {
      t.mSaves->syncDevice();
      t.Settle();
      t.FromManager(kSync, answer);
      QCOMPARE(t.mSaves->outcome(), cSavesDialogBackend::FAILED);
      QCOMPARE(t.mSaves->resultText(), QString("Kept own values, the processor's were not plausible: Mid EQ"));
    }
    results.clear();

    // An answer from a remote connection is refused, even to a request.
    t.mSaves->recallConfig(QUrl::fromLocalFile("/tmp/c.cfg"));
    t.Settle();
    t.FromManager(kRecall, {0}, 3);
    QCOMPARE(results.count(), 0);
    QCOMPARE(reports.Count("refused method 0x1001 from connection 3"), 1);

    // A file that is not local cannot be recalled: failed at once, nothing sent.
    t.mManager->mReceived.clear();
    t.mSaves->recallConfig(QUrl("https://example.invalid/remote.cfg"));
    t.Settle();
    QVERIFY(Received(*t.mManager, kRecall).isEmpty());
    QVERIFY(!t.mSaves->operationSuccess());
    QCOMPARE(t.mSaves->recallFileName(), QString("remote.cfg"));
    QCOMPARE(t.mSaves->resultText(), QString("Recall remote.cfg Failed: it is not a file on this computer"));
    QCOMPARE(reports.Count("cannot be passed on"), 1);
  }

  void buttonFlags() {
    sBackendsUnderTest t;
    QSignalSpy spy(t.mSaves, &cSavesDialogBackend::buttonRecallChanged);
    t.mSaves->setButtonRecall(false);
    t.mSaves->setButtonRecall(true);
    t.mSaves->setButtonRecall(true);
    QCOMPARE(spy.count(), 1);
    QVERIFY(t.mSaves->buttonRecall());
  }

  void shutdownTakesThemOffTheNetwork() {
    sBackendsUnderTest t;
    t.mBackend->Shutdown();
    t.mBackend->Shutdown();
    QCOMPARE(GetRegistryRouter()->FindHandle(cSerialConnectionBackend::kObjectName), EW_INVALID_HANDLE);
    QCOMPARE(GetRegistryRouter()->FindHandle(cSavesDialogBackend::kObjectName), EW_INVALID_HANDLE);
    // Results addressed to them meanwhile go nowhere.
    cReportCapture reports;
    t.mSaves->setButtonSave(true);
    t.FromManager(kRecall, {0});
    QVERIFY(t.mSaves->operationSuccess());
  }

  // Backends made and destroyed from the GUI thread while the dispatch and
  // tick threads deliver and poll, with the stand-in driver answering.
  void comeAndGoWhileTheNetworkRuns() {
    cNetworkScope network;
    cReportCapture reports;
    auto driver = std::make_unique<cRecordingObject>(cSerialConnectDriver::kObjectName, 5);
    driver->mForward = true;
    cSyscallThread dispatch;
    class cIdle : public cActionTickParent {
     public:
      void ActionTickHook() override {}
    } idle;
    auto ticks = std::make_unique<cActionTickDriver>(&idle);
    dispatch.Start();
    ticks->start();
    SetSystemRunning(true);
    for (int i = 0; i < 100; ++i) {
      auto backend = std::make_unique<cOrvelQmlBackend>();
      backend->backendSerialConnection()->connectToNamedUnit("ttyORV0");
      if (i % 10 == 0) QTest::qWait(25);  // let some ticks and answers through
      QCoreApplication::processEvents();
    }
    SetSystemRunning(false);
    dispatch.Stop();
    ticks.reset();
    {
      cRegistryLocker lock;
      driver.reset();
    }
    QCOMPARE(reports.Count("should have been unregistered"), 0);
  }
};

QTEST_GUILESS_MAIN(tst_Backends)
#include "tst_Backends.moc"
