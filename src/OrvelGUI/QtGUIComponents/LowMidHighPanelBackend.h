#pragma once

#include <QObject>
#include <QString>

#include "OrvelGUI/QtGUIComponents/FaderControlStripBackend.h"
#include "OrvelGUI/QtGUIComponents/PEQBlockBackend.h"
#include "OrvelGUI/QtGUIComponents/QtListBoxBackend.h"
#include "QtGUIComponents/EWNetDrivers/SignalSlotDrivers/QtBooleanSwitchDriver.h"
#include "QtGUIComponents/EWNetDrivers/SignalSlotDrivers/QtSignalSlotContinuousControllerDriver.h"

// One output panel on screen (QML `LowMidHighBackend`), panel 1 Low, 2 Mid,
// 3 High: the high-pass (LF) and low-pass (HF) filters, the equalisers'
// gang, the output strips, the delays and the two equaliser blocks, every
// control named "LMH <n>: <which> <control>" and linked to the panel's units.
// GUI thread; everything is its Qt child.
class cLowMidHighPanelBackend : public QObject {
  Q_OBJECT
  Q_PROPERTY(int panelType READ panelType CONSTANT)
  // The biquads of the panel's high-pass and low-pass units (no low-pass on
  // High): what the whole output's response draws of them.
  Q_PROPERTY(int highPassSections READ highPassSections CONSTANT)
  Q_PROPERTY(int lowPassSections READ lowPassSections CONSTANT)
  Q_PROPERTY(cQtBooleanSwitchDriver* bypassDriverLF READ bypassDriverLF CONSTANT)
  Q_PROPERTY(cQtSignalSlotContinuousControllerDriver* valueLF READ valueLF CONSTANT)
  Q_PROPERTY(cQtListBoxBackend* slopeLF READ slopeLF CONSTANT)
  Q_PROPERTY(cQtBooleanSwitchDriver* bypassDriverHF READ bypassDriverHF CONSTANT)
  Q_PROPERTY(cQtSignalSlotContinuousControllerDriver* valueHF READ valueHF CONSTANT)
  Q_PROPERTY(cQtListBoxBackend* slopeHF READ slopeHF CONSTANT)
  Q_PROPERTY(cQtBooleanSwitchDriver* ganged READ ganged CONSTANT)
  Q_PROPERTY(cFaderControlStripBackend* outFadersL READ outFadersL CONSTANT)
  Q_PROPERTY(cFaderControlStripBackend* outFadersR READ outFadersR CONSTANT)
  Q_PROPERTY(cQtSignalSlotContinuousControllerDriver* delayL READ delayL CONSTANT)
  Q_PROPERTY(cQtSignalSlotContinuousControllerDriver* delayR READ delayR CONSTANT)
  Q_PROPERTY(cQtBooleanSwitchDriver* delayGanged READ delayGanged CONSTANT)
  Q_PROPERTY(cPEQBlockBackend* peqBlockL READ peqBlockL CONSTANT)
  Q_PROPERTY(cPEQBlockBackend* peqBlockR READ peqBlockR CONSTANT)

 public:
  static constexpr UBYTE kReadDivider = 50;
  static constexpr UWORD kFrequencyMinimum = 10699;  // 20 Hz
  static constexpr UWORD kFrequencyMaximum = 56622;  // 20 kHz
  static constexpr UWORD kDelayMaximum = 23832;      // 10 ms

  explicit cLowMidHighPanelBackend(int panelType, QObject* parent = nullptr);
  ~cLowMidHighPanelBackend() override;

  int panelType() const { return mPanelType; }
  int highPassSections() const;
  int lowPassSections() const;
  cQtBooleanSwitchDriver* bypassDriverLF() const { return mBypassLF; }
  cQtSignalSlotContinuousControllerDriver* valueLF() const { return mValueLF; }
  cQtListBoxBackend* slopeLF() const { return mSlopeLF; }
  cQtBooleanSwitchDriver* bypassDriverHF() const { return mBypassHF; }
  cQtSignalSlotContinuousControllerDriver* valueHF() const { return mValueHF; }
  cQtListBoxBackend* slopeHF() const { return mSlopeHF; }
  cQtBooleanSwitchDriver* ganged() const { return mGanged; }
  cFaderControlStripBackend* outFadersL() const { return mOutL; }
  cFaderControlStripBackend* outFadersR() const { return mOutR; }
  cQtSignalSlotContinuousControllerDriver* delayL() const { return mDelayL; }
  cQtSignalSlotContinuousControllerDriver* delayR() const { return mDelayR; }
  cQtBooleanSwitchDriver* delayGanged() const { return mDelayGanged; }
  cPEQBlockBackend* peqBlockL() const { return mPeqL; }
  cPEQBlockBackend* peqBlockR() const { return mPeqR; }

  // "LMH <n>: <which> <what>", as the panel's units and controls are named.
  static QString Name(int panelType, const char* which, const char* what);

  // Every control to the panel's units (filters, gang, strips and meters,
  // delays, equalisers), both ways and synced from the units. False when a
  // link could not be queued.
  bool LinkToUnits();
  // Deletes every driver's net object under the registry lock.
  void RemoveFromNetwork();

 private:
  cQtSignalSlotContinuousControllerDriver* Controller(const char* which, const char* what, UWORD minimum,
                                                      UWORD maximum);
  cQtBooleanSwitchDriver* Switch(const char* which, const char* what);
  cQtListBoxBackend* SlopeList(const char* which);

  int mPanelType;
  cQtBooleanSwitchDriver* mBypassLF;
  cQtSignalSlotContinuousControllerDriver* mValueLF;
  cQtListBoxBackend* mSlopeLF;
  cQtBooleanSwitchDriver* mBypassHF;
  cQtSignalSlotContinuousControllerDriver* mValueHF;
  cQtListBoxBackend* mSlopeHF;
  cQtBooleanSwitchDriver* mGanged;
  cFaderControlStripBackend* mOutL;
  cFaderControlStripBackend* mOutR;
  cQtSignalSlotContinuousControllerDriver* mDelayL;
  cQtSignalSlotContinuousControllerDriver* mDelayR;
  cQtBooleanSwitchDriver* mDelayGanged;
  cPEQBlockBackend* mPeqL;
  cPEQBlockBackend* mPeqR;
};
