#pragma once

#include <QString>
#include <QThread>
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

#include "EWNet/Core/Syscall.h"

class cNonVolatileStorageManager;
class cSerialInterface;
class cSerialConnectDriver;
class cMeteringSources;
class cSavesManager;
class cSavesClient;
class cInOutFader;
class cLowMidHigh;

// The program's object system without its user interface: the dispatch
// thread object, the tick driver (whose hook steps the device link), the
// storage region (cleared, so every start begins from the defaults), the
// device link and its connect driver, the metering, the saves manager, the
// eight strips and the Low, Mid and High panels, made in that order. Their
// registration order is the order of blocks in configuration files.
//
// Lifetime, for the program and any other owner:
//   StartEWNet(0, true);                    // the owner's, with anything that
//   [connection manager's lost-comms set-up] // must exist before the objects
//   cApplicationCore core;                  // builds everything (main thread)
//   core.Start();                           // dispatch, tick, system running
//   ... run ...
//   core.Stop();                            // running off, dispatch stopped
//   core.DestroyObjects();                  // optional: tick driver .. storage
//   [owner's objects that go before the dispatch thread object]
//   (destructor: dispatch thread object)
//   StopEWNet();                            // the owner's again
// The core neither starts nor stops the object network itself.
class cApplicationCore : public cActionTickParent {
 public:
  struct sOptions {
    // The storage region's file; empty means the program's own. Tools that
    // run beside the program give another, or they would clear its state.
    QString mStoragePath;
    // The link asks the device for meters on every tick while connected.
    bool mMeterPolling = true;
    // Called on the constructing thread right after the dispatch thread
    // object exists, before the tick driver: the place for objects that
    // come between them in the program's start-up.
    std::function<void()> mAfterDispatchThread;
  };

  static constexpr int kPanelCount = 3;  // Low, Mid, High

  // Main thread, with the object network started. Safe while another
  // dispatch thread runs: everything is made under the registry lock.
  cApplicationCore();
  explicit cApplicationCore(const sOptions& options);
  ~cApplicationCore() override;
  cApplicationCore(const cApplicationCore&) = delete;
  cApplicationCore& operator=(const cApplicationCore&) = delete;

  // Main thread. Starts the dispatch thread, then the tick thread, then lets
  // ticks flow. Once only.
  void Start();
  // Main thread. Stops the ticks, then the dispatch thread; the tick thread
  // goes on stepping the device link until DestroyObjects.
  void Stop();
  bool IsStarted() const { return mStarted; }
  // Main thread. Stops if needed, then destroys the tick driver, the strips,
  // the panels, the saves manager, the metering, the connect driver, the
  // device link and the storage, in that order. Idempotent.
  void DestroyObjects();

  // Tick thread: one step of the device link.
  void ActionTickHook() override;
  // Beats of the tick thread so far.
  std::uint64_t GetTickCount() const { return mTickCount.load(); }

  // Recalls (or saves) a configuration file through "Saves Manager
  // NetObject" as the loader's saves dialog does and waits at most
  // `timeoutMs` for the result. Main thread. Before Start the calling thread
  // delivers the messages itself. False on failure or time-out.
  bool RecallConfiguration(const QString& path, int timeoutMs);
  bool SaveConfiguration(const QString& path, int timeoutMs);
  // Has every unit adopt what the device reported in its read-back, as the
  // screens do in SYNCING; false when the answer did not come or some unit
  // found the device's records implausible and kept its own values.
  bool SyncConfiguration(int timeoutMs);
  // Main thread, after Start and a connect request: completes the connect
  // as a screen does. When the link has read the device back it has the
  // units adopt the records (`adopt`; a caller that overwrites everything
  // anyway may skip it) and marks the link connected. False when the link
  // gives up on the device, is disconnected, or `timeoutMs` passes;
  // `adopted` says whether every unit took the device's values.
  bool CompleteConnection(int timeoutMs, bool adopt, bool* adopted = nullptr);
  // A unit still has something to offer the device link: a delay waiting
  // for its tick, links being made. Any thread (takes the registry lock).
  bool UnitsBusy() const;
  // Main thread: everything made so far has been written to the port: no
  // queue entry waiting, no delay waiting for its tick, no link being made.
  bool AllDeviceWorkDone() const;
  // Main thread, after Start: waits until AllDeviceWorkDone has held across
  // two further ticks (so that nothing a tick would still start is missed),
  // calling `poll` every few milliseconds. False after `timeoutMs`.
  bool WaitUntilAllSent(int timeoutMs, const std::function<void()>& poll = {});

  cNonVolatileStorageManager* GetStorage() const { return mStorage.get(); }
  cSerialInterface* GetSerialInterface() const { return mSerialInterface.get(); }
  cSerialConnectDriver* GetSerialConnectDriver() const { return mSerialConnectDriver.get(); }
  cMeteringSources* GetMeteringSources() const { return mMeteringSources.get(); }
  cSavesManager* GetSavesManager() const { return mSavesManager.get(); }
  cInOutFader* GetInOutFader() const { return mInOutFader.get(); }
  // 0 Low, 1 Mid, 2 High.
  cLowMidHigh* GetPanel(int index) const;
  cSyscallThread* GetSyscallThread() const { return mSyscallThread.get(); }

 private:
  bool RunSavesRequest(unsigned short method, const QString& path, int timeoutMs);
  // Delivers waiting messages on the calling thread when no dispatch thread
  // runs; otherwise waits a moment.
  void LetMessagesFlow();

  bool mStarted = false;
  bool mDestroyed = false;
  std::atomic<std::uint64_t> mTickCount{0};
  std::unique_ptr<cSyscallThread> mSyscallThread;
  std::unique_ptr<cActionTickDriver> mActionTickDriver;
  const QThread* mTickThread = nullptr;  // the tick driver is its own thread
  const QThread* mOwnerThread;           // the one that made the assembly
  std::unique_ptr<cNonVolatileStorageManager> mStorage;
  std::unique_ptr<cSerialInterface> mSerialInterface;
  std::unique_ptr<cSerialConnectDriver> mSerialConnectDriver;
  std::unique_ptr<cMeteringSources> mMeteringSources;
  std::unique_ptr<cSavesManager> mSavesManager;
  std::unique_ptr<cInOutFader> mInOutFader;
  std::array<std::unique_ptr<cLowMidHigh>, kPanelCount> mPanels;
  std::unique_ptr<cSavesClient> mSavesClient;
};
