#include <QCoreApplication>
#include <QThread>
#include <atomic>
#include <benchmark/benchmark.h>
#include <memory>

#include "AllocCounter.h"
#include "EWNet/Core/NetObjct.h"
#include "EWNet/Core/RegRoutr.h"
#include "EWNet/Core/Syscall.h"

namespace {

constexpr int kBatch = 1000;

class cCountingReceiver : public cNetObject {
 public:
  explicit cCountingReceiver(const char* name) : cNetObject(name, 1, false, false) {}
  ~cCountingReceiver() override { Unregister(); }
  void EntrypointMessage(cEWNetMessage& message) override {
    mSum += message.GetULONG(0);
    mCount.fetch_add(1, std::memory_order_release);
  }
  std::atomic<std::uint64_t> mCount{0};
  std::uint64_t mSum = 0;
};

class cIdleSender : public cNetObject {
 public:
  explicit cIdleSender(const char* name) : cNetObject(name, 1, false, false) {}
  ~cIdleSender() override { Unregister(); }
};

void WaitFor(const std::atomic<std::uint64_t>& count, std::uint64_t target) {
  while (count.load(std::memory_order_acquire) < target) QThread::yieldCurrentThread();
}

}  // namespace

// One object posts 4-byte parameter messages to another; the dispatch thread
// delivers them. Posting runs in batches so the buffer stays at working size.
static void BM_RouterPostDeliver(benchmark::State& state) {
  StartEWNet(0, false);
  {
    auto sender = std::make_unique<cIdleSender>("Bench Sender");
    auto receiver = std::make_unique<cCountingReceiver>("Bench Receiver");
    cSyscallThread dispatch;
    dispatch.Start();

    cEWNetMessage message(4);
    message.mConnectionId = 0;
    message.mSource = sender->GetHandle();
    message.mDestination = receiver->GetHandle();
    message.mMethod = PARAMETER_BASE;

    std::uint64_t posted = 0;
    auto postBatch = [&] {
      for (int i = 0; i < kBatch; ++i) {
        message.SetULONG(0, ULONG(posted++));
        SendMessage(message);
      }
      WaitFor(receiver->mCount, posted);
    };
    for (int i = 0; i < 20; ++i) postBatch();  // warm the pools and the buffer

    const std::uint64_t allocationsBefore = HeapAllocationCount();
    const std::uint64_t postedBefore = posted;
    for (auto _ : state) postBatch();
    const std::uint64_t measured = posted - postedBefore;
    const std::uint64_t allocations = HeapAllocationCount() - allocationsBefore;

    state.SetItemsProcessed(int64_t(measured));
    state.counters["allocs_per_million"] = measured > 0 ? double(allocations) * 1e6 / double(measured) : 0.0;
    dispatch.Stop();
  }
  StopEWNet();
}
BENCHMARK(BM_RouterPostDeliver)->UseRealTime()->MinTime(1.0);

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
    mCount.fetch_add(1, std::memory_order_release);
  }

 public:
  std::atomic<std::uint64_t> mCount{0};
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
  auto postBatch = [&] {
    for (int i = 0; i < kBatch; ++i) emit sender.Value(quint32(posted++));
    WaitFor(receiver->mCount, posted);
  };
  for (int i = 0; i < 20; ++i) postBatch();

  const std::uint64_t allocationsBefore = HeapAllocationCount();
  const std::uint64_t postedBefore = posted;
  for (auto _ : state) postBatch();
  const std::uint64_t measured = posted - postedBefore;
  state.SetItemsProcessed(int64_t(measured));
  state.counters["allocs_per_million"] =
      measured > 0 ? double(HeapAllocationCount() - allocationsBefore) * 1e6 / double(measured) : 0.0;
  thread.quit();
  thread.wait();
}
BENCHMARK(BM_QtQueuedSignalSlot)->UseRealTime()->MinTime(1.0);

#include "bench_router.moc"
