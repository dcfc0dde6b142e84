#include "OrvelGUI/QtGUIComponents/SavesDialogBackend.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QTextCodec>
#include <QThread>
#include <cstring>
#include <limits>

#include "AES-Standards/Convert.h"
#include "EWNet/Core/ErrLog.h"
#include "EWNet/Core/RegRoutr.h"
#include "EWNet/Core/SysBuild.h"
#include "EWNet/Core/Syscall.h"
#include "OrvelGUI/Core/AppPaths.h"
#include "OrvelGUI/Core/FileProblem.h"
#include "OrvelGUI/Core/SavesManager.h"
#include "OrvelGUI/QtGUIComponents/BackendMessaging.h"
#include "QtGUIComponents/EWNetDrivers/SignalSlotDrivers/GuiThreadHandoff.h"

namespace {

// The manager's parameters, which the backend's own mirror.
constexpr EW_NET_DATA_SCALE kSave = cSavesManager::kMethodSave;
constexpr EW_NET_DATA_SCALE kRecall = cSavesManager::kMethodRecall;
constexpr EW_NET_DATA_SCALE kSync = cSavesManager::kMethodSync;

}  // namespace

cSavesDialogBackend::cSavesDialogBackend(QObject* parent, const char* managerName)
    : QObject(parent),
      cNetObject(kObjectName, kParameterCount, false, false),
      mToGui(new cGuiThreadHandoff(this)),
      mFolder(QSettings().value(QLatin1String(kFolderSetting)).toString()) {
  const char* manager = managerName != nullptr ? managerName : cSavesManager::kName;
  cSystemBuilder* builder = GetSystemBuilder();
  if (builder == nullptr) {
    EW_REPORT_ERROR("No system builder: %s stays unlinked", kObjectName);
    return;
  }
  for (EW_NET_DATA_SCALE method : {kSave, kRecall, kSync}) {
    builder->AddLinkCommandToList(MakeLinkCommand(kObjectName, method, manager, method, false), true);
  }
}

cSavesDialogBackend::~cSavesDialogBackend() { RemoveFromNetwork(); }

void cSavesDialogBackend::RemoveFromNetwork() {
  cRegistryLocker lock;
  Unregister();
}

void cSavesDialogBackend::AssertGuiThread() const { Q_ASSERT(QThread::currentThread() == thread()); }

void cSavesDialogBackend::Send(EW_NET_DATA_SCALE method, const QByteArray& payload) {
  AssertGuiThread();
  SendBackendParameter(*this, method, payload);
}

// The manager opens the path in the local 8-bit encoding. A path that
// encoding cannot carry, or too long for one message, would open another
// file or none: it is refused here and counts as a failed operation.
void cSavesDialogBackend::SendPath(EW_NET_DATA_SCALE method, const QUrl& url) {
  const QString path = url.toLocalFile();
  const QTextCodec* codec = QTextCodec::codecForLocale();
  QByteArray payload = path.toLocal8Bit();
  payload += '\0';
  if (path.isEmpty() || (codec != nullptr && !codec->canEncode(path)) ||
      payload.size() > std::numeric_limits<EW_NET_DATA_SCALE>::max()) {
    EW_REPORT_ERROR("Configuration file \"%s\" cannot be passed on", url.toString().toUtf8().constData());
    mFailureReason = path.isEmpty() ? tr("no file name was given")
                                    : tr("its path is too long or has characters this system cannot pass on");
    mOperationSuccess = false;
    emit operationSuccessChanged();
    return;
  }
  Send(method, payload);
}

QUrl cSavesDialogBackend::dialogFolder() const {
  for (const QString& folder : {mFolder, orvelpaths::SaveFolder()}) {
    if (!folder.isEmpty() && QFileInfo(folder).isDir()) return QUrl::fromLocalFile(folder);
  }
  return QUrl::fromLocalFile(QDir::homePath());
}

void cSavesDialogBackend::RememberFolder(const QString& path) {
  const QString folder = QFileInfo(path).absolutePath();
  if (folder == mFolder) return;
  mFolder = folder;
  QSettings().setValue(QLatin1String(kFolderSetting), folder);
  emit dialogFolderChanged();
}

void cSavesDialogBackend::saveConfig(const QUrl& url) {
  mSavePath = url.toLocalFile();
  SendPath(kSave, url);
}

void cSavesDialogBackend::recallConfig(const QUrl& url) {
  AssertGuiThread();
  const QString name = url.fileName(QUrl::FullyDecoded);
  if (name != mRecallFileName) {
    mRecallFileName = name;
    emit recallFileNameChanged();
  }
  mRecallPath = url.toLocalFile();
  SendPath(kRecall, url);
}

void cSavesDialogBackend::syncDevice() { Send(kSync, QByteArray()); }

void cSavesDialogBackend::setButtonSave(bool State) {
  AssertGuiThread();
  if (State == mButtonSave) return;
  mButtonSave = State;
  emit buttonSaveChanged();
}

void cSavesDialogBackend::setButtonRecall(bool State) {
  AssertGuiThread();
  if (State == mButtonRecall) return;
  mButtonRecall = State;
  emit buttonRecallChanged();
}

void cSavesDialogBackend::ApplyResult(EW_NET_DATA_SCALE method, bool success) {
  AssertGuiThread();
  mOperationSuccess = success;
  mFailureReason.clear();
  const QString& path = method == kSave ? mSavePath : mRecallPath;
  if (success && method != kSync) RememberFolder(path);
  if (!success && method == kSave) mFailureReason = fileproblem::ForSaving(path);
  if (!success && method == kRecall) mFailureReason = fileproblem::ForRecalling(path);
  emit operationSuccessChanged();
}

void cSavesDialogBackend::EntrypointMessage(cEWNetMessage& message) {
  if (!mSources.Admits(*this, message)) return;
  switch (message.mMethod) {
    case kSave:
    case kRecall:
    case kSync: {
      // A result that carries no answer is no success.
      const bool success = EWNetPayloadLongEnough(*this, message, 1) && UBYTEToBool(message.GetUBYTE(0));
      const EW_NET_DATA_SCALE method = message.mMethod;
      mToGui->Post([this, method, success] { ApplyResult(method, success); });
      return;
    }
    default:
      cNetObject::EntrypointMessage(message);
  }
}
