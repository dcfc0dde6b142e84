#pragma once

#include <QObject>
#include <QString>
#include <atomic>

#include "EWNet/Core/SwitchObj.h"
#include "QtGUIComponents/EWNetDrivers/SignalSlotDrivers/DriverThreads.h"

// The part the three switch-object drivers (boolean, integer, list box) have
// in common: the net object made from a name and destroyed under the registry
// lock, the byte the network sees, and the "read" signal every divider-th
// poll.
//
// Threads: the QObject side is the GUI thread's. ReadValue, WriteValue and
// ApplyDelta are the switch object's callbacks (dispatch thread, registry
// lock); they touch only mShared and queue the rest.
class cQtSwitchDriverCore : public QObject, public cSwitchBaseDriver {
  Q_OBJECT

 public:
  ~cQtSwitchDriverCore() override;

  // The net object's registered name, empty when there is none (GUI thread).
  QString netObjectName() const;

  // Passed on only when there is a net object; false otherwise.
  bool LinkSourceToValue(const char* sourcePath, EW_NET_DATA_SCALE sourceParam, bool remove, bool sync,
                         bool bidirectional) override;
  bool LinkValueToDestination(const char* destinationPath, EW_NET_DATA_SCALE destinationParam, bool remove, bool sync,
                              bool bidirectional) override;

  UBYTE ReadValue() override;
  void WriteValue(UBYTE value) override;

 signals:
  void SwitchRead(int Value);
  void netObjectNameChanged();

 protected:
  cQtSwitchDriverCore(UBYTE readDivider, QObject* parent);

  // Makes the switch object (replacing an existing one, which the caller has
  // reported) under the registry lock, then emits netObjectNameChanged.
  // False for an empty name. GUI thread.
  bool CreateSwitchObject(const QString& name, bool actionTick);

  // Destroys the switch object under the registry lock. Every most-derived
  // driver calls it first thing in its destructor: the dispatch thread calls
  // the driver's virtuals until the object is gone, and once a destructor
  // has begun to unwind the classes those calls would meet a half-destroyed
  // driver. GUI thread.
  void DestroySwitchObject();

  // The GUI side's value changed: the network sees it on the next poll.
  void ShareValue(UBYTE value) { mShared.store(value); }
  UBYTE SharedValue() const { return mShared.load(); }

  // A value written from the network, on the GUI thread; only the latest
  // write arrives here (one overtaken by a later write from either side is
  // dropped).
  virtual void ApplyNetworkValue(UBYTE value) = 0;
  // From the dispatch thread: shares the value and queues ApplyNetworkValue.
  void HandNetworkValueToGui(UBYTE value);

 private:
  // Values from the network on their way to the GUI thread (child).
  cGuiThreadHandoff* mToGui;
  std::atomic<UBYTE> mShared{0};
  // Registry lock. The switch object takes its first poll as the value the
  // network already has and sends nothing; a change made on screen before
  // then must not vanish, so that poll sees what the network last gave.
  cReadDivider mReadDivider;
  bool mPolled = false;
  UBYTE mNetworkValue = 0;
};
