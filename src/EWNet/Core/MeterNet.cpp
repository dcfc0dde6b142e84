#include "EWNet/Core/MeterNet.h"

#include "AES-Standards/Convert.h"
#include "EWNet/Core/ContCtrl.h"

cMeterNet::cMeterNet(const char* name, cMeterDisplayDriverBase* driver, GAIN attackStep, GAIN decayStep,
                     bool peakHoldOn, UBYTE peakHoldTime)
    : cNetObject(name, 7, false, false),
      mDriver(driver),
      mLevel(kGainMinusInfinity),
      mAttackStep(attackStep),
      mDecayStep(decayStep),
      mPeak(kGainMinusInfinity),
      mPeakHoldOn(peakHoldOn ? 1 : 0),
      mPeakHoldTime(peakHoldTime),
      mHoldCounter(0),
      mTakeNextAsIs(true) {}

cMeterNet::~cMeterNet() { Unregister(); }

namespace {

// A step of the wrong sign (an attack step received as 0 is -32767) moves the
// level away from the reading; it stops at the end of the range instead of
// wrapping round to the other one.
GAIN StepLevel(int level) {
  if (level > 0x7FFF) return 0x7FFF;
  if (level < kGainMinusInfinity) return kGainMinusInfinity;
  return static_cast<GAIN>(level);
}

}  // namespace

void cMeterNet::ApplyReading(GAIN reading) {
  // Computed in int, so that sums beyond 16 bits compare as numbers.
  const int b = mLevel;
  const int c = reading;
  if (b < c) {
    mLevel = (mAttackStep == kInstantAttack || c < b + mAttackStep) ? reading : StepLevel(b + mAttackStep);
  } else {
    mLevel = (mDecayStep == kInstantDecay || b + mDecayStep < c) ? reading : StepLevel(b + mDecayStep);
  }

  if (mPeakHoldOn == 0) {
    mPeak = mLevel;
    return;
  }
  if (reading > mPeak) {
    mPeak = reading;
    mHoldCounter = mPeakHoldTime;
  } else if (mHoldCounter != 0) {
    --mHoldCounter;
    if (mHoldCounter == 0) {
      mPeak = reading;
      mHoldCounter = mPeakHoldTime;
    }
  }
}

void cMeterNet::EntrypointMessage(cEWNetMessage& message) {
  switch (message.mMethod) {
    case M_METER_READING: {
      if (!EWNetPayloadLongEnough(*this, message, 3)) return;
      const GAIN reading = static_cast<GAIN>(message.GetUWORD(0));
      if (message.GetUBYTE(2) != 0 || mTakeNextAsIs) {
        mLevel = reading;
        mPeak = reading;
        mTakeNextAsIs = false;
      } else {
        ApplyReading(reading);
      }
      mDriver->SetLevels(mLevel, mPeak);
      break;
    }
    case M_METER_LEVEL_AND_PEAK:
      if (!EWNetPayloadLongEnough(*this, message, 4)) return;
      mLevel = static_cast<GAIN>(message.GetUWORD(0));
      mPeak = static_cast<GAIN>(message.GetUWORD(2));
      mDriver->SetLevels(mLevel, mPeak);
      break;
    case M_METER_ATTACK_STEP:
      if (!EWNetPayloadLongEnough(*this, message, 2)) return;
      mAttackStep = UWORDToGain(message.GetUWORD(0));
      mDriver->SetAttackStep(mAttackStep);
      break;
    case M_METER_DECAY_STEP:
      if (!EWNetPayloadLongEnough(*this, message, 2)) return;
      mDecayStep = UWORDToGain(message.GetUWORD(0));
      mDriver->SetDecayStep(mDecayStep);
      break;
    case M_METER_PEAK_HOLD_TIME:
      if (!EWNetPayloadLongEnough(*this, message, 1)) return;
      mPeakHoldTime = message.GetUBYTE(0);
      break;
    case M_METER_PEAK_HOLD_ON:
      if (!EWNetPayloadLongEnough(*this, message, 1)) return;
      mPeakHoldOn = UBYTEToBool(message.GetUBYTE(0)) ? 1 : 0;
      break;
    case M_METER_FLAG:
      if (!EWNetPayloadLongEnough(*this, message, 1)) return;
      mDriver->SetFlag(UBYTEToBool(message.GetUBYTE(0)));
      break;
    default:
      cNetObject::EntrypointMessage(message);
      return;
  }
  SendToInformList(message);
}

cMeterDisplayDriverBase::cMeterDisplayDriverBase(const char* name, GAIN attackStep, GAIN decayStep, bool peakHoldOn,
                                                 UBYTE peakHoldTime)
    : mAttackStep(attackStep), mDecayStep(decayStep) {
  if (name != nullptr) mAudioObject = new cMeterNet(name, this, attackStep, decayStep, peakHoldOn, peakHoldTime);
}

cMeterDisplayDriverBase::~cMeterDisplayDriverBase() { DestroyAudioObject(); }

void cMeterDisplayDriverBase::SetFlag(bool flag) { (void)flag; }

void cMeterDisplayDriverBase::SetAttackStep(GAIN step) { mAttackStep = step; }

void cMeterDisplayDriverBase::SetDecayStep(GAIN step) { mDecayStep = step; }
