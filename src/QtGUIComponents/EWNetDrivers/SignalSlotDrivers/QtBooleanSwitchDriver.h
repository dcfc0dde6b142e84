#pragma once

#include "QtGUIComponents/EWNetDrivers/SignalSlotDrivers/QtSwitchDriverCore.h"

// An on/off control (mute, polarity, bypass, gang) for QML. Threads as
// cQtSwitchDriverCore: everything QML-visible belongs to the GUI thread.
class cQtBooleanSwitchDriver : public cQtSwitchDriverCore {
  Q_OBJECT
  Q_PROPERTY(QString netObjectName READ netObjectName WRITE setNetObjectName NOTIFY netObjectNameChanged)
  Q_PROPERTY(bool value READ value WRITE setValue NOTIFY valueChanged)

 public:
  explicit cQtBooleanSwitchDriver(const QString& netObjectName = QString(), UBYTE readDivider = 50,
                                  bool actionTick = true, QObject* parent = nullptr);
  ~cQtBooleanSwitchDriver() override;

  bool value() const { return mValue != 0; }
  // Makes the switch object; `actionTick` is its tick flag. A second name
  // replaces the first object (with a report).
  void setNetObjectName(const QString& name, bool actionTick = true);

 public slots:
  void setValue(bool Value);

 signals:
  void valueChanged(bool Value);
  void ValuePropertyChanged();
  // A value set on this side (the screen), not from the network: what an
  // edit history records. After the change signals.
  void valueEdited(int from, int to);

 protected:
  void ApplyNetworkValue(UBYTE value) override;

 private:
  UBYTE mValue = 0;  // GUI thread
};
