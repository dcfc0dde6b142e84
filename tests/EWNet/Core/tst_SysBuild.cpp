#include <QtTest>
#include <memory>

#include "NetProbe.h"
#include "NetTestObjects.h"
#include "TestSupport.h"

namespace {

void Queue(const char* source, UWORD sourceParam, const char* destination, UWORD destParam, bool sync = true,
           bool remove = false, bool bidirect = false) {
  GetSystemBuilder()->AddLinkCommandToList(
      MakeLinkCommand(source, sourceParam, destination, destParam, sync, remove, bidirect), bidirect);
}

bool HasLink(const cNetObject& from, UWORD sourceParam, EW_NET_DATA_SCALE toHandle, UWORD destMethod) {
  for (const auto& e : *from.GetInformList(EW_NET_DATA_SCALE(sourceParam - PARAMETER_BASE))) {
    if (e.mHandle == toHandle && e.mDestinationMethod == destMethod) return true;
  }
  return false;
}

// The remote unit's router answering a forwarded find.
void RemoteReply(EW_NET_DATA_SCALE handle) {
  cEWNetMessage reply(2);
  reply.SetUWORD(0, handle);
  reply.mConnectionId = 5;
  reply.mSource = 0;
  reply.mDestination = GetRegistryRouter()->FindHandle(cSystemBuilder::kName);
  reply.mMethod = M_REPLY_OK;
  GetRegistryRouter()->AddMessageToMessageBuffer(reply);
}

// Counts the attempts to reach a host that is never there.
class cUnreachableHosts : public cEWNetConnectionManagerBase {
 public:
  UWORD ConnectToHost(const std::string& hostName) override {
    if (hostName == "unit9") ++mAttempts;
    return 0xFFFF;
  }
  int mAttempts = 0;
};

}  // namespace

class tst_SysBuild : public QObject {
  Q_OBJECT
 private slots:
  void commandsInOrderWithCounters();
  void missingObjectRetriedUntilRegistered();
  void remoteNameRetriedWithPausesThenAbandoned();
  void removalOfMissingObjectDropped();
  void bidirectionalLinkSyncsSourceOnly();
  void removeLink();
  void remoteNameCachedWithinBatch();
  void closedConnectionDropsItsCommand();
  void closedConnectionWhileCachedAnswerQueued();
  void newCommandAfterAbortWithFindQueued();
  void abortAllLinks();
  void secondBuilderRefused();
};

void tst_SysBuild::commandsInOrderWithCounters() {
  cNetworkScope net;
  cRecordingObject a("A"), b("B"), c("C");
  a.mValues[0] = 11;
  b.mValues[1] = 22;
  Queue("A", 4096, "B", 4097);
  Queue("B", 4097, "C", 4098);
  QVERIFY(GetSystemBuilder()->IsBusy());
  Deliver();
  QVERIFY(HasLink(a, 4096, b.GetHandle(), 4097));
  QVERIFY(HasLink(b, 4097, c.GetHandle(), 4098));
  // Sync: B got A's value, then C got B's (which by then was A's).
  QCOMPARE(c.mValues[2], UWORD(11));
  const sLinkPerformance perf = GetSystemBuilder()->GetLinkPerformance();
  QCOMPARE(perf.mRequested, ULONG(2));
  QCOMPARE(perf.mMade, ULONG(2));
  QCOMPARE(perf.mQueued, UWORD(0));
  QVERIFY(!perf.mBusy);
  QCOMPARE(GetSystemBuilder()->GetState(), SB_IDLE);
}

void tst_SysBuild::missingObjectRetriedUntilRegistered() {
  cNetworkScope net;
  cReportCapture reports;
  cRecordingObject a("A"), x("X"), y("Y");
  Queue("A", 4096, "Later", 4097);
  Queue("X", 4096, "Y", 4096);  // waits behind the blocked command
  // The missing name is asked for once; then the builder waits without any
  // traffic (it used to ask again and again, a busy loop).
  GetRegistryRouter()->DoWork(500);
  QCOMPARE(GetNumberOfQueuedMessages(), ULONG(0));
  QVERIFY(GetSystemBuilder()->IsWaitingForName());
  QCOMPARE(reports.Count("Can't find = \"Later\""), 1);
  QCOMPARE(reports.Count("mSourcePath = \"A\", mDestinationPath = \"Later\""), 1);
  QCOMPARE(reports.Count(
               "SourceParam: 4096,  DestParam: 4097,  Remove: False,  Sync: True,  Bidirect: False,  DataGram: False,"),
           1);
  QVERIFY(GetSystemBuilder()->IsBusy());
  QVERIFY(!HasLink(x, 4096, y.GetHandle(), 4096));

  cRecordingObject later("Later");
  Deliver();
  QVERIFY(HasLink(a, 4096, later.GetHandle(), 4097));
  QVERIFY(HasLink(x, 4096, y.GetHandle(), 4096));
  QVERIFY(!GetSystemBuilder()->IsBusy());
  QCOMPARE(reports.Count("Can't find"), 1);
}

