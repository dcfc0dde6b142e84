// Net objects, drivers and link commands while the dispatch and tick threads
// run for real.

#include <QElapsedTimer>
#include <QtTest>
#include <atomic>
#include <ctime>
#include <future>
#include <thread>

#include "EWNet/Core/ContCtrl.h"
#include "EWNet/Core/NetFactory.h"
#include "EWNet/Core/audiodrv.h"
#include "NetProbe.h"
#include "NetTestObjects.h"
#include "TestSupport.h"

namespace {

class cIdleTickParent : public cActionTickParent {
 public:
  void ActionTickHook() override {}
};

// The dispatch and tick threads, started and stopped in order.
struct sRunningNetwork {
  cNetworkScope mNetwork;
  cIdleTickParent mParent;
  tNetPtr<cActionTickDriver> mTicks = MakeNetObject<cActionTickDriver>(&mParent);
  cSyscallThread mDispatch;

  sRunningNetwork() {
    mDispatch.Start();
    mTicks->start();
    SetSystemRunning(true);
  }
  ~sRunningNetwork() {
    SetSystemRunning(false);
    mDispatch.Stop();
    mTicks->StopBeats();
    mTicks.reset();
  }
};

// Counts polls that reach a driver whose constructor has not finished, or
// whose destructor has begun. The constructor takes its time, as a driver
// that sets up a unit does, so that a tick has every chance to come early.
std::atomic<int> gPollsOfIncompleteDrivers{0};

class cSlowDriver : public cContinuousControllerDriver {
 public:
  explicit cSlowDriver(const char* name) : cContinuousControllerDriver(name, 0, 100, false, true) {
    std::this_thread::sleep_for(std::chrono::milliseconds(3));
    mComplete.store(true);
  }
  ~cSlowDriver() override {
    mComplete.store(false);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    DestroyAudioObject();
  }
  UBYTE ReadTouched() override { return 0; }
  UWORD ReadValue() override {
    if (!mComplete.load()) gPollsOfIncompleteDrivers.fetch_add(1);
    mPolls.fetch_add(1);
    return 0;
  }
  void WriteValue(UWORD) override {}
  std::atomic<bool> mComplete{false};
  std::atomic<int> mPolls{0};
};

// Makes the lifetime checks report without stopping the test.
struct cNonFatalLifetimeChecks {
  cNonFatalLifetimeChecks() { SetNetLifetimeChecksFatal(false); }
  ~cNonFatalLifetimeChecks() { SetNetLifetimeChecksFatal(true); }
};

double ProcessCpuMs() { return double(std::clock()) * 1000.0 / CLOCKS_PER_SEC; }

}  // namespace

class tst_Lifetimes : public QObject {
  Q_OBJECT
 private slots:
  void driversMadeOnAnotherThreadWhileTicking();
  void creationOutsideTheLockIsReported();
  void missingLinkTargetCostsNothingUntilItAppears();
  void fullBufferRefusesWithoutWaitingForLocks();
};

void tst_Lifetimes::driversMadeOnAnotherThreadWhileTicking() {
  sRunningNetwork running;
  gPollsOfIncompleteDrivers.store(0);
  std::atomic<int> polled{0};
  std::thread maker([&] {
    for (int i = 0; i < 30; ++i) {
      const std::string name = "Slow " + std::to_string(i);
      tNetPtr<cSlowDriver> driver = MakeNetObject<cSlowDriver>(name.c_str());
      // Polled at least once before it goes, or the test proves nothing.
      for (int wait = 0; wait < 200 && driver->mPolls.load() == 0; ++wait) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
      }
      if (driver->mPolls.load() > 0) polled.fetch_add(1);
    }
  });
  maker.join();
  QCOMPARE(polled.load(), 30);
  QCOMPARE(gPollsOfIncompleteDrivers.load(), 0);
}

