#include "OrvelGUI/QtGUIComponents/EditHistoryBackend.h"

#include <QEvent>
#include <QGuiApplication>
#include <QPointer>
#include <QThread>
#include <QUndoCommand>
#include <QUndoStack>
#include <algorithm>
#include <vector>

#include "OrvelGUI/QtGUIComponents/PEQDriver.h"
#include "QtGUIComponents/EWNetDrivers/SignalSlotDrivers/QtBooleanSwitchDriver.h"
#include "QtGUIComponents/EWNetDrivers/SignalSlotDrivers/QtIntegerSwitchDriver.h"
#include "QtGUIComponents/EWNetDrivers/SignalSlotDrivers/QtSignalSlotContinuousControllerDriver.h"
#include "QtGUIComponents/EWNetDrivers/SignalSlotDrivers/QtSignalSlotListBoxDriver.h"

namespace {

// Steps of one gesture share this id; QUndoStack only offers a merge to
// commands of equal ids.
constexpr int kGestureStepId = 0x4564;
// Steps kept; the oldest go first.
constexpr int kStepLimit = 1000;
constexpr int kKeysPerBand = 4;

// One step: the values it changed, each from its first to its last value.
class cEditStep : public QUndoCommand {
 public:
  cEditStep(cEditHistoryBackend* history, const cEditHistoryBackend::sChange& change, quint64 gesture)
      : mHistory(history), mGesture(gesture) {
    mChanges.push_back({change.mTarget, change.mKey, change.mFrom, change.mTo});
  }

  int id() const override { return mGesture != 0 ? kGestureStepId : -1; }

  bool mergeWith(const QUndoCommand* other) override {
    const auto* next = static_cast<const cEditStep*>(other);
    if (mGesture == 0 || next->mGesture != mGesture) return false;
    for (const sTargetChange& change : next->mChanges) {
      auto same = std::find_if(mChanges.begin(), mChanges.end(), [&](const sTargetChange& c) {
        return c.mTarget == change.mTarget && c.mKey == change.mKey;
      });
      if (same != mChanges.end()) {
        same->mTo = change.mTo;
      } else {
        mChanges.push_back(change);
      }
    }
    // A drag that ends where it began changed nothing.
    setObsolete(std::all_of(mChanges.begin(), mChanges.end(), [](const sTargetChange& c) { return c.mFrom == c.mTo; }));
    return true;
  }

  void undo() override {
    for (auto change = mChanges.rbegin(); change != mChanges.rend(); ++change) Apply(*change, false);
  }

  void redo() override {
    // Pushed after the edit was made: the first redo has happened already.
    if (mPushed) {
      mPushed = false;
      return;
    }
    for (const sTargetChange& change : mChanges) Apply(change, true);
  }

 private:
  struct sTargetChange {
    QPointer<QObject> mTarget;
    int mKey;
    int mFrom;
    int mTo;
  };

  void Apply(const sTargetChange& change, bool forward) {
    if (change.mTarget.isNull()) return;
    mHistory->Apply({change.mTarget.data(), change.mKey, change.mFrom, change.mTo}, forward);
  }

  cEditHistoryBackend* mHistory;
  quint64 mGesture;
  bool mPushed = true;
  std::vector<sTargetChange> mChanges;
};

}  // namespace

cEditHistoryBackend::cEditHistoryBackend(QObject* parent) : QObject(parent), mStack(new QUndoStack(this)) {
  mStack->setUndoLimit(kStepLimit);
  connect(mStack, &QUndoStack::indexChanged, this, &cEditHistoryBackend::historyChanged);
  connect(mStack, &QUndoStack::canUndoChanged, this, &cEditHistoryBackend::historyChanged);
  connect(mStack, &QUndoStack::canRedoChanged, this, &cEditHistoryBackend::historyChanged);
  connect(mStack, &QUndoStack::cleanChanged, this, [this] {
    if (unsavedChanges() == mWasUnsaved) return;
    mWasUnsaved = unsavedChanges();
    emit unsavedChangesChanged();
  });
  if (QCoreApplication::instance() != nullptr) QCoreApplication::instance()->installEventFilter(this);
}

cEditHistoryBackend::~cEditHistoryBackend() {
  if (QCoreApplication::instance() != nullptr) QCoreApplication::instance()->removeEventFilter(this);
}

