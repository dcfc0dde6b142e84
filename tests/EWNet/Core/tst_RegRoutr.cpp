#include <QDir>
#include <QTemporaryDir>
#include <QtTest>
#include <cstring>
#include <memory>

#include "NetTestObjects.h"
#include "TestSupport.h"

namespace {

std::vector<UBYTE> Text(const char* s) { return std::vector<UBYTE>(s, s + std::strlen(s) + 1); }

}  // namespace

class tst_RegRoutr : public QObject {
  Q_OBJECT
 private slots:
  void handlesInOrderAndReusedAfterAllFresh();
  void fullRegistryRefusesWithoutLosingObjects();
  void nameLengthLimit();
  void nonUniqueNameKeepsFirst();
  void nameIndexGrowth();
  void unknownRouterMethod();
  void findObject_data();
  void findObject();
  void findObjectOnRemoteUnit();
  void tickPhaseThenQueuedThenTock();
  void startOfBufferDeliveredFirst();
  void frontInsertDuringDeliveryComesNext_data();
  void frontInsertDuringDeliveryComesNext();
  void disablingDuringDeliveryKeepsRestInOrder();
  void messagesToMissingObjectsDropped();
  void processingDisabledKeepsQueue();
  void messpoolsPrintout();
};

void tst_RegRoutr::handlesInOrderAndReusedAfterAllFresh() {
  cNetworkScope net;
  // The builder already holds handle 1.
  QCOMPARE(GetRegistryRouter()->FindHandle(cSystemBuilder::kName), EW_NET_DATA_SCALE(1));
  auto a = std::make_unique<cNetObjectPlain>("a");
  auto b = std::make_unique<cNetObjectPlain>("b");
  QCOMPARE(a->GetHandle(), EW_NET_DATA_SCALE(2));
  QCOMPARE(b->GetHandle(), EW_NET_DATA_SCALE(3));
  a.reset();
  b.reset();
  auto c = std::make_unique<cNetObjectPlain>("c");
  QCOMPARE(c->GetHandle(), EW_NET_DATA_SCALE(4));                          // fresh handles first
  QCOMPARE(QString(GetRegistryRouter()->GetObjectName(2)), QString("a"));  // the slot keeps its text
}

void tst_RegRoutr::fullRegistryRefusesWithoutLosingObjects() {
  // Without the builder, handles 1 and 2 are the first two objects.
  StartEWNet(0, false);
  cReportCapture reports;
  std::vector<std::unique_ptr<cNetObjectPlain>> objects;
  objects.reserve(45001);
  for (int i = 1; i <= 2; ++i) objects.push_back(std::make_unique<cNetObjectPlain>(qPrintable(QString("o%1").arg(i))));
  objects[0].reset();
  objects[1].reset();
  for (int i = 3; i <= 45000; ++i) {
    objects.push_back(std::make_unique<cNetObjectPlain>(qPrintable(QString("o%1").arg(i))));
    QCOMPARE(objects.back()->GetHandle(), EW_NET_DATA_SCALE(i));
  }
  objects.push_back(std::make_unique<cNetObjectPlain>("reused"));
  QCOMPARE(objects.back()->GetHandle(), EW_NET_DATA_SCALE(1));
  QCOMPARE(reports.Lines().size(), size_t(0));

  objects.push_back(std::make_unique<cNetObjectPlain>("one too many"));
  QCOMPARE(objects.back()->GetHandle(), EW_NET_DATA_SCALE(0xFFFF));
  QCOMPARE(reports.Count("Not enough handles available! *mSlotsHead = 2"), 1);
  QCOMPARE(reports.Count("Registry is full - Handle = 65535"), 1);
  QCOMPARE(GetRegistryRouter()->FindHandle("one too many"), EW_NET_DATA_SCALE(0xFFFF));
  QCOMPARE(GetRegistryRouter()->FindHandle("o3"), EW_NET_DATA_SCALE(3));
  QCOMPARE(GetRegistryRouter()->FindHandle("o45000"), EW_NET_DATA_SCALE(45000));
  QCOMPARE(GetRegistryRouter()->FindHandle("reused"), EW_NET_DATA_SCALE(1));
  // Releasing one makes room again.
  objects[5].reset();
  objects.push_back(std::make_unique<cNetObjectPlain>("late"));
  QCOMPARE(objects.back()->GetHandle(), EW_NET_DATA_SCALE(2));
  objects.clear();
  QCOMPARE(GetRegistryRouter()->NameIndex().GetEntryCount(), ULONG(0));
  StopEWNet();
}

