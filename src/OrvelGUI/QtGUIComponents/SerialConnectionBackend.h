#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include "EWNet/Core/NetObjct.h"
#include "QtGUIComponents/EWNetDrivers/SignalSlotDrivers/LinkedSourceGuard.h"

class cGuiThreadHandoff;

// The loader's view of the device link: connect and disconnect requests, the
// port list, the firmware version and the link state, exchanged with the
// serial connect driver over parameters 4096 and 4098-4100 and the port list
// with whole names and device paths on 4102 (linked by name through the
// system builder when it is made). A port is shown by its name and asked
// for by its path.
//
// Threads: properties, signals, slots and invokables belong to the GUI
// thread. EntrypointMessage and ActionTick run on the dispatch thread: they
// only check and decode, then queue the values to the GUI thread. Create and
// delete it holding the registry lock while the dispatch thread runs.
class cSerialConnectionBackend : public QObject, public cNetObject {
  Q_OBJECT
  Q_PROPERTY(bool connect READ connectFlag NOTIFY connectChanged)
  Q_PROPERTY(eConnectionState state READ state NOTIFY stateChanged)
  Q_PROPERTY(QStringList portNames READ portNames NOTIFY portNamesChanged)
  Q_PROPERTY(QString version READ version NOTIFY versionChanged)

 public:
  // The serial link's states as the driver reports them.
  enum eConnectionState : int {
    DISCONNECTED = 0,
    PORT_OPEN = 1,
    CONNECTED = 2,
    GETTING_SYNC = 3,
    SYNCING = 4,
    NO_REPLY = 5,
    DISCONNECTING = 6,
  };
  Q_ENUM(eConnectionState)

  static constexpr const char* kObjectName = "Serial Connection Backend NetObject";
  // The driver's parameter numbers, 4096-4102 (4097 and 4101 unused here).
  static constexpr EW_NET_DATA_SCALE kParameterCount = 7;
  // Polls: the port list while idle, the link status while a request stands.
  static constexpr UBYTE kPortListPollTicks = 250;
  static constexpr UBYTE kStatusPollTicks = 50;
  static constexpr int kMaxPortNameBytes = 255;

  explicit cSerialConnectionBackend(QObject* parent = nullptr, const char* driverName = nullptr);
  ~cSerialConnectionBackend() override;

  // Takes the net object off the network (registry lock); nothing arrives
  // afterwards. Safe to call more than once.
  void RemoveFromNetwork();

  bool connectFlag() const { return mConnect; }
  eConnectionState state() const { return mState; }
  QStringList portNames() const { return mPortNames; }
  // The device path of each name, in the same order.
  QStringList portPaths() const { return mPortPaths; }
  QString version() const { return mVersion; }

  // Tells the link that the front end has taken the device's settings.
  Q_INVOKABLE void setSyncDone();

  void EntrypointMessage(cEWNetMessage& message) override;
  void ActionTick() override;

 public slots:
  void connectToUnit();
  void connectToNamedUnit(const QString& name);
  void disconnectFromUnit();
  void updatePortNames(const QStringList& names);

 signals:
  void connectChanged();
  void stateChanged();
  void portNamesChanged();
  void versionChanged();
  void updatePortNamesSignal(const QStringList& names);
  void errorEvent(int whichError);

 private:
  void RequestLink(bool connect, const QString& name);
  void SendParameter(EW_NET_DATA_SCALE method, const QByteArray& payload);
  void SendFromDispatchThread(EW_NET_DATA_SCALE method);
  void ApplyLinkState(UBYTE state);
  void ApplyStatus(UBYTE state, UBYTE error);
  void ApplyVersion(const QString& version);
  void ApplyPorts(const QStringList& names, const QStringList& paths);
  // What a connect request names for a port the list shows as `name`.
  QString PortPathOf(const QString& name) const;
  void StoreState(UBYTE state);
  void AssertGuiThread() const;

  // Decoded values on their way from the dispatch thread (child).
  cGuiThreadHandoff* mToGui;
  // GUI thread.
  bool mConnect = false;
  eConnectionState mState = DISCONNECTED;
  QStringList mPortNames;
  QStringList mPortPaths;
  QString mVersion;
  // Registry lock.
  UBYTE mTickCounter = 0;
  // Dispatch thread: only the linked object may set what is shown.
  cLinkedSourceGuard mSources;
  bool mConnectRequested = false;
};