void cEditHistoryBackend::Track(QObject* backend) {
  Q_ASSERT(QThread::currentThread() == thread());
  if (backend == nullptr) return;
  for (auto* driver : backend->findChildren<cQtSignalSlotContinuousControllerDriver*>()) {
    connect(driver, &cQtSignalSlotContinuousControllerDriver::valueEdited, this,
            [this, driver](int from, int to) { Record(driver, 0, from, to); });
  }
  for (auto* driver : backend->findChildren<cQtBooleanSwitchDriver*>()) {
    connect(driver, &cQtBooleanSwitchDriver::valueEdited, this,
            [this, driver](int from, int to) { Record(driver, 0, from, to); });
  }
  for (auto* driver : backend->findChildren<cQtIntegerSwitchDriver*>()) {
    connect(driver, &cQtIntegerSwitchDriver::valueEdited, this,
            [this, driver](int from, int to) { Record(driver, 0, from, to); });
  }
  for (auto* driver : backend->findChildren<cQtSignalSlotListBoxDriver*>()) {
    connect(driver, &cQtSignalSlotListBoxDriver::valueEdited, this,
            [this, driver](int from, int to) { Record(driver, 0, from, to); });
  }
  for (auto* graph : backend->findChildren<cPEQDriver*>()) {
    connect(graph, &cPEQDriver::bandEdited, this, [this, graph](int band, int field, int from, int to) {
      Record(graph, band * kKeysPerBand + field, from, to);
    });
  }
}

bool cEditHistoryBackend::canUndo() const { return mStack->canUndo(); }
bool cEditHistoryBackend::canRedo() const { return mStack->canRedo(); }
bool cEditHistoryBackend::unsavedChanges() const { return !mStack->isClean(); }
int cEditHistoryBackend::StepCount() const { return mStack->count(); }

void cEditHistoryBackend::undo() {
  Q_ASSERT(QThread::currentThread() == thread());
  mStack->undo();
  // What follows is a new step, whatever the pointer does.
  ++mGesture;
}

void cEditHistoryBackend::redo() {
  Q_ASSERT(QThread::currentThread() == thread());
  mStack->redo();
  ++mGesture;
}

void cEditHistoryBackend::markSaved() {
  mStack->setClean();
  ++mGesture;
}

void cEditHistoryBackend::markReplaced() {
  mStack->clear();
  ++mGesture;
}

void cEditHistoryBackend::Record(QObject* target, int key, int from, int to) {
  if (mApplying || from == to) return;
  mStack->push(new cEditStep(this, {target, key, from, to}, mPointerDown ? mGesture : 0));
}

void cEditHistoryBackend::Apply(const sChange& change, bool forward) {
  const int value = forward ? change.mTo : change.mFrom;
  QObject* target = change.mTarget;
  mApplying = true;
  if (auto* controller = qobject_cast<cQtSignalSlotContinuousControllerDriver*>(target)) {
    controller->SetNetworkValue(value);
  } else if (auto* onOff = qobject_cast<cQtBooleanSwitchDriver*>(target)) {
    onOff->setValue(value != 0);
  } else if (auto* integer = qobject_cast<cQtIntegerSwitchDriver*>(target)) {
    integer->setValue(value);
  } else if (auto* list = qobject_cast<cQtSignalSlotListBoxDriver*>(target)) {
    list->SetValue(UBYTE(value));
  } else if (auto* graph = qobject_cast<cPEQDriver*>(target)) {
    graph->ApplyBandEdit(UBYTE(change.mKey / kKeysPerBand), cPEQDriver::eBandField(change.mKey % kKeysPerBand), value);
  }
  mApplying = false;
}

bool cEditHistoryBackend::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
      // Qt Quick hands one press to several items: it counts once.
      if (!mPointerDown) ++mGesture;
      mPointerDown = true;
      break;
    case QEvent::MouseButtonRelease:
      // What the release itself sets (a handle's last move) still belongs to
      // the gesture: it ends once the release has been delivered.
      QMetaObject::invokeMethod(
          this, [this] { mPointerDown = QGuiApplication::mouseButtons() != Qt::NoButton; }, Qt::QueuedConnection);
      break;
    default:
      break;
  }
  return QObject::eventFilter(watched, event);
}
