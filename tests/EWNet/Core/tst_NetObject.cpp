#include <QtTest>

#include "EWNet/Core/audiodrv.h"
#include "NetTestObjects.h"
#include "TestSupport.h"

namespace {

std::vector<UBYTE> AddPayload(UWORD connection, EW_NET_DATA_SCALE handle, UWORD destMethod, UWORD sourceMethod,
                              UBYTE datagram = 0, UBYTE sync = 0) {
  return {UBYTE(connection >> 8), UBYTE(connection),        UBYTE(handle >> 8),  UBYTE(handle), UBYTE(destMethod >> 8),
          UBYTE(destMethod),      UBYTE(sourceMethod >> 8), UBYTE(sourceMethod), datagram,      sync};
}

std::vector<UBYTE> RemovePayload(UWORD connection, EW_NET_DATA_SCALE handle, UWORD destMethod, UWORD sourceMethod) {
  auto p = AddPayload(connection, handle, destMethod, sourceMethod);
  p.resize(8);
  return p;
}

// The 32-bit form that a builder uses over a connection of version-2 messages.
std::vector<UBYTE> AddPayload32(UWORD connection, ULONG handle, ULONG destMethod, ULONG sourceMethod,
                                UBYTE datagram = 0, UBYTE sync = 0) {
  std::vector<UBYTE> p{UBYTE(connection >> 8), UBYTE(connection)};
  for (ULONG value : {handle, destMethod, sourceMethod}) {
    for (int shift = 24; shift >= 0; shift -= 8) p.push_back(UBYTE(value >> shift));
  }
  p.push_back(datagram);
  p.push_back(sync);
  return p;
}

std::vector<UBYTE> RemovePayload32(UWORD connection, ULONG handle, ULONG destMethod, ULONG sourceMethod) {
  auto p = AddPayload32(connection, handle, destMethod, sourceMethod);
  p.resize(14);
  return p;
}

int DeleteCount(const cNetObject& object, EW_NET_DATA_SCALE handle) {
  for (const auto& e : object.GetDeleteList()) {
    if (e.mHandle == handle) return e.mCount;
  }
  return 0;
}

}  // namespace

class cCountingDriver : public cContinuousControllerDriver {
 public:
  explicit cCountingDriver(const char* name) : cContinuousControllerDriver(name, 0, 10, false, true) {}
  ~cCountingDriver() override { DestroyAudioObject(); }
  UBYTE ReadTouched() override { return 0; }
  UWORD ReadValue() override { return 0; }
  void WriteValue(UWORD) override {}
};

class tst_NetObject : public QObject {
  Q_OBJECT
 private slots:
  void zeroParameters();
  void outOfRangeSourceMethod_data();
  void outOfRangeSourceMethod();
  void duplicateLinkRefused();
  void deleteListCountsAndPurgeOnDelete();
  void echoSuppressedAndOrderHeadFirst();
  void syncSendsCurrentValue();
  void unknownAndUnimplementedMethods();
  void shortBookkeepingPayload();
  void linkMessagesInBothForms();
  void connectionClosedPurgesOnlyThatConnection();
  void handleReuseDoesNotInheritStaleLinks();
  void tickAndTockDefaultsReport();
  void refusedRegistrationIsNotRegistered();
};

void tst_NetObject::zeroParameters() {
  cNetworkScope net;
  cReportCapture reports;
  cRecordingObject a("A", 0);
  QVERIFY(a.GetInformList(0) == nullptr);
  QCOMPARE(a.GetNumberOfInformListItems(4096), EW_NET_DATA_SCALE(0));
  QCOMPARE(reports.Count("Parameter out of range Object Name: \"A\" Parameter: 0"), 1);
  a.Publish(0, 1);  // nothing to publish to, and no crash
}

void tst_NetObject::outOfRangeSourceMethod_data() {
  QTest::addColumn<int>("sourceMethod");
  QTest::newRow("4095 wraps below the parameters") << 4095;
  QTest::newRow("one past the last") << 4096 + 4;
  QTest::newRow("system method") << 9;
}

void tst_NetObject::outOfRangeSourceMethod() {
  QFETCH(int, sourceMethod);
  cNetworkScope net;
  cReportCapture reports;
  cRecordingObject a("A", 4);
  QVERIFY(!a.AddObjectToInformList(0, 7, 4096, EW_NET_DATA_SCALE(sourceMethod), 0, 0, true));
  QCOMPARE(reports.Count("Add Parameter out of range Object Name: \"A\""), 1);
  QCOMPARE(reports.Count("ConnectionId: 0, Handle: 7, DestinationMethod: 0x1000"), 1);
  QVERIFY(!a.RemoveObjectFromInformList(0, 7, 4096, EW_NET_DATA_SCALE(sourceMethod), true));
  QCOMPARE(reports.Count("Remove Parameter out of range Object Name: \"A\""), 1);
  for (EW_NET_DATA_SCALE p = 0; p < 4; ++p) QVERIFY(a.GetInformList(p)->empty());
  QCOMPARE(GetNumberOfQueuedMessages(), ULONG(0));
}