void tst_RegRoutr::nameLengthLimit() {
  cNetworkScope net;
  cReportCapture reports;
  const QByteArray name63(63, 'n');
  const QByteArray name64(64, 'm');
  cNetObjectPlain ok(name63.constData());
  cNetObjectPlain refused(name64.constData());
  QVERIFY(ok.GetHandle() != 0xFFFF);
  QCOMPARE(refused.GetHandle(), EW_NET_DATA_SCALE(0xFFFF));
  QCOMPARE(reports.Count("ObjectName length too long: 64"), 1);
  QCOMPARE(reports.Count("Name: \"" + name64.toStdString() + "\""), 1);
  QCOMPARE(GetRegistryRouter()->FindHandle(name63.constData()), ok.GetHandle());
  // A message to the refused object's non-handle goes nowhere.
  Post(0, refused.GetHandle(), 4096);
  Deliver();
}

void tst_RegRoutr::nonUniqueNameKeepsFirst() {
  cNetworkScope net;
  cReportCapture reports;
  auto first = std::make_unique<cNetObjectPlain>("same");
  auto second = std::make_unique<cNetObjectPlain>("same");
  QCOMPARE(reports.Count("Net object name is not unique, same"), 1);
  QCOMPARE(second->GetHandle(), EW_NET_DATA_SCALE(0xFFFF));
  QCOMPARE(GetRegistryRouter()->FindHandle("same"), first->GetHandle());
  // The refused object's handle went back to the ring and its teardown must
  // not disturb the first registration.
  second.reset();
  QCOMPARE(GetRegistryRouter()->FindHandle("same"), first->GetHandle());
  QCOMPARE(reports.Count("There are no used handles"), 0);
}

void tst_RegRoutr::nameIndexGrowth() {
  cNetworkScope net;  // the builder is entry 1
  std::vector<std::unique_ptr<cNetObjectPlain>> objects;
  for (int i = 0; i < 599; ++i)
    objects.push_back(std::make_unique<cNetObjectPlain>(qPrintable(QString("Obj %1").arg(i))));
  const cNetObjectHashMap& index = GetRegistryRouter()->NameIndex();
  QCOMPARE(index.GetEntryCount(), ULONG(600));
  QCOMPARE(index.GetBucketCount(), ULONG(800));
  objects.push_back(std::make_unique<cNetObjectPlain>("Obj 599"));
  QCOMPARE(index.GetEntryCount(), ULONG(601));
  QCOMPARE(index.GetBucketCount(), ULONG(1601));
  QCOMPARE(index.GetThreshold(), ULONG(1200));
  for (int i = 0; i < 600; ++i) {
    QCOMPARE(GetRegistryRouter()->FindHandle(qPrintable(QString("Obj %1").arg(i))), objects[size_t(i)]->GetHandle());
  }
  QCOMPARE(GetRegistryRouter()->FindHandle(cSystemBuilder::kName), EW_NET_DATA_SCALE(1));
  for (int i = 600; i < 1201; ++i)
    objects.push_back(std::make_unique<cNetObjectPlain>(qPrintable(QString("Obj %1").arg(i))));
  QCOMPARE(index.GetBucketCount(), ULONG(3203));
  objects.erase(objects.begin(), objects.begin() + 100);  // the index never shrinks
  QCOMPARE(index.GetBucketCount(), ULONG(3203));
  QCOMPARE(GetRegistryRouter()->FindHandle("Obj 50"), EW_NET_DATA_SCALE(0xFFFF));
  QCOMPARE(GetRegistryRouter()->FindHandle("Obj 1200"), objects.back()->GetHandle());
}

