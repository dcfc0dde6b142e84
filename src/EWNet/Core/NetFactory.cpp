#include "EWNet/Core/NetFactory.h"

#include <QtGlobal>
#include <atomic>

#include "EWNet/Core/ErrLog.h"
#include "EWNet/Core/Syscall.h"

namespace {

#ifdef QT_NO_DEBUG
std::atomic<bool> gLifetimeChecksFatal{false};
#else
std::atomic<bool> gLifetimeChecksFatal{true};
#endif

}  // namespace

bool NetLifetimeContextIsSafe() { return !IsDispatchThreadRunning() || IsDispatchThread() || HoldsRegistryLock(); }

void CheckNetLifetimeContext(const char* what, const char* name) {
  if (NetLifetimeContextIsSafe()) return;
  EW_REPORT_ERROR("Net object \"%s\" %s outside the registry lock while the dispatch thread runs", name, what);
  if (gLifetimeChecksFatal.load()) qFatal("Net object %s outside the registry lock; use MakeNetObject", what);
}

void SetNetLifetimeChecksFatal(bool fatal) { gLifetimeChecksFatal.store(fatal); }
