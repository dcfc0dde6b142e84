#include "OrvelGUI/Core/Configuration.h"

#include "EWNet/Core/RegRoutr.h"
#include "OrvelGUI/Core/ApplicationCore.h"
#include "OrvelGUI/Core/ControlStripDriver.h"
#include "OrvelGUI/Core/ControlStripUnit.h"
#include "OrvelGUI/Core/DelayDriver.h"
#include "OrvelGUI/Core/DelayUnit.h"
#include "OrvelGUI/Core/HPFDriver.h"
#include "OrvelGUI/Core/InOutFader.h"
#include "OrvelGUI/Core/LPFDriver.h"
#include "OrvelGUI/Core/LowMidHigh.h"
#include "OrvelGUI/Core/ParametricEQDriver.h"
#include "OrvelGUI/Core/ParametricEQGangDriver.h"
#include "OrvelGUI/Core/ParametricEQUnit.h"
#include "OrvelGUI/Core/PassFilterUnit.h"

namespace {

sPassFilterConfiguration ReadPassFilter(const cPassFilterDriver& driver) {
  const cPassFilterUnit& unit = *driver.GetUnit();
  return {unit.GetFrequency(), unit.GetSlope(), unit.GetBypass()};
}

sEQConfiguration ReadEQ(const cParametricEQDriver& driver) {
  const cParametricEQUnit& unit = *driver.GetUnit();
  sEQConfiguration eq;
  eq.mBypass = unit.GetBypass();
  for (UBYTE band = 0; band < unit.GetBandCount(); ++band) {
    const cParametricEQUnit::sBand b = unit.GetBand(band);
    eq.mBands.push_back({b.mFrequency, b.mWidth, b.mGain, b.mType, b.mVariant, b.mBypass});
  }
  return eq;
}

}  // namespace

const char* PanelName(int index) {
  static const char* const kNames[] = {"Low", "Mid", "High"};
  return index >= 0 && index < 3 ? kNames[index] : "";
}

sConfiguration ReadConfiguration(const cApplicationCore& core) {
  cRegistryLocker lock;
  sConfiguration configuration;
  for (int i = 0; i < cInOutFader::kStripCount; ++i) {
    const cControlStripUnit& unit = *core.GetInOutFader()->GetStrip(i)->GetUnit();
    configuration.mStrips[std::size_t(i)] = {QString::fromLatin1(unit.GetName()), unit.GetMute(), unit.GetPolarity(),
                                             unit.GetGain()};
  }
  for (int i = 0; i < cApplicationCore::kPanelCount; ++i) {
    const cLowMidHigh& panel = *core.GetPanel(i);
    sPanelConfiguration& p = configuration.mPanels[std::size_t(i)];
    p.mName = QString::fromLatin1(PanelName(i));
    p.mPanelType = panel.GetPanelType();
    p.mHighPass = ReadPassFilter(*panel.GetHighPass());
    p.mLowPass = ReadPassFilter(*panel.GetLowPass());
    const cDelayUnit& delay = *panel.GetDelay()->GetUnit();
    p.mDelay = {delay.GetDelay(0), delay.GetDelay(1), UBYTE(delay.GetGang() ? 1 : 0)};
    p.mEQ = {ReadEQ(*panel.GetEQ(0)), ReadEQ(*panel.GetEQ(1))};
    p.mGang = panel.GetGang()->GetGang();
  }
  return configuration;
}
