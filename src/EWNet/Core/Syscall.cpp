#include "EWNet/Core/Syscall.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "EWNet/Core/ErrLog.h"
#include "EWNet/Core/RegRoutr.h"
#include "EWNet/Core/SysBuild.h"

namespace {

std::atomic<cSystemBuilder*> gSystemBuilder{nullptr};

std::mutex gSystemRunningLock;
bool gSystemRunning = false;

// The process-wide wait condition of the dispatch thread. Posters only take its
// lock when the dispatch thread has announced that it is about to sleep, so a
// busy dispatch thread costs posters nothing, and no wake can fall between the
// dispatch thread's last look at the buffer and its wait. It is made once and
// never destroyed, so a post racing with shutdown never meets a dead mutex.
struct sDispatchWaker {
  std::mutex mLock;
  std::condition_variable mCondition;
  std::atomic<bool> mSleeping{false};
};

// Set by cSyscallThread: whether it delivers, and on which thread.
std::atomic<bool> gDispatchRunning{false};
std::atomic<std::thread::id> gDispatchThreadId{};

sDispatchWaker& DispatchWaker() {
  static sDispatchWaker* waker = new sDispatchWaker;
  return *waker;
}

}  // namespace

void SetSystemBuilder(cSystemBuilder* builder) {
  cSystemBuilder* expected = nullptr;
  if (!gSystemBuilder.compare_exchange_strong(expected, builder)) {
    EW_REPORT_ERROR("SystemBuilder allready set!");
  }
}

cSystemBuilder* GetSystemBuilder() { return gSystemBuilder.load(); }

cEWNetConnectionManagerBase* StartEWNet(int defaultConnectionLossPolicy, bool createSystemBuilder) {
  SetRegistryRouter(new cRegistryRouter);
  if (createSystemBuilder) {
    SetSystemBuilder(new cSystemBuilder(cSystemBuilder::kName, defaultConnectionLossPolicy, 10));
  }
  return StartConnectionManager();
}

void StopEWNet() {
  delete gSystemBuilder.exchange(nullptr);
  cRegistryRouter* router = GetRegistryRouter();
  SetRegistryRouter(nullptr);
  delete router;
}

void SetSystemRunning(bool running) {
  std::lock_guard<std::mutex> guard(gSystemRunningLock);
  gSystemRunning = running;
}

bool IsSystemRunning() {
  std::lock_guard<std::mutex> guard(gSystemRunningLock);
  return gSystemRunning;
}

void WakeDispatchThread() {
  sDispatchWaker& waker = DispatchWaker();
  if (!waker.mSleeping.load()) return;
  std::lock_guard<std::mutex> locker(waker.mLock);
  waker.mCondition.notify_all();
}

bool IsDispatchThreadRunning() { return gDispatchRunning.load(); }

bool IsDispatchThread() { return gDispatchThreadId.load() == std::this_thread::get_id(); }

void AssertDispatchThread() { Q_ASSERT_X(IsDispatchThread(), "AssertDispatchThread", "not the dispatch thread"); }

// ---------------------------------------------------------------------------
// Dispatch thread

namespace {

bool HasWork(cRegistryRouter* router) {
  return router != nullptr && router->IsProcessingEnabled() && router->GetNumberOfQueuedMessages() > 0;
}

// A round that delivered no more than this is a tick and its tock, or a
// lone message: not the start of a burst.
constexpr ULONG kQuietRound = 4;

bool AwaitMoreWork(cRegistryRouter* router) {
  constexpr int kPolls = 1000;
  for (int i = 0; i < kPolls && router != nullptr && router->IsProcessingEnabled(); ++i) {
    if (router->GetNumberOfQueuedMessages() > 0) return true;
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
  }
  return false;
}

}  // namespace

cSyscallThread::cSyscallThread() {
  setObjectName("SyscallThread");
  DispatchWaker();
}

cSyscallThread::~cSyscallThread() { Stop(); }

void cSyscallThread::Start() {
  if (mRunning.load()) return;
  if (cRegistryRouter* router = GetRegistryRouter()) router->SetProcessingEnabled(true);
  mRunning.store(true);
  gDispatchRunning.store(true);
  {
    std::lock_guard<std::mutex> locker(DispatchWaker().mLock);
    mRunEnded = false;
  }
  start(QThread::NormalPriority);
}

