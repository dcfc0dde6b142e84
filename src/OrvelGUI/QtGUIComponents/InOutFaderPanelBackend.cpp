#include "OrvelGUI/QtGUIComponents/InOutFaderPanelBackend.h"

#include <QByteArray>

#include "EWNet/Core/RegRoutr.h"
#include "OrvelGUI/Core/InOutFader.h"

namespace {

struct sStrip {
  const char* mName;
  bool mInput;
  // Its control strip unit, by the units' index (cInOutFader::StripName).
  int mUnit;
};

constexpr sStrip kStrips[cInOutFaderPanelBackend::kStripCount] = {
    {"Input L", true, 0}, {"Low L", false, 2}, {"Mid L", false, 4}, {"High L", false, 6},
    {"Input R", true, 1}, {"Low R", false, 3}, {"Mid R", false, 5}, {"High R", false, 7},
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
  return QByteArray(cInOutFader::StripName(kStrips[index].mUnit));
}

UWORD cInOutFaderPanelBackend::MeterParameter(int index) {
  return index >= 0 && index < kStripCount ? cFaderControlStripBackend::MeterParameterOfStrip(kStrips[index].mUnit)
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
