#include "OrvelGUI/QtGUIComponents/OrvelQmlBackend.h"

#include <QThread>
#include <cmath>

#include "EWNet/Core/ErrLog.h"
#include "EWNet/Core/RegRoutr.h"
#include "OrvelGUI/Core/Version.h"

cOrvelQmlBackend::cOrvelQmlBackend(QObject* parent) : QObject(parent) {
  // The dispatch thread may already run: it must not meet a net object
  // before its constructor has finished.
  cRegistryLocker lock;
  mSerialConnection = new cSerialConnectionBackend(this);
  mSavesDialog = new cSavesDialogBackend(this);
  mNetwork = new cNetworkAccessBackend(this);
  mEditHistory = new cEditHistoryBackend(this);
}

cOrvelQmlBackend::~cOrvelQmlBackend() {
  Shutdown();
  cRegistryLocker lock;
  delete mSerialConnection;
  delete mSavesDialog;
}

void cOrvelQmlBackend::Shutdown() {
  mSerialConnection->RemoveFromNetwork();
  mSavesDialog->RemoveFromNetwork();
  if (mEditor.mInOutFader != nullptr) mEditor.mInOutFader->RemoveFromNetwork();
  for (cLowMidHighPanelBackend* panel : {mEditor.mLow, mEditor.mMid, mEditor.mHigh}) {
    if (panel != nullptr) panel->RemoveFromNetwork();
  }
}

void cOrvelQmlBackend::SetEditorBackends(const sEditorBackends& backends) {
  Q_ASSERT(QThread::currentThread() == thread());
  if (mEditorSet) {
    EW_REPORT_ERROR("Editor backends are already set");
    return;
  }
  mEditorSet = true;
  mEditor = backends;
  for (QObject* backend :
       std::initializer_list<QObject*>{mEditor.mInOutFader, mEditor.mLow, mEditor.mMid, mEditor.mHigh}) {
    if (backend == nullptr) continue;
    backend->setParent(this);
    mEditHistory->Track(backend);
  }
}

QString cOrvelQmlBackend::versionAndRevisionString() const {
  return QString::fromLatin1(kOrvelVersionText) + QString::fromLatin1(kRevisionText);
}

bool cOrvelQmlBackend::StoreScale(double scale, double& stored) {
  Q_ASSERT(QThread::currentThread() == thread());
  if (!std::isfinite(scale)) {
    EW_REPORT_ERROR("Window scale %f ignored", scale);
    return false;
  }
  const double rounded = std::round(scale * 100.0) / 100.0;
  if (rounded == stored) return false;
  stored = rounded;
  return true;
}

void cOrvelQmlBackend::setWindowHScale(double Scale) {
  if (StoreScale(Scale, mWindowHScale)) emit windowHScaleChanged();
}

void cOrvelQmlBackend::setWindowWScale(double Scale) {
  if (StoreScale(Scale, mWindowWScale)) emit windowWScaleChanged();
}
