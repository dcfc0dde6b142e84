#include "OrvelGUI/Config/DeviceVerify.h"

#include "AES-Standards/Convert.h"
#include "EWNet/Core/RegRoutr.h"
#include "OrvelGUI/Config/FilterChains.h"
#include "OrvelGUI/Config/OfflineAssembly.h"
#include "OrvelGUI/Core/BiquadDesign.h"
#include "OrvelGUI/Core/BiquadDriver.h"
#include "OrvelGUI/Core/ControlStripDriver.h"
#include "OrvelGUI/Core/ControlStripUnit.h"
#include "OrvelGUI/Core/DelayDriver.h"
#include "OrvelGUI/Core/DelayUnit.h"
#include "OrvelGUI/Core/InOutFader.h"
#include "OrvelGUI/Core/LowMidHigh.h"

namespace {

QString FrequencyText(int code) {
  return QString("%1 Hz (%2)").arg(UWORDToFrequency(UWORD(code)), 0, 'f', 2).arg(code);
}
QString GainText(int gain) {
  if (gain == kGainMinusInfinity) return QString("-inf dB (%1)").arg(gain);
  return QString("%1 dB (%2)").arg(gain * biquad::kGainStep, 0, 'f', 2).arg(gain);
}
QString WidthText(int code) { return QString("Q %1 (%2)").arg(biquad::QFromWidth(UWORD(code))).arg(code); }
QString NameText(const char* name, int code) {
  return QString("%1 (%2)").arg(name != nullptr ? name : "unknown").arg(code);
}
QString OnOff(int value) { return value != 0 ? "on" : "off"; }

class cDifferences {
 public:
  void Compare(const QString& where, const QString& parameter, int expected, int reported,
               const std::function<QString(int)>& text) {
    if (expected == reported) return;
    mList.push_back({where, parameter, text(expected), text(reported)});
  }
  std::vector<sDeviceDifference> mList;
};

void CompareFilter(cDifferences& d, const sFilterSlot& slot, const sFilter& record) {
  const QString where = QString("%1 (%2) %3 %4")
                            .arg(slot.mUnit, OutputName(slot.mPanel, slot.mSide))
                            .arg(slot.mOwner == eFilterOwner::EQ ? "band" : "biquad")
                            .arg(slot.mIndex + 1);
  const bool eq = slot.mOwner == eFilterOwner::EQ;
  d.Compare(where, "frequency", slot.mWords[0], record.mFrequency, FrequencyText);
  d.Compare(where, "width", slot.mWords[1], record.mWidth, WidthText);
  d.Compare(where, "gain", GAIN(slot.mWords[2]), record.mGain, GainText);
  d.Compare(where, eq ? "type" : "slope", slot.mBytes[0], record.mType & 0xFF,
            [eq](int v) { return NameText(eq ? biquad::BandTypeName(ULONG(v)) : biquad::SlopeName(ULONG(v)), v); });
  d.Compare(where, "variant", slot.mBytes[1], record.mVariant & 0xFF, [](int v) { return QString::number(v); });
  d.Compare(where, eq ? "equaliser bypass" : "bypass", slot.mBytes[2] & 1, record.mFlags & 1, OnOff);
  d.Compare(where, "gang", (slot.mBytes[2] & 0x80) != 0, (record.mFlags & 0xFF80) != 0, OnOff);
}

}  // namespace

QString sDeviceDifference::Text() const {
  return QString("%1 %2: file %3, device %4").arg(mUnit, mParameter, mFile, mDevice);
}

QJsonObject sDeviceDifference::Json() const {
  return QJsonObject{{"unit", mUnit}, {"parameter", mParameter}, {"file", mFile}, {"device", mDevice}};
}

std::vector<sDeviceDifference> DeviceDifferences(const cOfflineAssembly& assembly, const sDeviceSettings& device) {
  cDifferences d;
  for (const sFilterSlot& slot : FilterSlots(assembly)) {
    const int record = cBiquadDriver::SyncRecordIndex(slot.mAddress);
    if (!slot.mSent || record < 0) continue;
    CompareFilter(d, slot, device.mFilters[std::size_t(record)]);
  }
  const cSerialInterface::sImage image = assembly.Image();
  cRegistryLocker lock;
  for (int i = 0; i < cInOutFader::kStripCount; ++i) {
    const auto entry = image.mStrips.find(ULONG(i));
    if (entry == image.mStrips.end()) continue;
    const cSerialInterface::sStripEntry& e = entry->second;
    const sControlStripRecord& r = device.mStrips[std::size_t(i)];
    const cControlStripUnit* unit = assembly.Core().GetInOutFader()->GetStrip(i)->GetUnit();
    const QString where = QString::fromLatin1(unit->GetName());
    d.Compare(where, "mute", e.mMute != 0, r.mMute != 0, OnOff);
    d.Compare(where, "gain", GAIN(e.mGainWord), r.mGain, GainText);
    // The outputs invert on the wire: the device's bit is the strip's
    // polarity XOR its invert, and both sides are told in the file's terms,
    // as show prints them.
    const bool invert = unit->GetInvert() != 0;
    d.Compare(where, "polarity", (e.mPolarity != 0) != invert, (r.mPolarity != 0) != invert,
              [](int v) { return QString(v != 0 ? "inverted" : "normal"); });
  }
  for (int p = 0; p < cApplicationCore::kPanelCount; ++p) {
    const cDelayDriver& delay = *assembly.Core().GetPanel(p)->GetDelay();
    for (int channel = 0; channel < 2; ++channel) {
      const ULONG index = ULONG(delay.GetBase() + channel);
      const auto entry = image.mDelays.find(index);
      if (entry == image.mDelays.end()) continue;
      d.Compare(QString::fromLatin1(delay.GetUnit()->GetName()), channel == 0 ? "left delay" : "right delay",
                entry->second.mSamples, device.mDelays[index],
                [](int samples) { return QString("%1 ms (%2 samples)").arg(samples / 96.0, 0, 'f', 3).arg(samples); });
    }
  }
  return d.mList;
}
