#pragma once

#include <QThread>
#include <atomic>
#include <condition_variable>
#include <mutex>

#include "EWNet/Core/ConnMgr.h"
#include "EWNet/Core/NetObjct.h"

class cSystemBuilder;

// Network start and stop. StartEWNet creates the router (and, when asked, the
// system builder "EWNet System Builder") and returns the connection manager.
cEWNetConnectionManagerBase* StartEWNet(int defaultConnectionLossPolicy, bool createSystemBuilder);
void StopEWNet();

void SetSystemBuilder(cSystemBuilder* builder);
cSystemBuilder* GetSystemBuilder();

void SetSystemRunning(bool running);
bool IsSystemRunning();

// Wakes the dispatch thread after a local post; cheap when it is not asleep.
void WakeDispatchThread();

// Whether a dispatch thread is delivering (between its Start and the end of
// its Stop), and whether the caller is that thread.
bool IsDispatchThreadRunning();
bool IsDispatchThread();
// Debug builds stop when the caller is not the dispatch thread.
void AssertDispatchThread();

// The dispatch thread: empties the router's message buffer whenever woken.
class cSyscallThread : public QThread {
  Q_OBJECT
 public:
  cSyscallThread();
  ~cSyscallThread() override;
  void Start();
  void Stop();
  bool IsRunning() const { return mRunning.load(); }

 protected:
  void run() override;

 private:
  std::atomic<bool> mRunning{false};
  bool mRunEnded = true;  // under the waker's lock
};

// Implemented by the application: called in the tick thread on every beat.
class cActionTickParent {
 public:
  virtual ~cActionTickParent() = default;
  virtual void ActionTickHook() = 0;
};

// The tick thread: beats every 20 ms, runs the tick hook and posts M_REG_TICK
// with back-pressure (at most two ticks in flight, none while 5000 messages wait).
// The beats keep to a fixed grid of absolute times: the thread sleeps until
// the next one and does nothing else, so each beat costs one wake-up.
class cActionTickDriver : public QThread, public cNetObject {
  Q_OBJECT
 public:
  static constexpr int kTickMs = 20;
  static constexpr ULONG kMaxQueuedForTick = 5000;

  explicit cActionTickDriver(cActionTickParent* parent);
  ~cActionTickDriver() override;

  void ActionTick() override;
  void Beat();
  // Ends the beats and waits for the thread; the destructor does it too, but
  // an owner that destroys the driver under the registry lock calls it first
  // so that it does not wait for a thread while holding the lock.
  void StopBeats();
  int TicksInFlight() const { return mTicksInFlight.load(); }

 protected:
  void run() override;

 private:
  void PostTick();

  cEWNetMessage mTickMessage;
  cActionTickParent* mTickParent;
  // The beat loop sleeps on this lock and signal, so a stop wakes it at once;
  // run() also says under it that it has ended, so the thread that stops the
  // beats sees everything the thread did (QThread::wait() alone may not show
  // that to a thread checker).
  std::mutex mRunLock;
  std::condition_variable mRunSignal;
  bool mRunEnded = false;
  std::atomic<int> mTicksInFlight{0};
  std::atomic<bool> mStopping{false};
};
