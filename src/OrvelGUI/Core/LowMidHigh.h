#pragma once

#include <memory>
#include <string>

#include "EWNet/Core/Types.h"

class cHPFDriver;
class cLPFDriver;
class cDelayDriver;
class cParametricEQDriver;
class cParametricEQGangDriver;
class cNonVolatileStorageManager;
class cSavesManager;
class cSerialInterface;

enum ePanelType { LOW = 1, MID = 2, HIGH = 3 };

// The audio objects of one output panel: high-pass and low-pass filters,
// the delay pair, two parametric equalisers and their gang, each at its own
// place on the device. Objects are named "LMH <type>: <side> <object>".
class cLowMidHigh {
 public:
  cLowMidHigh(int panelType, cNonVolatileStorageManager* storage, cSerialInterface* serialInterface,
              cSavesManager* savesManager);
  ~cLowMidHigh();
  cLowMidHigh(const cLowMidHigh&) = delete;
  cLowMidHigh& operator=(const cLowMidHigh&) = delete;

  // "LMH <panel>: <side> <object>", as the panel names its objects.
  static std::string ObjectName(int panelType, const char* side, const char* object);

  // Sections of the pass filters on a panel of `panelType` (an unknown type
  // is HIGH): what a slope can be realised with there.
  static UBYTE HighPassBiquadsOf(int panelType);
  static UBYTE LowPassBiquadsOf(int panelType);

  // The panel built (an unknown type builds HIGH).
  ePanelType GetPanelType() const { return mPanelType; }
  UBYTE GetBandCount() const { return mBandCount; }
  UBYTE GetHighPassCount() const { return mHighPassCount; }
  UBYTE GetLowPassCount() const { return mLowPassCount; }
  UBYTE GetFilterBase() const { return mFilterBase; }
  UBYTE GetDelayBase() const { return mDelayBase; }

  cHPFDriver* GetHighPass() const { return mHighPass.get(); }
  cLPFDriver* GetLowPass() const { return mLowPass.get(); }
  cDelayDriver* GetDelay() const { return mDelay.get(); }
  // 0 left, 1 right.
  cParametricEQDriver* GetEQ(int side) const { return side == 0 ? mLeftEQ.get() : mRightEQ.get(); }
  cParametricEQGangDriver* GetGang() const { return mGang.get(); }

 private:
  ePanelType mPanelType;
  UBYTE mBandCount;
  UBYTE mHighPassCount;
  UBYTE mLowPassCount;
  UBYTE mFilterBase;
  UBYTE mDelayBase;
  std::unique_ptr<cHPFDriver> mHighPass;
  std::unique_ptr<cLPFDriver> mLowPass;
  std::unique_ptr<cDelayDriver> mDelay;
  std::unique_ptr<cParametricEQDriver> mLeftEQ;
  std::unique_ptr<cParametricEQDriver> mRightEQ;
  std::unique_ptr<cParametricEQGangDriver> mGang;
};
