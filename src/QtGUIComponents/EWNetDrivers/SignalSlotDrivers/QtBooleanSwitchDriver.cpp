#include "QtGUIComponents/EWNetDrivers/SignalSlotDrivers/QtBooleanSwitchDriver.h"

#include "EWNet/Core/ErrLog.h"

cQtBooleanSwitchDriver::cQtBooleanSwitchDriver(const QString& netObjectName, UBYTE readDivider, bool actionTick,
                                               QObject* parent)
    : cQtSwitchDriverCore(readDivider, parent) {
  if (!netObjectName.isEmpty()) setNetObjectName(netObjectName, actionTick);
}

cQtBooleanSwitchDriver::~cQtBooleanSwitchDriver() { DestroySwitchObject(); }

void cQtBooleanSwitchDriver::setNetObjectName(const QString& name, bool actionTick) {
  if (name.isEmpty()) return;
  if (GetAudioObject() != nullptr) EW_REPORT_ERROR("Driver already has a net object");
  CreateSwitchObject(name, actionTick);
}

void cQtBooleanSwitchDriver::setValue(bool Value) {
  AssertOwnerThread(this);
  const UBYTE byte = Value ? 1 : 0;
  if (byte == mValue) return;
  mValue = byte;
  ShareValue(byte);
  emit valueChanged(Value);
  emit ValuePropertyChanged();
}

void cQtBooleanSwitchDriver::ApplyNetworkValue(UBYTE value) {
  if (value == mValue) return;
  mValue = value;
  emit valueChanged(value != 0);
  emit ValuePropertyChanged();
}
