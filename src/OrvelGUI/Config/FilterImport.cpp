#include "OrvelGUI/Config/FilterImport.h"

#include <QTextStream>
#include <algorithm>
#include <cmath>

#include "AES-Standards/Convert.h"
#include "OrvelGUI/Config/FilterChains.h"
#include "OrvelGUI/Config/OfflineAssembly.h"
#include "OrvelGUI/Core/BiquadDesign.h"

namespace {

constexpr double kReportLowest = 20.0;
constexpr double kReportHighest = 20000.0;

// Where a line went.
struct sPlacement {
  const sFilterLine* mLine;
  int mSide;
  eFilterOwner mOwner;
  int mBand;  // EQ only
};

QString LineError(const sFilterLine& line, const QString& what) {
  return QString("line %1 (\"%2\"): %3").arg(line.mLine).arg(line.mText, what);
}

double SetMagnitudeDb(const std::vector<sFilterSlot>& targets, const sPlacement& p, int panel, double hz) {
  double decibels = 0.0;
  for (const sFilterSlot& slot : targets) {
    if (slot.mPanel != panel || slot.mSide != p.mSide || slot.mOwner != p.mOwner || !slot.mSent) continue;
    if (p.mOwner == eFilterOwner::EQ && slot.mIndex != p.mBand) continue;
    decibels += biquad::QuantisedMagnitudeDb(NaturalOrder(slot.mWire), slot.mScale, hz);
  }
  return decibels;
}

QString SetText(const sConfiguration& c, const sPlacement& p, int panel) {
  const sPanelConfiguration& pc = c.mPanels[std::size_t(panel)];
  if (p.mOwner != eFilterOwner::EQ) {
    const sPassFilterConfiguration& f = p.mOwner == eFilterOwner::HighPass ? pc.mHighPass : pc.mLowPass;
    return QString("%1 %2 Hz (%3), %4, bypass %5")
        .arg(p.mOwner == eFilterOwner::HighPass ? "high-pass" : "low-pass")
        .arg(UWORDToFrequency(f.mFrequency), 0, 'f', 2)
        .arg(f.mFrequency)
        .arg(biquad::SlopeName(f.mSlope))
        .arg(f.mBypass ? "on" : "off");
  }
  const sBandConfiguration& b = pc.mEQ[std::size_t(p.mSide)].mBands[std::size_t(p.mBand)];
  return QString("band %1: %2 %3 Hz (%4), Q %5 (%6), %7 dB (%8), bypass %9")
      .arg(p.mBand + 1)
      .arg(biquad::BandTypeName(b.mType))
      .arg(UWORDToFrequency(b.mFrequency), 0, 'f', 2)
      .arg(b.mFrequency)
      .arg(biquad::QFromWidth(b.mWidth))
      .arg(b.mWidth)
      .arg(b.mGain * biquad::kGainStep, 0, 'f', 2)
      .arg(b.mGain)
      .arg(b.mBypass ? "on" : "off");
}

}  // namespace

bool ImportFilterSettings(cOfflineAssembly& assembly, const std::vector<sFilterLine>& lines, int panel, int side,
                          QString& report, QString& error) {
  sConfiguration c = assembly.Read();
  sPanelConfiguration& pc = c.mPanels[std::size_t(panel)];
  const int bandCount = int(pc.mEQ[0].mBands.size());
  if (pc.mGang && side == 1) {
    error = QString(
                "the %1 panel's equalisers are ganged: the right one follows the left; import into the left or "
                "both sides")
                .arg(PanelName(panel));
    return false;
  }
  std::vector<sPlacement> placements;
  const std::vector<int> sides = side < 0 ? std::vector<int>{0, 1} : std::vector<int>{side};
  int band = 0;
  bool highPass = false;
  bool lowPass = false;
  for (const sFilterLine& line : lines) {
    const sStandardFilter& f = line.mFilter;
    QString why;
    if (f.mSlope >= 0) {
      const bool high = f.mType == eStandardType::HighPass;
      if (!high && panel == 2) {
        error = LineError(line, "the High panel has no low-pass filter");
        return false;
      }
      if ((high && highPass) || (!high && lowPass)) {
        error = LineError(line, QString("the panel has one %1 filter").arg(high ? "high-pass" : "low-pass"));
        return false;
      }
      (high ? highPass : lowPass) = true;
      if (!PassFilterOfStandard(f, high ? pc.mHighPass : pc.mLowPass, why)) {
        error = LineError(line, why);
        return false;
      }
      for (int s : sides) {
        placements.push_back({&line, s, high ? eFilterOwner::HighPass : eFilterOwner::LowPass, 0});
      }
      continue;
    }
    if (band >= bandCount) {
      error =
          LineError(line, QString("more filters than the %1 panel's %2 bands").arg(PanelName(panel)).arg(bandCount));
      return false;
    }
    for (int s : sides) {
      sBandConfiguration& target = pc.mEQ[std::size_t(s)].mBands[std::size_t(band)];
      if (!BandOfStandard(f, target, bandCount, band, target, why)) {
        error = LineError(line, "band " + QString::number(band + 1) + " cannot take it: " + why);
        return false;
      }
      placements.push_back({&line, s, eFilterOwner::EQ, band});
    }
    ++band;
  }
  for (int s : sides) {
    sEQConfiguration& eq = pc.mEQ[std::size_t(s)];
    eq.mBypass = false;
    for (int b = band; b < bandCount; ++b) eq.mBands[std::size_t(b)].mBypass = true;
  }
  if (!assembly.Apply(c, error)) return false;
  const sConfiguration applied = assembly.Read();
  const std::vector<sFilterSlot> targets = FilterSlots(assembly);
  std::vector<double> grid;
  for (double hz : ResponseGrid()) {
    if (hz >= kReportLowest && hz <= kReportHighest) grid.push_back(hz);
  }
  QTextStream out(&report);
  for (const sPlacement& p : placements) {
    double largest = 0.0;
    for (double hz : grid) {
      const double difference = SetMagnitudeDb(targets, p, panel, hz) - StandardMagnitudeDb(p.mLine->mFilter, hz);
      largest = std::max(largest, std::fabs(difference));
    }
    out << "line " << p.mLine->mLine << ": " << p.mLine->mText << "\n    " << OutputName(panel, p.mSide) << " "
        << SetText(applied, p, panel) << "\n    largest difference " << QString::number(largest, 'f', 2)
        << " dB (20 Hz - 20 kHz)\n";
  }
  for (int s : sides) {
    for (int b = band; b < bandCount; ++b) {
      out << "not in the text: " << OutputName(panel, s) << " band " << (b + 1) << " bypassed\n";
    }
  }
  return true;
}
