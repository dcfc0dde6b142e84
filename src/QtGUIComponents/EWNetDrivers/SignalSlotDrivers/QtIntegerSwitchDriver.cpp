#include "QtGUIComponents/EWNetDrivers/SignalSlotDrivers/QtIntegerSwitchDriver.h"

#include "EWNet/Core/ErrLog.h"

cQtIntegerSwitchDriver::cQtIntegerSwitchDriver(const QString& netObjectName, UBYTE readDivider, bool actionTick,
                                               QObject* parent)
    : cQtSwitchDriverCore(readDivider, parent) {
  if (!netObjectName.isEmpty()) setNetObjectName(netObjectName, actionTick);
}

cQtIntegerSwitchDriver::~cQtIntegerSwitchDriver() { DestroySwitchObject(); }

void cQtIntegerSwitchDriver::setNetObjectName(const QString& name, bool actionTick) {
  if (name.isEmpty()) return;
  if (GetAudioObject() != nullptr) EW_REPORT_ERROR("Driver already has a net object");
  CreateSwitchObject(name, actionTick);
}

void cQtIntegerSwitchDriver::setValue(int Value) {
  AssertOwnerThread(this);
  if (Value < 0 || Value > 0xFF) {
    EW_REPORT_ERROR("Value %d does not fit in a byte", Value);
    return;
  }
  if (Value == mValue) return;
  mValue = UBYTE(Value);
  ShareValue(mValue);
  emit ValueChanged(Value);
}

void cQtIntegerSwitchDriver::ApplyNetworkValue(UBYTE value) {
  if (value == mValue) return;
  mValue = value;
  emit ValueChanged(value);
}
