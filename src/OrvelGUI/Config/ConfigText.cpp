#include "OrvelGUI/Config/ConfigText.h"

#include <QTextStream>

#include "AES-Standards/Convert.h"
#include "OrvelGUI/Core/BiquadDesign.h"
#include "OrvelGUI/Core/LowMidHigh.h"
#include "OrvelGUI/Core/Plausibility.h"

namespace {

QString OnOff(bool value) { return value ? QStringLiteral("on") : QStringLiteral("off"); }

QString Hertz(UWORD code) {
  const double hz = UWORDToFrequency(code);
  return hz >= 1000.0 ? QString::number(hz / 1000.0, 'f', 3) + " kHz" : QString::number(hz, 'f', 2) + " Hz";
}

QString Decibels(double decibels) { return QString::number(decibels, 'f', 2) + " dB"; }

// A fader gain: its lowest code is minus infinity.
QString FaderDecibels(GAIN gain) {
  return gain == kGainMinusInfinity ? QStringLiteral("-inf dB") : Decibels(gain * biquad::kGainStep);
}

QString Named(const char* name, ULONG value) {
  return (name != nullptr ? QString::fromLatin1(name) : QStringLiteral("unknown")) + " (" + QString::number(value) +
         ")";
}

QString Milliseconds(UWORD code) { return QString::number(UWORDToTime(code) * 1000.0, 'f', 3) + " ms"; }

QString Unit(int panelType, const char* side, const char* object) {
  return QString::fromStdString(cLowMidHigh::ObjectName(panelType, side, object));
}

// The slope as its name says and, where the panel has fewer sections than it
// needs, as the processor gets it.
QString Slope(const sPassFilterConfiguration& filter, bool highPass, int panelType) {
  const std::string note = plausibility::RealisedSlope(
      highPass, filter.mSlope,
      highPass ? cLowMidHigh::HighPassBiquadsOf(panelType) : cLowMidHigh::LowPassBiquadsOf(panelType));
  if (note.empty()) return Named(biquad::SlopeName(filter.mSlope), filter.mSlope);
  return QString::fromLatin1(biquad::SlopeName(filter.mSlope)) + " (" + QString::number(filter.mSlope) + ", " +
         QString::fromStdString(note) + ")";
}

void DescribePassFilter(QTextStream& out, const QString& unit, const sPassFilterConfiguration& filter, bool highPass,
                        int panelType) {
  out << "  " << unit << ": " << Hertz(filter.mFrequency) << " (" << filter.mFrequency << "), "
      << Slope(filter, highPass, panelType) << ", bypass " << OnOff(filter.mBypass) << "\n";
}

}  // namespace

QString DescribeConfiguration(const sConfiguration& configuration) {
  QString text;
  QTextStream out(&text);
  out << "Strips\n";
  for (const sStripConfiguration& strip : configuration.mStrips) {
    out << "  " << strip.mName << ": gain " << FaderDecibels(strip.mGain) << " (" << strip.mGain << "), mute "
        << OnOff(strip.mMute) << ", polarity " << (strip.mPolarity ? "inverted" : "normal") << "\n";
  }
  for (const sPanelConfiguration& panel : configuration.mPanels) {
    const int type = panel.mPanelType;
    out << "Panel " << panel.mName << "\n";
    DescribePassFilter(out, Unit(type, "", "HPF Unit"), panel.mHighPass, true, type);
    DescribePassFilter(out, Unit(type, "", "LPF Unit"), panel.mLowPass, false, type);
    const sDelayConfiguration& d = panel.mDelay;
    out << "  " << Unit(type, "", "Delay Unit") << ": left " << Milliseconds(d.mLeft) << " (" << d.mLeft << "), right "
        << Milliseconds(d.mRight) << " (" << d.mRight << "), gang " << OnOff(d.mGang != 0) << "\n";
    for (int side = 0; side < 2; ++side) {
      const sEQConfiguration& eq = panel.mEQ[std::size_t(side)];
      out << "  " << Unit(type, side == 0 ? "L" : "R", "Parametric EQ Unit") << ": bypass " << OnOff(eq.mBypass)
          << "\n";
      for (std::size_t b = 0; b < eq.mBands.size(); ++b) {
        const sBandConfiguration& band = eq.mBands[b];
        out << "    band " << (b + 1) << ": " << Hertz(band.mFrequency) << " (" << band.mFrequency << "), Q "
            << biquad::QFromWidth(band.mWidth) << " (" << band.mWidth << "), "
            << Decibels(band.mGain * biquad::kGainStep) << " (" << band.mGain << "), "
            << Named(biquad::BandTypeName(band.mType), band.mType) << ", variant " << int(band.mVariant) << ", bypass "
            << OnOff(band.mBypass) << "\n";
      }
    }
    out << "  " << Unit(type, "", "Parametric EQ Gang") << ": " << OnOff(panel.mGang) << "\n";
  }
  return text;
}
