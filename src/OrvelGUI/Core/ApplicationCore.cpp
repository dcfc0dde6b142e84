#include "OrvelGUI/Core/ApplicationCore.h"

#include <QElapsedTimer>
#include <QThread>
#include <algorithm>

#include "Common/Qt/NonVolatileStorageManager.h"
#include "EWNet/Core/ErrLog.h"
#include "EWNet/Core/RegRoutr.h"
#include "EWNet/Core/SysBuild.h"
#include "OrvelGUI/Core/AppPaths.h"
#include "OrvelGUI/Core/DelayDriver.h"
#include "OrvelGUI/Core/DelayUnit.h"
#include "OrvelGUI/Core/InOutFader.h"
#include "OrvelGUI/Core/LowMidHigh.h"
#include "OrvelGUI/Core/MeteringSources.h"
#include "OrvelGUI/Core/SavesClient.h"
#include "OrvelGUI/Core/SavesManager.h"
#include "OrvelGUI/Core/SerialConnectDriver.h"
#include "OrvelGUI/Core/SerialInterface.h"

namespace {

constexpr qint64 kStorageSize = 0x200000;
constexpr unsigned long kPollMs = 2;

}  // namespace

cApplicationCore::cApplicationCore() : cApplicationCore(sOptions{}) {}

cApplicationCore::cApplicationCore(const sOptions& options) : mOwnerThread(QThread::currentThread()) {
  cRegistryLocker lock;
  mSyscallThread = std::make_unique<cSyscallThread>();
  if (options.mAfterDispatchThread) options.mAfterDispatchThread();
  mActionTickDriver = std::make_unique<cActionTickDriver>(this);
  mTickThread = mActionTickDriver.get();
  const QString storagePath =
      options.mStoragePath.isEmpty() ? orvelpaths::NonVolatileStorageFile() : options.mStoragePath;
  mStorage = std::make_unique<cNonVolatileStorageManager>(storagePath, kStorageSize, false, false);
  mStorage->ClearAll();
  mSerialInterface = std::make_unique<cSerialInterface>();
  mSerialInterface->SetMeterPolling(options.mMeterPolling);
  mSerialConnectDriver = std::make_unique<cSerialConnectDriver>(mSerialInterface.get());
  mMeteringSources = std::make_unique<cMeteringSources>(mSerialInterface.get());
  mSavesManager = std::make_unique<cSavesManager>();
  mInOutFader = std::make_unique<cInOutFader>(mStorage.get(), mSerialInterface.get(), mSavesManager.get());
  for (int i = 0; i < kPanelCount; ++i) {
    mPanels[std::size_t(i)] =
        std::make_unique<cLowMidHigh>(LOW + i, mStorage.get(), mSerialInterface.get(), mSavesManager.get());
  }
  mSerialConnectDriver->SetUnitsBusyCheck([this] { return UnitsBusy(); });
}

cApplicationCore::~cApplicationCore() {
  DestroyObjects();
  // Whoever still holds the registry (a delivery finishing) is done with it
  // before the dispatch thread object goes.
  { cRegistryLocker lock; }
  mSyscallThread.reset();
}

void cApplicationCore::Start() {
  Q_ASSERT(QThread::currentThread() == mOwnerThread);
  if (mStarted || mDestroyed) return;
  mStarted = true;
  mSyscallThread->Start();
  mActionTickDriver->start();
  SetSystemRunning(true);
}

void cApplicationCore::Stop() {
  Q_ASSERT(QThread::currentThread() == mOwnerThread);
  SetSystemRunning(false);
  if (mSyscallThread) mSyscallThread->Stop();
}

void cApplicationCore::DestroyObjects() {
  Q_ASSERT(QThread::currentThread() == mOwnerThread);
  if (mDestroyed) return;
  mDestroyed = true;
  Stop();
  // With the dispatch thread stopped nothing can reach the objects; the two
  // that wait for threads of their own (the tick thread, the port) go
  // without the registry lock, which is never held across a wait.
  if (mActionTickDriver) mActionTickDriver->StopBeats();
  mActionTickDriver.reset();
  {
    cRegistryLocker lock;
    mSavesClient.reset();
    mInOutFader.reset();
    for (auto& panel : mPanels) panel.reset();
    mSavesManager.reset();
    mMeteringSources.reset();
    mSerialConnectDriver.reset();
  }
  mSerialInterface.reset();
  mStorage.reset();
}

void cApplicationCore::ActionTickHook() {
  Q_ASSERT(QThread::currentThread() == mTickThread);
  mSerialInterface->Service();
  ++mTickCount;
}

