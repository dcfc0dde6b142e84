#include "EWNet/Core/ConnMgr.h"

#include <atomic>

namespace {
cEWNetConnectionManagerBase gNoConnections;
std::atomic<cEWNetConnectionManagerBase*> gConnectionManager{&gNoConnections};
}  // namespace

cEWNetConnectionManagerBase* GetConnectionManager() { return gConnectionManager.load(); }

void SetConnectionManager(cEWNetConnectionManagerBase* manager) {
  gConnectionManager.store(manager != nullptr ? manager : &gNoConnections);
}
