#include <benchmark/benchmark.h>
#include <QCoreApplication>
#include <QRandomGenerator>
#include <QThread>
#include <atomic>
#include <memory>

#include "EWNet/Core/NetObjct.h"
#include "EWNet/Core/RegRoutr.h"
#include "EWNet/Core/Syscall.h"
#include "EWNet/QT/ConnectionBase.h"
#include "EWNet/QT/EWNetTCPServer.h"
#include "EWNet/QT/NetworkConnection.h"

namespace {

class cCountingConnection : public cConnectionBase {
 public:
  ULONG mUtil = 0;
  ULONG mPayloadBytes = 0;

 protected:
  void EWNetMessageReceived(cEWNetMessage& message) override { mPayloadBytes += message.mLength; }
  void UtilMessageReceived(UBYTE* data, UWORD length) override {
    (void)data;
    ++mUtil;
    mPayloadBytes += length;
  }
};

// Parameter-sized traffic: version-1 and version-2 messages and heartbeats.
std::vector<UBYTE> MixedFrames(size_t bytes) {
  QRandomGenerator random(42);
  std::vector<UBYTE> stream;
  stream.reserve(bytes + 128);
  cEWNetMessage message(64);
  while (stream.size() < bytes) {
    const unsigned kind = random.bounded(10);
    if (kind == 0) {
      const UBYTE heartbeat = 3;
      const size_t at = stream.size();
      stream.resize(at + ewframe::EncodedUtilSize(1));
      ewframe::EncodeUtil(&heartbeat, 1, stream.data() + at);
      continue;
    }
    message.SetLength(EW_NET_DATA_SCALE(random.bounded(1, 33)));
    message.mConnectionId = 1;
    message.mDestination = EW_NET_DATA_SCALE(random.bounded(1, 500));
    message.mSource = 7;
    message.mMethod = UWORD(PARAMETER_BASE + random.bounded(8));
    const bool version2 = kind < 4;
    const size_t at = stream.size();
    stream.resize(at + ewframe::EncodedMessageSize(message, version2));
    ewframe::EncodeMessage(message, version2, stream.data() + at);
  }
  return stream;
}

void BM_ReceiveMixedFrames(benchmark::State& state) {
  const std::vector<UBYTE> stream = MixedFrames(16u << 20);
  const size_t chunk = size_t(state.range(0));
  cCountingConnection connection;
  for (auto _ : state) {
    for (size_t at = 0; at < stream.size(); at += chunk) {
      connection.MessageReceived(stream.data() + at, ULONG(std::min(chunk, stream.size() - at)));
    }
    benchmark::DoNotOptimize(connection.mPayloadBytes);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(stream.size()));
  state.counters["discarded"] = double(connection.DiscardedBytes());
}
BENCHMARK(BM_ReceiveMixedFrames)->Arg(256)->Arg(65536)->Unit(benchmark::kMillisecond);

// A unit that passes every value it is set on to its inform list.
class cEchoUnit : public cNetObject {
 public:
  cEchoUnit() : cNetObject("Bench Echo Unit", 1, false, false) {}
  ~cEchoUnit() override { Unregister(); }
  void EntrypointMessage(cEWNetMessage& message) override {
    if (message.mMethod == PARAMETER_BASE) {
      SendToInformList(message);
      return;
    }
    cNetObject::EntrypointMessage(message);
  }
};

// Remote objects: one sets the unit's parameter, one is informed of it (a
// setter is never informed of its own value).
class cController : public cNetObject {
 public:
  explicit cController(const char* name) : cNetObject(name, 1, false, false) {}
  ~cController() override { Unregister(); }
  void EntrypointMessage(cEWNetMessage& message) override {
    if (message.mMethod == PARAMETER_BASE) {
      mLastInform.store(message.GetULONG(0), std::memory_order_release);
      return;
    }
    if (message.mMethod == M_REPLY_OK) return;
    cNetObject::EntrypointMessage(message);
  }
  std::atomic<ULONG> mLastInform{0};
};

void BM_LoopbackSetAndInform(benchmark::State& state) {
  StartEWNet(0, false);
  cNetworkConnection* manager = cNetworkConnection::Instance();
  auto server = std::make_unique<cEWNetTCPServer>(nullptr, 0);
  cSyscallThread dispatch;
  dispatch.Start();
  std::unique_ptr<cEchoUnit> unit;
  std::unique_ptr<cController> controller;
  std::unique_ptr<cController> watcher;
  {
    cRegistryLocker lock;
    unit.reset(new cEchoUnit);
    controller.reset(new cController("Bench Controller"));
    watcher.reset(new cController("Bench Watcher"));
  }
  const UWORD connection = manager->OutgoingRemoteConnection("127.0.0.1:" + std::to_string(server->serverPort()));
  if (connection == 0xFFFF) {
    state.SkipWithError("no loopback connection");
  } else {
    // The server accepts on this thread.
    while (manager->NumberOfConnections() < 2) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    // The watcher links itself to the unit over the connection.
    cEWNetMessage link(10);
    const UWORD words[] = {0, watcher->GetHandle(), PARAMETER_BASE, PARAMETER_BASE};
    for (int i = 0; i < 4; ++i) link.SetUWORD(EW_NET_DATA_SCALE(2 * i), words[i]);
    link.SetUBYTE(8, 0);
    link.SetUBYTE(9, 0);
    EWNetAddress(link, connection, unit->GetHandle(), M_OBJECT_ADD_TO_INFORM_LIST, 10).mSource = watcher->GetHandle();
    SendMessage(link);
    cEWNetMessage set(4);
    EWNetAddress(set, connection, unit->GetHandle(), PARAMETER_BASE, 4).mSource = controller->GetHandle();
    ULONG value = 0;
    for (auto _ : state) {
      set.SetULONG(0, ++value);
      SendMessage(set);
      while (watcher->mLastInform.load(std::memory_order_acquire) != value) QThread::yieldCurrentThread();
    }
    state.SetItemsProcessed(int64_t(state.iterations()));
  }
  dispatch.Stop();
  {
    cRegistryLocker lock;
    watcher.reset();
    controller.reset();
    unit.reset();
  }
  cNetworkConnection::DeleteInstance();
  server.reset();
  StopEWNet();
}
BENCHMARK(BM_LoopbackSetAndInform)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace
