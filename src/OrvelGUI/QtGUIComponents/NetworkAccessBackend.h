#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class QTimer;
class cNetworkConnection;

// The editor's view of the object network: whether peers beyond this
// machine may connect (the setting network/allow), how many peers are
// connected, and the switch that turns remote peers on (the local
// subnets) or off. A change is in force for the next peer at once and is
// kept for the next start.
//
// GUI thread, which must be the main thread the connection manager
// answers on.
class cNetworkAccessBackend : public QObject {
  Q_OBJECT
  Q_PROPERTY(bool remotePeersAllowed READ remotePeersAllowed NOTIFY remotePeersAllowedChanged)
  Q_PROPERTY(int peerCount READ peerCount NOTIFY peerCountChanged)
  // "Network: off", "Network: 1 peer", "Network: off, 1 peer" (a peer of
  // this machine while remote ones are off).
  Q_PROPERTY(QString statusText READ statusText NOTIFY statusTextChanged)

 public:
  // While a screen shows the state, the setting is looked at again this
  // often, so that a change made with orvel-cli shows.
  static constexpr int kRefreshMs = 1000;

  explicit cNetworkAccessBackend(QObject* parent = nullptr);

  bool remotePeersAllowed() const;
  int peerCount() const { return mPeerCount; }
  QString statusText() const;

  // The switch. A setting that cannot be written leaves everything as it
  // was, with a report.
  Q_INVOKABLE void setRemotePeersAllowed(bool on);

 public slots:
  void refresh();

 signals:
  void remotePeersAllowedChanged();
  void peerCountChanged();
  void statusTextChanged();

 private:
  void Store(bool remote, int peers);
  QString Text() const;
  // The refresh runs only once something has read the state: the loader,
  // which does not show it, stays without the timer.
  void StartWatching() const;

  QTimer* mRefresh;  // child
  // Gone once the program shuts its transport down.
  QPointer<cNetworkConnection> mManager;
  bool mRemote = false;
  int mPeerCount = 0;
};
