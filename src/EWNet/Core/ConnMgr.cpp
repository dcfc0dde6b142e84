#include "EWNet/Core/ConnMgr.h"

#include <atomic>

namespace {
cEWNetConnectionManagerBase gNoConnections;
std::atomic<cEWNetConnectionManagerBase*> gConnectionManager{&gNoConnections};
std::atomic<tConnectionManagerFactory> gFactory{nullptr};
}  // namespace

cEWNetConnectionManagerBase* GetConnectionManager() { return gConnectionManager.load(); }

void SetConnectionManager(cEWNetConnectionManagerBase* manager) {
  gConnectionManager.store(manager != nullptr ? manager : &gNoConnections);
}

void SetConnectionManagerFactory(tConnectionManagerFactory factory) { gFactory.store(factory); }

cEWNetConnectionManagerBase* StartConnectionManager() {
  const tConnectionManagerFactory factory = gFactory.load();
  cEWNetConnectionManagerBase* started = factory != nullptr ? factory() : nullptr;
  return started != nullptr ? started : GetConnectionManager();
}
