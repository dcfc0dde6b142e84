#include "OrvelGUI/QtGUIComponents/LowMidHighPanelBackend.h"

#include <string>

#include "EWNet/Core/RegRoutr.h"
#include "OrvelGUI/Core/DelayUnit.h"
#include "OrvelGUI/Core/InOutFader.h"
#include "OrvelGUI/Core/LowMidHigh.h"
#include "OrvelGUI/Core/ParametricEQGangDriver.h"
#include "OrvelGUI/Core/PassFilterUnit.h"

namespace {

int BandCountOf(int panelType) {
  switch (panelType) {
    case 1:
      return cPEQBlockBackend::TWO;
    case 2:
      return cPEQBlockBackend::FOUR;
    default:
      return cPEQBlockBackend::SIX;
  }
}

// The control strip unit of the panel's left or right output (cInOutFader's
// index: the inputs, then left and right of outputs 1 to 3).
int StripOf(int panelType, bool right) { return 2 * panelType + (right ? 1 : 0); }

}  // namespace

int cLowMidHighPanelBackend::highPassSections() const { return cLowMidHigh::HighPassBiquadsOf(mPanelType); }
int cLowMidHighPanelBackend::lowPassSections() const { return cLowMidHigh::LowPassBiquadsOf(mPanelType); }

QString cLowMidHighPanelBackend::Name(int panelType, const char* which, const char* what) {
  return QString::fromStdString(cLowMidHigh::ObjectName(panelType, which, what));
}

cLowMidHighPanelBackend::cLowMidHighPanelBackend(int panelType, QObject* parent)
    : QObject(parent), mPanelType(panelType) {
  mBypassLF = Switch("LF", "Bypass Switch");
  mValueLF = Controller("LF", "Frequency Value Widget", kFrequencyMinimum, kFrequencyMaximum);
  mSlopeLF = SlopeList("LF");
  mBypassHF = Switch("HF", "Bypass Switch");
  mValueHF = Controller("HF", "Frequency Value Widget", kFrequencyMinimum, kFrequencyMaximum);
  mSlopeHF = SlopeList("HF");
  mGanged = Switch("", "Ganged Switch");
  mOutL = new cFaderControlStripBackend(Name(panelType, "Left", "Fader Control Strip"),
                                        cFaderControlStripBackend::kOutputMinimum,
                                        cFaderControlStripBackend::kOutputMaximum, false, this);
  mOutR = new cFaderControlStripBackend(Name(panelType, "Right", "Fader Control Strip"),
                                        cFaderControlStripBackend::kOutputMinimum,
                                        cFaderControlStripBackend::kOutputMaximum, false, this);
  mDelayL = Controller("Left", "Delay Value Widget", 0, kDelayMaximum);
  mDelayR = Controller("Right", "Delay Value Widget", 0, kDelayMaximum);
  mDelayGanged = Switch("", "Delay Ganged Switch");
  mPeqL = new cPEQBlockBackend(Name(panelType, "Left", "PEQ Block"), BandCountOf(panelType), this);
  mPeqR = new cPEQBlockBackend(Name(panelType, "Right", "PEQ Block"), BandCountOf(panelType), this);
}

cLowMidHighPanelBackend::~cLowMidHighPanelBackend() = default;

cQtSignalSlotContinuousControllerDriver* cLowMidHighPanelBackend::Controller(const char* which, const char* what,
                                                                             UWORD minimum, UWORD maximum) {
  return new cQtSignalSlotContinuousControllerDriver(Name(mPanelType, which, what), minimum, maximum, false,
                                                     kReadDivider, this);
}

cQtBooleanSwitchDriver* cLowMidHighPanelBackend::Switch(const char* which, const char* what) {
  return new cQtBooleanSwitchDriver(Name(mPanelType, which, what), kReadDivider, true, this);
}