cLowMidHigh* cApplicationCore::GetPanel(int index) const {
  return index >= 0 && index < kPanelCount ? mPanels[std::size_t(index)].get() : nullptr;
}

void cApplicationCore::LetMessagesFlow() {
  if (mSyscallThread->IsRunning()) {
    QThread::msleep(kPollMs);
    return;
  }
  if (cRegistryRouter* router = GetRegistryRouter()) router->DoWork();
}

bool cApplicationCore::RecallConfiguration(const QString& path, int timeoutMs) {
  return RunSavesRequest(cSavesClient::kMethodRecall, path, timeoutMs);
}

bool cApplicationCore::SaveConfiguration(const QString& path, int timeoutMs) {
  return RunSavesRequest(cSavesClient::kMethodSave, path, timeoutMs);
}

bool cApplicationCore::SyncConfiguration(int timeoutMs) {
  return RunSavesRequest(cSavesClient::kMethodSync, QString(), timeoutMs);
}

bool cApplicationCore::CompleteConnection(int timeoutMs, bool adopt, bool* adopted) {
  Q_ASSERT(QThread::currentThread() == mOwnerThread);
  if (adopted != nullptr) *adopted = false;
  QElapsedTimer timer;
  timer.start();
  bool sawSession = false;
  for (;;) {
    const cSerialInterface::LinkState state = mSerialInterface->GetState();
    if (state == cSerialInterface::CONNECTED) return true;
    if (state == cSerialInterface::NO_REPLY) return false;
    // Before the tick thread has acted on the request the link is still
    // disconnected; once a session was seen, it is the end of it.
    if (state == cSerialInterface::DISCONNECTED && sawSession) return false;
    if (state != cSerialInterface::DISCONNECTED) sawSession = true;
    if (state == cSerialInterface::SYNCING) {
      const bool took = adopt && SyncConfiguration(std::max(1, int(timeoutMs - timer.elapsed())));
      if (adopted != nullptr) *adopted = took;
      mSerialInterface->SetConnected();
    }
    if (timer.elapsed() > timeoutMs) return false;
    QThread::msleep(kPollMs);
  }
}

bool cApplicationCore::RunSavesRequest(unsigned short method, const QString& path, int timeoutMs) {
  Q_ASSERT(QThread::currentThread() == mOwnerThread);
  if (mDestroyed) return false;
  QElapsedTimer timer;
  timer.start();
  {
    cRegistryLocker lock;
    if (!mSavesClient) mSavesClient = std::make_unique<cSavesClient>();
  }
  for (;;) {
    {
      cRegistryLocker lock;
      if (mSavesClient->IsLinked()) {
        mSavesClient->Request(method, path);
        break;
      }
    }
    if (timer.elapsed() > timeoutMs) {
      EW_REPORT_ERROR("No link to \"%s\" within %d ms", cSavesManager::kName, timeoutMs);
      return false;
    }
    LetMessagesFlow();
  }
  while (mSavesClient->GetResult() == cSavesClient::kNoResult) {
    if (timer.elapsed() > timeoutMs) {
      EW_REPORT_ERROR("No answer from \"%s\" within %d ms", cSavesManager::kName, timeoutMs);
      return false;
    }
    LetMessagesFlow();
  }
  return mSavesClient->GetResult() == 1;
}

bool cApplicationCore::UnitsBusy() const {
  cRegistryLocker lock;
  for (const auto& panel : mPanels) {
    if (panel && panel->GetDelay()->GetUnit()->IsSendPending()) return true;
  }
  cSystemBuilder* builder = GetSystemBuilder();
  return builder != nullptr && builder->GetLinkPerformance().mBusy;
}

bool cApplicationCore::AllDeviceWorkDone() const {
  if (mDestroyed) return true;
  return !UnitsBusy() && mSerialInterface->AllSent();
}

bool cApplicationCore::WaitUntilAllSent(int timeoutMs, const std::function<void()>& poll) {
  Q_ASSERT(QThread::currentThread() == mOwnerThread);
  QElapsedTimer timer;
  timer.start();
  std::uint64_t quietSince = 0;
  bool quiet = false;
  for (;;) {
    if (poll) poll();
    if (!AllDeviceWorkDone()) {
      quiet = false;
    } else if (!quiet) {
      quiet = true;
      quietSince = GetTickCount();
    } else if (GetTickCount() >= quietSince + 2) {
      return true;
    }
    if (timer.elapsed() > timeoutMs) return false;
    QThread::msleep(kPollMs);
  }
}
