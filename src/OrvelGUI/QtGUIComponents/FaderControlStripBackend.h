#pragma once

#include <QObject>
#include <QString>

#include "EWNet/Core/Types.h"
#include "OrvelGUI/Core/MeteringSources.h"
#include "QtGUIComponents/EWNetDrivers/SignalSlotDrivers/QtBooleanSwitchDriver.h"
#include "QtGUIComponents/EWNetDrivers/SignalSlotDrivers/QtSignalSlotContinuousControllerDriver.h"
#include "QtGUIComponents/EWNetDrivers/SignalSlotDrivers/QtSignalSlotMeterDriver.h"

// One fader strip on screen (QML `FaderControlStripBackend`): mute and
// polarity switches, the fader and the level meter, each a driver named from
// the prefix ("<prefix> Mute Switch", ... "<prefix> Meter Widget"). Made in
// QML without a prefix, the drivers have no net objects and work locally.
// GUI thread; the drivers are its Qt children.
class cFaderControlStripBackend : public QObject {
  Q_OBJECT
  Q_PROPERTY(cQtBooleanSwitchDriver* mute READ mute CONSTANT)
  Q_PROPERTY(cQtBooleanSwitchDriver* polarity READ polarity CONSTANT)
  Q_PROPERTY(cQtSignalSlotContinuousControllerDriver* faderDriver READ faderDriver CONSTANT)
  Q_PROPERTY(cQtSignalSlotMeterDriver* meterDriver READ meterDriver CONSTANT)
  Q_PROPERTY(bool inputFader READ inputFader CONSTANT)

 public:
  static constexpr UBYTE kReadDivider = 50;
  // Fader ranges in the strip's offset form.
  static constexpr UWORD kInputMinimum = 0x5800;   // -40 dB
  static constexpr UWORD kInputMaximum = 0x8000;   // 0 dB
  static constexpr UWORD kOutputMinimum = 0x5800;  // -40 dB
  static constexpr UWORD kOutputMaximum = 0x8C00;  // +12 dB
  // The meter's scale on the published readings, and its ballistics.
  static constexpr GAIN kMeterBottom = GAIN(-0x2800);  // 0xD800
  static constexpr GAIN kMeterTop = 4608;
  static constexpr GAIN kMeterAttack = 0x7FFF;
  static constexpr GAIN kMeterDecay = GAIN(-0x300);  // 0xFD00, -3 dB a reading
  // The source of the meter.
  static constexpr const char* kMeteringSources = cMeteringSources::kName;
  // The meter of control strip unit `strip` (cInOutFader's index): the
  // metering sources publish the strips' levels in the units' order.
  static constexpr UWORD MeterParameterOfStrip(int strip) { return UWORD(cMeteringSources::kMethodFirstLevel + strip); }

  explicit cFaderControlStripBackend(const QString& prefix = QString(), UWORD faderMinimum = kOutputMinimum,
                                     UWORD faderMaximum = kOutputMaximum, bool inputFader = false,
                                     QObject* parent = nullptr);
  ~cFaderControlStripBackend() override;

  cQtBooleanSwitchDriver* mute() const { return mMute; }
  cQtBooleanSwitchDriver* polarity() const { return mPolarity; }
  cQtSignalSlotContinuousControllerDriver* faderDriver() const { return mFader; }
  cQtSignalSlotMeterDriver* meterDriver() const { return mMeter; }
  bool inputFader() const { return mInputFader; }

  // Mute, polarity and fader to the control strip unit, both ways and
  // synced from the unit; the meter to a level of the metering sources.
  // False when a link could not be queued (no net objects, say).
  bool LinkToStrip(const char* unitName, UWORD meterParameter);
  // Deletes the drivers' net objects under the registry lock.
  void RemoveFromNetwork();

 private:
  cQtBooleanSwitchDriver* mMute;
  cQtBooleanSwitchDriver* mPolarity;
  cQtSignalSlotContinuousControllerDriver* mFader;
  cQtSignalSlotMeterDriver* mMeter;
  bool mInputFader;
};
