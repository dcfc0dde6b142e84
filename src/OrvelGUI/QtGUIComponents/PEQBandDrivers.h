#pragma once

#include <QObject>
#include <QString>

#include "QtGUIComponents/EWNetDrivers/SignalSlotDrivers/QtBooleanSwitchDriver.h"
#include "QtGUIComponents/EWNetDrivers/SignalSlotDrivers/QtIntegerSwitchDriver.h"
#include "QtGUIComponents/EWNetDrivers/SignalSlotDrivers/QtSignalSlotContinuousControllerDriver.h"

// The controls of one equaliser band for the value widgets and buttons of a
// block: type, frequency, width, gain and band bypass, each a driver with its
// own net object. GUI thread; the drivers are its Qt children.
class cPEQBandDrivers : public QObject {
  Q_OBJECT
  Q_PROPERTY(cQtIntegerSwitchDriver* bandTypeSwitchDriver READ bandTypeSwitchDriver CONSTANT)
  Q_PROPERTY(cQtSignalSlotContinuousControllerDriver* frequencyDriver READ frequencyDriver CONSTANT)
  Q_PROPERTY(cQtSignalSlotContinuousControllerDriver* widthDriver READ widthDriver CONSTANT)
  Q_PROPERTY(cQtSignalSlotContinuousControllerDriver* gainDriver READ gainDriver CONSTANT)
  Q_PROPERTY(cQtBooleanSwitchDriver* bypassDriver READ bypassDriver CONSTANT)

 public:
  static constexpr UWORD kFrequencyMin = 10699;  // 20 Hz
  static constexpr UWORD kFrequencyMax = 56622;  // 20 kHz
  static constexpr UWORD kWidthMax = 0x2C00;     // width index 44
  static constexpr UWORD kGainMin = 0x7100;      // -15 dB
  static constexpr UWORD kGainMax = 0x8F00;      // +15 dB
  static constexpr UBYTE kReadDivider = 50;

  // Names: prefix and "Channel" run together, then " PEQ ", the band name
  // and the control ("LMH 1: Left PEQ BlockChannel PEQ LF Freq TFT Edit Box").
  cPEQBandDrivers(const QString& prefix, const QString& bandName, QObject* parent = nullptr);
  ~cPEQBandDrivers() override;

  cQtIntegerSwitchDriver* bandTypeSwitchDriver() const { return mBandType; }
  cQtSignalSlotContinuousControllerDriver* frequencyDriver() const { return mFrequency; }
  cQtSignalSlotContinuousControllerDriver* widthDriver() const { return mWidth; }
  cQtSignalSlotContinuousControllerDriver* gainDriver() const { return mGain; }
  cQtBooleanSwitchDriver* bypassDriver() const { return mBypass; }
  QString BandName() const { return mBandName; }

 private:
  QString mBandName;
  cQtIntegerSwitchDriver* mBandType;
  cQtSignalSlotContinuousControllerDriver* mFrequency;
  cQtSignalSlotContinuousControllerDriver* mWidth;
  cQtSignalSlotContinuousControllerDriver* mGain;
  cQtBooleanSwitchDriver* mBypass;
};
