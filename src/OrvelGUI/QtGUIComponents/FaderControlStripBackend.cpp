#include "OrvelGUI/QtGUIComponents/FaderControlStripBackend.h"

#include "EWNet/Core/RegRoutr.h"
#include "OrvelGUI/Core/ControlStripUnit.h"

namespace {

QString Named(const QString& prefix, const char* control) {
  return prefix.isEmpty() ? QString() : prefix + QLatin1Char(' ') + QLatin1String(control);
}

}  // namespace

cFaderControlStripBackend::cFaderControlStripBackend(const QString& prefix, UWORD faderMinimum, UWORD faderMaximum,
                                                     bool inputFader, QObject* parent)
    : QObject(parent),
      mMute(new cQtBooleanSwitchDriver(Named(prefix, "Mute Switch"), kReadDivider, true, this)),
      mPolarity(new cQtBooleanSwitchDriver(Named(prefix, "Polarity Switch"), kReadDivider, true, this)),
      mFader(new cQtSignalSlotContinuousControllerDriver(Named(prefix, "Fader Widget"), faderMinimum, faderMaximum,
                                                         true, kReadDivider, this)),
      mMeter(new cQtSignalSlotMeterDriver(Named(prefix, "Meter Widget"), kMeterBottom, kMeterTop, kMeterAttack,
                                          kMeterDecay, false, 0, this)),
      mInputFader(inputFader) {}

cFaderControlStripBackend::~cFaderControlStripBackend() = default;

bool cFaderControlStripBackend::LinkToStrip(const char* unitName, UWORD meterParameter) {
  bool linked = mMute->LinkSourceToValue(unitName, cControlStripUnit::kMethodMute, false, true, true);
  linked = mPolarity->LinkSourceToValue(unitName, cControlStripUnit::kMethodPolarity, false, true, true) && linked;
  linked = mFader->LinkSourceToValue(unitName, cControlStripUnit::kMethodGain, false, true) && linked;
  return mMeter->LinkSourceToMeter(kMeteringSources, meterParameter) && linked;
}

void cFaderControlStripBackend::RemoveFromNetwork() {
  cRegistryLocker lock;
  mMute->DestroyAudioObject();
  mPolarity->DestroyAudioObject();
  mFader->DestroyAudioObject();
  mMeter->DestroyAudioObject();
}
