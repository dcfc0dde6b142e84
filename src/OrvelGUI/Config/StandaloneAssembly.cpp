#include "OrvelGUI/Config/StandaloneAssembly.h"

#include "EWNet/Core/Syscall.h"

cStandaloneAssembly::cStandaloneAssembly(bool meterPolling) {
  StartEWNet(0, true);
  cApplicationCore::sOptions options;
  options.mStoragePath = mScratch.filePath("NonVolatileRamFile");
  options.mMeterPolling = meterPolling;
  mCore.emplace(options);
}

cStandaloneAssembly::~cStandaloneAssembly() {
  mCore.reset();
  StopEWNet();
}