void tst_SysBuild::remoteNameRetriedWithPausesThenAbandoned() {
  cNetworkScope net;
  cReportCapture reports;
  cUnreachableHosts hosts;
  SetConnectionManager(&hosts);
  cRecordingObject a("A"), b("B");
  Queue("unit9/Fader", 4096, "B", 4096);
  Queue("A", 4096, "B", 4097);
  Deliver();
  QCOMPARE(hosts.mAttempts, 1);
  // Without ticks nothing is tried again: no busy loop through the router.
  QCOMPARE(GetNumberOfQueuedMessages(), ULONG(0));
  // With ticks, tries come with growing pauses: 1, 2, 4, ... ticks apart.
  int ticks = 0;
  std::vector<int> attemptTicks;
  while (GetSystemBuilder()->GetListLength() == 2 && ticks < 1000) {
    const int before = hosts.mAttempts;
    TickNetwork();
    ++ticks;
    if (hosts.mAttempts != before) attemptTicks.push_back(ticks);
  }
  SetConnectionManager(nullptr);
  QCOMPARE(hosts.mAttempts, cSystemBuilder::kRemoteAttempts);
  QCOMPARE(attemptTicks.size(), size_t(cSystemBuilder::kRemoteAttempts - 1));
  QCOMPARE(attemptTicks[0], 1);
  QCOMPARE(attemptTicks[1], 3);
  QCOMPARE(attemptTicks[2], 7);
  QVERIFY2(ticks < 400, qPrintable(QString("gave up after %1 ticks").arg(ticks)));
  QCOMPARE(reports.Count("Link to \"unit9/Fader\" abandoned after 10 attempts"), 1);
  QCOMPARE(reports.Count("Can't find"), 1);
  // The command behind it goes ahead.
  Deliver();
  QVERIFY(HasLink(a, 4096, b.GetHandle(), 4097));
  QVERIFY(!GetSystemBuilder()->IsBusy());
}

void tst_SysBuild::removalOfMissingObjectDropped() {
  cNetworkScope net;
  cReportCapture reports;
  cRecordingObject a("A"), b("B");
  Queue("Ghost", 4096, "B", 4096, false, true);
  Queue("A", 4096, "B", 4096);
  Deliver();
  QCOMPARE(reports.Count("Can't find = \"Ghost\""), 1);
  QVERIFY(HasLink(a, 4096, b.GetHandle(), 4096));
  QCOMPARE(GetSystemBuilder()->GetLinkPerformance().mMade, ULONG(2));
  QVERIFY(!GetSystemBuilder()->IsBusy());
}

void tst_SysBuild::bidirectionalLinkSyncsSourceOnly() {
  cNetworkScope net;
  cRecordingObject a("A"), b("B");
  a.mValues[0] = 100;
  b.mValues[1] = 200;
  Queue("A", 4096, "B", 4097, true, false, true);
  Deliver();
  QVERIFY(HasLink(a, 4096, b.GetHandle(), 4097));
  QVERIFY(HasLink(b, 4097, a.GetHandle(), 4096));
  QCOMPARE(b.mValues[1], UWORD(100));
  QCOMPARE(a.mValues[0], UWORD(100));  // B never sent its 200 back
  QCOMPARE(a.CountMethod(4096), 0);
  // Two links between the pair: each counts the other once.
  QCOMPARE(a.GetDeleteList().front().mCount, UWORD(1));
  QCOMPARE(b.GetDeleteList().front().mCount, UWORD(1));
}

void tst_SysBuild::removeLink() {
  cNetworkScope net;
  cRecordingObject a("A"), b("B");
  Queue("A", 4096, "B", 4097, false, false, true);
  Deliver();
  Queue("A", 4096, "B", 4097, false, true, true);
  Deliver();
  QCOMPARE(a.GetNumberOfInformListItems(4096), EW_NET_DATA_SCALE(0));
  QCOMPARE(b.GetNumberOfInformListItems(4097), EW_NET_DATA_SCALE(0));
  QVERIFY(a.GetDeleteList().empty());
  QVERIFY(b.GetDeleteList().empty());
}

void tst_SysBuild::remoteNameCachedWithinBatch() {
  cNetworkScope net;
  cInstalledConnections installed;
  cFakeConnections& remote = installed.mFake;
  cRecordingObject b("B"), c("C");
  Queue("unit2/Fader", 4096, "B", 4096);
  Queue("unit2/Fader", 4096, "C", 4096);
  Deliver();
  QCOMPARE(remote.CountMethod(M_REG_FIND_OBJECT), 1);
  RemoteReply(40);
  Deliver();
  // Both links went to the remote object; its name was asked for once.
  QCOMPARE(remote.CountMethod(M_REG_FIND_OBJECT), 1);
  QCOMPARE(remote.CountMethod(M_OBJECT_ADD_TO_INFORM_LIST), 2);
  for (const auto& m : remote.mSent) {
    if (m.mMethod == M_OBJECT_ADD_TO_INFORM_LIST) QCOMPARE(m.mDestination, EW_NET_DATA_SCALE(40));
  }
  QVERIFY(!GetSystemBuilder()->IsBusy());

  // A new batch starts with an empty cache.
  Queue("unit2/Fader", 4096, "B", 4097);
  Deliver();
  QCOMPARE(remote.CountMethod(M_REG_FIND_OBJECT), 2);
}

