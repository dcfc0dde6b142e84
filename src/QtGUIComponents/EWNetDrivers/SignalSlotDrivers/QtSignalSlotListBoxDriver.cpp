#include "QtGUIComponents/EWNetDrivers/SignalSlotDrivers/QtSignalSlotListBoxDriver.h"

#include <algorithm>
#include <cmath>

#include "EWNet/Core/ErrLog.h"

cQtSignalSlotListBoxDriver::cQtSignalSlotListBoxDriver(QObject* parent, const QString& netObjectName,
                                                       const QList<UBYTE>& values, UBYTE readDivider)
    : cQtSwitchDriverCore(readDivider, parent) {
  for (int i = 0; i < values.size(); ++i) mList[i] = values[i];
  SetCurrentIndex(0);
  if (!netObjectName.isEmpty()) setNetObjectName(netObjectName);
}

cQtSignalSlotListBoxDriver::~cQtSignalSlotListBoxDriver() { DestroySwitchObject(); }

void cQtSignalSlotListBoxDriver::setNetObjectName(const QString& name) {
  if (name.isEmpty()) return;
  if (GetAudioObject() != nullptr) EW_REPORT_ERROR("Driver already has a net object");
  // The list box always polls.
  CreateSwitchObject(name, true);
}

int cQtSignalSlotListBoxDriver::IndexOf(UBYTE value) const {
  for (const auto& entry : mList) {
    if (entry.second == value) return entry.first;
  }
  return -1;
}

void cQtSignalSlotListBoxDriver::SetCurrentIndex(int Index) {
  AssertOwnerThread(this);
  const auto found = mList.find(Index);
  const UBYTE value = found != mList.end() ? found->second : 0;
  if (value == mValue) return;
  mValue = value;
  ShareValue(value);
  mFinePosition.store(Index * 256);
  emit CurrentIndexChanged();
}

void cQtSignalSlotListBoxDriver::SetValue(UBYTE arg) {
  AssertOwnerThread(this);
  if (arg == mValue || mList.empty()) return;
  const int index = IndexOf(arg);
  if (index < 0) return;
  mValue = arg;
  ShareValue(arg);
  mFinePosition.store(index * 256);
  emit ValueChanged(arg);
}

void cQtSignalSlotListBoxDriver::ApplyNetworkValue(UBYTE value) {
  // Stored as it comes, listed or not: the unit decides what is valid.
  if (value == mValue) return;
  mValue = value;
  emit ValueChanged(value);
  emit CurrentIndexChanged();
}

void cQtSignalSlotListBoxDriver::setValueProperty(int value) {
  if (value < 0 || value > 0xFF) {
    EW_REPORT_ERROR("Value %d does not fit in a byte", value);
    return;
  }
  SetValue(UBYTE(value));
}

void cQtSignalSlotListBoxDriver::WriteValue(UBYTE value) {
  const int index = IndexOf(value);
  if (index >= 0) mFinePosition.store(index * 256);
  cQtSwitchDriverCore::WriteValue(value);
}

void cQtSignalSlotListBoxDriver::ApplyDelta(int16_t steps) {
  const int n = int(mList.size());
  if (n == 0) return;
  const int step = n == 1 ? 1 : std::min(3 * n - 3, 256);
  const int fine = std::clamp(mFinePosition.load() + steps * step, 0, (n - 1) * 256);
  mFinePosition.store(fine);
  const int index = int(std::lround(fine / 256.0));
  const UBYTE value = mList.at(index);
  if (value == SharedValue()) return;
  mFinePosition.store(index * 256);
  HandNetworkValueToGui(value);
}
