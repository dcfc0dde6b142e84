#include "OrvelGUI/QtGUIComponents/PEQBandDrivers.h"

cPEQBandDrivers::cPEQBandDrivers(const QString& prefix, const QString& bandName, QObject* parent)
    : QObject(parent), mBandName(bandName) {
  const QString stem = prefix + QStringLiteral("Channel PEQ ") + bandName;
  mBandType = new cQtIntegerSwitchDriver(stem + QStringLiteral(" Shelf Switch"), kReadDivider, true, this);
  mFrequency = new cQtSignalSlotContinuousControllerDriver(stem + QStringLiteral(" Freq TFT Edit Box"), kFrequencyMin,
                                                           kFrequencyMax, false, kReadDivider, this);
  mWidth = new cQtSignalSlotContinuousControllerDriver(stem + QStringLiteral(" Width TFT Edit Box"), 0, kWidthMax,
                                                       false, kReadDivider, this);
  mGain = new cQtSignalSlotContinuousControllerDriver(stem + QStringLiteral(" Gain TFT Edit Box"), kGainMin, kGainMax,
                                                      false, kReadDivider, this);
  mBypass = new cQtBooleanSwitchDriver(stem + QStringLiteral(" Band Bypass Switch"), kReadDivider, true, this);
}

cPEQBandDrivers::~cPEQBandDrivers() = default;
