// Figures of the running system: the processor time an unresolved link costs,
// the steadiness of the 20 ms tick while the device link streams a recall,
// how soon the device holds the last value of a burst of changes, and how a
// link busy for half a minute keeps up with the processor's replies. Each
// benchmark runs the real dispatch and tick threads against the simulated
// device on a pseudo-terminal, once, and reports its figures as counters.

#include <benchmark/benchmark.h>
#include <QElapsedTimer>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <ctime>
#include <mutex>
#include <vector>

#include "DevSim/DeviceModel.h"
#include "DevSim/DeviceSimulator.h"
#include "EWNet/Core/NetFactory.h"
#include "EWNet/Core/RegRoutr.h"
#include "EWNet/Core/SysBuild.h"
#include "EWNet/Core/Syscall.h"
#include "EWNet/Core/audiodrv.h"
#include "OrvelGUI/Core/SerialInterface.h"

namespace {

double ProcessCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return double(t.tv_sec) * 1000.0 + double(t.tv_nsec) / 1e6;
}

double Percentile(std::vector<double> values, double p) {
  if (values.empty()) return 0.0;
  std::sort(values.begin(), values.end());
  const std::size_t at = std::min(values.size() - 1, std::size_t(p * double(values.size() - 1) + 0.5));
  return values[at];
}

// The tick hook: one step of the link, and the longest queues and the
// largest miss count seen.
class cLinkTickHook : public cActionTickParent {
 public:
  void ActionTickHook() override {
    cSerialInterface* link = mLink.load();
    if (link == nullptr) return;
    link->Service();
    const cSerialInterface::sQueueLengths lengths = link->GetQueueLengths();
    mMaxFilters = std::max(mMaxFilters.load(), lengths.mFilters);
    mMaxStrips = std::max(mMaxStrips.load(), lengths.mStrips);
    mMaxDelays = std::max(mMaxDelays.load(), lengths.mDelays);
    mMaxMisses = std::max<int>(mMaxMisses.load(), link->GetMissCount());
    if (link->GetState() != cSerialInterface::CONNECTED) mLeftConnected = true;
  }
  std::atomic<cSerialInterface*> mLink{nullptr};
  std::atomic<std::size_t> mMaxFilters{0};
  std::atomic<std::size_t> mMaxStrips{0};
  std::atomic<std::size_t> mMaxDelays{0};
  std::atomic<int> mMaxMisses{0};
  std::atomic<bool> mLeftConnected{false};
};

// Notes when each tick reaches the dispatch thread; optionally queues a whole
// recall's worth of entries on every tick, as the units do when a recall
// makes them all recompute.
class cTickProbe : public cNetObject {
 public:
  explicit cTickProbe(cSerialInterface* recallInto)
      : cNetObject("Bench Tick Probe", 0, true, false), mLink(recallInto) {
    mClock.start();
  }
  ~cTickProbe() override { Unregister(); }
  void ActionTick() override {
    {
      std::lock_guard<std::mutex> guard(mLock);
      mTimesMs.push_back(double(mClock.nsecsElapsed()) / 1e6);
    }
    if (mLink == nullptr) return;
    ++mRound;
    for (ULONG channel = 0; channel < 6; ++channel) {
      for (ULONG slot = 0; slot < ULONG(channel < 2 ? 4 : channel < 4 ? 6 : 8); ++slot) {
        const std::int32_t coefficients[5] = {mRound, 1, 2, 3, 4};
        mLink->QueueFilterMessage((slot << 8) | channel, coefficients, 20, UWORD(mRound), 0, 0, 0, 0, 0);
      }
    }
    for (ULONG i = 0; i < 8; ++i) mLink->QueueControlStripMessage(i, mRound, UWORD(mRound), 0, 0);
    for (ULONG i = 0; i < 6; ++i) mLink->QueueDelayMessage(i, mRound);
  }
  std::vector<double> Intervals() {
    std::lock_guard<std::mutex> guard(mLock);
    std::vector<double> gaps;
    for (std::size_t i = 1; i < mTimesMs.size(); ++i) gaps.push_back(mTimesMs[i] - mTimesMs[i - 1]);
    return gaps;
  }

