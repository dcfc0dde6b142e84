#pragma once

#include <memory>
#include <utility>

#include "EWNet/Core/RegRoutr.h"

// Making and unmaking the objects of the network safely while the dispatch
// thread runs. A net object is visible to the dispatch thread (ticks, messages)
// from the moment its base constructor registers it, and a driver's net object
// calls back into the driver: either must be complete before the dispatch
// thread can reach it, and must not be half destroyed while it can. Both hold
// when the whole construction and the whole destruction run under the registry
// lock, which the dispatch thread holds for every delivery.
//
//   auto fader = MakeNetObject<cMyFaderDriver>("Fader", 0, 1000, false, true);
//   fader.reset();  // or let it go out of scope: deleted under the lock
//
// Use it for net objects, drivers and anything whose constructor creates net
// objects. Objects made before the dispatch thread starts, or on the dispatch
// thread itself, are safe either way.

// Deletes under the registry lock.
struct cRegistryLockedDelete {
  template <typename T>
  void operator()(T* object) const {
    cRegistryLocker lock;
    delete object;
  }
};

template <typename T>
using tNetPtr = std::unique_ptr<T, cRegistryLockedDelete>;

// Constructs under the registry lock.
template <typename T, typename... tArgs>
tNetPtr<T> MakeNetObject(tArgs&&... args) {
  cRegistryLocker lock;
  return tNetPtr<T>(new T(std::forward<tArgs>(args)...));
}

// Whether the calling thread may create or destroy a net object now: no
// dispatch thread runs, or the caller is the dispatch thread, or it holds the
// registry lock.
bool NetLifetimeContextIsSafe();

// Reports a net object created or destroyed where the dispatch thread could
// reach it half made; debug builds then stop, unless a test has made the
// check non-fatal to observe the report.
void CheckNetLifetimeContext(const char* what, const char* name);
void SetNetLifetimeChecksFatal(bool fatal);
