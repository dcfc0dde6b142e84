#include "OrvelGUI/Config/OfflineAssembly.h"

#include <QElapsedTimer>
#include <QFileInfo>

#include "EWNet/Core/Message.h"
#include "EWNet/Core/NetObjct.h"
#include "EWNet/Core/RegRoutr.h"
#include "EWNet/Core/SysBuild.h"

namespace {

// Ticks before a quiet assembly counts as settled: a delay goes out on the
// second tick after its change.
constexpr int kQuietTicks = 3;

}  // namespace

cOfflineAssembly::cOfflineAssembly() : mAssembly(false) { Core().GetSerialInterface()->StartImage(); }

bool cOfflineAssembly::Settle() {
  cRegistryRouter* router = GetRegistryRouter();
  if (router == nullptr) return false;
  cEWNetMessage tick;
  tick.mConnectionId = 0;
  tick.mDestination = 0;
  tick.mSource = 0xFFFF;
  tick.mMethod = M_REG_TICK;
  QElapsedTimer timer;
  timer.start();
  int quiet = 0;
  while (quiet < kQuietTicks) {
    if (timer.elapsed() > kTimeoutMs) return false;
    SendMessage(tick);
    router->DoWork();
    bool busy = router->GetNumberOfQueuedMessages() > 0;
    {
      cRegistryLocker lock;
      cSystemBuilder* builder = GetSystemBuilder();
      busy = busy || (builder != nullptr && builder->GetLinkPerformance().mBusy);
    }
    quiet = busy ? 0 : quiet + 1;
  }
  return true;
}

bool cOfflineAssembly::Recall(const QString& path, QString& error) {
  const QFileInfo info(path);
  if (!info.isFile()) {
    error = path + ": no such file";
    return false;
  }
  if (!Core().RecallConfiguration(info.absoluteFilePath(), kTimeoutMs)) {
    error = path +
            ": not a configuration file this program reads (wrong key, foreign or damaged), or one holding values "
            "the processor cannot realise";
    return false;
  }
  if (!Settle()) {
    error = "the units did not settle after recalling " + path;
    return false;
  }
  return true;
}

bool cOfflineAssembly::Apply(const sConfiguration& configuration, QString& error) {
  if (!ApplyConfiguration(Core(), configuration)) {
    error = "the configuration does not fit the program's units";
    return false;
  }
  if (!Settle()) {
    error = "the units did not settle after applying the configuration";
    return false;
  }
  return true;
}

bool cOfflineAssembly::Save(const QString& path, QString& error) {
  if (!Core().SaveConfiguration(QFileInfo(path).absoluteFilePath(), kTimeoutMs)) {
    error = path + ": could not be written";
    return false;
  }
  return true;
}
