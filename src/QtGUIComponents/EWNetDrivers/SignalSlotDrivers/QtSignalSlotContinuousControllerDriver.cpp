#include "QtGUIComponents/EWNetDrivers/SignalSlotDrivers/QtSignalSlotContinuousControllerDriver.h"

#include <algorithm>
#include <cmath>

#include "EWNet/Core/ErrLog.h"
#include "EWNet/Core/RegRoutr.h"
#include "QtGUIComponents/EWNetDrivers/SignalSlotDrivers/LinkedSourceGuard.h"

cQtSignalSlotContinuousControllerDriver::cQtSignalSlotContinuousControllerDriver(const QString& netObjectName,
                                                                                 UWORD minimum, UWORD maximum,
                                                                                 bool levelType, UBYTE readDivider,
                                                                                 QObject* parent)
    : QObject(parent),
      cContinuousControllerWithDeltaDriver(nullptr, minimum, maximum, levelType, false),
      mToGui(new cGuiThreadHandoff(this)),
      mValue(minimum),
      mGuiMinimum(minimum),
      mGuiMaximum(maximum),
      mGuiLevelType(levelType),
      mShared(minimum),
      mReadDivider(readDivider),
      mNetworkValue(minimum) {
  if (!netObjectName.isEmpty()) setNetObjectName(netObjectName);
}

cQtSignalSlotContinuousControllerDriver::~cQtSignalSlotContinuousControllerDriver() {
  cRegistryLocker lock;
  DestroyAudioObject();
}

QString cQtSignalSlotContinuousControllerDriver::netObjectName() const {
  return mAudioObject != nullptr ? QString::fromLocal8Bit(mAudioObject->GetName()) : QString();
}

void cQtSignalSlotContinuousControllerDriver::setNetObjectName(const QString& name) {
  AssertOwnerThread(this);
  if (name.isEmpty()) return;
  if (mAudioObject != nullptr) EW_REPORT_ERROR("Driver already has a net object");
  {
    cRegistryLocker lock;
    // The old object goes first: left registered it would keep its name and
    // go on calling into this driver.
    DestroyAudioObject();
    mAudioObject = new tLinkedSourcesOnly<cContinuousControllerWithDelta>(name.toLocal8Bit().constData(), this, 5);
  }
  emit NetObjectNameChanged();
}

float cQtSignalSlotContinuousControllerDriver::NormalisedOf(int value) const {
  const int span = range();
  if (span == 0) return 0.0f;
  const int clamped = std::clamp(value, mGuiMinimum, mGuiMaximum);
  return float(clamped - mGuiMinimum) / float(span);
}

void cQtSignalSlotContinuousControllerDriver::StoreAndSignal(UWORD value) {
  mValue = value;
  mShared.store(value);
  emit ValueChanged(int(value));
  emit ValueChanged(NormalisedOf(value));
  emit ValuePropertyChanged();
}

void cQtSignalSlotContinuousControllerDriver::SetNetworkValue(int Value) {
  AssertOwnerThread(this);
  // An inverted range (possible from the network) clamps to its maximum.
  int raw = std::min(std::max(Value, mGuiMinimum), mGuiMaximum);
  // The level type's minimum is "off", which the network carries as 0.
  if (mGuiLevelType && raw == mGuiMinimum) raw = 0;
  if (raw == mValue) return;
  const int from = mValue;
  StoreAndSignal(UWORD(raw));
  emit valueEdited(from, raw);
}

void cQtSignalSlotContinuousControllerDriver::SetValue(float Value) {
  AssertOwnerThread(this);
  if (std::isnan(Value)) return;
  double x = Value;
  if (x < 0.0) {
    if (mGuiLevelType) {
      SetNetworkValue(0);
      return;
    }
    x = 0.0;
  }
  x = std::min(x, 1.0);
  if (x == 0.0 && mGuiLevelType) {
    SetNetworkValue(0);
    return;
  }
  // lround rounds halves away from zero.
  SetNetworkValue(mGuiMinimum + int(std::lround(range() * x)));
}

void cQtSignalSlotContinuousControllerDriver::setRange(UWORD Min, UWORD Max, bool LevelType) {
  AssertOwnerThread(this);
  if (Min > Max) {
    EW_REPORT_ERROR("Range refused: minimum %d above maximum %d", Min, Max);
    return;
  }
  {
    cRegistryLocker lock;
    cContinuousControllerDriver::SetRange(Min, Max, LevelType);
  }
  ApplyRange(Min, Max, LevelType);
}