void tst_RegRoutr::unknownRouterMethod() {
  cNetworkScope net;
  cReportCapture reports;
  Post(5, 0, 99, {}, 0);
  Deliver();
  QCOMPARE(
      reports.Count("Reg EntrypointMessage unknown method 0x63, Message->mSource = 0x5, Message->mConnectionId = 0x0"),
      1);
  Post(5, 0, M_TEST_PRINT_REGISTRY);
  Post(5, 0, M_REG_DO_WORK);
  Deliver();
  QCOMPARE(int(reports.Lines().size()), 1);
}

void tst_RegRoutr::findObject_data() {
  QTest::addColumn<QByteArray>("payload");
  QTest::addColumn<int>("reply");
  QTest::addColumn<int>("length");
  QTest::newRow("registered") << QByteArray("Target", 7) << int(M_REPLY_OK) << 2;
  QTest::newRow("unknown") << QByteArray("Nobody", 7) << int(M_REPLY_FAIL) << 0;
  QTest::newRow("no NUL in payload") << QByteArray("Target") << int(M_REPLY_FAIL) << 0;
  QTest::newRow("empty payload") << QByteArray() << int(M_REPLY_FAIL) << 0;
  QTest::newRow("unknown host") << QByteArray("elsewhere/Target", 17) << int(M_REPLY_FAIL) << 0;
}

void tst_RegRoutr::findObject() {
  QFETCH(QByteArray, payload);
  QFETCH(int, reply);
  QFETCH(int, length);
  cNetworkScope net;
  cRecordingObject asker("Asker"), target("Target");
  Post(asker.GetHandle(), 0, M_REG_FIND_OBJECT, std::vector<UBYTE>(payload.begin(), payload.end()));
  Deliver();
  QCOMPARE(asker.mReceived.size(), size_t(1));
  QCOMPARE(int(asker.mReceived[0].mMethod), reply);
  QCOMPARE(int(asker.mReceived[0].mPayload.size()), length);
  QCOMPARE(asker.mReceived[0].mSource, EW_NET_DATA_SCALE(0));
  if (reply == M_REPLY_OK) {
    QCOMPARE(EW_NET_DATA_SCALE(asker.mReceived[0].mPayload[0] << 8 | asker.mReceived[0].mPayload[1]),
             target.GetHandle());
  }
}

void tst_RegRoutr::findObjectOnRemoteUnit() {
  cNetworkScope net;
  cInstalledConnections installed;
  cFakeConnections& remote = installed.mFake;
  cRecordingObject asker("Asker"), target("Target");
  Post(asker.GetHandle(), 0, M_REG_FIND_OBJECT, Text("unit2/Some Object"));
  Deliver();
  QCOMPARE(remote.mSent.size(), size_t(1));
  const cEWNetMessage& forwarded = remote.mSent[0];
  QCOMPARE(forwarded.mConnectionId, UWORD(5));
  QCOMPARE(forwarded.mSource, asker.GetHandle());
  QCOMPARE(forwarded.mMethod, UWORD(M_REG_FIND_OBJECT));
  QCOMPARE(forwarded.mLength, EW_NET_DATA_SCALE(12));
  QCOMPARE(QByteArray(reinterpret_cast<const char*>(forwarded.mData)), QByteArray("Some Object"));
  QVERIFY(asker.mReceived.empty());

  // A remote asker using version-2 messages gets a 4-byte handle back over
  // its own connection.
  Post(33, 0, M_REG_FIND_OBJECT, Text("Target"), 7);
  Deliver();
  QCOMPARE(remote.mSent.size(), size_t(2));
  QCOMPARE(remote.mSent[1].mConnectionId, UWORD(7));
  QCOMPARE(remote.mSent[1].mDestination, EW_NET_DATA_SCALE(33));
  QCOMPARE(remote.mSent[1].mLength, EW_NET_DATA_SCALE(4));
  QCOMPARE(remote.mSent[1].GetULONG(0), ULONG(target.GetHandle()));
}

