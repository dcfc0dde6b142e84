#include "OrvelGUI/Config/OfflineAssembly.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "EWNet/Core/Message.h"
#include "EWNet/Core/NetObjct.h"
#include "EWNet/Core/RegRoutr.h"
#include "EWNet/Core/SysBuild.h"
#include "OrvelGUI/Config/ConfigurationCheck.h"
#include "OrvelGUI/Config/SafeWrite.h"

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
  // Checked before anything is applied, every refusal at once: the units
  // would keep their old values for what they refuse, and the file would not
  // hold what was asked for.
  std::vector<std::string> refusals = ConfigurationRefusals(configuration);
  for (const std::string& refusal : UnrealisedPassFilters(configuration, Read())) refusals.push_back(refusal);
  if (!refusals.empty()) {
    error = "the processor cannot realise this configuration:";
    for (const std::string& refusal : refusals) error += "\n  " + QString::fromStdString(refusal);
    return false;
  }
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
  QByteArray contents;
  if (!SavedBytes(contents, error)) return false;
  return safewrite::WriteFile(path, contents, error);
}

bool cOfflineAssembly::SavedBytes(QByteArray& contents, QString& error) {
  // The program's own save goes to a private folder; only the finished bytes
  // go to the target, so that no failure of the save reaches the user's file.
  QTemporaryDir scratch;
  if (!scratch.isValid()) {
    error = "no temporary folder for the save: " + scratch.errorString();
    return false;
  }
  const QString staged = scratch.filePath("save.cfg");
  QFile file(staged);
  if (!Core().SaveConfiguration(staged, kTimeoutMs) || !file.open(QIODevice::ReadOnly)) {
    error = "the program could not save the configuration (in " + scratch.path() + ")";
    return false;
  }
  contents = file.readAll();
  if (contents.size() != file.size()) {
    error = staged + ": " + file.errorString();
    return false;
  }
  return true;
}
