#pragma once

// Whether the simulated processor holds exactly what every unit of an
// assembly holds: coefficients (identity where bypassed), parameter words,
// strips and delays. DeviceDifferences lists what differs; the caller holds
// the registry lock while the dispatch thread runs.

#include <QStringList>
#include <QtTest>

#include "DevSim/DeviceModel.h"
#include "OrvelGUI/Core/ApplicationCore.h"
#include "OrvelGUI/Core/BiquadDesign.h"
#include "OrvelGUI/Core/ControlStripDriver.h"
#include "OrvelGUI/Core/DelayDriver.h"
#include "OrvelGUI/Core/DelayUnit.h"
#include "OrvelGUI/Core/HPFDriver.h"
#include "OrvelGUI/Core/InOutFader.h"
#include "OrvelGUI/Core/LPFDriver.h"
#include "OrvelGUI/Core/LowMidHigh.h"
#include "OrvelGUI/Core/ParametricEQDriver.h"
#include "OrvelGUI/Core/ParametricEQUnit.h"
#include "OrvelGUI/Core/PassFilterUnit.h"

inline void CompareFilter(QStringList& differences, const devsim::cDeviceModel& model, ULONG address,
                          const biquad::tQuantised& wire, UWORD frequency, UWORD width, GAIN gain, UBYTE type,
                          UBYTE variant, UBYTE flags) {
  const int record = devsim::FilterRecordIndex(address);
  if (record < 0) {
    differences << QString("address 0x%1 names no record").arg(address, 0, 16);
    return;
  }
  const devsim::sSimFilter& f = model.Filters()[std::size_t(record)];
  const QString where = QString("record %1: ").arg(record);
  if (f.mCoefficients != wire) differences << where + "coefficients";
  if (f.mFrequency != frequency || f.mWidth != width || f.mGain != gain) differences << where + "words";
  if (f.mType != type || f.mVariant != variant || f.mFlags != flags) differences << where + "bytes";
}

inline QStringList DeviceDifferences(const cApplicationCore& core, const devsim::cDeviceModel& model) {
  using biquad::tQuantised;
  QStringList differences;
  for (int p = 0; p < 3; ++p) {
    const cLowMidHigh& panel = *core.GetPanel(p);
    for (const cPassFilterDriver* driver : {static_cast<const cPassFilterDriver*>(panel.GetHighPass()),
                                            static_cast<const cPassFilterDriver*>(panel.GetLowPass())}) {
      const cPassFilterUnit& unit = *driver->GetUnit();
      for (UBYTE i = 0; i < unit.GetBiquadCount(); ++i) {
        const tQuantised wire = unit.GetBypass() ? tQuantised{biquad::kPassIdentity, 0, 0, 0, 0}
                                                 : biquad::WireOrder(unit.GetCoefficients(i));
        for (UBYTE channel = 0; channel < 2; ++channel) {
          CompareFilter(differences, model, driver->DeviceAddress(i, channel), wire, unit.GetFrequency(), 0, 0,
                        UBYTE(unit.GetSlope()), 0, unit.GetBypass() ? 1 : 0);
        }
      }
    }
    for (int side = 0; side < 2; ++side) {
      const cParametricEQDriver& driver = *panel.GetEQ(side);
      const cParametricEQUnit& unit = *driver.GetUnit();
      for (UBYTE band = 0; band < unit.GetBandCount(); ++band) {
        const cParametricEQUnit::sBand b = unit.GetBand(band);
        const tQuantised wire = unit.GetBypass() ? tQuantised{biquad::kEQIdentity, 0, 0, 0, 0}
                                                 : biquad::WireOrder(unit.GetCoefficients(band));
        CompareFilter(differences, model, driver.DeviceAddress(band), wire, b.mFrequency, b.mWidth, b.mGain,
                      UBYTE(b.mType), b.mVariant, UBYTE((driver.GetGang() ? 0x80 : 0) | (unit.GetBypass() ? 1 : 0)));
      }
    }
    const cDelayDriver& delay = *panel.GetDelay();
    for (UBYTE channel = 0; channel < 2; ++channel) {
      if (model.Delays()[std::size_t(delay.GetBase() + channel)] !=
          cDelayDriver::SamplesOfCode(delay.GetUnit()->GetDelay(channel))) {
        differences << QString("delay %1").arg(delay.GetBase() + channel);
      }
    }
  }
  for (int i = 0; i < cInOutFader::kStripCount; ++i) {
    const cControlStripDriver& strip = *core.GetInOutFader()->GetStrip(i);
    const devsim::sSimStrip& s = model.Strips()[std::size_t(i)];
    std::int32_t linear = 0;
    if (!strip.GetMute() && strip.GetGainWord() >= cControlStripDriver::kSilenceBelow) {
      linear = cControlStripDriver::GainToLinear(strip.GetGainWord() - cControlStripDriver::kFullScaleGain);
      if (strip.GetDevicePolarity()) linear = -linear;
    }
    if (s.mLinear != linear || s.mGainWord != UWORD(strip.GetMute() ? strip.GetHeldGain() : strip.GetGainWord()) ||
        s.mPolarity != std::uint32_t(strip.GetDevicePolarity()) || s.mMute != std::uint32_t(strip.GetMute())) {
      differences << QString("strip %1").arg(i);
    }
  }
  return differences;
}

inline void ExpectDeviceHolds(const cApplicationCore& core, const devsim::cDeviceModel& model) {
  const QStringList differences = DeviceDifferences(core, model);
  QVERIFY2(differences.isEmpty(), qPrintable(differences.join(", ")));
}
