#include "QtGUIComponents/EWNetDrivers/SignalSlotDrivers/QtSwitchDriverCore.h"

#include "EWNet/Core/RegRoutr.h"
#include "QtGUIComponents/EWNetDrivers/SignalSlotDrivers/LinkedSourceGuard.h"

cQtSwitchDriverCore::cQtSwitchDriverCore(UBYTE readDivider, QObject* parent)
    : QObject(parent),
      cSwitchBaseDriver(nullptr, true),
      mToGui(new cGuiThreadHandoff(this)),
      mReadDivider(readDivider) {}

cQtSwitchDriverCore::~cQtSwitchDriverCore() { DestroySwitchObject(); }

void cQtSwitchDriverCore::DestroySwitchObject() {
  cRegistryLocker lock;
  DestroyAudioObject();
}

QString cQtSwitchDriverCore::netObjectName() const {
  return mAudioObject != nullptr ? QString::fromLocal8Bit(mAudioObject->GetName()) : QString();
}

bool cQtSwitchDriverCore::CreateSwitchObject(const QString& name, bool actionTick) {
  AssertOwnerThread(this);
  if (name.isEmpty()) return false;
  {
    cRegistryLocker lock;
    // The old object goes first: left registered it would keep its name and
    // go on calling into this driver.
    DestroyAudioObject();
    mAudioObject = new tLinkedSourcesOnly<cSwitchObject>(name.toLocal8Bit().constData(), this, actionTick);
  }
  emit netObjectNameChanged();
  return true;
}

bool cQtSwitchDriverCore::LinkSourceToValue(const char* sourcePath, EW_NET_DATA_SCALE sourceParam, bool remove,
                                            bool sync, bool bidirectional) {
  if (mAudioObject == nullptr) return false;
  return cSwitchBaseDriver::LinkSourceToValue(sourcePath, sourceParam, remove, sync, bidirectional);
}

bool cQtSwitchDriverCore::LinkValueToDestination(const char* destinationPath, EW_NET_DATA_SCALE destinationParam,
                                                 bool remove, bool sync, bool bidirectional) {
  if (mAudioObject == nullptr) return false;
  return cSwitchBaseDriver::LinkValueToDestination(destinationPath, destinationParam, remove, sync, bidirectional);
}

UBYTE cQtSwitchDriverCore::ReadValue() {
  const UBYTE value = mPolled ? mShared.load() : mNetworkValue;
  mPolled = true;
  if (mReadDivider.PollDue()) {
    mToGui->Post([this, value] { emit SwitchRead(value); });
  }
  return value;
}

void cQtSwitchDriverCore::WriteValue(UBYTE value) {
  mNetworkValue = value;
  HandNetworkValueToGui(value);
}

void cQtSwitchDriverCore::HandNetworkValueToGui(UBYTE value) {
  mShared.store(value);
  mToGui->Post([this, value] {
    if (mShared.load() != value) return;
    ApplyNetworkValue(value);
  });
}
