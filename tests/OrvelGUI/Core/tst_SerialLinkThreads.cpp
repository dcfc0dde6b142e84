// The device link's queues and its I/O thread, against the simulated device,
// with the object network's dispatch and tick threads running for real.

#include <QtTest>
#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>

#include "DevSim/DeviceModel.h"
#include "DevSim/SimFixture.h"
#include "EWNet/Core/NetFactory.h"
#include "NetTestObjects.h"
#include "OrvelGUI/Core/LinkSupport.h"
#include "OrvelGUI/Core/SerialInterface.h"
#include "TestSupport.h"

using devsim::cDeviceSimulator;

namespace {

// Every filter address the device has a slot for: Low channels 0/1 with 4
// slots, Mid 2/3 with 6, High 4/5 with 8.
std::vector<ULONG> AllFilterAddresses() {
  std::vector<ULONG> addresses;
  const ULONG slotCounts[] = {4, 4, 6, 6, 8, 8};
  for (ULONG channel = 0; channel < 6; ++channel) {
    for (ULONG slot = 0; slot < slotCounts[channel]; ++slot) addresses.push_back((slot << 8) | channel);
  }
  return addresses;
}

std::unique_ptr<cSerialInterface> ConnectedLink(cDeviceSimulator& device) {
  UseDevicePorts({QString::fromStdString(device.DevicePath())});
  auto link = std::make_unique<cSerialInterface>();
  link->SetMeterPolling(false);
  link->RequestConnection(true, QString());
  if (!TickUntil(
          [&] {
            link->ServiceAndWait();
            TakeReadBack(*link);
          },
          [&] { return link->GetState() == cSerialInterface::CONNECTED; })) {
    return nullptr;
  }
  device.ClearReceived();
  return link;
}

class cServiceHook : public cActionTickParent {
 public:
  void ActionTickHook() override {
    if (cSerialInterface* link = mLink.load()) link->Service();
  }
  std::atomic<cSerialInterface*> mLink{nullptr};
};

// Notes when ticks reach the dispatch thread.
class cTickClock : public cNetObject {
 public:
  cTickClock() : cNetObject("Tick Clock", 0, true, false) { mClock.start(); }
  ~cTickClock() override { Unregister(); }
  void ActionTick() override {
    std::lock_guard<std::mutex> guard(mLock);
    mTimes.push_back(mClock.elapsed());
  }
  // Ticks seen and the longest gap between two of them since `fromMs`.
  std::pair<int, qint64> Since(qint64 fromMs) {
    std::lock_guard<std::mutex> guard(mLock);
    int count = 0;
    qint64 gap = 0;
    for (std::size_t i = 1; i < mTimes.size(); ++i) {
      if (mTimes[i] < fromMs) continue;
      ++count;
      gap = std::max(gap, mTimes[i] - mTimes[i - 1]);
    }
    return {count, gap};
  }
  qint64 Now() const { return mClock.elapsed(); }

 private:
  std::mutex mLock;
  QElapsedTimer mClock;
  std::vector<qint64> mTimes;
};

// The object network with its dispatch thread and a tick thread that steps
// `link`, running from construction to destruction.
struct sFrameworkThreads {
  explicit sFrameworkThreads(cSerialInterface* link) {
    mHook.mLink = link;
    mTicks = MakeNetObject<cActionTickDriver>(&mHook);
    mDispatch.Start();
    mTicks->start();
    SetSystemRunning(true);
  }
  ~sFrameworkThreads() { Stop(); }
  // Joins both threads: what they wrote can be read afterwards.
  void Stop() {
    if (!mTicks) return;
    SetSystemRunning(false);
    mDispatch.Stop();
    mTicks->StopBeats();
    mHook.mLink = nullptr;
    mTicks.reset();
  }

  cServiceHook mHook;
  tNetPtr<cActionTickDriver> mTicks;
  cSyscallThread mDispatch;
};

// On every tick, as a user dragging three controls at once: a filter, a
// strip and a delay change; it notes the largest miss count it sees.
class cBusyEditor : public cNetObject {
 public:
  explicit cBusyEditor(cSerialInterface* link) : cNetObject("Busy Editor", 0, true, false), mLink(link) {}
  ~cBusyEditor() override { Unregister(); }
  void ActionTick() override {
    mMaxMisses = std::max<int>(mMaxMisses, mLink->GetMissCount());
    if (mLink->GetState() != cSerialInterface::CONNECTED) mLeftConnected = true;
    if (!mEditing) return;
    ++mValue;
    const std::int32_t coefficients[5] = {mValue, 0, 0, 0, 0};
    mLink->QueueFilterMessage(0x0102, coefficients, 20, UWORD(mValue), 0, 0, 0, 0, 0);
    mLink->QueueControlStripMessage(3, mValue, UWORD(mValue), 0, 0);
    mLink->QueueDelayMessage(4, mValue);
  }
  cSerialInterface* mLink;
  std::atomic<bool> mEditing{true};
  std::int32_t mValue = 0;  // dispatch thread
  int mMaxMisses = 0;       // dispatch thread
  bool mLeftConnected = false;
};

}  // namespace