void tst_NetObject::duplicateLinkRefused() {
  cNetworkScope net;
  cRecordingObject a("A"), b("B");
  QVERIFY(a.AddObjectToInformList(0, b.GetHandle(), 4097, 4096, 0, 0, true));
  QVERIFY(!a.AddObjectToInformList(0, b.GetHandle(), 4097, 4096, 0, 0, true));
  Deliver();
  QCOMPARE(b.CountMethod(M_OBJECT_ADD_TO_DELETE_LIST), 1);
  QCOMPARE(DeleteCount(b, a.GetHandle()), 1);
  QCOMPARE(a.GetNumberOfInformListItems(4096), EW_NET_DATA_SCALE(1));
}

void tst_NetObject::deleteListCountsAndPurgeOnDelete() {
  cNetworkScope net;
  cRecordingObject a("A");
  auto* b = new cRecordingObject("B");
  const EW_NET_DATA_SCALE bHandle = b->GetHandle();
  Post(0, a.GetHandle(), M_OBJECT_ADD_TO_INFORM_LIST, AddPayload(0, bHandle, 4097, 4096));
  Post(0, a.GetHandle(), M_OBJECT_ADD_TO_INFORM_LIST, AddPayload(0, bHandle, 4098, 4096));
  Deliver();
  QCOMPARE(a.GetNumberOfInformListItems(4096), EW_NET_DATA_SCALE(2));
  QCOMPARE(DeleteCount(*b, a.GetHandle()), 2);

  Post(0, a.GetHandle(), M_OBJECT_REMOVE_FROM_INFORM_LIST, RemovePayload(0, bHandle, 4098, 4096));
  Deliver();
  QCOMPARE(a.GetNumberOfInformListItems(4096), EW_NET_DATA_SCALE(1));
  QCOMPARE(DeleteCount(*b, a.GetHandle()), 1);

  // Removing a link that is not there changes nothing and tells nobody.
  Post(0, a.GetHandle(), M_OBJECT_REMOVE_FROM_INFORM_LIST, RemovePayload(0, bHandle, 4098, 4096));
  Deliver();
  QCOMPARE(DeleteCount(*b, a.GetHandle()), 1);
  QCOMPARE(b->CountMethod(M_OBJECT_REMOVE_FROM_DELETE_LIST), 1);

  a.AddObjectToInformList(0, bHandle, 4099, 4097, 0, 0, true);
  Deliver();
  delete b;
  Deliver();
  QCOMPARE(a.CountMethod(M_OBJECT_DELETED), 1);
  QCOMPARE(a.GetNumberOfInformListItems(4096), EW_NET_DATA_SCALE(0));
  QCOMPARE(a.GetNumberOfInformListItems(4097), EW_NET_DATA_SCALE(0));
}

void tst_NetObject::echoSuppressedAndOrderHeadFirst() {
  cNetworkScope net;
  cRecordingObject a("A"), b("B"), c("C");
  a.mForward = true;
  a.AddObjectToInformList(0, b.GetHandle(), 4097, 4096, 0, 0, false);
  a.AddObjectToInformList(0, c.GetHandle(), 4098, 4096, 1, 0, false);  // datagram, still local
  // B sends a value to A.p0; A forwards it to its links but not back to B.
  Post(b.GetHandle(), a.GetHandle(), 4096, {0x12, 0x34});
  Deliver();
  QCOMPARE(b.CountMethod(4097), 0);
  QCOMPARE(c.CountMethod(4098), 1);
  QCOMPARE(c.mValues[2], UWORD(0x1234));
  QCOMPARE(c.mReceived.back().mSource, a.GetHandle());

  // A value A publishes itself reaches both, the later link first.
  a.Publish(0, 7);
  QCOMPARE(GetNumberOfQueuedMessages(), ULONG(2));
  GetRegistryRouter()->DoWork(1);
  QCOMPARE(c.mValues[2], UWORD(7));
  QCOMPARE(b.mValues[1], UWORD(0));
  Deliver();
  QCOMPARE(b.mValues[1], UWORD(7));
  QCOMPARE(c.mValues[2], UWORD(7));
  QCOMPARE(c.mReceived.size(), size_t(2));
}

