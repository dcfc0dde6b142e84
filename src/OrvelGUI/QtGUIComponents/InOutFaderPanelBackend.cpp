#include "OrvelGUI/QtGUIComponents/InOutFaderPanelBackend.h"

#include <QByteArray>

#include "EWNet/Core/RegRoutr.h"
#include "OrvelGUI/Core/MeteringSources.h"

namespace {

struct sStrip {
  const char* mName;
  bool mInput;
  // The unit: an input by name, or side and output number.
  const char* mSide;
  int mOutput;
  int mMeterLevel;  // 0..7, as the metering sources publish them
};

constexpr sStrip kStrips[cInOutFaderPanelBackend::kStripCount] = {
    {"Input L", true, nullptr, 0, 0}, {"Low L", false, "L", 1, 2},      {"Mid L", false, "L", 2, 4},
    {"High L", false, "L", 3, 6},     {"Input R", true, nullptr, 0, 1}, {"Low R", false, "R", 1, 3},
    {"Mid R", false, "R", 2, 5},      {"High R", false, "R", 3, 7},
};

}  // namespace

cInOutFaderPanelBackend::cInOutFaderPanelBackend(QObject* parent) : QObject(parent) {
  for (int i = 0; i < kStripCount; ++i) {
    const sStrip& strip = kStrips[i];
    const QString prefix = QStringLiteral("InOutFader:%1 Fader Control Strip").arg(QLatin1String(strip.mName));
    mStrips[std::size_t(i)] =
        strip.mInput ? new cFaderControlStripBackend(prefix, cFaderControlStripBackend::kInputMinimum,
                                                     cFaderControlStripBackend::kInputMaximum, true, this)
                     : new cFaderControlStripBackend(prefix, cFaderControlStripBackend::kOutputMinimum,
                                                     cFaderControlStripBackend::kOutputMaximum, false, this);
  }
}

cInOutFaderPanelBackend::~cInOutFaderPanelBackend() = default;

cFaderControlStripBackend* cInOutFaderPanelBackend::Strip(int index) const {
  return index >= 0 && index < kStripCount ? mStrips[std::size_t(index)] : nullptr;
}

QByteArray cInOutFaderPanelBackend::UnitName(int index) {
  if (index < 0 || index >= kStripCount) return QByteArray();
  const sStrip& strip = kStrips[index];
  if (strip.mInput) return QByteArray("InOutFader:") + strip.mName + " Control Strip Unit";
  return QByteArray("InOutFader:") + strip.mSide + " Control Strip Unit" + QByteArray::number(strip.mOutput);
}

UWORD cInOutFaderPanelBackend::MeterParameter(int index) {
  return index >= 0 && index < kStripCount ? UWORD(cMeteringSources::kMethodFirstLevel + kStrips[index].mMeterLevel)
                                           : UWORD(0);
}

bool cInOutFaderPanelBackend::LinkToUnits() {
  bool linked = true;
  for (int i = 0; i < kStripCount; ++i) {
    linked = mStrips[std::size_t(i)]->LinkToStrip(UnitName(i).constData(), MeterParameter(i)) && linked;
  }
  return linked;
}

void cInOutFaderPanelBackend::RemoveFromNetwork() {
  cRegistryLocker lock;
  for (cFaderControlStripBackend* strip : mStrips) strip->RemoveFromNetwork();
}