class tst_SerialLinkThreads : public QObject {
  Q_OBJECT

 private slots:
  void init() { qunsetenv("ORVEL_SERIAL_PORTS"); }

  // A burst far longer than the queues: each target keeps its latest value,
  // the queues never pass the device's 36 filters, 8 strips and 6 delays, and
  // the device ends with every final value.
  void burstKeepsLatestValuePerTarget() {
    auto device = StartSimulator();
    QVERIFY(device);
    auto link = ConnectedLink(*device);
    QVERIFY(link);
    const std::vector<ULONG> addresses = AllFilterAddresses();
    QCOMPARE(int(addresses.size()), 36);
    for (int round = 0; round < 50; ++round) {
      for (ULONG address : addresses) {
        const std::int32_t coefficients[5] = {round, std::int32_t(address), 0, 0, 0};
        link->QueueFilterMessage(address, coefficients, 20, UWORD(round), 0, 0, 0, 0, 0);
      }
      for (ULONG i = 0; i < 8; ++i) link->QueueControlStripMessage(i, round, UWORD(round), 0, 0);
      for (ULONG i = 0; i < 6; ++i) link->QueueDelayMessage(i, round * 10 + std::int32_t(i));
    }
    cSerialInterface::sQueueLengths lengths = link->GetQueueLengths();
    QCOMPARE(int(lengths.mFilters), 36);
    QCOMPARE(int(lengths.mStrips), 8);
    QCOMPARE(int(lengths.mDelays), 6);

    // A target beyond the device's is refused and changes nothing.
    cReportCapture reports;
    const std::int32_t none[5] = {};
    link->QueueFilterMessage(0x0906, none, 20, 1, 0, 0, 0, 0, 0);
    link->QueueDelayMessage(6, 1);
    QCOMPARE(reports.Count("refused: every place in the queue is taken"), 2);
    lengths = link->GetQueueLengths();
    QCOMPARE(int(lengths.mFilters), 36);
    QCOMPARE(int(lengths.mDelays), 6);

    // One packet of each queue per step: 36 steps send everything.
    for (int step = 0; step < 36; ++step) QVERIFY(link->ServiceAndWait());
    QVERIFY(link->AllSent());
    QVERIFY(device->WaitForReceived(36 + 8 + 6, 2000));
    QCOMPARE(device->ReceivedCount(), std::size_t(36 + 8 + 6));
    const devsim::cDeviceModel model = device->Model();
    for (ULONG address : addresses) {
      const devsim::sSimFilter& filter = model.Filters()[std::size_t(devsim::FilterRecordIndex(address))];
      QCOMPARE(filter.mCoefficients[0], 49);
      QCOMPARE(int(filter.mFrequency), 49);
    }
    QCOMPARE(model.Strips()[7].mLinear, 49);
    QCOMPARE(model.Delays()[5], 495);
  }

  // The line stops taking bytes in the middle of a write: the I/O thread
  // waits for it, the ticks of the object network do not, and a driver can
  // go on queueing. When the line moves again, the final values arrive.
  void stalledLineDoesNotHoldUpTheTicks() {
    auto device = StartSimulator();
    QVERIFY(device);
    auto link = ConnectedLink(*device);
    QVERIFY(link);

    cNetworkScope network;
    auto clock = MakeNetObject<cTickClock>();
    sFrameworkThreads threads(link.get());

    devsim::sFaultModes stall;
    stall.mStallReading = true;
    device->SetFaults(stall);
    QThread::msleep(100);  // the simulator has stopped reading
    QVERIFY(device->FillLine() > 0);
    const std::vector<ULONG> addresses = AllFilterAddresses();
    auto queueAll = [&](int value) {
      cRegistryLocker lock;  // as the units on the dispatch thread do
      for (ULONG address : addresses) {
        const std::int32_t coefficients[5] = {value, 0, 0, 0, 0};
        link->QueueFilterMessage(address, coefficients, 20, UWORD(value), 0, 0, 0, 0, 0);
      }
      link->QueueDelayMessage(0, value);
    };
    queueAll(1);
    // The first write meets the full line and waits in the I/O thread.
    QTRY_VERIFY_WITH_TIMEOUT(link->GetQueueLengths().mFilters < addresses.size(), 3000);
    const qint64 from = clock->Now();
    QTest::qWait(1000);
    queueAll(2);
    const auto [count, gap] = clock->Since(from);
    QVERIFY(!link->AllSent());
    QVERIFY2(count >= 25 && gap < 200, qPrintable(QString("%1 ticks, longest gap %2 ms").arg(count).arg(gap)));

    device->SetFaults({});
    QTRY_VERIFY_WITH_TIMEOUT(link->AllSent(), 15000);
    QTRY_VERIFY_WITH_TIMEOUT(device->Model().Delays()[0] == 2, 2000);
    const devsim::cDeviceModel model = device->Model();
    for (ULONG address : addresses) {
      QCOMPARE(model.Filters()[std::size_t(devsim::FilterRecordIndex(address))].mCoefficients[0], 2);
    }

    threads.Stop();
    clock.reset();
  }

