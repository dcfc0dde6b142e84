#pragma once

#include <QByteArray>
#include <QString>
#include <array>
#include <vector>

#include "EWNet/Core/Types.h"
#include "OrvelGUI/Core/ParametricEQUnit.h"

class cApplicationCore;

// A whole configuration of the processor as the units store it: the values a
// configuration file holds, unit by unit, without derived quantities.

struct sStripConfiguration {
  QString mName;
  bool mMute = false;
  bool mPolarity = false;
  GAIN mGain = -32767;  // 1/256 dB; -32767 is minus infinity
};

struct sPassFilterConfiguration {
  UWORD mFrequency = 0;  // frequency code
  ULONG mSlope = 0;
  bool mBypass = false;
};

struct sDelayConfiguration {
  UWORD mLeft = 0;  // time codes
  UWORD mRight = 0;
  UBYTE mGang = 0;
};

using sBandConfiguration = cParametricEQUnit::sBand;

struct sEQConfiguration {
  bool mBypass = false;
  std::vector<sBandConfiguration> mBands;
};

struct sPanelConfiguration {
  QString mName;  // "Low", "Mid", "High"
  int mPanelType = 0;
  sPassFilterConfiguration mHighPass;
  sPassFilterConfiguration mLowPass;
  sDelayConfiguration mDelay;
  std::array<sEQConfiguration, 2> mEQ;  // left, right
  bool mGang = false;
};

struct sConfiguration {
  std::array<sStripConfiguration, 8> mStrips;
  std::array<sPanelConfiguration, 3> mPanels;
};

// What the units of an assembly hold now. Main thread; takes the registry
// lock.
sConfiguration ReadConfiguration(const cApplicationCore& core);

// The blocks of a configuration file that holds `configuration`, between its
// header and its end marker: every unit's block in the order the program
// registers its units, written by the units' own block writers.
QByteArray ConfigurationBlocks(const sConfiguration& configuration);

// Applies a configuration to the units of an assembly exactly as recalling a
// file that holds it would (informs, recomputation, sending). False, with
// nothing applied, when its equalisers do not have the panels' band counts.
// Main thread; takes the registry lock.
bool ApplyConfiguration(cApplicationCore& core, const sConfiguration& configuration);

// Panel names in panel order.
const char* PanelName(int index);
