#include <QElapsedTimer>
#include <QtTest>
#include <atomic>
#include <ctime>
#include <memory>
#include <mutex>

#include "EWNet/Core/ContCtrl.h"
#include "EWNet/Core/audiodrv.h"
#include "NetTestObjects.h"
#include "TestSupport.h"

namespace {

class cCountingTickParent : public cActionTickParent {
 public:
  void ActionTickHook() override { mHooks.fetch_add(1); }
  std::atomic<int> mHooks{0};
};

// Records, under its own lock, when ticks and values arrive in the dispatch
// thread.
class cTimedObject : public cNetObject {
 public:
  explicit cTimedObject(const char* name) : cNetObject(name, 1, true, false) { mClock.start(); }
  ~cTimedObject() override { Unregister(); }
  void ActionTick() override {
    std::lock_guard<std::mutex> guard(mLock);
    mTickTimes.push_back(mClock.nsecsElapsed() / 1000000.0);
  }
  void EntrypointMessage(cEWNetMessage& message) override {
    if (message.mMethod != 4096) {
      cNetObject::EntrypointMessage(message);
      return;
    }
    std::lock_guard<std::mutex> guard(mLock);
    mValues.push_back({message.GetUWORD(0), int(mTickTimes.size())});
  }
  std::mutex mLock;
  QElapsedTimer mClock;
  std::vector<double> mTickTimes;
  std::vector<std::pair<UWORD, int>> mValues;  // value, ticks seen when it arrived
};

// Notes when each beat's hook runs; the fifth stalls for five periods.
class cStallingTickParent : public cActionTickParent {
 public:
  cStallingTickParent() { mClock.start(); }
  void ActionTickHook() override {
    std::lock_guard<std::mutex> guard(mLock);
    mTimesMs.push_back(double(mClock.nsecsElapsed()) / 1e6);
    if (mTimesMs.size() == 5) QThread::msleep(5 * cActionTickDriver::kTickMs);
  }
  std::vector<double> Times() {
    std::lock_guard<std::mutex> guard(mLock);
    return mTimesMs;
  }

 private:
  std::mutex mLock;
  QElapsedTimer mClock;
  std::vector<double> mTimesMs;
};

// A driver whose value the test thread changes, as a GUI control would.
class cAtomicDriver : public cContinuousControllerDriver {
 public:
  explicit cAtomicDriver(const char* name) : cContinuousControllerDriver(name, 0, 65535, false, true) {}
  ~cAtomicDriver() override { DestroyAudioObject(); }
  UBYTE ReadTouched() override { return 0; }
  UWORD ReadValue() override { return mValue.load(); }
  void WriteValue(UWORD value) override { mValue.store(value); }
  std::atomic<UWORD> mValue{0};
};

}  // namespace

class tst_Syscall : public QObject {
  Q_OBJECT
 private slots:
  void realThreadsTickAndPublish();
  void noTicksBeforeSystemRunning();
  void atMostTwoTicksInFlight();
  void noTickWhileBufferLong();
  void stopLeavesMessagesQueuedAndRestarts();
  void idleWhileProcessingDisabled();
  void beatsMissedByAStallAreSkipped();
};

