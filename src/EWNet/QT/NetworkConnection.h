#pragma once

#include <QAbstractSocket>
#include <QHostAddress>
#include <QObject>
#include <array>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>

#include "EWNet/Core/ConnMgr.h"
#include "EWNet/QT/LostCommsHandler.h"
#include "EWNet/QT/PeerAllowList.h"
#include "EWNet/QT/TransportSettings.h"

Q_DECLARE_METATYPE(std::string)

class cConnectionThreadControllerBase;
class cClientConnectionThreadController;
class cLostCommsSenderController;
class cLostCommsReceiverController;

// Knows every remote connection of the object network: hands out IDs 1 to 20,
// runs each connection on a thread of its own, routes messages for remote
// connections and takes connections down. A process-wide singleton living on
// the main thread, available from StartEWNet until DeleteInstance.
class cNetworkConnection : public QObject, public cEWNetConnectionManagerBase, public cLostCommsHandler {
  Q_OBJECT
 public:
  // Null after DeleteInstance, and on first use from any thread but the main one.
  static cNetworkConnection* Instance();
  // Main thread. Disconnects everything and deletes the instance.
  static void DeleteInstance();
  // Main thread; what StartEWNet calls. Allows access again after a
  // DeleteInstance and returns the instance.
  static cNetworkConnection* StartInstance();

  // Main thread, before connections are made; connections keep the settings
  // they started with.
  void SetSettings(const sEWNetTransportSettings& settings);
  sEWNetTransportSettings Settings() const;

  // The peers whose TCP connections are accepted, asked for every
  // connection as it comes in (so a change applies to the next one);
  // `settingName` is how the refusal report names where the list comes
  // from. Until a source is set, loopback peers only. Main thread.
  using tAllowedPeers = std::shared_ptr<const cPeerAllowList>;
  using tAllowedPeersSource = std::function<tAllowedPeers()>;
  void SetAllowedPeersSource(tAllowedPeersSource source, const std::string& settingName);
  void SetAllowedPeers(const cPeerAllowList& peers, const std::string& settingName);
  tAllowedPeers AllowedPeers();

  void InitialiseLostComms();
  void UninitialiseLostComms();

  UWORD AcquireNextAvaiableConnectionID();
  void ReleaseConnectionID(UWORD connectionId);
  UBYTE NumberOfConnections();

  // Main thread: from the TCP server.
  void IncomingRemoteConnection(qintptr socketDescriptor);
  // Opens a connection and waits for it at most the connect timeout. Must not
  // be called with the registry lock held: the router uses ConnectToHost.
  UWORD OutgoingRemoteConnection(const std::string& hostName);

  // cEWNetConnectionManagerBase; any thread.
  // Never waits: a new connection's ID is returned at once and what is sent
  // to it is held until it is up (a failed attempt answers held finds).
  UWORD ConnectToHost(const std::string& hostName) override;
  void SendMessageToConnection(const cEWNetMessage& message) override;
  void SendDatagramToConnection(const cEWNetMessage& message) override;
  bool UsesVersion2Messages(UWORD connectionId) override;
  std::string HostNameOfConnection(UWORD connectionId) override;

  bool IsConnectedToHost(const std::string& hostName);
  // The connection has its UDP path: the far side has answered the hello.
  bool IsHandshakeComplete(UWORD connectionId);
  UWORD ConnectionIdForHost(const std::string& hostName);
  QHostAddress PeerAddressOfHost(const std::string& hostName);

  // cLostCommsHandler; any thread.
  void SendUtilDatagramToConnection(const UBYTE* data, UWORD count, UWORD connectionId) override;
  std::string DisplayNameOfConnection(UWORD connectionId) override;
  void HandleLostComms(UWORD connectionId) override;

  // Connection threads.
  void UtilityMessageReceived(const UBYTE* data, int length, UWORD connectionId);
  void NewUDPConnection(UWORD connectionId);
  // The far side of an outgoing connection said it refuses it.
  void NoteRefusedByPeer(UWORD connectionId, const std::string& hostName, UBYTE reason);

  void DisconnectConnectionID(UWORD connectionId);

 signals:
  void LostComms(UWORD ConnectionId, std::string HostName);
  void ConnectionDisconnected(UWORD ConnectionId, std::string HostName, bool ErrorOccured,
                              QAbstractSocket::SocketError Error);
  void NumberOfConnectionsChanged(UBYTE NumberOfConnections);
  void UnitLowTTLWarning(UWORD ConnectionId, bool Low);
  // From the connection's thread: Reason is one of cTCPConnection's
  // kRefused codes.
  void RefusedByPeer(UWORD ConnectionId, std::string HostName, UBYTE Reason);

 private:
  struct sEntry {
    cConnectionThreadControllerBase* mController = nullptr;
    quint64 mSerial = 0;  // tells a later occupant of the same ID apart
    bool mClosing = false;
    // Another thread asked the main thread to take the connection down;
    // the request waits here, under the table lock, until it is carried out.
    bool mDisconnectRequested = false;
    bool mLost = false;  // the supervision found it silent
  };

  cNetworkConnection();
  ~cNetworkConnection() override;

  // Table lock held by the caller or taken here.
  UWORD StartOutgoing(const std::string& hostName, cClientConnectionThreadController** started, quint64* serial);
  // Stores the controller, connects its disconnect and starts its thread.
  quint64 StoreAndStart(UWORD connectionId, cConnectionThreadControllerBase* controller);
  // Main thread. Takes down the connection if it is still the one meant.
  void Disconnect(UWORD connectionId, quint64 serial, bool lostComms);
  // From any thread: has the main thread take it down. What it hands over
  // waits in the table, and the queued call that follows carries nothing,
  // so a thread checker sees the hand-over (it cannot see inside Qt's queue).
  void RequestDisconnect(UWORD connectionId, quint64 serial, bool lostComms);
  // Main thread: carries out every request made so far.
  Q_INVOKABLE void DisconnectRequested();
  void DisconnectAll();
  void EmitClosedToLostComms(UWORD connectionId);
  void EmitNewToLostComms(UWORD connectionId);
  // Table lock held. An entry with a controller; closing ones only when asked.
  sEntry* Entry(UWORD connectionId, bool evenClosing);
  // The serial of the connection holding the ID, or 0.
  quint64 SerialOf(UWORD connectionId);

  // Main thread: whether an incoming peer may connect; reports each
  // refused address once.
  bool Admits(const QHostAddress& peer);

  mutable std::mutex mSettingsLock;
  sEWNetTransportSettings mSettings;

  // Main thread.
  tAllowedPeersSource mAllowedPeersSource;
  std::string mAllowedPeersSetting;
  tAllowedPeers mReportedFor;
  std::set<QString> mRefusedReported;

  std::recursive_mutex mTableLock;
  std::array<UBYTE, kEWNetMaxConnections> mInUse{};
  std::array<sEntry, kEWNetMaxConnections> mTable{};
  UBYTE mCount = 0;
  quint64 mNextSerial = 1;

  std::mutex mLostCommsLock;
  cLostCommsSenderController* mSender = nullptr;
  cLostCommsReceiverController* mReceiver = nullptr;
};