void tst_NetObject::syncSendsCurrentValue() {
  cNetworkScope net;
  cRecordingObject a("A"), b("B");
  a.mValues[1] = 555;
  Post(0, a.GetHandle(), M_OBJECT_ADD_TO_INFORM_LIST, AddPayload(0, b.GetHandle(), 4099, 4097, 0, 1));
  Deliver();
  QCOMPARE(b.mValues[3], UWORD(555));
}

void tst_NetObject::unknownAndUnimplementedMethods() {
  cNetworkScope net;
  cReportCapture reports;
  cNetObjectPlain plain("Plain");
  cRecordingObject asker("Asker");
  Post(asker.GetHandle(), plain.GetHandle(), 10);
  Post(asker.GetHandle(), plain.GetHandle(), M_ALL_ABSOLUTE_UPDATE_CURRENT_STORE);
  Post(asker.GetHandle(), plain.GetHandle(), M_ALL_RELATIVE_UPDATE_CURRENT_STORE);
  Deliver();
  const QString expected =
      QString::asprintf("Unknown Method: 0xA  Source: 0x%X, ConnId: 0 ObjectName: \"Plain\", mHandle = 0x%X",
                        unsigned(asker.GetHandle()), unsigned(plain.GetHandle()));
  QVERIFY2(reports.Contains(expected.toStdString()), qPrintable(reports.Dump()));
  QCOMPARE(reports.Count("NYI - M_ALL_ABSOLUTE_UPDATE_CURRENT_STORE for Plain on 15"), 1);
  QCOMPARE(reports.Count("NYI - M_ALL_RELATIVE_UPDATE_CURRENT_STORE for Plain on 19"), 1);
  QCOMPARE(asker.CountMethod(M_REPLY_FAIL), 2);
}

void tst_NetObject::shortBookkeepingPayload() {
  cNetworkScope net;
  cReportCapture reports;
  cRecordingObject a("A");
  Post(0, a.GetHandle(), M_OBJECT_ADD_TO_INFORM_LIST, {0, 0, 0, 2});
  Post(0, a.GetHandle(), M_OBJECT_REMOVE_FROM_INFORM_LIST, {0});
  Deliver();
  QCOMPARE(reports.Count("Message too short for method"), 2);
  QVERIFY(a.GetInformList(0)->empty());
}

// The 32-bit form makes and removes the same links as the 16-bit one; the
// length tells them apart, and any other length changes nothing.
void tst_NetObject::linkMessagesInBothForms() {
  cNetworkScope net;
  cReportCapture reports;
  cRecordingObject a("A"), b("B");
  const EW_NET_DATA_SCALE bHandle = b.GetHandle();
  a.mValues[1] = 321;
  Post(0, a.GetHandle(), M_OBJECT_ADD_TO_INFORM_LIST, AddPayload32(0, bHandle, 4099, 4097, 1, 1));
  Deliver();
  const cNetObject::InformList& list = *a.GetInformList(1);
  QCOMPARE(std::distance(list.begin(), list.end()), 1L);
  QCOMPARE(list.front().mHandle, bHandle);
  QCOMPARE(list.front().mDestinationMethod, EW_NET_DATA_SCALE(4099));
  QCOMPARE(list.front().mDataGram, UBYTE(1));
  QCOMPARE(b.mValues[3], UWORD(321));  // synced at once
  QCOMPARE(DeleteCount(b, a.GetHandle()), 1);
  // The same link in the 16-bit form is the same link.
  Post(0, a.GetHandle(), M_OBJECT_ADD_TO_INFORM_LIST, AddPayload(0, bHandle, 4099, 4097));
  Deliver();
  QCOMPARE(a.GetNumberOfInformListItems(4097), EW_NET_DATA_SCALE(1));

  // Neither form's length, or a value no handle or method can have.
  for (std::size_t length : {11u, 12u, 15u, 17u}) {
    auto payload = AddPayload32(0, bHandle, 4098, 4097);
    payload.resize(length);
    Post(0, a.GetHandle(), M_OBJECT_ADD_TO_INFORM_LIST, payload);
  }
  Post(0, a.GetHandle(), M_OBJECT_ADD_TO_INFORM_LIST, AddPayload32(0, 0x10000u | bHandle, 4098, 4097));
  Post(0, a.GetHandle(), M_OBJECT_ADD_TO_INFORM_LIST, AddPayload32(0, bHandle, 0x14098, 4097));
  Post(0, a.GetHandle(), M_OBJECT_REMOVE_FROM_INFORM_LIST, RemovePayload32(0, bHandle, 4099, 0x11001));
  auto removeOfWrongLength = RemovePayload32(0, bHandle, 4099, 4097);
  removeOfWrongLength.resize(12);
  Post(0, a.GetHandle(), M_OBJECT_REMOVE_FROM_INFORM_LIST, removeOfWrongLength);
  Deliver();
  QCOMPARE(reports.Count("Link message 0x6 of"), 4);
  QCOMPARE(reports.Count("Link message 0x7 of 12 bytes refused: 8 or 14 expected"), 1);
  QCOMPARE(reports.Count("do not fit 16 bits"), 3);
  QCOMPARE(a.GetNumberOfInformListItems(4097), EW_NET_DATA_SCALE(1));
  QCOMPARE(b.CountMethod(M_OBJECT_ADD_TO_DELETE_LIST), 1);

  Post(0, a.GetHandle(), M_OBJECT_REMOVE_FROM_INFORM_LIST, RemovePayload32(0, bHandle, 4099, 4097));
  Deliver();
  QCOMPARE(a.GetNumberOfInformListItems(4097), EW_NET_DATA_SCALE(0));
  QCOMPARE(DeleteCount(b, a.GetHandle()), 0);
}

