#pragma once

#include <QString>

#include "OrvelGUI/Config/Configuration.h"
#include "OrvelGUI/Config/StandaloneAssembly.h"
#include "OrvelGUI/Core/SerialInterface.h"

// The program's units without a device, driven by the calling thread: what
// a freshly started program holds, a configuration file recalled into it, and
// the image of every packet a device would receive. Tools use it so that
// every value they show or write comes from the units and drivers
// themselves. Main thread; the object network must not be running already.
class cOfflineAssembly {
 public:
  static constexpr int kTimeoutMs = 10000;

  cOfflineAssembly();

  // Recalls a configuration file as the loader does. False, with `error`
  // set and the units as they were, when the file is not one this program
  // reads.
  bool Recall(const QString& path, QString& error);
  // Applies a configuration as recalling a file that holds it would. False,
  // with every refusal in `error` and nothing applied, when it holds values
  // the processor cannot realise (ConfigurationCheck.h, against what the
  // units hold now).
  bool Apply(const sConfiguration& configuration, QString& error);
  // Saves what the units hold as the program does; the file is replaced only
  // when complete (safewrite::WriteFile), else left as it was.
  bool Save(const QString& path, QString& error);
  // The bytes of that save.
  bool SavedBytes(QByteArray& contents, QString& error);

  sConfiguration Read() const { return ReadConfiguration(mAssembly.Core()); }
  cSerialInterface::sImage Image() const { return mAssembly.Core().GetSerialInterface()->GetImage(); }
  cApplicationCore& Core() { return mAssembly.Core(); }
  const cApplicationCore& Core() const { return mAssembly.Core(); }

 private:
  // Ticks and delivers until the links are made, the delays have gone out
  // and no message waits.
  bool Settle();

  mutable cStandaloneAssembly mAssembly;
};
