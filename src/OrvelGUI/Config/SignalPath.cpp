#include "OrvelGUI/Config/SignalPath.h"

#include <QCoreApplication>
#include <QThread>
#include <cmath>
#include <cstdlib>

#include "EWNet/Core/RegRoutr.h"
#include "OrvelGUI/Config/OfflineAssembly.h"
#include "OrvelGUI/Core/ControlStripDriver.h"
#include "OrvelGUI/Core/ControlStripUnit.h"
#include "OrvelGUI/Core/DelayDriver.h"
#include "OrvelGUI/Core/InOutFader.h"

namespace {

constexpr double kFullScaleLinear = 2147483647.0;
// The fader gain of the device's full scale, in dB.
constexpr double kFullScaleDb = cControlStripDriver::kFullScaleGain / 256.0;

}  // namespace

std::array<sStripPath, 8> ReadStripPaths(const cOfflineAssembly& assembly) {
  // The tools read an assembly that no dispatch thread drives: its caller's.
  Q_ASSERT(QCoreApplication::instance() == nullptr ||
           QThread::currentThread() == QCoreApplication::instance()->thread());
  std::array<sStripPath, 8> paths{};
  cRegistryLocker lock;
  const cInOutFader& fader = *assembly.Core().GetInOutFader();
  for (int i = 0; i < cInOutFader::kStripCount; ++i) {
    const cControlStripDriver& driver = *fader.GetStrip(i);
    sStripPath& path = paths[std::size_t(i)];
    const bool polarity = driver.GetDevicePolarity();
    path.mMute = driver.GetMute();
    path.mUnmutedLinear =
        cControlStripDriver::LinearGain(path.mMute ? driver.GetHeldGain() : driver.GetGainWord(), polarity);
    path.mLinear = path.mMute ? 0 : path.mUnmutedLinear;
    path.mInverted = polarity != (driver.GetUnit()->GetInvert() != 0);
  }
  return paths;
}

double LinearGainDb(std::int32_t linear) {
  if (linear == 0) return -INFINITY;
  return 20.0 * std::log10(std::fabs(double(linear)) / kFullScaleLinear) + kFullScaleDb;
}

double StripFactor(const sStripPath& strip) {
  if (strip.mLinear == 0) return 0.0;
  const double magnitude = std::pow(10.0, LinearGainDb(strip.mLinear) / 20.0);
  return strip.mInverted ? -magnitude : magnitude;
}

std::int32_t OutputDelaySamples(const sConfiguration& configuration, int panel, int side) {
  const sDelayConfiguration& delay = configuration.mPanels[std::size_t(panel)].mDelay;
  return cDelayDriver::SamplesOfCode(side == 0 ? delay.mLeft : delay.mRight);
}