void tst_Syscall::realThreadsTickAndPublish() {
  cNetworkScope net;
  cCountingTickParent parent;
  auto syscall = std::make_unique<cSyscallThread>();
  auto ticks = std::make_unique<cActionTickDriver>(&parent);
  auto timed = std::make_unique<cTimedObject>("Timed");
  auto driver = std::make_unique<cAtomicDriver>("Fader");
  driver->LinkValueToDestination("Timed", 4096, false, false);
  syscall->Start();
  syscall->Start();  // a second start does nothing
  ticks->start();
  SetSystemRunning(true);

  // Let it run for a second, then change the driver's value and see it arrive.
  QTest::qWait(1000);
  int ticksBefore = 0;
  {
    std::lock_guard<std::mutex> guard(timed->mLock);
    ticksBefore = int(timed->mTickTimes.size());
  }
  driver->mValue.store(1234);
  QTRY_VERIFY_WITH_TIMEOUT(
      [&] {
        std::lock_guard<std::mutex> guard(timed->mLock);
        return !timed->mValues.empty() && timed->mValues.back().first == 1234;
      }(),
      2000);

  SetSystemRunning(false);
  syscall->Stop();
  ticks.reset();
  syscall.reset();

  // The threads have stopped; the lock only keeps the reads tidy, and is let
  // go before the object that holds it is destroyed.
  {
    std::lock_guard<std::mutex> guard(timed->mLock);
    const std::vector<double>& t = timed->mTickTimes;
    QVERIFY2(ticksBefore >= 25 && ticksBefore <= 60, qPrintable(QString("ticks in 1 s: %1").arg(ticksBefore)));
    double sum = 0;
    for (size_t i = 1; i < t.size(); ++i) sum += t[i] - t[i - 1];
    const double mean = sum / double(t.size() - 1);
    QVERIFY2(mean > 16.0 && mean < 40.0, qPrintable(QString("mean tick interval %1 ms").arg(mean)));
    QVERIFY(parent.mHooks.load() >= ticksBefore);
    // The change was published on one of the next two ticks.
    const auto arrival = timed->mValues.back();
    QVERIFY2(arrival.second - ticksBefore <= 2,
             qPrintable(QString("arrived after tick %1, changed after tick %2").arg(arrival.second).arg(ticksBefore)));
  }
  timed.reset();
  driver.reset();
}

void tst_Syscall::noTicksBeforeSystemRunning() {
  cNetworkScope net;
  cCountingTickParent parent;
  SetSystemRunning(false);
  cActionTickDriver ticks(&parent);
  QCOMPARE(GetNumberOfQueuedMessages(), ULONG(1));  // the constructor's tick
  QCOMPARE(ticks.TicksInFlight(), 1);
  for (int i = 0; i < 5; ++i) ticks.Beat();
  QCOMPARE(parent.mHooks.load(), 5);  // the hook still runs
  QCOMPARE(GetNumberOfQueuedMessages(), ULONG(1));
  Deliver();
  QCOMPARE(ticks.TicksInFlight(), 0);
  // Once the system runs, a beat posts a tick; stopped again, none.
  SetSystemRunning(true);
  QVERIFY(IsSystemRunning());
  ticks.Beat();
  QCOMPARE(ticks.TicksInFlight(), 1);
  SetSystemRunning(false);
  QVERIFY(!IsSystemRunning());
  ticks.Beat();
  QCOMPARE(ticks.TicksInFlight(), 1);
  Deliver();
}

void tst_Syscall::atMostTwoTicksInFlight() {
  cNetworkScope net;
  cCountingTickParent parent;
  SetSystemRunning(true);
  cActionTickDriver ticks(&parent);
  // Nobody delivers (the dispatch thread is not running).
  for (int i = 0; i < 10; ++i) ticks.Beat();
  QCOMPARE(ticks.TicksInFlight(), 2);
  QCOMPARE(GetNumberOfQueuedMessages(), ULONG(2));
  Deliver();  // two ticks, two tocks
  QCOMPARE(ticks.TicksInFlight(), 0);
  ticks.Beat();
  QCOMPARE(ticks.TicksInFlight(), 1);
  SetSystemRunning(false);
}

void tst_Syscall::noTickWhileBufferLong() {
  cNetworkScope net;
  cCountingTickParent parent;
  cRecordingObject sink("Sink");
  cActionTickDriver ticks(&parent);
  Deliver();
  SetSystemRunning(true);
  for (int i = 0; i < 5000; ++i) Post(0, sink.GetHandle(), 4096, {0, 1});
  ticks.Beat();
  QCOMPARE(ticks.TicksInFlight(), 0);
  QCOMPARE(GetNumberOfQueuedMessages(), ULONG(5000));
  GetRegistryRouter()->DoWork(1);
  ticks.Beat();
  QCOMPARE(ticks.TicksInFlight(), 1);
  QCOMPARE(GetNumberOfQueuedMessages(), ULONG(5000));
  SetSystemRunning(false);
  Deliver();
}

