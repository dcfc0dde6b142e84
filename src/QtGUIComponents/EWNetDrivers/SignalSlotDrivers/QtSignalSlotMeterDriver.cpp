#include "QtGUIComponents/EWNetDrivers/SignalSlotDrivers/QtSignalSlotMeterDriver.h"

#include <algorithm>

#include "EWNet/Core/ErrLog.h"
#include "EWNet/Core/RegRoutr.h"
#include "QtGUIComponents/EWNetDrivers/SignalSlotDrivers/LinkedSourceGuard.h"

cQtSignalSlotMeterDriver::cQtSignalSlotMeterDriver(const QString& netObjectName, GAIN bottomOfMeter, GAIN topOfMeter,
                                                   GAIN attackStep, GAIN decayStep, bool startAtZero, int noBallistics,
                                                   QObject* parent)
    : QObject(parent),
      cMeterDisplayDriverBase(nullptr, attackStep, decayStep, false, 0),
      mToGui(new cGuiThreadHandoff(this)),
      mLevel(startAtZero ? 0 : -32767),
      mPeak(startAtZero ? 0 : -32767),
      mBottom(bottomOfMeter),
      mTop(topOfMeter),
      mGuiAttackStep(attackStep),
      mGuiDecayStep(decayStep),
      mNoBallistics(noBallistics == 1) {
  if (!netObjectName.isEmpty()) setNetObjectName(netObjectName);
}

cQtSignalSlotMeterDriver::~cQtSignalSlotMeterDriver() {
  cRegistryLocker lock;
  DestroyAudioObject();
}

QString cQtSignalSlotMeterDriver::netObjectName() const {
  return mAudioObject != nullptr ? QString::fromLocal8Bit(mAudioObject->GetName()) : QString();
}

void cQtSignalSlotMeterDriver::setNetObjectName(const QString& name) {
  AssertOwnerThread(this);
  if (name.isEmpty()) return;
  if (mAudioObject != nullptr) EW_REPORT_ERROR("Driver already has a net object");
  {
    cRegistryLocker lock;
    // The old object goes first: left registered it would keep its name and
    // go on calling into this driver.
    DestroyAudioObject();
    mAudioObject =
        new tLinkedSourcesOnly<cMeterNet>(name.toLocal8Bit().constData(), this, mAttackStep, mDecayStep, false, 0);
  }
  emit netObjectNameChanged();
}

float cQtSignalSlotMeterDriver::Normalised(GAIN value) const {
  // In int: minus infinity to +10 dB spans more than 16 bits hold.
  const int bottom = mBottom;
  const int top = mTop;
  if (top <= bottom) return 0.0f;
  const int clamped = std::clamp<int>(value, bottom, top);
  return float(clamped - bottom) / float(top - bottom);
}

void cQtSignalSlotMeterDriver::SetLevels(GAIN level, GAIN peak) {
  mToGui->Post([this, level, peak] { ApplyLevels(level, peak); });
}

void cQtSignalSlotMeterDriver::ApplyLevels(GAIN level, GAIN peak) {
  const GAIN held = std::max(level, peak);
  if (level == mLevel) {
    if (held == mPeak) return;
    mPeak = held;
    emit PeakChanged();
  } else {
    mLevel = level;
    emit GainValueChanged(level);
    emit FloatValueChanged(Normalised(level));
    emit ValueChanged();
    if (held != mPeak) {
      mPeak = held;
      emit PeakChanged();
    }
  }
  emit MeterValuesChanged1();
  emit MeterValuesChanged(level, held);
}

void cQtSignalSlotMeterDriver::setBottomOfMeter(GAIN BottomOfMeter) {
  AssertOwnerThread(this);
  if (BottomOfMeter == mBottom) return;
  mBottom = BottomOfMeter;
  emit BottomOfMeterChanged(BottomOfMeter);
}

void cQtSignalSlotMeterDriver::setTopOfMeter(GAIN TopOfMeter) {
  AssertOwnerThread(this);
  if (TopOfMeter == mTop) return;
  mTop = TopOfMeter;
  emit TopOfMeterChanged(TopOfMeter);
}

void cQtSignalSlotMeterDriver::setNoBallistics(bool noBallistics) {
  AssertOwnerThread(this);
  if (noBallistics == mNoBallistics) return;
  mNoBallistics = noBallistics;
  emit noBallisticsChanged(noBallistics);
}

void cQtSignalSlotMeterDriver::setAttackStep(GAIN step) {
  AssertOwnerThread(this);
  if (step == mGuiAttackStep) return;
  mGuiAttackStep = step;
  {
    cRegistryLocker lock;
    cMeterDisplayDriverBase::SetAttackStep(step);
    if (cMeterNet* meter = GetMeter()) meter->SetAttackStep(step);
  }
  emit attackStepChanged();
}

void cQtSignalSlotMeterDriver::setDecayStep(GAIN step) {
  AssertOwnerThread(this);
  if (step == mGuiDecayStep) return;
  mGuiDecayStep = step;
  {
    cRegistryLocker lock;
    cMeterDisplayDriverBase::SetDecayStep(step);
    if (cMeterNet* meter = GetMeter()) meter->SetDecayStep(step);
  }
  emit decayStepChanged();
}

void cQtSignalSlotMeterDriver::SetAttackStep(GAIN step) {
  cMeterDisplayDriverBase::SetAttackStep(step);
  mToGui->Post([this, step] { ApplyAttackStep(step); });
}

void cQtSignalSlotMeterDriver::SetDecayStep(GAIN step) {
  cMeterDisplayDriverBase::SetDecayStep(step);
  mToGui->Post([this, step] { ApplyDecayStep(step); });
}

void cQtSignalSlotMeterDriver::ApplyAttackStep(GAIN step) {
  if (step == mGuiAttackStep) return;
  mGuiAttackStep = step;
  emit attackStepChanged();
}

void cQtSignalSlotMeterDriver::ApplyDecayStep(GAIN step) {
  if (step == mGuiDecayStep) return;
  mGuiDecayStep = step;
  emit decayStepChanged();
}

void cQtSignalSlotMeterDriver::resetMeterBallistics() {
  cRegistryLocker lock;
  if (cMeterNet* meter = GetMeter()) meter->ResetBallistics();
}

bool cQtSignalSlotMeterDriver::LinkSourceToMeter(const char* sourcePath, EW_NET_DATA_SCALE sourceParam, bool remove) {
  if (mAudioObject == nullptr) return false;
  const char* own = OwnObjectNameForLink();
  if (own == nullptr) return false;
  const EW_NET_DATA_SCALE destination = mNoBallistics ? M_METER_LEVEL_AND_PEAK : M_METER_READING;
  return QueueParameterLink(sourcePath, sourceParam, own, destination, false, remove, false);
}
