#include "OrvelGUI/QtGUIComponents/SavesDialogBackend.h"

#include <QTextCodec>
#include <QThread>
#include <cstring>
#include <limits>

#include "AES-Standards/Convert.h"
#include "EWNet/Core/ErrLog.h"
#include "EWNet/Core/RegRoutr.h"
#include "EWNet/Core/SysBuild.h"
#include "EWNet/Core/Syscall.h"
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
    : QObject(parent), cNetObject(kObjectName, kParameterCount, false, false), mToGui(new cGuiThreadHandoff(this)) {
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
    ApplyResult(false);
    return;
  }
  Send(method, payload);
}

void cSavesDialogBackend::saveConfig(const QUrl& url) { SendPath(kSave, url); }

void cSavesDialogBackend::recallConfig(const QUrl& url) {
  AssertGuiThread();
  const QString name = url.fileName(QUrl::FullyDecoded);
  if (name != mRecallFileName) {
    mRecallFileName = name;
    emit recallFileNameChanged();
  }
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

void cSavesDialogBackend::ApplyResult(bool success) {
  AssertGuiThread();
  mOperationSuccess = success;
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
      mToGui->Post([this, success] { ApplyResult(success); });
      return;
    }
    default:
      cNetObject::EntrypointMessage(message);
  }
}
