#include <benchmark/benchmark.h>
#include <QCoreApplication>
#include <QThread>
#include <atomic>
#include <memory>

#include "AllocCounter.h"
#include "EWNet/Core/NetObjct.h"
#include "EWNet/Core/RegRoutr.h"
#include "EWNet/Core/Syscall.h"

namespace {

constexpr int kBatch = 1000;

// The waiting thread polls the published count; publishing once per batch
// keeps that polling from bouncing the receiver's cache line on every message.
inline void PublishCount(std::atomic<std::uint64_t>& published, std::uint64_t received) {
  if (received % kBatch == 0) published.store(received, std::memory_order_release);
}

class cCountingReceiver : public cNetObject {
 public:
  explicit cCountingReceiver(const char* name) : cNetObject(name, 1, false, false) {}
  ~cCountingReceiver() override { Unregister(); }
  void EntrypointMessage(cEWNetMessage& message) override {
    mSum += message.GetULONG(0);
    PublishCount(mCount, ++mReceived);
  }
  std::atomic<std::uint64_t> mCount{0};
  std::uint64_t mReceived = 0;
  std::uint64_t mSum = 0;
};

// Posts a batch of 4-byte parameter messages to the receiver each time it is
// told to, as an object publishing values from the dispatch thread does.
class cBatchSender : public cNetObject {
 public:
  explicit cBatchSender(const char* name) : cNetObject(name, 1, false, false), mMessage(4) {
    mMessage.mConnectionId = 0;
    mMessage.mSource = mHandle;
    mMessage.mMethod = PARAMETER_BASE;
  }
  ~cBatchSender() override { Unregister(); }
  void EntrypointMessage(cEWNetMessage& message) override {
    (void)message;
    for (int i = 0; i < kBatch; ++i) {
      mMessage.SetULONG(0, ULONG(mPosted++));
      SendMessage(mMessage);
    }
  }
  cEWNetMessage mMessage;
  std::uint64_t mPosted = 0;
};

void WaitFor(const std::atomic<std::uint64_t>& count, std::uint64_t target) {
  while (count.load(std::memory_order_acquire) < target) QThread::yieldCurrentThread();
}

struct sRouterRig {
  sRouterRig() {
    StartEWNet(0, false);
    mReceiver = std::make_unique<cCountingReceiver>("Bench Receiver");
    mSender = std::make_unique<cBatchSender>("Bench Sender");
    mSender->mMessage.mDestination = mReceiver->GetHandle();
    mDispatch = std::make_unique<cSyscallThread>();
    mDispatch->Start();
  }
  ~sRouterRig() {
    mDispatch->Stop();
    mDispatch.reset();
    mSender.reset();
    mReceiver.reset();
    StopEWNet();
  }
  std::unique_ptr<cCountingReceiver> mReceiver;
  std::unique_ptr<cBatchSender> mSender;
  std::unique_ptr<cSyscallThread> mDispatch;
};

// Every benchmark runs batches of kBatch messages, each ending when its last
// message has arrived. The first 20 warm the pools and buffers; then one batch
// per iteration, reporting messages delivered and heap allocations meanwhile.
template <typename RunBatch>
void MeasureBatches(benchmark::State& state, RunBatch runBatch) {
  for (int i = 0; i < 20; ++i) runBatch();
  const std::uint64_t allocationsBefore = HeapAllocationCount();
  std::uint64_t messages = 0;
  for (auto _ : state) {
    runBatch();
    messages += kBatch;
  }
  const std::uint64_t allocations = HeapAllocationCount() - allocationsBefore;
  state.SetItemsProcessed(int64_t(messages));
  state.counters["allocs_per_million"] = messages > 0 ? double(allocations) * 1e6 / double(messages) : 0.0;
}

}  // namespace