 private:
  std::mutex mLock;
  QElapsedTimer mClock;
  std::vector<double> mTimesMs;
  cSerialInterface* mLink;
  std::int32_t mRound = 0;
};

// The object network with its dispatch and tick threads running.
struct sRunningNetwork {
  explicit sRunningNetwork(cActionTickParent* parent) {
    StartEWNet(0, true);
    mTicks = MakeNetObject<cActionTickDriver>(parent);
    mDispatch.Start();
    mTicks->start();
    SetSystemRunning(true);
  }
  ~sRunningNetwork() {
    SetSystemRunning(false);
    mDispatch.Stop();
    mTicks->StopBeats();
    mTicks.reset();
    StopEWNet();
  }
  tNetPtr<cActionTickDriver> mTicks;
  cSyscallThread mDispatch;
};

// A simulator and a link connected to it, or a skipped benchmark.
struct sLinkedDevice {
  explicit sLinkedDevice(benchmark::State& state, bool meterPolling = false) {
    std::string error;
    if (!mDevice.Start(error)) {
      state.SkipWithError(("simulator: " + error).c_str());
      return;
    }
    qputenv("ORVEL_SERIAL_PORTS", QByteArray::fromStdString(mDevice.DevicePath()));
    mLink = std::make_unique<cSerialInterface>();
    mLink->SetMeterPolling(meterPolling);
    mLink->RequestConnection(true, QString());
    for (int i = 0; i < 200 && mLink->GetState() != cSerialInterface::CONNECTED; ++i) {
      mLink->ServiceAndWait();
      QThread::msleep(5);
    }
    if (mLink->GetState() != cSerialInterface::CONNECTED) {
      state.SkipWithError("the link did not connect");
      mLink.reset();
    }
  }
  devsim::cDeviceSimulator mDevice;
  std::unique_ptr<cSerialInterface> mLink;
};

