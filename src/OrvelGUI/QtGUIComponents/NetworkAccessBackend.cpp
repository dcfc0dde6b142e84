#include "OrvelGUI/QtGUIComponents/NetworkAccessBackend.h"

#include <QThread>
#include <QTimer>

#include "EWNet/Core/ErrLog.h"
#include "EWNet/QT/NetworkConnection.h"
#include "OrvelGUI/Core/NetworkAccess.h"

cNetworkAccessBackend::cNetworkAccessBackend(QObject* parent) : QObject(parent), mRefresh(new QTimer(this)) {
  mRefresh->setInterval(kRefreshMs);
  connect(mRefresh, &QTimer::timeout, this, &cNetworkAccessBackend::refresh);
  mManager = cNetworkConnection::Instance();
  if (mManager) {
    // Emitted on whichever thread takes or frees an ID; counted again here.
    connect(mManager, &cNetworkConnection::NumberOfConnectionsChanged, this, &cNetworkAccessBackend::refresh,
            Qt::QueuedConnection);
  }
  refresh();
}

bool cNetworkAccessBackend::remotePeersAllowed() const {
  StartWatching();
  return mRemote;
}

QString cNetworkAccessBackend::statusText() const {
  StartWatching();
  return Text();
}

QString cNetworkAccessBackend::Text() const {
  const QString peers = mPeerCount == 1 ? tr("1 peer") : tr("%1 peers").arg(mPeerCount);
  if (mRemote) return tr("Network: ") + peers;
  return mPeerCount == 0 ? tr("Network: off") : tr("Network: off, ") + peers;
}

void cNetworkAccessBackend::StartWatching() const {
  if (!mRefresh->isActive()) mRefresh->start();
}

void cNetworkAccessBackend::refresh() {
  Q_ASSERT(QThread::currentThread() == thread());
  cNetworkConnection* manager = mManager.data();
  const bool remote =
      manager != nullptr ? manager->AllowedPeers()->AdmitsRemotePeers() : networkaccess::InForce()->AdmitsRemotePeers();
  Store(remote, manager != nullptr ? int(manager->NumberOfConnections()) : 0);
}

void cNetworkAccessBackend::setRemotePeersAllowed(bool on) {
  Q_ASSERT(QThread::currentThread() == thread());
  QString error;
  if (!networkaccess::SetRemotePeers(on, error)) {
    EW_REPORT_ERROR("Network control stays as it was: %s", error.toUtf8().constData());
  }
  refresh();
}

void cNetworkAccessBackend::Store(bool remote, int peers) {
  const QString before = Text();
  const bool remoteChanged = remote != mRemote;
  const bool peersChanged = peers != mPeerCount;
  mRemote = remote;
  mPeerCount = peers;
  if (remoteChanged) emit remotePeersAllowedChanged();
  if (peersChanged) emit peerCountChanged();
  if (Text() != before) emit statusTextChanged();
}
