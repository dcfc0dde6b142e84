#include "OrvelGUI/Application/OrvelRuntime.h"

#include "EWNet/Core/ErrLog.h"
#include "EWNet/Core/Syscall.h"
#include "EWNet/QT/NetworkConnection.h"
#include "OrvelGUI/QtGUIComponents/OrvelQmlBackend.h"

cOrvelRuntime::cOrvelRuntime(const sApplicationOptions& options) {
  StartEWNet(0, true);
  if (cNetworkConnection* manager = cNetworkConnection::Instance()) {
    manager->InitialiseLostComms();
  } else {
    EW_REPORT_ERROR("No connection manager: remote connections are not supervised");
  }
  mApplication = std::make_unique<cApplication>(options);
  mApplication->Start();
}

cOrvelRuntime::~cOrvelRuntime() { Shutdown(); }

cOrvelQmlBackend* cOrvelRuntime::CreateBackend(const tCreateBackends& createBackends) {
  if (!mApplication || mBackend) return mBackend.get();
  mBackend = std::make_unique<cOrvelQmlBackend>();
  if (createBackends) createBackends(*mApplication, *mBackend);
  return mBackend.get();
}

void cOrvelRuntime::Shutdown() {
  if (!mApplication) return;
  mApplication->Stop();
  if (cNetworkConnection* manager = cNetworkConnection::Instance()) manager->UninitialiseLostComms();
  cNetworkConnection::DeleteInstance();
  // Deleted here, not scheduled: no event loop runs any more to carry out
  // a deferred deletion, and the backend's net objects must be gone before
  // the router is.
  if (mBackend) mBackend->Shutdown();
  mBackend.reset();
  mApplication.reset();
}