void tst_SysBuild::closedConnectionDropsItsCommand() {
  cNetworkScope net;
  cReportCapture reports;
  cInstalledConnections installed;
  cFakeConnections& remote = installed.mFake;
  cRecordingObject a("A"), b("B");
  Queue("unit2/Fader", 4096, "B", 4096);
  Queue("A", 4096, "B", 4097);
  Deliver();
  QCOMPARE(remote.CountMethod(M_REG_FIND_OBJECT), 1);
  GetRegistryRouter()->InformConnectionClosed(5, true);
  Deliver();
  QVERIFY(HasLink(a, 4096, b.GetHandle(), 4097));
  QVERIFY(!GetSystemBuilder()->IsBusy());
  QCOMPARE(reports.Count("Can't find"), 0);
}

void tst_SysBuild::closedConnectionWhileCachedAnswerQueued() {
  // The second lookup of the remote name is answered from the cache through
  // the local buffer; that answer still arrives after the connection closed
  // and must not be taken for the next command's lookup.
  cNetworkScope net;
  cInstalledConnections installed;
  cFakeConnections& remote = installed.mFake;
  cRecordingObject a("A"), b("B"), c("C"), d("D");
  Queue("unit2/Fader", 4096, "B", 4096);
  Queue("unit2/Fader", 4096, "C", 4096);
  Queue("A", 4096, "D", 4096);
  Deliver();
  RemoteReply(40);
  GetRegistryRouter()->DoWork(3);  // the reply, the find of "B" and its answer
  QCOMPARE(remote.CountMethod(M_OBJECT_ADD_TO_INFORM_LIST), 1);
  QCOMPARE(GetNumberOfQueuedMessages(), ULONG(1));  // the cached answer
  GetRegistryRouter()->InformConnectionClosed(5, true);
  Deliver();
  QVERIFY(HasLink(a, 4096, d.GetHandle(), 4096));
  QCOMPARE(remote.CountMethod(M_OBJECT_ADD_TO_INFORM_LIST), 1);
  QVERIFY(!GetSystemBuilder()->IsBusy());
}

void tst_SysBuild::newCommandAfterAbortWithFindQueued() {
  // The dispatch thread stopped (and the builder aborted) while a find was
  // queued; when delivery resumes, its answer must not complete a command
  // queued after the abort.
  cNetworkScope net;
  cRecordingObject x("X"), a("A"), b("B");
  Queue("X", 4096, "Nowhere", 4096);
  GetSystemBuilder()->AbortAllLinks();
  Queue("A", 4096, "B", 4097);
  Deliver();
  QVERIFY(HasLink(a, 4096, b.GetHandle(), 4097));
  QVERIFY(x.GetInformList(0)->empty());
  QVERIFY(a.GetDeleteList().empty());
  QVERIFY(!GetSystemBuilder()->IsBusy());
}

void tst_SysBuild::abortAllLinks() {
  cNetworkScope net;
  cRecordingObject a("A");
  Queue("A", 4096, "Nowhere", 4096);
  Queue("A", 4096, "Nowhere2", 4096);
  GetRegistryRouter()->DoWork(50);
  GetSystemBuilder()->AbortAllLinks();
  QVERIFY(!GetSystemBuilder()->IsBusy());
  QCOMPARE(GetSystemBuilder()->GetListLength(), size_t(0));
  QCOMPARE(GetSystemBuilder()->GetLinkPerformance().mQueued, UWORD(0));
  Deliver();  // the last outstanding reply is ignored; the queue drains
  QCOMPARE(GetNumberOfQueuedMessages(), ULONG(0));
  // The builder takes new work afterwards.
  cRecordingObject b("B");
  Queue("A", 4096, "B", 4096);
  Deliver();
  QVERIFY(HasLink(a, 4096, b.GetHandle(), 4096));
}

void tst_SysBuild::secondBuilderRefused() {
  cNetworkScope net;
  cReportCapture reports;
  cSystemBuilder* first = GetSystemBuilder();
  auto other = std::make_unique<cSystemBuilder>("Other Builder", 0);
  SetSystemBuilder(other.get());
  QCOMPARE(reports.Count("SystemBuilder allready set!"), 1);
  QCOMPARE(GetSystemBuilder(), first);
}

QTEST_GUILESS_MAIN(tst_SysBuild)
#include "tst_SysBuild.moc"