void tst_RegRoutr::tickPhaseThenQueuedThenTock() {
  cNetworkScope net;
  std::vector<QString> log;
  // Each ticking object sends a message in its tick phase; it must arrive
  // after every tick and before any tock.
  class cTicker : public cRecordingObject {
   public:
    cTicker(const char* name, std::vector<QString>& log, EW_NET_DATA_SCALE peer)
        : cRecordingObject(name, 1, true, true), mLog(log), mPeer(peer) {}
    void ActionTick() override {
      mLog.push_back(QString("tick ") + GetName());
      Post(mHandle, mPeer, 4096, {0, 1});
    }
    void ActionTock() override { mLog.push_back(QString("tock ") + GetName()); }
    void EntrypointMessage(cEWNetMessage& m) override {
      mLog.push_back(QString("msg ") + GetName() + QString::number(m.mMethod));
    }
    std::vector<QString>& mLog;
    EW_NET_DATA_SCALE mPeer;
  };
  cRecordingObject sink("Sink");
  cTicker one("One", log, 0), two("Two", log, 0);
  one.mPeer = two.GetHandle();
  two.mPeer = one.GetHandle();
  Post(0, 0, M_REG_TICK);
  Post(0, sink.GetHandle(), 4096, {0, 2});  // queued before the tick was delivered
  Deliver();
  const std::vector<QString> expected = {"tick One", "tick Two", "msg Two4096", "msg One4096", "tock One", "tock Two"};
  QCOMPARE(log, expected);
  QCOMPARE(sink.mReceived.size(), size_t(1));
}

void tst_RegRoutr::startOfBufferDeliveredFirst() {
  cNetworkScope net;
  cRecordingObject a("A");
  for (UWORD i = 1; i <= 3; ++i) Post(0, a.GetHandle(), UWORD(4096 + i));
  cEWNetMessage urgent;
  urgent.mSource = 0;
  urgent.mDestination = a.GetHandle();
  urgent.mMethod = 4096;
  urgent.mConnectionId = 0;
  GetRegistryRouter()->AddMessageToStartOfMessageBuffer(urgent);
  QCOMPARE(GetNumberOfQueuedMessages(), ULONG(4));
  Deliver();
  QCOMPARE(a.mReceived.size(), size_t(4));
  for (UWORD i = 0; i < 4; ++i) QCOMPARE(a.mReceived[i].mMethod, UWORD(4096 + i));
}

// An object that, on its first message, puts messages at the front of the
// buffer or stops processing, while many more are already queued.
class cInterrupter : public cRecordingObject {
 public:
  cInterrupter(const char* name, bool stop, int frontInserts = 2)
      : cRecordingObject(name, 8), mStop(stop), mFrontInserts(frontInserts) {}
  void EntrypointMessage(cEWNetMessage& m) override {
    cRecordingObject::EntrypointMessage(m);
    if (mReceived.size() != 1) return;
    if (mStop) {
      GetRegistryRouter()->SetProcessingEnabled(false);
      return;
    }
    cEWNetMessage urgent(2);
    urgent.mConnectionId = 0;
    urgent.mSource = 0;
    urgent.mDestination = mHandle;
    urgent.mMethod = 4096 + 7;
    for (int i = 0; i < mFrontInserts; ++i) {
      urgent.SetUWORD(0, UWORD(i));
      GetRegistryRouter()->AddMessageToStartOfMessageBuffer(urgent);
    }
  }
  bool mStop;
  int mFrontInserts;
};

void tst_RegRoutr::frontInsertDuringDeliveryComesNext_data() {
  QTest::addColumn<int>("frontInserts");
  QTest::newRow("two") << 2;
  // More than the dispatcher takes per hold of the buffer lock.
  QTest::newRow("two hundred") << 200;
}

void tst_RegRoutr::frontInsertDuringDeliveryComesNext() {
  QFETCH(int, frontInserts);
  cNetworkScope net;
  cInterrupter a("A", false, frontInserts);
  for (int i = 0; i < 300; ++i) Post(0, a.GetHandle(), UWORD(4096 + i % 7), {UBYTE(i >> 8), UBYTE(i)});
  Deliver();
  QCOMPARE(a.mReceived.size(), size_t(300 + frontInserts));
  // Each front insertion goes before the previous one.
  for (int k = 0; k < frontInserts; ++k) {
    const auto& r = a.mReceived[size_t(1 + k)];
    QCOMPARE(r.mMethod, UWORD(4096 + 7));
    QCOMPARE(int(r.mPayload[0] << 8 | r.mPayload[1]), frontInserts - 1 - k);
  }
  for (int i = 1; i < 300; ++i) {
    const auto& r = a.mReceived[size_t(i + frontInserts)];
    QCOMPARE(int(r.mPayload[0] << 8 | r.mPayload[1]), i);
  }
  QCOMPARE(GetNumberOfQueuedMessages(), ULONG(0));
}

