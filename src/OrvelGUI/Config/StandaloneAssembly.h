#pragma once

#include <QTemporaryDir>
#include <optional>

#include "OrvelGUI/Core/ApplicationCore.h"

// The object network with an application assembly of its own, for tools,
// tests and benchmarks that run beside the program: the network is started
// here and stopped when this goes, and the storage region lives in a scratch
// folder, so a running program's state is never cleared. Main thread.
class cStandaloneAssembly {
 public:
  explicit cStandaloneAssembly(bool meterPolling = true);
  ~cStandaloneAssembly();
  cStandaloneAssembly(const cStandaloneAssembly&) = delete;
  cStandaloneAssembly& operator=(const cStandaloneAssembly&) = delete;

  cApplicationCore& Core() { return *mCore; }

 private:
  QTemporaryDir mScratch;
  std::optional<cApplicationCore> mCore;
};