// Processor time of the whole process over 5 s with one link command whose
// target never appears: 0 a local name, 1 a name on an unreachable unit, 2 no
// link at all (the idle network, for comparison).
void BM_UnresolvedLinkCpu(benchmark::State& state) {
  const int kind = int(state.range(0));
  for (auto _ : state) {
    cLinkTickHook idle;
    sRunningNetwork network(&idle);
    auto source = MakeNetObject<cTickProbe>(nullptr);
    if (kind == 0) QueueParameterLink("Bench Tick Probe", 4096, "Never Registered", 4096, true, false, false);
    if (kind == 1) QueueParameterLink("Bench Tick Probe", 4096, "unit9/Never Registered", 4096, true, false, false);
    QThread::msleep(100);
    const double before = ProcessCpuMs();
    QThread::msleep(5000);
    const double used = ProcessCpuMs() - before;
    state.counters["cpu_percent_of_a_core"] = used / 5000.0 * 100.0;
    source.reset();
  }
}
BENCHMARK(BM_UnresolvedLinkCpu)->Arg(0)->Arg(1)->Arg(2)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// Tick intervals over 5 s while a whole recall (36 filters, 8 strips,
// 6 delays) is queued on every tick and streams to the device; with 1, the
// device stops reading after the first second, so the line stalls; with 2,
// the link is idle (the machine's own timing, for comparison).
void BM_TickJitterDuringRecall(benchmark::State& state) {
  const bool stall = state.range(0) == 1;
  const bool idle = state.range(0) == 2;
  for (auto _ : state) {
    sLinkedDevice linked(state);
    if (!linked.mLink) return;
    cLinkTickHook hook;
    hook.mLink = idle ? nullptr : linked.mLink.get();
    sRunningNetwork network(&hook);
    auto probe = MakeNetObject<cTickProbe>(idle ? nullptr : linked.mLink.get());
    QThread::msleep(1000);
    if (stall) {
      devsim::sFaultModes faults;
      faults.mStallReading = true;
      linked.mDevice.SetFaults(faults);
      QThread::msleep(50);
      linked.mDevice.FillLine();
    }
    QThread::msleep(4000);
    const std::vector<double> gaps = probe->Intervals();
    probe.reset();
    hook.mLink = nullptr;
    state.counters["tick_p50_ms"] = Percentile(gaps, 0.50);
    state.counters["tick_p99_ms"] = Percentile(gaps, 0.99);
    state.counters["tick_max_ms"] = Percentile(gaps, 1.0);
    state.counters["ticks"] = double(gaps.size());
    state.counters["packets_to_device"] = double(linked.mDevice.ReceivedCount());
    state.counters["max_filters_waiting"] = double(hook.mMaxFilters.load());
    state.counters["max_strips_waiting"] = double(hook.mMaxStrips.load());
    state.counters["max_delays_waiting"] = double(hook.mMaxDelays.load());
  }
}
BENCHMARK(BM_TickJitterDuringRecall)
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// A ganged band dragged for 2 s at 60 changes a second: each change recomputes
// the left and right filter of the band. Reported: the time from the last
// change until the device holds the final value of both.
void BM_BurstLatency(benchmark::State& state) {
  constexpr ULONG kLeft = (2u << 8) | 2u;
  constexpr ULONG kRight = (2u << 8) | 3u;
  for (auto _ : state) {
    sLinkedDevice linked(state);
    if (!linked.mLink) return;
    cLinkTickHook hook;
    hook.mLink = linked.mLink.get();
    sRunningNetwork network(&hook);
    QThread::msleep(200);
    QElapsedTimer clock;
    clock.start();
    std::int32_t value = 0;
    for (int change = 0; change < 120; ++change) {
      const qint64 due = qint64(change) * 1000 / 60;
      while (clock.elapsed() < due) QThread::usleep(200);
      value = change + 1;
      const std::int32_t coefficients[5] = {value, 0, 0, 0, 0};
      cRegistryLocker lock;  // the units queue from the dispatch thread
      linked.mLink->QueueFilterMessage(kLeft, coefficients, 20, UWORD(value), 0, 0, 0, 0, 0);
      linked.mLink->QueueFilterMessage(kRight, coefficients, 20, UWORD(value), 0, 0, 0, 0, 0);
    }
    const qint64 lastChange = clock.nsecsElapsed();
    auto holdsFinal = [&] {
      const devsim::cDeviceModel model = linked.mDevice.Model();
      return model.Filters()[std::size_t(devsim::FilterRecordIndex(kLeft))].mCoefficients[0] == value &&
             model.Filters()[std::size_t(devsim::FilterRecordIndex(kRight))].mCoefficients[0] == value;
    };
    while (!holdsFinal() && clock.elapsed() < 10000) QThread::usleep(200);
    const double latencyMs = double(clock.nsecsElapsed() - lastChange) / 1e6;
    hook.mLink = nullptr;
    state.counters["latency_ms"] = holdsFinal() ? latencyMs : -1.0;
    state.counters["latency_ticks"] = holdsFinal() ? latencyMs / cActionTickDriver::kTickMs : -1.0;
    state.counters["max_filters_waiting"] = double(hook.mMaxFilters.load());
    state.counters["packets_to_device"] = double(linked.mDevice.ReceivedCount());
  }
}
BENCHMARK(BM_BurstLatency)->Iterations(1)->Repetitions(3)->Unit(benchmark::kMillisecond)->UseRealTime();

