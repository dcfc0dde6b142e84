#pragma once

#include "QtGUIComponents/EWNetDrivers/SignalSlotDrivers/QtSwitchDriverCore.h"

// A small integer (0-255) control, such as an equaliser band's type, for QML.
// Threads as cQtSwitchDriverCore.
class cQtIntegerSwitchDriver : public cQtSwitchDriverCore {
  Q_OBJECT
  Q_PROPERTY(QString netObjectName READ netObjectName WRITE setNetObjectName NOTIFY netObjectNameChanged)
  Q_PROPERTY(int integerValue READ value WRITE setValue NOTIFY ValueChanged)
  Q_PROPERTY(int value READ value WRITE setValue NOTIFY ValueChanged)

 public:
  explicit cQtIntegerSwitchDriver(const QString& netObjectName = QString(), UBYTE readDivider = 50,
                                  bool actionTick = true, QObject* parent = nullptr);
  ~cQtIntegerSwitchDriver() override;

  int value() const { return mValue; }
  void setNetObjectName(const QString& name, bool actionTick = true);

 public slots:
  // Values outside 0-255 are refused: the network carries one byte.
  void setValue(int Value);
  void SetValue(int Value) { setValue(Value); }

 signals:
  void ValueChanged(int Value);
  // A value set on this side (the screen), not from the network: what an
  // edit history records. After the change signals.
  void valueEdited(int from, int to);

 protected:
  void ApplyNetworkValue(UBYTE value) override;

 private:
  UBYTE mValue = 0;  // GUI thread
};
