#pragma once

#include <QObject>
#include <QString>

#include "EWNet/Core/MeterNet.h"
#include "QtGUIComponents/EWNetDrivers/SignalSlotDrivers/DriverThreads.h"

// A level meter for QML: the displayed level and its held peak (1/256 dB),
// and both as positions 0..1 on a scale from bottomOfMeter to topOfMeter.
//
// Threads: the QObject side is the GUI thread's. The meter net object's
// callbacks (SetLevels, SetAttackStep, SetDecayStep; dispatch thread) queue
// their values to it. The steps the meter applies are handed over under the
// registry lock.
class cQtSignalSlotMeterDriver : public QObject, public cMeterDisplayDriverBase {
  Q_OBJECT
  Q_PROPERTY(QString netObjectName READ netObjectName WRITE setNetObjectName NOTIFY netObjectNameChanged)
  Q_PROPERTY(float value READ value NOTIFY FloatValueChanged)
  Q_PROPERTY(GAIN gainValue READ gainValue NOTIFY GainValueChanged)
  Q_PROPERTY(float peak READ peak NOTIFY PeakChanged)
  Q_PROPERTY(GAIN gainPeak READ gainPeak NOTIFY PeakChanged)
  Q_PROPERTY(GAIN bottomOfMeter READ bottomOfMeter WRITE setBottomOfMeter NOTIFY BottomOfMeterChanged)
  Q_PROPERTY(GAIN topOfMeter READ topOfMeter WRITE setTopOfMeter NOTIFY TopOfMeterChanged)
  Q_PROPERTY(GAIN attackStep READ attackStep WRITE setAttackStep NOTIFY attackStepChanged)
  Q_PROPERTY(GAIN decayStep READ decayStep WRITE setDecayStep NOTIFY decayStepChanged)
  Q_PROPERTY(bool noBallistics READ noBallistics WRITE setNoBallistics NOTIFY noBallisticsChanged)

 public:
  static constexpr GAIN kDefaultBottom = -32767;  // minus infinity
  static constexpr GAIN kDefaultTop = 2560;       // +10 dB

  // `noBallistics` is on when it equals 1.
  explicit cQtSignalSlotMeterDriver(const QString& netObjectName = QString(), GAIN bottomOfMeter = kDefaultBottom,
                                    GAIN topOfMeter = kDefaultTop, GAIN attackStep = kInstantAttack,
                                    GAIN decayStep = kInstantDecay, bool startAtZero = false, int noBallistics = 0,
                                    QObject* parent = nullptr);
  ~cQtSignalSlotMeterDriver() override;

  QString netObjectName() const;
  void setNetObjectName(const QString& name);

  float value() const { return Normalised(mLevel); }
  GAIN gainValue() const { return mLevel; }
  float peak() const { return Normalised(mPeak); }
  GAIN gainPeak() const { return mPeak; }
  GAIN bottomOfMeter() const { return mBottom; }
  GAIN topOfMeter() const { return mTop; }
  GAIN attackStep() const { return mGuiAttackStep; }
  GAIN decayStep() const { return mGuiDecayStep; }
  bool noBallistics() const { return mNoBallistics; }
  void setAttackStep(GAIN step);
  void setDecayStep(GAIN step);

  // The meter's next reading is taken as level and peak as it is.
  Q_INVOKABLE void resetMeterBallistics();
  Q_INVOKABLE float getFloatForUWORD(UWORD Value) const { return Normalised(GAIN(Value)); }

  // Links a reading source to the meter: its reading parameter, or with
  // noBallistics the one taken as it is. False without a net object.
  bool LinkSourceToMeter(const char* sourcePath, EW_NET_DATA_SCALE sourceParam, bool remove = false);

  // The meter's callbacks (dispatch thread).
  void SetLevels(GAIN level, GAIN peak) override;
  void SetAttackStep(GAIN step) override;
  void SetDecayStep(GAIN step) override;

 public slots:
  void setBottomOfMeter(GAIN BottomOfMeter);
  void setTopOfMeter(GAIN TopOfMeter);
  void setNoBallistics(bool noBallistics);

 signals:
  void MeterValuesChanged(GAIN NewMeterValue, GAIN NewPeakValue);
  void MeterValuesChanged1();
  void GainValueChanged(GAIN Value);
  void FloatValueChanged(float Value);
  void ValueChanged();
  void PeakChanged();
  void BottomOfMeterChanged(GAIN arg);
  void TopOfMeterChanged(GAIN arg);
  void netObjectNameChanged();
  void attackStepChanged();
  void decayStepChanged();
  void noBallisticsChanged(bool noBallistics);

 private:
  // Position of a level on the scale; 0 when the scale is empty or inverted.
  float Normalised(GAIN value) const;
  void ApplyLevels(GAIN level, GAIN peak);
  void ApplyAttackStep(GAIN step);
  void ApplyDecayStep(GAIN step);

  // Readings on their way to the GUI thread (child).
  cGuiThreadHandoff* mToGui;
  // GUI thread.
  GAIN mLevel;
  GAIN mPeak;
  GAIN mBottom;
  GAIN mTop;
  GAIN mGuiAttackStep;
  GAIN mGuiDecayStep;
  bool mNoBallistics;
};