// One object posts 4-byte parameter messages to another; the dispatch thread
// delivers them. The sender is a net object, so it posts from the dispatch
// thread as the program's objects do; the benchmark thread only starts each
// batch of 1000 with one message and waits for the batch to arrive.
static void BM_RouterPostDeliver(benchmark::State& state) {
  sRouterRig rig;
  cEWNetMessage go(0);
  go.mConnectionId = 0;
  go.mSource = 0xFFFF;
  go.mDestination = rig.mSender->GetHandle();
  go.mMethod = PARAMETER_BASE;
  std::uint64_t expected = 0;
  MeasureBatches(state, [&] {
    expected += kBatch;
    SendMessage(go);
    WaitFor(rig.mReceiver->mCount, expected);
  });
}
BENCHMARK(BM_RouterPostDeliver)->UseRealTime()->MinTime(1.0);

// The same traffic posted from a thread outside the object network (as the
// user interface's drivers post), delivered by the dispatch thread.
static void BM_RouterPostFromOtherThread(benchmark::State& state) {
  sRouterRig rig;
  cEWNetMessage message(4);
  message.mConnectionId = 0;
  message.mSource = rig.mSender->GetHandle();
  message.mDestination = rig.mReceiver->GetHandle();
  message.mMethod = PARAMETER_BASE;
  std::uint64_t posted = 0;
  MeasureBatches(state, [&] {
    for (int i = 0; i < kBatch; ++i) {
      message.SetULONG(0, ULONG(posted++));
      SendMessage(message);
    }
    WaitFor(rig.mReceiver->mCount, posted);
  });
}
BENCHMARK(BM_RouterPostFromOtherThread)->UseRealTime()->MinTime(1.0);

// Baseline: the same traffic as queued signal-slot calls to an object that
// lives in another thread.
class cQtSender : public QObject {
  Q_OBJECT
 signals:
  void Value(quint32 value);
};

class cQtReceiver : public QObject {
  Q_OBJECT
 public slots:
  void OnValue(quint32 value) {
    mSum += value;
    PublishCount(mCount, ++mReceived);
  }

 public:
  std::atomic<std::uint64_t> mCount{0};
  std::uint64_t mReceived = 0;
  std::uint64_t mSum = 0;
};

static void BM_QtQueuedSignalSlot(benchmark::State& state) {
  QThread thread;
  cQtSender sender;
  auto* receiver = new cQtReceiver;
  receiver->moveToThread(&thread);
  QObject::connect(&sender, &cQtSender::Value, receiver, &cQtReceiver::OnValue, Qt::QueuedConnection);
  QObject::connect(&thread, &QThread::finished, receiver, &QObject::deleteLater);
  thread.start();

  std::uint64_t posted = 0;
  MeasureBatches(state, [&] {
    for (int i = 0; i < kBatch; ++i) emit sender.Value(quint32(posted++));
    WaitFor(receiver->mCount, posted);
  });
  thread.quit();
  thread.wait();
}
BENCHMARK(BM_QtQueuedSignalSlot)->UseRealTime()->MinTime(1.0);

// Baseline for the traffic of BM_RouterPostDeliver: the sender lives in the
// receiving thread too, so every call is queued and delivered by one event
// loop, with no thread hand-off per message.
class cQtBatchSender : public QObject {
  Q_OBJECT
 public slots:
  void Go() {
    for (int i = 0; i < kBatch; ++i) emit Value(quint32(mPosted++));
  }
 signals:
  void Value(quint32 value);

 public:
  std::uint64_t mPosted = 0;
};

static void BM_QtQueuedSignalSlotSameThread(benchmark::State& state) {
  QThread thread;
  auto* sender = new cQtBatchSender;
  auto* receiver = new cQtReceiver;
  sender->moveToThread(&thread);
  receiver->moveToThread(&thread);
  QObject::connect(sender, &cQtBatchSender::Value, receiver, &cQtReceiver::OnValue, Qt::QueuedConnection);
  QObject::connect(&thread, &QThread::finished, sender, &QObject::deleteLater);
  QObject::connect(&thread, &QThread::finished, receiver, &QObject::deleteLater);
  thread.start();

  std::uint64_t expected = 0;
  MeasureBatches(state, [&] {
    expected += kBatch;
    QMetaObject::invokeMethod(sender, "Go", Qt::QueuedConnection);
    WaitFor(receiver->mCount, expected);
  });
  thread.quit();
  thread.wait();
}
BENCHMARK(BM_QtQueuedSignalSlotSameThread)->UseRealTime()->MinTime(1.0);

#include "bench_router.moc"