void cSyscallThread::run() {
  gDispatchThreadId.store(std::this_thread::get_id());
  sDispatchWaker& waker = DispatchWaker();
  bool streaming = false;
  while (mRunning.load()) {
    cRegistryRouter* router = GetRegistryRouter();
    const ULONG delivered = router != nullptr ? router->DoWork() : 0;
    // Traffic comes in bursts: after a busy round, and for as long as looking
    // again keeps finding work, look for a few microseconds before paying for
    // a sleep and a wake. A quiet round goes straight to sleep: at fifty
    // ticks a second the look would cost more than the wakes it saves.
    streaming = (streaming || delivered > kQuietRound) && AwaitMoreWork(router);
    if (streaming) continue;
    std::unique_lock<std::mutex> locker(waker.mLock);
    waker.mSleeping.store(true);
    // Processing switched off counts as no work, or this loop would spin.
    if (mRunning.load() && !HasWork(router)) waker.mCondition.wait(locker);
    waker.mSleeping.store(false);
  }
  gDispatchThreadId.store(std::thread::id());
  std::lock_guard<std::mutex> locker(waker.mLock);
  mRunEnded = true;
  waker.mCondition.notify_all();
}

void cSyscallThread::Stop() {
  const bool wasRunning = mRunning.exchange(false);
  if (cRegistryRouter* router = GetRegistryRouter()) router->SetProcessingEnabled(false);
  {
    // The thread says it has ended under the waker's lock: QThread::wait()
    // alone may return without a synchronisation a thread checker sees.
    sDispatchWaker& waker = DispatchWaker();
    std::unique_lock<std::mutex> locker(waker.mLock);
    waker.mCondition.notify_all();
    waker.mCondition.wait(locker, [this] { return mRunEnded; });
  }
  wait();
  gDispatchRunning.store(false);
  if (wasRunning) {
    if (cSystemBuilder* builder = GetSystemBuilder()) builder->AbortAllLinks();
  }
}

// ---------------------------------------------------------------------------
// Tick thread

cActionTickDriver::cActionTickDriver(cActionTickParent* parent)
    : QThread(nullptr), cNetObject("Action Tick Driver", 0, true, false), mTickParent(parent) {
  mTickMessage.mConnectionId = 0;
  mTickMessage.mDestination = 0;
  mTickMessage.mSource = 0xFFFF;
  mTickMessage.mMethod = M_REG_TICK;
  moveToThread(this);
  setObjectName("ActionTickThread");
  mTicksInFlight.store(1);
  if (!SendMessage(mTickMessage)) mTicksInFlight.store(0);
}

cActionTickDriver::~cActionTickDriver() {
  StopBeats();
  Unregister();
}

void cActionTickDriver::StopBeats() {
  {
    std::lock_guard<std::mutex> lock(mRunLock);
    mStopping.store(true);
  }
  mRunSignal.notify_all();
  if (isRunning() || isFinished()) {
    std::unique_lock<std::mutex> lock(mRunLock);
    mRunSignal.wait(lock, [this] { return mRunEnded; });
  }
  wait();
}

// Tick thread. Each beat is due a whole number of periods after the first:
// a late beat does not delay the ones after it, and beats missed outright
// (a hook that took longer than a period) are skipped, not made up in a
// burst. An event loop's timer did the same for noticeably more processor
// time per beat, spent in the loop's own bookkeeping around every wake.
void cActionTickDriver::run() {
  setPriority(QThread::HighPriority);
  using tClock = std::chrono::steady_clock;
  const tClock::duration period = std::chrono::milliseconds(kTickMs);
  tClock::time_point due = tClock::now() + period;
  std::unique_lock<std::mutex> lock(mRunLock);
  while (!mRunSignal.wait_until(lock, due, [this] { return mStopping.load(); })) {
    lock.unlock();
    Beat();
    lock.lock();
    due += period;
    const tClock::time_point now = tClock::now();
    if (due <= now) due += ((now - due) / period + 1) * period;
  }
  mRunEnded = true;
  mRunSignal.notify_all();
}

void cActionTickDriver::Beat() {
  if (mStopping.load()) return;
  if (mTickParent != nullptr) mTickParent->ActionTickHook();
  if (IsSystemRunning()) PostTick();
}

void cActionTickDriver::PostTick() {
  if (mTicksInFlight.load() > 1 || GetNumberOfQueuedMessages() >= kMaxQueuedForTick) return;
  mTicksInFlight.fetch_add(1);
  // A tick the buffer refused never comes back to count itself done.
  if (!SendMessage(mTickMessage)) mTicksInFlight.fetch_sub(1);
}

void cActionTickDriver::ActionTick() { mTicksInFlight.fetch_sub(1); }