  // Three packets a beat with the meters on show: the processor answers
  // each, and the link reads every answer as it comes, so the meter replies
  // keep pace with the requests and the device is never taken for silent.
  void busyLinkKeepsUpWithTheProcessor() {
    auto device = StartSimulator();
    QVERIFY(device);
    auto link = ConnectedLink(*device);
    QVERIFY(link);
    link->SetMeterPolling(true);
    link->SetMetersShown(true);

    cNetworkScope network;
    auto editor = MakeNetObject<cBusyEditor>(link.get());
    auto clock = MakeNetObject<cTickClock>();
    sFrameworkThreads threads(link.get());
    const std::uint64_t repliesBefore = link->GetRepliesRead();
    QTest::qWait(3000);
    editor->mEditing = false;
    const int beats = clock->Since(0).first;
    QTRY_VERIFY_WITH_TIMEOUT(link->AllSent(), 5000);
    QTRY_COMPARE_WITH_TIMEOUT(link->GetTraffic().mUnconfirmed, std::size_t(0), 5000);
    threads.Stop();

    const std::vector<devsim::sWirePacket> received = device->Received();
    const int meterRequests =
        int(std::count_if(received.begin(), received.end(), [](const devsim::sWirePacket& p) { return p.mType == 4; }));
    const std::uint64_t replies = link->GetRepliesRead() - repliesBefore;
    const QString figures = QString("%1 beats, %2 meter requests, %3 replies read, largest miss count %4")
                                .arg(beats)
                                .arg(meterRequests)
                                .arg(replies)
                                .arg(editor->mMaxMisses);
    qInfo("%s", qPrintable(figures));
    QVERIFY2(editor->mMaxMisses == 0 && !editor->mLeftConnected, qPrintable(figures));
    // A request goes out once the last is answered: most beats have one.
    QVERIFY2(meterRequests >= beats / 2, qPrintable(figures));
    QVERIFY2(replies >= std::uint64_t(4 * beats / 2), qPrintable(figures));
    const devsim::cDeviceModel model = device->Model();
    QCOMPARE(model.Filters()[std::size_t(devsim::FilterRecordIndex(0x0102))].mCoefficients[0], editor->mValue);
    QCOMPARE(model.Strips()[3].mLinear, editor->mValue);
    QCOMPARE(model.Delays()[4], editor->mValue);
    editor.reset();
    clock.reset();
  }

  // Only a link that is synchronising with its port open becomes connected,
  // however the front end's word and the closing of the port interleave.
  void setConnectedOnlyFromSyncingWithAnOpenPort() {
    auto device = StartSimulator();
    QVERIFY(device);
    auto link = ConnectedLink(*device);
    QVERIFY(link);
    link->SetConnected();  // connected, not synchronising: nothing changes
    QCOMPARE(link->GetState(), cSerialInterface::CONNECTED);
    QVERIFY(link->StartSync());
    QVERIFY(TickUntil([&] { link->ServiceAndWait(); }, [&] { return link->GetState() == cSerialInterface::SYNCING; },
                      5000));

    link->RequestConnection(false, QString());
    cReportCapture refusals;
    std::atomic<bool> stop{false};
    std::thread frontEnd([&] {
      while (!stop.load()) link->SetConnected();
    });
    QVERIFY(TickUntil([&] { link->ServiceAndWait(); },
                      [&] { return link->GetState() == cSerialInterface::DISCONNECTED; }, 5000));
    QThread::msleep(20);
    stop.store(true);
    frontEnd.join();
    QCOMPARE(link->GetState(), cSerialInterface::DISCONNECTED);
    link->QueueDelayMessage(0, 1);
    QCOMPARE(int(link->GetQueueLengths().mDelays), 0);
  }
};

QTEST_GUILESS_MAIN(tst_SerialLinkThreads)
#include "tst_SerialLinkThreads.moc"
