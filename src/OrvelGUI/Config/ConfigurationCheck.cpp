#include "OrvelGUI/Config/ConfigurationCheck.h"

#include "OrvelGUI/Core/LowMidHigh.h"
#include "OrvelGUI/Core/Plausibility.h"

namespace {

std::string Label(int panelType, const char* side, const char* object) {
  return plausibility::UnitLabel(cLowMidHigh::ObjectName(panelType, side, object).c_str());
}

}  // namespace

std::vector<std::string> ConfigurationRefusals(const sConfiguration& c) {
  using namespace plausibility;
  std::vector<std::string> refusals;
  const auto add = [&](const std::string& refusal) {
    if (!refusal.empty()) refusals.push_back(refusal);
  };
  for (const sStripConfiguration& strip : c.mStrips) {
    add(CheckStripGain(UnitLabel(strip.mName.toLatin1().constData()), strip.mGain));
  }
  for (const sPanelConfiguration& panel : c.mPanels) {
    const int type = panel.mPanelType;
    add(CheckPassFilter(Label(type, "", "HPF Unit"), true, cLowMidHigh::HighPassBiquadsOf(type),
                        panel.mHighPass.mFrequency, panel.mHighPass.mSlope));
    add(CheckPassFilter(Label(type, "", "LPF Unit"), false, cLowMidHigh::LowPassBiquadsOf(type),
                        panel.mLowPass.mFrequency, panel.mLowPass.mSlope));
    const std::string delay = Label(type, "", "Delay Unit");
    std::string refusal = CheckDelay(delay, "left", panel.mDelay.mLeft);
    if (refusal.empty()) refusal = CheckDelay(delay, "right", panel.mDelay.mRight);
    if (refusal.empty()) refusal = CheckSwitch(delay, "gang", panel.mDelay.mGang);
    add(refusal);
    for (int side = 0; side < 2; ++side) {
      const sEQConfiguration& eq = panel.mEQ[std::size_t(side)];
      const std::string unit = Label(type, side == 0 ? "L" : "R", "Parametric EQ Unit");
      refusal.clear();
      for (std::size_t b = 0; b < eq.mBands.size() && refusal.empty(); ++b)
        refusal = CheckBand(unit, int(b), eq.mBands[b]);
      add(refusal);
    }
  }
  return refusals;
}
