#include "OrvelGUI/QtGUIComponents/LowMidHighPanelBackend.h"

#include "EWNet/Core/RegRoutr.h"
#include "OrvelGUI/Core/DelayUnit.h"
#include "OrvelGUI/Core/MeteringSources.h"
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

// The output strips' meters: levels 2..7 for the three panels, the inputs'
// for any other panel number.
UWORD MeterParameter(int panelType, bool right) {
  const int level = panelType >= 1 && panelType <= 3 ? 2 * panelType : 0;
  return UWORD(cMeteringSources::kMethodFirstLevel + level + (right ? 1 : 0));
}

QByteArray Latin1(const QString& text) { return text.toLatin1(); }

}  // namespace

QString cLowMidHighPanelBackend::Name(int panelType, const char* which, const char* what) {
  return QStringLiteral("LMH %1: %2 %3").arg(panelType).arg(QLatin1String(which), QLatin1String(what));
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
  const QByteArray highPass = Latin1(Name(mPanelType, "", "HPF Unit"));
  const QByteArray lowPass = Latin1(Name(mPanelType, "", "LPF Unit"));
  const QByteArray gang = Latin1(Name(mPanelType, "", "Parametric EQ Gang"));
  const QByteArray delay = Latin1(Name(mPanelType, "", "Delay Unit"));
  const QByteArray stripL = "InOutFader:L Control Strip Unit" + QByteArray::number(mPanelType);
  const QByteArray stripR = "InOutFader:R Control Strip Unit" + QByteArray::number(mPanelType);

  bool linked = true;
  const auto link = [&linked](bool queued) { linked = queued && linked; };
  link(mBypassLF->LinkSourceToValue(highPass.constData(), cPassFilterUnit::kMethodBypass, false, true, true));
  link(mValueLF->LinkSourceToValue(highPass.constData(), cPassFilterUnit::kMethodFrequency, false, true));
  link(mSlopeLF->Driver()->LinkSourceToValue(highPass.constData(), cPassFilterUnit::kMethodSlope, false, true, true));
  link(mBypassHF->LinkSourceToValue(lowPass.constData(), cPassFilterUnit::kMethodBypass, false, true, true));
  link(mValueHF->LinkSourceToValue(lowPass.constData(), cPassFilterUnit::kMethodFrequency, false, true));
  link(mSlopeHF->Driver()->LinkSourceToValue(lowPass.constData(), cPassFilterUnit::kMethodSlope, false, true, true));
  link(mGanged->LinkSourceToValue(gang.constData(), cParametricEQGangDriver::kMethodGang, false, true, true));
  link(mOutL->LinkToStrip(stripL.constData(), MeterParameter(mPanelType, false)));
  link(mOutR->LinkToStrip(stripR.constData(), MeterParameter(mPanelType, true)));
  link(mDelayL->LinkSourceToValue(delay.constData(), cDelayUnit::kMethodLeft, false, true));
  link(mDelayR->LinkSourceToValue(delay.constData(), cDelayUnit::kMethodRight, false, true));
  link(mDelayGanged->LinkSourceToValue(delay.constData(), cDelayUnit::kMethodGang, false, true, true));
  link(mPeqL->LinkToEQUnit(Latin1(Name(mPanelType, "L", "Parametric EQ Unit")).constData()));
  link(mPeqR->LinkToEQUnit(Latin1(Name(mPanelType, "R", "Parametric EQ Unit")).constData()));
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