// A ganged band and a fader dragged together for 30 s at 60 changes a
// second (three packets a change) with the meters on show, as the editor
// does while its user works. Reported: the replies the link read per second
// (acknowledgements and meters), the meter requests per second, the largest
// miss count (the device is given up at 10), whether the link ever left the
// connected state, and the time from the last change until the processor
// had acknowledged everything (the delivery ledger says so) and until the
// simulator's model held the final values.
void BM_SustainedEdits(benchmark::State& state) {
  constexpr ULONG kLeft = (2u << 8) | 2u;
  constexpr ULONG kRight = (2u << 8) | 3u;
  constexpr ULONG kStrip = 4;
  constexpr int kSeconds = 30;
  constexpr int kChangesPerSecond = 60;
  for (auto _ : state) {
    sLinkedDevice linked(state, true);
    if (!linked.mLink) return;
    cSerialInterface& link = *linked.mLink;
    link.SetMetersShown(true);
    cLinkTickHook hook;
    hook.mLink = &link;
    sRunningNetwork network(&hook);
    QThread::msleep(200);
    linked.mDevice.ClearReceived();
    const std::uint64_t repliesBefore = link.GetRepliesRead();
    QElapsedTimer clock;
    clock.start();
    std::int32_t value = 0;
    for (int change = 0; change < kSeconds * kChangesPerSecond; ++change) {
      const qint64 due = qint64(change) * 1000 / kChangesPerSecond;
      while (clock.elapsed() < due) QThread::usleep(200);
      value = change + 1;
      const std::int32_t coefficients[5] = {value, 0, 0, 0, 0};
      cRegistryLocker lock;  // the units queue from the dispatch thread
      link.QueueFilterMessage(kLeft, coefficients, 20, UWORD(value), 0, 0, 0, 0, 0);
      link.QueueFilterMessage(kRight, coefficients, 20, UWORD(value), 0, 0, 0, 0, 0);
      link.QueueControlStripMessage(kStrip, value, UWORD(value), 0, 0);
    }
    const qint64 lastChange = clock.nsecsElapsed();
    const double editingSeconds = double(lastChange) / 1e9;
    const std::uint64_t replies = link.GetRepliesRead() - repliesBefore;
    const cDeliveryLedger::sMark mark = link.MarkDelivery();
    auto modelHolds = [&] {
      const devsim::cDeviceModel model = linked.mDevice.Model();
      return model.Filters()[std::size_t(devsim::FilterRecordIndex(kLeft))].mCoefficients[0] == value &&
             model.Filters()[std::size_t(devsim::FilterRecordIndex(kRight))].mCoefficients[0] == value &&
             model.Strips()[kStrip].mLinear == value;
    };
    double modelMs = -1.0;
    double acknowledgedMs = -1.0;
    while ((modelMs < 0 || acknowledgedMs < 0) && clock.nsecsElapsed() - lastChange < 10'000'000'000LL) {
      const double since = double(clock.nsecsElapsed() - lastChange) / 1e6;
      if (modelMs < 0 && modelHolds()) modelMs = since;
      if (acknowledgedMs < 0 && link.DeliveryStatus(mark) == cDeliveryLedger::DELIVERED) acknowledgedMs = since;
      QThread::usleep(200);
    }
    std::size_t meterRequests = 0;
    for (const devsim::sWirePacket& packet : linked.mDevice.Received()) meterRequests += packet.mType == 4 ? 1 : 0;
    hook.mLink = nullptr;
    state.counters["replies_read_per_s"] = double(replies) / editingSeconds;
    state.counters["meter_requests_per_s"] = double(meterRequests) / editingSeconds;
    state.counters["max_miss_count"] = double(hook.mMaxMisses.load());
    state.counters["left_connected"] = hook.mLeftConnected.load() ? 1.0 : 0.0;
    state.counters["last_change_to_acknowledged_ms"] = acknowledgedMs;
    state.counters["last_change_to_device_holds_ms"] = modelMs;
    state.counters["max_filters_waiting"] = double(hook.mMaxFilters.load());
  }
}
BENCHMARK(BM_SustainedEdits)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
