#include "OrvelGUI/Config/Configuration.h"

#include <QBuffer>
#include <QDataStream>

#include "EWNet/Core/ErrLog.h"
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
#include "OrvelGUI/Core/SavesManager.h"

namespace {

sPassFilterConfiguration ReadPassFilter(const cPassFilterDriver& driver) {
  const cPassFilterUnit& unit = *driver.GetUnit();
  return {unit.GetFrequency(), unit.GetSlope(), unit.GetBypass()};
}

sEQConfiguration ReadEQ(const cParametricEQDriver& driver) {
  const cParametricEQUnit& unit = *driver.GetUnit();
  sEQConfiguration eq;
  eq.mBypass = unit.GetBypass();
  for (UBYTE band = 0; band < unit.GetBandCount(); ++band) eq.mBands.push_back(unit.GetBand(band));
  return eq;
}

}  // namespace

QByteArray ConfigurationBlocks(const sConfiguration& configuration) {
  QByteArray blocks;
  QDataStream out(&blocks, QIODevice::WriteOnly);
  out.setVersion(cSavesManager::kStreamVersion);
  for (const sStripConfiguration& strip : configuration.mStrips) {
    cControlStripUnit::WriteBlock(out, strip.mMute, strip.mPolarity, strip.mGain);
  }
  for (const sPanelConfiguration& panel : configuration.mPanels) {
    for (const sPassFilterConfiguration* filter : {&panel.mHighPass, &panel.mLowPass}) {
      cPassFilterUnit::WriteBlock(out, filter->mFrequency, filter->mSlope, filter->mBypass);
    }
    cDelayUnit::WriteBlock(out, panel.mDelay.mLeft, panel.mDelay.mRight, panel.mDelay.mGang);
    for (const sEQConfiguration& eq : panel.mEQ) cParametricEQUnit::WriteBlock(out, eq.mBypass, eq.mBands);
    cParametricEQGangDriver::WriteBlock(out, panel.mGang);
  }
  return blocks;
}

bool ApplyConfiguration(cApplicationCore& core, const sConfiguration& configuration) {
  cRegistryLocker lock;
  for (int i = 0; i < cApplicationCore::kPanelCount; ++i) {
    for (const sEQConfiguration& eq : configuration.mPanels[std::size_t(i)].mEQ) {
      if (eq.mBands.size() != core.GetPanel(i)->GetBandCount()) {
        EW_REPORT_ERROR("Panel %d has %d bands, the configuration %d", i + 1, int(core.GetPanel(i)->GetBandCount()),
                        int(eq.mBands.size()));
        return false;
      }
    }
  }
  QByteArray blocks = ConfigurationBlocks(configuration);
  QBuffer buffer(&blocks);
  buffer.open(QIODevice::ReadOnly);
  QDataStream in(&buffer);
  in.setVersion(cSavesManager::kStreamVersion);
  for (int i = 0; i < cInOutFader::kStripCount; ++i) core.GetInOutFader()->GetStrip(i)->GetUnit()->RecallData(&in);
  for (int i = 0; i < cApplicationCore::kPanelCount; ++i) {
    const cLowMidHigh& panel = *core.GetPanel(i);
    panel.GetHighPass()->GetUnit()->RecallData(&in);
    panel.GetLowPass()->GetUnit()->RecallData(&in);
    panel.GetDelay()->GetUnit()->RecallData(&in);
    panel.GetEQ(0)->GetUnit()->RecallData(&in);
    panel.GetEQ(1)->GetUnit()->RecallData(&in);
    panel.GetGang()->RecallData(&in);
  }
  return in.status() == QDataStream::Ok && buffer.atEnd();
}

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
