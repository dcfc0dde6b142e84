#pragma once

#include <functional>
#include <memory>

#include "OrvelGUI/Application/Application.h"

class cOrvelQmlBackend;

// The program's object system from the start of the object network to the
// end of cApplication, with the top-level QML backend: what the program
// and the screen tests set up alike. Main thread, with a QCoreApplication.
//
//   cOrvelRuntime runtime(options);   // network, lost-comms supervision,
//                                     // cApplication, threads running
//   runtime.CreateBackend(hook);      // cOrvelQmlBackend (+ the hook's own)
//   ... QML engine made, run, destroyed ...
//   runtime.Shutdown();               // also by the destructor
class cOrvelRuntime {
 public:
  // Called once the top-level backend exists, to make the backends a screen
  // needs beyond the loader's and set them into it.
  using tCreateBackends = std::function<void(cApplication&, cOrvelQmlBackend&)>;

  explicit cOrvelRuntime(const sApplicationOptions& options = {});
  ~cOrvelRuntime();
  cOrvelRuntime(const cOrvelRuntime&) = delete;
  cOrvelRuntime& operator=(const cOrvelRuntime&) = delete;

  cOrvelQmlBackend* CreateBackend(const tCreateBackends& createBackends = {});

  // Once the QML engine is gone: ticks off and the dispatch thread stopped;
  // the lost-comms supervision and the connection manager (which closes
  // every remote connection); the backend, taken off the network and
  // deleted at once; cApplication, and with it the object network.
  // Idempotent.
  void Shutdown();

  cApplication& Application() { return *mApplication; }
  cOrvelQmlBackend* Backend() const { return mBackend.get(); }

 private:
  std::unique_ptr<cApplication> mApplication;
  std::unique_ptr<cOrvelQmlBackend> mBackend;
};
