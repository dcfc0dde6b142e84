#include "OrvelGUI/Core/LowMidHigh.h"

#include <cstdio>
#include <string>

#include "EWNet/Core/ErrLog.h"
#include "OrvelGUI/Core/BiquadDesign.h"
#include "OrvelGUI/Core/DelayDriver.h"
#include "OrvelGUI/Core/HPFDriver.h"
#include "OrvelGUI/Core/LPFDriver.h"
#include "OrvelGUI/Core/ParametricEQDriver.h"
#include "OrvelGUI/Core/ParametricEQGangDriver.h"

namespace {

struct sPanelConfiguration {
  UBYTE mBands;
  UBYTE mHighPassBiquads;
  UBYTE mLowPassBiquads;
  UBYTE mFilterBase;
  UBYTE mDelayBase;
};

constexpr sPanelConfiguration kLow{2, 1, 1, 0, 0};
constexpr sPanelConfiguration kMid{4, 1, 1, 2, 2};
constexpr sPanelConfiguration kHigh{6, 2, 0, 4, 4};

const sPanelConfiguration& ConfigurationOf(int panelType) {
  switch (panelType) {
    case LOW:
      return kLow;
    case MID:
      return kMid;
    default:
      return kHigh;
  }
}

}  // namespace

UBYTE cLowMidHigh::HighPassBiquadsOf(int panelType) { return ConfigurationOf(panelType).mHighPassBiquads; }

UBYTE cLowMidHigh::LowPassBiquadsOf(int panelType) { return ConfigurationOf(panelType).mLowPassBiquads; }

std::string cLowMidHigh::ObjectName(int panelType, const char* side, const char* object) {
  char name[64];
  std::snprintf(name, sizeof name, "LMH %d: %s %s", panelType, side, object);
  return name;
}

cLowMidHigh::cLowMidHigh(int panelType, cNonVolatileStorageManager* storage, cSerialInterface* serialInterface,
                         cSavesManager* savesManager) {
  const sPanelConfiguration& c = ConfigurationOf(panelType);
  switch (panelType) {
    case LOW:
    case MID:
    case HIGH:
      mPanelType = ePanelType(panelType);
      break;
    default:
      EW_REPORT_ERROR("Invalid Low/Mid/High PanelType. Assuming HIGH mode");
      mPanelType = HIGH;
      break;
  }
  mBandCount = c.mBands;
  mHighPassCount = c.mHighPassBiquads;
  mLowPassCount = c.mLowPassBiquads;
  mFilterBase = c.mFilterBase;
  mDelayBase = c.mDelayBase;
  // The names keep the type as given, so a panel of an unknown type does not
  // take the names of the real High panel.
  const double T = biquad::kSamplePeriod;
  const double fs = biquad::kSampleRate;
  mHighPass = std::make_unique<cHPFDriver>(ObjectName(panelType, "", "HPF Unit").c_str(), storage, serialInterface,
                                           savesManager, mFilterBase, 0, mHighPassCount, T, fs);
  mLowPass = std::make_unique<cLPFDriver>(ObjectName(panelType, "", "LPF Unit").c_str(), storage, serialInterface,
                                          savesManager, mFilterBase, 1, mLowPassCount, T, fs);
  mDelay = std::make_unique<cDelayDriver>(ObjectName(panelType, "", "Delay Unit").c_str(), mDelayBase, storage,
                                          serialInterface, savesManager, false);
  mLeftEQ = std::make_unique<cParametricEQDriver>(ObjectName(panelType, "L", "Parametric EQ Unit").c_str(), storage,
                                                  serialInterface, savesManager, mBandCount, biquad::kEQScale, T, fs, 0,
                                                  mFilterBase, cParametricEQDriver::kSlotOffset);
  mRightEQ = std::make_unique<cParametricEQDriver>(ObjectName(panelType, "R", "Parametric EQ Unit").c_str(), storage,
                                                   serialInterface, savesManager, mBandCount, biquad::kEQScale, T, fs,
                                                   1, UBYTE(mFilterBase + 1), cParametricEQDriver::kSlotOffset);
  mGang = std::make_unique<cParametricEQGangDriver>(ObjectName(panelType, "", "Parametric EQ Gang").c_str(), storage,
                                                    savesManager, mLeftEQ.get(), mRightEQ.get(), mBandCount);
}

cLowMidHigh::~cLowMidHigh() {
  mHighPass.reset();
  mLowPass.reset();
  mDelay.reset();
  mLeftEQ.reset();
  mRightEQ.reset();
  mGang.reset();
}