void tst_Syscall::stopLeavesMessagesQueuedAndRestarts() {
  cNetworkScope net;
  cRecordingObject sink("Sink");
  cSyscallThread syscall;
  syscall.Start();
  Post(0, sink.GetHandle(), 4096, {0, 1});
  WakeDispatchThread();
  QTRY_COMPARE_WITH_TIMEOUT(GetNumberOfQueuedMessages(), ULONG(0), 2000);
  syscall.Stop();
  QVERIFY(!syscall.IsRunning());
  cEWNetMessage m(2);
  m.mConnectionId = 0;
  m.mDestination = sink.GetHandle();
  m.mMethod = 4096;
  SendMessage(m);
  SendMessage(m);
  QTest::qWait(50);
  QCOMPARE(GetNumberOfQueuedMessages(), ULONG(2));
  syscall.Start();
  QTRY_COMPARE_WITH_TIMEOUT(GetNumberOfQueuedMessages(), ULONG(0), 2000);
  syscall.Stop();
  LockRegistry();
  QCOMPARE(sink.mReceived.size(), size_t(3));
  UnlockRegistry();
  SendMessage(m);  // left queued: returned to the pool when the router goes
}

void tst_Syscall::idleWhileProcessingDisabled() {
  // Switching processing off while the dispatch thread runs must leave it
  // asleep, not spinning over the messages it may not deliver.
  cNetworkScope net;
  cRecordingObject sink("Sink");
  cSyscallThread syscall;
  syscall.Start();
  GetRegistryRouter()->SetProcessingEnabled(false);
  cEWNetMessage m(2);
  m.mConnectionId = 0;
  m.mDestination = sink.GetHandle();
  m.mMethod = 4096;
  SendMessage(m);
  QTest::qWait(20);
  const std::clock_t before = std::clock();
  QTest::qWait(300);
  const double cpuMs = double(std::clock() - before) * 1000.0 / CLOCKS_PER_SEC;
  QVERIFY2(cpuMs < 100.0, qPrintable(QString("process used %1 ms of processor time in 300 ms").arg(cpuMs)));
  QCOMPARE(GetNumberOfQueuedMessages(), ULONG(1));
  // Switching processing on wakes the sleeping dispatcher by itself.
  GetRegistryRouter()->SetProcessingEnabled(true);
  QTRY_COMPARE_WITH_TIMEOUT(GetNumberOfQueuedMessages(), ULONG(0), 2000);
  syscall.Stop();
}

// A hook that overran by several periods is followed by the next beat due,
// not by the missed ones all at once.
void tst_Syscall::beatsMissedByAStallAreSkipped() {
  cNetworkScope net;
  cStallingTickParent parent;
  cActionTickDriver ticks(&parent);
  ticks.start();
  QTRY_VERIFY_WITH_TIMEOUT(parent.Times().size() >= 12, 5000);
  ticks.StopBeats();
  const std::vector<double> t = parent.Times();
  const double stallEnd = t[4] + 5 * cActionTickDriver::kTickMs;
  int soonAfter = 0;
  for (double time : t) soonAfter += time >= stallEnd - 1.0 && time < stallEnd + cActionTickDriver::kTickMs ? 1 : 0;
  QVERIFY2(soonAfter <= 2, qPrintable(QString("%1 beats in the period after the stall").arg(soonAfter)));
  QVERIFY(t[5] >= stallEnd - 1.0);
  Deliver();
}

QTEST_GUILESS_MAIN(tst_Syscall)
#include "tst_Syscall.moc"