void tst_RegRoutr::disablingDuringDeliveryKeepsRestInOrder() {
  cNetworkScope net;
  cInterrupter a("A", true);
  for (int i = 0; i < 300; ++i) Post(0, a.GetHandle(), 4096, {UBYTE(i >> 8), UBYTE(i)});
  Deliver();
  QCOMPARE(a.mReceived.size(), size_t(1));
  QCOMPARE(GetNumberOfQueuedMessages(), ULONG(299));
  GetRegistryRouter()->SetProcessingEnabled(true);
  Deliver();
  QCOMPARE(a.mReceived.size(), size_t(300));
  for (int i = 0; i < 300; ++i) {
    const auto& r = a.mReceived[size_t(i)];
    QCOMPARE(int(r.mPayload[0] << 8 | r.mPayload[1]), i);
  }
}

void tst_RegRoutr::messagesToMissingObjectsDropped() {
  cNetworkScope net;
  cReportCapture reports;
  Post(0, 1234, 4096);
  Post(0, 45001, 4096);
  Post(0, 0xFFFF, 4096);
  Deliver();
  QCOMPARE(GetNumberOfQueuedMessages(), ULONG(0));
  QCOMPARE(int(reports.Lines().size()), 0);
}

void tst_RegRoutr::processingDisabledKeepsQueue() {
  cNetworkScope net;
  cRecordingObject a("A");
  Post(0, a.GetHandle(), 4096);
  GetRegistryRouter()->SetProcessingEnabled(false);
  Deliver();
  QCOMPARE(GetNumberOfQueuedMessages(), ULONG(1));
  QVERIFY(a.mReceived.empty());
  // Left queued: the router gives it back to the pool when destroyed (the
  // sanitizer would see a leak otherwise).
}

void tst_RegRoutr::messpoolsPrintout() {
  QTemporaryDir dir;
  const QString previous = QDir::currentPath();
  QDir::setCurrent(dir.path());
  {
    cNetworkScope net;
    cRecordingObject a("Alpha");
    Post(a.GetHandle(), 0, M_REG_TICK);
    Post(0, a.GetHandle(), 4096 + 3, {1, 2});
    Post(a.GetHandle(), 777, 300);
    Post(9, 46000, 23, {}, 2);
    GetRegistryRouter()->PrintMesspools();
  }
  QDir::setCurrent(previous);
  QFile file(dir.filePath("Messpools.txt"));
  QVERIFY(file.open(QIODevice::ReadOnly));
  const QStringList lines = QString::fromLatin1(file.readAll()).split('\n', Qt::SkipEmptyParts);
  QCOMPARE(lines.size(), 6);
  QVERIFY(lines[0].startsWith("-------------------Messpools Printout: "));
  QCOMPARE(lines[1], QString("Message - Connection ID: 0   RawMethod: 1  Adjusted: 1  Is: M_REG_TICK   Length: 0   "
                             "Source: \"Alpha\"   Destination: \"Registry\""));
  QCOMPARE(lines[2], QString("Message - Connection ID: 0   RawMethod: 4099  Adjusted: 3  PARAMETER_BASE method   "
                             "Length: 2   Source: \"Registry\"   Destination: \"Alpha\""));
  QCOMPARE(lines[3], QString("Message - Connection ID: 0   RawMethod: 300  Adjusted: 44  NON_PARAMETER_BASE method   "
                             "Length: 0   Source: \"Alpha\"   Destination: \"NULL Object - Handle 777\""));
  QCOMPARE(lines[4], QString("Message - Connection ID: 2   RawMethod: 23  Adjusted: 23  unspecified base method   "
                             "Length: 0   Source: \"Remote Object - Handle 9\"   Destination: \"INVALID_HANDLE\""));
  QVERIFY(lines[5].startsWith("----------------------------------End: "));
  QCOMPARE(lines[0].mid(39), lines[5].mid(39));
}

QTEST_GUILESS_MAIN(tst_RegRoutr)
#include "tst_RegRoutr.moc"