void tst_Lifetimes::creationOutsideTheLockIsReported() {
  sRunningNetwork running;
  cNonFatalLifetimeChecks nonFatal;
  cReportCapture reports;
  {
    // Neither ticked nor addressed, so the dispatch thread never meets it.
    cRecordingObject careless("Careless");
    QVERIFY(careless.IsRegistered());
  }
  QCOMPARE(reports.Count("Net object \"Careless\" created outside the registry lock"), 1);
  QCOMPARE(reports.Count("Net object \"Careless\" destroyed outside the registry lock"), 1);
  reports.Clear();
  { auto careful = MakeNetObject<cRecordingObject>("Careful"); }
  QCOMPARE(int(reports.Lines().size()), 0);
}

void tst_Lifetimes::missingLinkTargetCostsNothingUntilItAppears() {
  sRunningNetwork running;
  auto source = MakeNetObject<cRecordingObject>("Source");
  source->mValues[0] = 77;
  QVERIFY(QueueParameterLink("Source", 4096, "Appears Later", 4097, true, false, false));
  QTRY_VERIFY_WITH_TIMEOUT(GetSystemBuilder()->IsWaitingForName(), 2000);
  // Waiting, the builder sends nothing: the network idles at its tick rate.
  // A builder that polled for the name would keep a core busy; idling costs
  // a small share of the time that passed, however loaded the machine is.
  QElapsedTimer wall;
  wall.start();
  const double before = ProcessCpuMs();
  QTest::qWait(300);
  const double cpuMs = ProcessCpuMs() - before;
  const double wallMs = double(wall.elapsed());
  QVERIFY2(cpuMs < 0.5 * wallMs,
           qPrintable(QString("process used %1 ms of processor time in %2 ms").arg(cpuMs).arg(wallMs)));

  tNetPtr<cRecordingObject> later;
  std::thread maker([&] { later = MakeNetObject<cRecordingObject>("Appears Later"); });
  maker.join();
  QTRY_VERIFY_WITH_TIMEOUT(!GetSystemBuilder()->IsBusy(), 2000);
  cRegistryLocker lock;
  QVERIFY(Informs(*source, 4096, later->GetHandle(), 4097));
  QCOMPARE(later->mValues[1], UWORD(77));  // the sync value arrived
}

void tst_Lifetimes::fullBufferRefusesWithoutWaitingForLocks() {
  cNetworkScope net;
  cReportCapture reports;
  cRecordingObject sink("Sink");
  cEWNetMessage m(2);
  m.mConnectionId = 0;
  m.mSource = 0;
  m.mDestination = sink.GetHandle();
  m.mMethod = 4096;
  for (ULONG i = 0; i < cRegistryRouter::kMaxQueuedMessages; ++i) QVERIFY(SendMessage(m));
  QCOMPARE(GetNumberOfQueuedMessages(), cRegistryRouter::kMaxQueuedMessages);

  // Another thread holds the registry lock (and waits): the refused post must
  // still return, and report, without waiting for it.
  std::promise<void> held;
  std::promise<void> release;
  std::thread holder([&] {
    cRegistryLocker lock;
    held.set_value();
    release.get_future().wait_for(std::chrono::seconds(10));
  });
  held.get_future().wait();
  auto refused = std::async(std::launch::async, [&] { return SendMessage(m); });
  const bool returned = refused.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
  release.set_value();
  holder.join();
  QVERIFY(returned);
  QVERIFY(!refused.get());
  QCOMPARE(GetNumberOfQueuedMessages(), cRegistryRouter::kMaxQueuedMessages);
  QVERIFY2(reports.Count("Message Pools Full, Length: 2") == 1, qPrintable(reports.Dump()));
  QVERIFY(!SendMessage(m));
  QCOMPARE(reports.Count("Message Pools Full"), 1);  // once in the router's life

  // The large pool has a limit of its own, below the buffer's.
  Deliver();
  cEWNetMessage large(100);
  large.mConnectionId = 0;
  large.mDestination = sink.GetHandle();
  large.mMethod = 4096;
  for (ULONG i = 0; i < cEWNetMessagePool::kLargeMaximum; ++i) QVERIFY(SendMessage(large));
  QVERIFY(!SendMessage(large));
  QVERIFY(reports.Contains("Mess Pools Full"));
  Deliver();
  QVERIFY(SendMessage(large));  // usable again once delivered
  Deliver();
}

QTEST_GUILESS_MAIN(tst_Lifetimes)
#include "tst_Lifetimes.moc"
