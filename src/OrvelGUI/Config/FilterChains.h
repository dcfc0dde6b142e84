#pragma once

#include <QJsonArray>
#include <QString>
#include <vector>

#include "OrvelGUI/Config/Configuration.h"
#include "OrvelGUI/Core/BiquadDesign.h"
#include "OrvelGUI/Core/SerialInterface.h"

class cOfflineAssembly;

// The device's filter chains as an assembly's drivers fill them: which unit
// owns each of the 36 filter addresses, and what the device receives there.

enum class eFilterOwner { HighPass, LowPass, EQ };

struct sFilterSlot {
  ULONG mAddress = 0;  // (slot << 8) | channel base
  int mPanel = 0;      // 0 Low, 1 Mid, 2 High
  int mSide = 0;       // 0 left, 1 right
  eFilterOwner mOwner = eFilterOwner::EQ;
  int mIndex = 0;              // biquad of a pass filter, band of an equaliser
  QString mUnit;               // the owning unit's object name
  double mScale = 0;           // the unit's coefficient scale
  biquad::tQuantised mWire{};  // as the device receives them: b0, -a1, b1, -a2, b2
  UWORD mWords[3] = {0, 0, 0};
  UBYTE mBytes[3] = {0, 0, 0};
  bool mSent = false;  // the assembly sent this address
};

// Every filter address of the assembly, Low to High, left before right,
// slot by slot, with what the image of `assembly` holds for it.
std::vector<sFilterSlot> FilterSlots(const cOfflineAssembly& assembly);

// How many biquads a panel's high-pass or low-pass runs (the slots of its
// left side).
int PassBiquadCount(const std::vector<sFilterSlot>& targets, int panel, eFilterOwner owner);

// b0, b1, b2, -a1, -a2 of the wire order.
biquad::tQuantised NaturalOrder(const biquad::tQuantised& wire);

// The magnitude in dB of one channel's whole chain at `hz`, from the
// quantised integers the device receives.
double ChainMagnitudeDb(const std::vector<sFilterSlot>& targets, int panel, int side, double hz);

// The grid of `response`: 24 points per octave from 10 Hz to 40 kHz.
std::vector<double> ResponseGrid();

// The `biquads` listing: one line (or JSON object) per filter address with
// the design inputs, the integers, the sync words and bytes, and the
// response of the section at the design frequency.
QString DescribeFilterSlots(const std::vector<sFilterSlot>& targets, const sConfiguration& configuration);
QJsonArray FilterSlotsJson(const std::vector<sFilterSlot>& targets, const sConfiguration& configuration);

// "Low L" and so on.
QString OutputName(int panel, int side);