void cQtSignalSlotContinuousControllerDriver::ApplyRange(UWORD minimum, UWORD maximum, bool levelType) {
  mGuiMinimum = minimum;
  mGuiMaximum = maximum;
  mGuiLevelType = levelType;
  emit rangeChanged();
}

void cQtSignalSlotContinuousControllerDriver::SetDeltaOptions(const sControllerDeltaOptions& options) {
  cRegistryLocker lock;
  mDeltaOptions = options;
}

bool cQtSignalSlotContinuousControllerDriver::LinkSourceToRange(const char* sourcePath, EW_NET_DATA_SCALE sourceParam,
                                                                bool remove) {
  if (mAudioObject == nullptr) return false;
  return cContinuousControllerDriver::LinkSourceToRange(sourcePath, sourceParam, remove);
}

bool cQtSignalSlotContinuousControllerDriver::LinkSourceToValue(const char* sourcePath, EW_NET_DATA_SCALE sourceParam,
                                                                bool remove, bool bidirectional) {
  if (mAudioObject == nullptr) return false;
  return cContinuousControllerDriver::LinkSourceToValue(sourcePath, sourceParam, remove, bidirectional);
}

bool cQtSignalSlotContinuousControllerDriver::LinkRangeToDestination(const char* destinationPath,
                                                                     EW_NET_DATA_SCALE destinationParam, bool remove) {
  if (mAudioObject == nullptr) return false;
  return cContinuousControllerDriver::LinkRangeToDestination(destinationPath, destinationParam, remove);
}

bool cQtSignalSlotContinuousControllerDriver::LinkValueToDestination(const char* destinationPath,
                                                                     EW_NET_DATA_SCALE destinationParam, bool remove,
                                                                     bool bidirectional) {
  if (mAudioObject == nullptr) return false;
  return cContinuousControllerDriver::LinkValueToDestination(destinationPath, destinationParam, remove, bidirectional);
}

UBYTE cQtSignalSlotContinuousControllerDriver::ReadTouched() {
  mTicked = true;
  return 0;
}

UWORD cQtSignalSlotContinuousControllerDriver::ReadValue() {
  const UWORD value = mTicked ? mShared.load() : mNetworkValue;
  if (mReadDivider.PollDue()) {
    mToGui->Post([this, value] { emit ControllerValueRead(value); });
  }
  return ValueForNetwork(value);
}

void cQtSignalSlotContinuousControllerDriver::WriteValue(UWORD value) {
  mNetworkValue = value;
  HandNetworkValueToGui(value);
}

void cQtSignalSlotContinuousControllerDriver::HandNetworkValueToGui(UWORD value) {
  mShared.store(value);
  mToGui->Post([this, value] {
    // Overtaken by a later write from either side: that one stands.
    if (mShared.load() != value) return;
    ApplyNetworkValue(value);
  });
}

void cQtSignalSlotContinuousControllerDriver::ApplyNetworkValue(UWORD value) {
  if (value == mValue) return;
  StoreAndSignal(value);
}

void cQtSignalSlotContinuousControllerDriver::SetRange(UWORD minimum, UWORD maximum, bool levelType) {
  cContinuousControllerDriver::SetRange(minimum, maximum, levelType);
  mToGui->Post([this, minimum, maximum, levelType] { ApplyRange(minimum, maximum, levelType); });
}

void cQtSignalSlotContinuousControllerDriver::ApplyDelta(int16_t steps) {
  if (mRange == 0) return;
  const int moves = ControllerDeltaSteps(mRange, steps, mDeltaRemainder, mDeltaOptions);
  // Steps still being collected move nothing.
  if (moves == 0) return;
  const int minimum = mMinimum;
  const int maximum = mMaximum;
  // The stored value, not the one the network reads: a level-type control
  // that is off reads 0 but stands at its minimum.
  const int old = std::clamp<int>(mShared.load(), minimum, maximum);
  const int next = std::clamp(steps < 0 ? old - moves : old + moves, minimum, maximum);
  if (next == old) return;
  HandNetworkValueToGui(UWORD(mLevelType && next == minimum ? 0 : next));
}
