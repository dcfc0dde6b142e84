#pragma once

#include "EWNet/Core/NetObjct.h"
#include "EWNet/Core/audiodrv.h"

class cMeterDisplayDriverBase;

constexpr UWORD M_METER_READING = PARAMETER_BASE + 0;
constexpr UWORD M_METER_LEVEL_AND_PEAK = PARAMETER_BASE + 1;
constexpr UWORD M_METER_ATTACK_STEP = PARAMETER_BASE + 2;
constexpr UWORD M_METER_DECAY_STEP = PARAMETER_BASE + 3;
constexpr UWORD M_METER_PEAK_HOLD_TIME = PARAMETER_BASE + 4;
constexpr UWORD M_METER_PEAK_HOLD_ON = PARAMETER_BASE + 5;
constexpr UWORD M_METER_FLAG = PARAMETER_BASE + 6;

// Steps of 0x7FFF / -0x7FFF follow the reading at once.
constexpr GAIN kInstantAttack = 0x7FFF;
constexpr GAIN kInstantDecay = -0x7FFF;

// The net object of a level meter: applies attack, decay and peak hold to
// raw readings and shows the result through its driver.
class cMeterNet : public cNetObject {
 public:
  cMeterNet(const char* name, cMeterDisplayDriverBase* driver, GAIN attackStep, GAIN decayStep, bool peakHoldOn,
            UBYTE peakHoldTime);
  ~cMeterNet() override;

  void EntrypointMessage(cEWNetMessage& message) override;

  // Used by the display side (under the registry lock): they change the
  // ballistics without calling back into the driver.
  void SetAttackStep(GAIN step) { mAttackStep = step; }
  void SetDecayStep(GAIN step) { mDecayStep = step; }
  // The next reading is shown as it is, as level and peak.
  void ResetBallistics() { mTakeNextAsIs = true; }

  GAIN GetAttackStep() const { return mAttackStep; }
  GAIN GetDecayStep() const { return mDecayStep; }
  bool GetPeakHoldOn() const { return mPeakHoldOn != 0; }
  UBYTE GetPeakHoldTime() const { return mPeakHoldTime; }

 private:
  void ApplyReading(GAIN reading);

  cMeterDisplayDriverBase* mDriver;
  GAIN mLevel;
  GAIN mAttackStep;
  GAIN mDecayStep;
  GAIN mPeak;
  UBYTE mPeakHoldOn;
  UBYTE mPeakHoldTime;
  UBYTE mHoldCounter;
  bool mTakeNextAsIs;
};

class cMeterDisplayDriverBase : public cAudioDriver {
 public:
  cMeterDisplayDriverBase(const char* name, GAIN attackStep, GAIN decayStep, bool peakHoldOn, UBYTE peakHoldTime);
  ~cMeterDisplayDriverBase() override;

  virtual void SetLevels(GAIN level, GAIN peak) = 0;
  virtual void SetFlag(bool flag);
  virtual void SetAttackStep(GAIN step);
  virtual void SetDecayStep(GAIN step);

  GAIN GetAttackStep() const { return mAttackStep; }
  GAIN GetDecayStep() const { return mDecayStep; }
  cMeterNet* GetMeter() const { return static_cast<cMeterNet*>(mAudioObject); }

 protected:
  GAIN mAttackStep;
  GAIN mDecayStep;
};