// The High panel's high-pass offers every slope; the others have one.
cQtListBoxBackend* cLowMidHighPanelBackend::SlopeList(const char* which) {
  QStringList descriptions{QStringLiteral("12dB Butterworth")};
  QList<UBYTE> values{0};
  if (mPanelType != 1 && mPanelType != 2) {
    descriptions << QStringLiteral("18dB Butterworth") << QStringLiteral("24dB Butterworth")
                 << QStringLiteral("18dB Bessel");
    values << 1 << 2 << 3;
  }
  return new cQtListBoxBackend(Name(mPanelType, which, "Slope ListBox"), descriptions, values, this);
}

bool cLowMidHighPanelBackend::LinkToUnits() {
  const std::string highPass = cLowMidHigh::ObjectName(mPanelType, "", "HPF Unit");
  const std::string lowPass = cLowMidHigh::ObjectName(mPanelType, "", "LPF Unit");
  const std::string gang = cLowMidHigh::ObjectName(mPanelType, "", "Parametric EQ Gang");
  const std::string delay = cLowMidHigh::ObjectName(mPanelType, "", "Delay Unit");
  const int stripL = StripOf(mPanelType, false);
  const int stripR = StripOf(mPanelType, true);

  bool linked = true;
  const auto link = [&linked](bool queued) { linked = queued && linked; };
  link(mBypassLF->LinkSourceToValue(highPass.c_str(), cPassFilterUnit::kMethodBypass, false, true, true));
  link(mValueLF->LinkSourceToValue(highPass.c_str(), cPassFilterUnit::kMethodFrequency, false, true));
  link(mSlopeLF->Driver()->LinkSourceToValue(highPass.c_str(), cPassFilterUnit::kMethodSlope, false, true, true));
  link(mBypassHF->LinkSourceToValue(lowPass.c_str(), cPassFilterUnit::kMethodBypass, false, true, true));
  link(mValueHF->LinkSourceToValue(lowPass.c_str(), cPassFilterUnit::kMethodFrequency, false, true));
  link(mSlopeHF->Driver()->LinkSourceToValue(lowPass.c_str(), cPassFilterUnit::kMethodSlope, false, true, true));
  link(mGanged->LinkSourceToValue(gang.c_str(), cParametricEQGangDriver::kMethodGang, false, true, true));
  link(mOutL->LinkToStrip(cInOutFader::StripName(stripL), cFaderControlStripBackend::MeterParameterOfStrip(stripL)));
  link(mOutR->LinkToStrip(cInOutFader::StripName(stripR), cFaderControlStripBackend::MeterParameterOfStrip(stripR)));
  link(mDelayL->LinkSourceToValue(delay.c_str(), cDelayUnit::kMethodLeft, false, true));
  link(mDelayR->LinkSourceToValue(delay.c_str(), cDelayUnit::kMethodRight, false, true));
  link(mDelayGanged->LinkSourceToValue(delay.c_str(), cDelayUnit::kMethodGang, false, true, true));
  link(mPeqL->LinkToEQUnit(cLowMidHigh::ObjectName(mPanelType, "L", "Parametric EQ Unit").c_str()));
  link(mPeqR->LinkToEQUnit(cLowMidHigh::ObjectName(mPanelType, "R", "Parametric EQ Unit").c_str()));
  return linked;
}

void cLowMidHighPanelBackend::RemoveFromNetwork() {
  cRegistryLocker lock;
  for (cQtBooleanSwitchDriver* driver : {mBypassLF, mBypassHF, mGanged, mDelayGanged}) driver->DestroyAudioObject();
  for (cQtSignalSlotContinuousControllerDriver* driver : {mValueLF, mValueHF, mDelayL, mDelayR}) {
    driver->DestroyAudioObject();
  }
  mSlopeLF->Driver()->DestroyAudioObject();
  mSlopeHF->Driver()->DestroyAudioObject();
  mOutL->RemoveFromNetwork();
  mOutR->RemoveFromNetwork();
  mPeqL->RemoveFromNetwork();
  mPeqR->RemoveFromNetwork();
}
