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
#include "OrvelGUI/Core/DeliveryWatch.h"
#include "OrvelGUI/Core/FileProblem.h"
#include "OrvelGUI/Core/SavesManager.h"
#include "OrvelGUI/Core/SerialConnectDriver.h"
#include "OrvelGUI/QtGUIComponents/BackendMessaging.h"
#include "QtGUIComponents/EWNetDrivers/SignalSlotDrivers/GuiThreadHandoff.h"

namespace {

// The manager's parameters, which the backend's own mirror.
constexpr EW_NET_DATA_SCALE kSave = cSavesManager::kMethodSave;
constexpr EW_NET_DATA_SCALE kRecall = cSavesManager::kMethodRecall;
constexpr EW_NET_DATA_SCALE kSync = cSavesManager::kMethodSync;
constexpr EW_NET_DATA_SCALE kDeliveryRequest = cSavesDialogBackend::kMethodDeliveryRequest;
// The driver answers on its own parameter's number.
constexpr EW_NET_DATA_SCALE kDeliveryAnswer = cSerialConnectDriver::kMethodDelivery;

}  // namespace

cSavesDialogBackend::cSavesDialogBackend(QObject* parent, const char* managerName, const char* linkDriverName)
    : QObject(parent),
      cNetObject(kObjectName, kParameterCount, false, false),
      mToGui(new cGuiThreadHandoff(this)),
      mFolder(QSettings().value(QLatin1String(kFolderSetting)).toString()) {
  const char* manager = managerName != nullptr ? managerName : cSavesManager::kName;
  const char* driver = linkDriverName != nullptr ? linkDriverName : cSerialConnectDriver::kObjectName;
  cSystemBuilder* builder = GetSystemBuilder();
  if (builder == nullptr) {
    EW_REPORT_ERROR("No system builder: %s stays unlinked", kObjectName);
    return;
  }
  for (EW_NET_DATA_SCALE method : {kSave, kRecall, kSync}) {
    builder->AddLinkCommandToList(MakeLinkCommand(kObjectName, method, manager, method, false), false);
  }
  builder->AddLinkCommandToList(MakeLinkCommand(kObjectName, kDeliveryRequest, driver, kDeliveryAnswer, false), false);
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

bool cSavesDialogBackend::HasLink(EW_NET_DATA_SCALE method) const {
  cRegistryLocker lock;
  const InformList* list = GetInformList(EW_NET_DATA_SCALE(method - PARAMETER_BASE));
  return list != nullptr && !list->empty();
}

// The manager opens the path in the local 8-bit encoding. A path that
// encoding cannot carry, or too long for one message, would open another
// file or none: it is refused here and counts as a failed operation.
bool cSavesDialogBackend::SendPath(EW_NET_DATA_SCALE method, const QUrl& url) {
  const QString path = url.toLocalFile();
  const QTextCodec* codec = QTextCodec::codecForLocale();
  QByteArray payload = path.toLocal8Bit();
  payload += '\0';
  if (path.isEmpty() || (codec != nullptr && !codec->canEncode(path)) ||
      payload.size() > std::numeric_limits<EW_NET_DATA_SCALE>::max()) {
    EW_REPORT_ERROR("Configuration file \"%s\" cannot be passed on", url.toString().toUtf8().constData());
    return false;
  }
  Send(method, payload);
  return true;
}

QUrl cSavesDialogBackend::dialogFolder() const {
  for (const QString& folder : {mFolder, orvelpaths::SaveFolder()}) {
    if (!folder.isEmpty() && QFileInfo(folder).isDir()) return QUrl::fromLocalFile(folder);
  }
  return QUrl::fromLocalFile(QDir::homePath());
}

void cSavesDialogBackend::RememberFolder(const QString& path) {
  if (path.isEmpty()) return;
  const QString folder = QFileInfo(path).absolutePath();
  if (folder == mFolder) return;
  mFolder = folder;
  QSettings().setValue(QLatin1String(kFolderSetting), folder);
  emit dialogFolderChanged();
}

void cSavesDialogBackend::Begin(eOperation kind, const QString& fileName, const QString& path) {
  if (mPending.size() == kMaxPending) {
    EW_REPORT_ERROR("%d requests to the saves manager unanswered; the oldest is given up", int(kMaxPending));
    mPending.pop_front();
  }
  mPending.push_back({kind, fileName, path});
}

void cSavesDialogBackend::saveConfig(const QUrl& url) {
  AssertGuiThread();
  const QString name = url.fileName(QUrl::FullyDecoded);
  if (!SendPath(kSave, url)) {
    Finish({SAVE, name, url.toLocalFile()}, FAILED, UnsendableReason(url));
    return;
  }
  Begin(SAVE, name, url.toLocalFile());
}

void cSavesDialogBackend::recallConfig(const QUrl& url) {
  AssertGuiThread();
  const QString name = url.fileName(QUrl::FullyDecoded);
  if (name != mRecallFileName) {
    mRecallFileName = name;
    emit recallFileNameChanged();
  }
  // Asked for before it is sent: the answer cannot come first.
  Begin(RECALL, name, url.toLocalFile());
  if (!SendPath(kRecall, url)) {
    mPending.pop_back();
    Finish({RECALL, name, url.toLocalFile()}, FAILED, UnsendableReason(url));
  }
}

void cSavesDialogBackend::syncDevice() {
  AssertGuiThread();
  Begin(SYNC, QString(), QString());
  Send(kSync, QByteArray());
}

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

QString cSavesDialogBackend::UnsendableReason(const QUrl& url) {
  if (!url.isLocalFile()) return tr("it is not a file on this computer");
  if (url.toLocalFile().isEmpty()) return tr("no file name was given");
  return tr("its path is too long or has characters this system cannot pass on");
}

void cSavesDialogBackend::Finish(const sOperation& operation, eOutcome outcome, const QString& detail) {
  AssertGuiThread();
  mOperation = operation.mKind;
  mOutcome = outcome;
  if (operation.mKind == SYNC && outcome == FAILED) {
    mFailureReason.clear();
    mResultText =
        detail.isEmpty() ? tr("Sync Failed") : tr("Kept own values, the processor's were not plausible: ") + detail;
    emit operationSuccessChanged();
    return;
  }
  mFailureReason = outcome == FAILED ? detail : QString();
  // A file read or written: its folder is where the dialogs open next.
  if (operation.mKind != SYNC && outcome != FAILED) RememberFolder(operation.mPath);
  const QString verb = operation.mKind == SAVE ? tr("Save ") : operation.mKind == RECALL ? tr("Recall ") : tr("Sync");
  const QString name = operation.mKind == SYNC ? QString() : operation.mFileName;
  switch (outcome) {
    case SUCCESSFUL:
      mResultText = verb + name + tr(" Successful");
      break;
    case NOT_SENT:
      mResultText = verb + name + tr(" Loaded, not sent: no processor connected");
      break;
    case FAILED:
      mResultText = verb + name + tr(" Failed");
      if (!mFailureReason.isEmpty()) mResultText += tr(": ") + mFailureReason;
      break;
  }
  emit operationSuccessChanged();
}

void cSavesDialogBackend::ApplyManagerAnswer(eOperation kind, bool success, const QString& detail) {
  AssertGuiThread();
  auto it = mPending.begin();
  while (it != mPending.end() && (it->mKind != kind || it->mApplied)) ++it;
  if (it == mPending.end()) {
    EW_REPORT_NOTIFICATION("A saves result this screen did not ask for is ignored");
    return;
  }
  if (kind == RECALL && success) {
    // The units hold the file; whether the processor does, the link says.
    if (HasLink(kDeliveryRequest)) {
      it->mApplied = true;
      Send(kDeliveryRequest, QByteArray());
      return;
    }
    EW_REPORT_ERROR("No device link to ask whether the processor holds the recall");
    const sOperation done = *it;
    mPending.erase(it);
    Finish(done, NOT_SENT);
    return;
  }
  const sOperation done = *it;
  mPending.erase(it);
  // The manager could not write or read the file: why, as the file system
  // tells. (A recall it applied that the processor then did not take is the
  // link's failure, told apart by the delivery.)
  QString reason = detail;
  if (!success && kind == SAVE) reason = fileproblem::ForSaving(done.mPath);
  if (!success && kind == RECALL) reason = fileproblem::ForRecalling(done.mPath);
  Finish(done, success ? SUCCESSFUL : FAILED, reason);
}

void cSavesDialogBackend::ApplyDelivery(UBYTE outcome) {
  AssertGuiThread();
  auto it = mPending.begin();
  while (it != mPending.end() && !it->mApplied) ++it;
  if (it == mPending.end()) {
    EW_REPORT_NOTIFICATION("A delivery answer this screen did not ask for is ignored");
    return;
  }
  const sOperation done = *it;
  mPending.erase(it);
  Finish(done, outcome == cDeliveryWatch::HELD ? SUCCESSFUL : outcome == cDeliveryWatch::NOT_SENT ? NOT_SENT : FAILED);
}

void cSavesDialogBackend::EntrypointMessage(cEWNetMessage& message) {
  if (!mSources.Admits(*this, message)) return;
  switch (message.mMethod) {
    case kSave:
    case kRecall:
    case kSync:
    case kDeliveryAnswer: {
      // A result that carries no answer is no success.
      const bool present = EWNetPayloadLongEnough(*this, message, 1);
      const UBYTE value = present ? message.GetUBYTE(0) : UBYTE(0);
      if (message.mMethod == kDeliveryAnswer) {
        mToGui->Post([this, value] { ApplyDelivery(value); });
        return;
      }
      const bool success = present && UBYTEToBool(value);
      const eOperation kind = message.mMethod == kSave ? SAVE : message.mMethod == kRecall ? RECALL : SYNC;
      // A text after the result ends at its NUL or at the payload's end.
      QString detail;
      if (message.mLength > 1) {
        const char* text = reinterpret_cast<const char*>(message.GetPointer(1));
        detail = QString::fromUtf8(text, int(qstrnlen(text, message.mLength - 1)));
      }
      mToGui->Post([this, kind, success, detail] { ApplyManagerAnswer(kind, success, detail); });
      return;
    }
    default:
      cNetObject::EntrypointMessage(message);
  }
}