void tst_NetObject::connectionClosedPurgesOnlyThatConnection() {
  cNetworkScope net;
  cRecordingObject a("A"), b("B");
  a.AddObjectToInformList(3, 20, 4096, 4096, 0, 0, false);
  a.AddObjectToInformList(4, 20, 4096, 4096, 0, 0, false);
  a.AddObjectToInformList(0, b.GetHandle(), 4096, 4096, 0, 0, false);
  Post(20, a.GetHandle(), M_OBJECT_ADD_TO_DELETE_LIST, {}, 3);
  Deliver();
  GetRegistryRouter()->InformConnectionClosed(3, true);
  QCOMPARE(a.GetNumberOfInformListItems(4096), EW_NET_DATA_SCALE(2));
  for (const auto& e : *a.GetInformList(0)) QVERIFY(e.mConnectionId != 3);
  QVERIFY(a.GetDeleteList().empty());
}

void tst_NetObject::handleReuseDoesNotInheritStaleLinks() {
  // Handles are reused after release; M_OBJECT_DELETED is what keeps a later
  // object with the old handle from receiving the old links' values.
  cNetworkScope net;
  cRecordingObject a("A");
  auto* b = new cRecordingObject("B");
  a.AddObjectToInformList(0, b->GetHandle(), 4096, 4096, 0, 0, true);
  Deliver();
  delete b;
  Deliver();
  a.Publish(0, 9);
  QCOMPARE(GetNumberOfQueuedMessages(), ULONG(0));
}

void tst_NetObject::tickAndTockDefaultsReport() {
  cNetworkScope net;
  cReportCapture reports;
  cNetObjectPlain plain("Plain", true, true);
  Post(0, 0, M_REG_TICK);
  Deliver();
  QCOMPARE(reports.Count("Object Plain, scanned with no ActionTick?"), 1);
  QCOMPARE(reports.Count("Object Plain, tock scanned with no ActionTock?"), 1);
}

// An object whose registration was refused has no handle: it is neither
// ticked nor taken for registered, and its driver queues no links for it.
void tst_NetObject::refusedRegistrationIsNotRegistered() {
  cNetworkScope net;
  cReportCapture reports;
  cRecordingObject first("Twice", 2, true);
  cRecordingObject second("Twice", 2, true, true);
  QVERIFY(first.IsRegistered());
  QVERIFY(!second.IsRegistered());
  QCOMPARE(second.GetHandle(), EW_INVALID_HANDLE);
  Post(0, 0, M_REG_TICK);
  Deliver();
  QCOMPARE(first.mEvents, std::vector<QString>{"tick:Twice"});
  QVERIFY(second.mEvents.empty());

  cCountingDriver refused("Twice");
  QVERIFY(!refused.GetAudioObject()->IsRegistered());
  QVERIFY(!refused.LinkValueToDestination("Twice", 4096, false, false));
  QCOMPARE(reports.Count("Audio object not created!"), 1);
  QCOMPARE(GetSystemBuilder()->GetLinkPerformance().mRequested, ULONG(0));
  // Unregistering it takes nothing away from the object that has the name.
  refused.DestroyAudioObject();
  QCOMPARE(GetRegistryRouter()->FindHandle("Twice"), first.GetHandle());
}

QTEST_GUILESS_MAIN(tst_NetObject)
#include "tst_NetObject.moc"
