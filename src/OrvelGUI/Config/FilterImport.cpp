#include "OrvelGUI/Config/FilterImport.h"

#include <QTextStream>
#include <algorithm>
#include <cmath>

#include "AES-Standards/Convert.h"
#include "OrvelGUI/Config/BandPlacement.h"
#include "OrvelGUI/Config/FilterChains.h"
#include "OrvelGUI/Config/NearestCode.h"
#include "OrvelGUI/Config/OfflineAssembly.h"
#include "OrvelGUI/Config/SignalPath.h"
#include "OrvelGUI/Core/BiquadDesign.h"
#include "OrvelGUI/Core/ControlStripDriver.h"

namespace {

// Where a filter went: its lines (the sections of a pass filter are several),
// the output and the unit.
struct sPlacement {
  std::vector<const sFilterLine*> mLines;
  int mSide;
  eFilterOwner mOwner;
  int mBand;  // EQ only
};

// A pass filter of the text: the lines of its sections, or one slope line.
struct sPassRequest {
  bool mHigh;
  std::vector<const sFilterLine*> mLines;
};

QString LineError(const sFilterLine& line, const QString& what) {
  return QString("line %1 (\"%2\"): %3").arg(line.mLine).arg(line.mText, what);
}

QString Hz(double hz) {
  return hz >= 1000.0 ? QString::number(hz / 1000.0, 'f', 2) + " kHz" : QString::number(hz, 'f', 1) + " Hz";
}

QString FaderText(GAIN gain) {
  return gain == kGainMinusInfinity ? QString("-inf dB (%1)").arg(gain)
                                    : QString("%1 dB (%2)").arg(gain * biquad::kGainStep, 0, 'f', 2).arg(gain);
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

// What the lines of a placement ask for at `hz`: their standard filters, or
// for a slope line that slope as the panel runs it.
double WantedMagnitudeDb(const sPlacement& p, int biquadCount, double hz) {
  double decibels = 0.0;
  for (const sFilterLine* line : p.mLines) {
    const sStandardFilter& f = line->mFilter;
    decibels += f.mSlope >= 0 ? PassSlopeMagnitudeDb(ULONG(f.mSlope), f.mFrequency, f.mType == eStandardType::HighPass,
                                                     biquadCount, hz)
                              : StandardMagnitudeDb(f, hz);
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

QString BandRanges(int bandCount) {
  QStringList ranges;
  for (int band = 0; band < bandCount; ++band) {
    ranges << QString("%1: %2 - %3")
                  .arg(band + 1)
                  .arg(Hz(UWORDToFrequency(cParametricEQUnit::GetFrequencyRangesLower(UBYTE(bandCount), UBYTE(band)))))
                  .arg(Hz(UWORDToFrequency(cParametricEQUnit::GetFrequencyRangesUpper(UBYTE(bandCount), UBYTE(band)))));
  }
  return ranges.join(", ");
}

// Splits the lines taken into pass filters, band filters and the preamp.
void SortLines(const std::vector<sFilterLine>& lines, std::vector<sPassRequest>& passes,
               std::vector<const sFilterLine*>& bands, double& preampDb, std::vector<const sFilterLine*>& preamps) {
  const sFilterLine* previous = nullptr;
  for (const sFilterLine& line : lines) {
    if (!line.mSkipped.isEmpty()) continue;
    if (line.mPreamp) {
      preampDb += line.mPreampDb;
      preamps.push_back(&line);
      previous = &line;
      continue;
    }
    const sStandardFilter& f = line.mFilter;
    if (f.mSlope >= 0 || f.mPanelSection) {
      const bool high = f.mType == eStandardType::HighPass;
      const bool continues = !passes.empty() && previous == passes.back().mLines.back() &&
                             passes.back().mHigh == high && f.mPanelSection &&
                             passes.back().mLines.back()->mFilter.mPanelSection;
      if (continues) {
        passes.back().mLines.push_back(&line);
      } else {
        passes.push_back({high, {&line}});
      }
    } else {
      bands.push_back(&line);
    }
    previous = &line;
  }
}

// What an import does to one panel of a configuration, step by step; the
// steps refuse, with the line at fault, what the panel cannot take.
class cImportPlan {
 public:
  cImportPlan(sConfiguration& configuration, int panel, int side, const std::vector<sFilterSlot>& targets,
              double maxErrorDb)
      : mConfiguration(configuration),
        mPanel(panel),
        mSides(side < 0 ? std::vector<int>{0, 1} : std::vector<int>{side}),
        mTargets(targets),
        mMaxErrorDb(maxErrorDb),
        mBandCount(int(configuration.mPanels[std::size_t(panel)].mEQ[0].mBands.size())),
        mUsed(std::size_t(mBandCount), false) {}

  bool SetPassFilters(const std::vector<sPassRequest>& passes, QString& error);
  bool SetBands(const std::vector<const sFilterLine*>& lines, QString& error);
  // The preamp moves the output strips' faders; what the strips then send
  // must have moved by as much.
  bool MoveFaders(const std::vector<const sFilterLine*>& preamps, double preampDb, QString& error);
  // Holds what the assembly now runs against what the lines ask for.
  bool Check(const cOfflineAssembly& assembly, const std::vector<sFilterLine>& lines, QString& report, QString& error);

 private:
  sPanelConfiguration& Panel() { return mConfiguration.mPanels[std::size_t(mPanel)]; }

  sConfiguration& mConfiguration;
  const int mPanel;
  const std::vector<int> mSides;
  const std::vector<sFilterSlot>& mTargets;
  const double mMaxErrorDb;
  const int mBandCount;
  std::vector<bool> mUsed;  // bands the text fills
  std::vector<sPlacement> mPlacements;
  QString mFaderReport;
};

bool cImportPlan::SetPassFilters(const std::vector<sPassRequest>& passes, QString& error) {
  bool taken[2] = {false, false};  // high-pass, low-pass
  for (const sPassRequest& pass : passes) {
    const sFilterLine& first = *pass.mLines.front();
    const eFilterOwner owner = pass.mHigh ? eFilterOwner::HighPass : eFilterOwner::LowPass;
    const int count = PassBiquadCount(mTargets, mPanel, owner);
    if (count == 0) {
      error = LineError(first, QString("the %1 panel has no low-pass filter").arg(PanelName(mPanel)));
      return false;
    }
    if (taken[pass.mHigh ? 0 : 1]) {
      error = LineError(first, QString("the panel has one %1 filter").arg(pass.mHigh ? "high-pass" : "low-pass"));
      return false;
    }
    taken[pass.mHigh ? 0 : 1] = true;
    sPassFilterConfiguration& target = pass.mHigh ? Panel().mHighPass : Panel().mLowPass;
    QString why;
    if (first.mFilter.mSlope >= 0) {
      if (!PassFilterOfStandard(first.mFilter, target, why)) {
        error = LineError(first, why);
        return false;
      }
    } else {
      std::vector<sStandardFilter> sections;
      for (const sFilterLine* line : pass.mLines) sections.push_back(line->mFilter);
      double largest = 0.0;  // Check() measures what the panel then runs
      FitPassFilter(sections, pass.mHigh, count, target, largest);
    }
    for (int s : mSides) mPlacements.push_back({pass.mLines, s, owner, 0});
  }
  return true;
}

bool cImportPlan::SetBands(const std::vector<const sFilterLine*>& lines, QString& error) {
  if (int(lines.size()) > mBandCount) {
    error = LineError(*lines[std::size_t(mBandCount)],
                      QString("more filters than the %1 panel's %2 bands").arg(PanelName(mPanel)).arg(mBandCount));
    return false;
  }
  std::vector<sBandRequest> requests;
  for (const sFilterLine* line : lines) {
    sBandRequest request;
    request.mNumber = line->mNumber;
    request.mType = line->mFilter.mType;
    BandDesignCode(line->mFilter, request.mCode);
    requests.push_back(request);
  }
  const std::vector<int> placed = PlaceInBands(requests, mBandCount);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const sFilterLine& line = *lines[i];
    const int band = placed[i];
    if (band < 0) {
      error = LineError(line, QString("no band of the %1 panel is left whose range holds %2 (bands %3)")
                                  .arg(PanelName(mPanel))
                                  .arg(Hz(UWORDToFrequency(requests[i].mCode)))
                                  .arg(BandRanges(mBandCount)));
      return false;
    }
    mUsed[std::size_t(band)] = true;
    for (int s : mSides) {
      sBandConfiguration& target = Panel().mEQ[std::size_t(s)].mBands[std::size_t(band)];
      QString why;
      if (!BandOfStandard(line.mFilter, target, mBandCount, band, target, why)) {
        error = LineError(line, "band " + QString::number(band + 1) + " cannot take it: " + why);
        return false;
      }
      mPlacements.push_back({{&line}, s, eFilterOwner::EQ, band});
    }
  }
  for (int s : mSides) {
    sEQConfiguration& eq = Panel().mEQ[std::size_t(s)];
    eq.mBypass = false;
    for (int b = 0; b < mBandCount; ++b) {
      if (!mUsed[std::size_t(b)]) eq.mBands[std::size_t(b)].mBypass = true;
    }
  }
  return true;
}

bool cImportPlan::MoveFaders(const std::vector<const sFilterLine*>& preamps, double preampDb, QString& error) {
  if (preamps.empty()) return true;
  GAIN step = 0;
  if (!nearestcode::Gain(preampDb, step)) {
    error = LineError(*preamps.front(), "no fader takes a change of " + QString::number(preampDb) + " dB");
    return false;
  }
  QTextStream out(&mFaderReport);
  for (const sFilterLine* line : preamps) out << "line " << line->mLine << ": " << line->mText << "\n";
  for (int s : mSides) {
    sStripConfiguration& strip = mConfiguration.mStrips[std::size_t(OutputStripIndex(mPanel, s))];
    const GAIN old = strip.mGain;
    const std::int32_t before = cControlStripDriver::LinearGain(old, false);
    if (old == kGainMinusInfinity || before == 0) {
      out << "    " << OutputName(mPanel, s) << " output strip: fader " << FaderText(old)
          << ", silent before and after\n";
      continue;
    }
    strip.mGain = GAIN(std::clamp(int(old) + int(step), int(kGainMinusInfinity), 32767));
    const std::int32_t after = cControlStripDriver::LinearGain(strip.mGain, false);
    const double moved = LinearGainDb(after) - LinearGainDb(before);
    const double largest = std::isfinite(moved) ? std::fabs(moved - preampDb) : INFINITY;
    if (largest > mMaxErrorDb) {
      error = LineError(*preamps.front(),
                        QString("the %1 output strip cannot take it within %2 dB: from fader %3 its gain moves by "
                                "%4 dB (--max-error)")
                            .arg(OutputName(mPanel, s))
                            .arg(mMaxErrorDb)
                            .arg(FaderText(old))
                            .arg(moved, 0, 'f', 2));
      return false;
    }
    out << "    " << OutputName(mPanel, s) << " output strip: fader " << FaderText(old) << " -> "
        << FaderText(strip.mGain) << "\n    largest difference " << QString::number(largest, 'f', 2) << " dB\n";
  }
  return true;
}

bool cImportPlan::Check(const cOfflineAssembly& assembly, const std::vector<sFilterLine>& lines, QString& report,
                        QString& error) {
  // The report follows the text.
  std::stable_sort(mPlacements.begin(), mPlacements.end(), [](const sPlacement& a, const sPlacement& b) {
    return a.mLines.front()->mLine < b.mLines.front()->mLine;
  });
  const sConfiguration applied = assembly.Read();
  const std::vector<sFilterSlot> targets = FilterSlots(assembly);
  const std::vector<double> grid = ComparisonGrid();
  QString text;
  QTextStream out(&text);
  for (const sPlacement& p : mPlacements) {
    const int count = p.mOwner == eFilterOwner::EQ ? 0 : PassBiquadCount(targets, mPanel, p.mOwner);
    double largest = 0.0;
    for (double hz : grid) {
      largest =
          std::max(largest, DifferenceDb(SetMagnitudeDb(targets, p, mPanel, hz), WantedMagnitudeDb(p, count, hz)));
    }
    if (largest > mMaxErrorDb) {
      const QString unit = p.mOwner == eFilterOwner::EQ         ? "band " + QString::number(p.mBand + 1)
                           : p.mOwner == eFilterOwner::HighPass ? QString("the high-pass")
                                                                : QString("the low-pass");
      error = LineError(*p.mLines.front(),
                        QString("%1 cannot take it within %2 dB: the largest difference on %3 is %4 dB between 20 Hz "
                                "and 20 kHz (--max-error)")
                            .arg(unit)
                            .arg(mMaxErrorDb)
                            .arg(OutputName(mPanel, p.mSide))
                            .arg(largest, 0, 'f', 2));
      return false;
    }
    for (const sFilterLine* line : p.mLines) out << "line " << line->mLine << ": " << line->mText << "\n";
    out << "    " << OutputName(mPanel, p.mSide) << " " << SetText(applied, p, mPanel) << "\n    largest difference "
        << QString::number(largest, 'f', 2) << " dB (20 Hz - 20 kHz)\n";
  }
  out << mFaderReport;
  for (const sFilterLine& line : lines) {
    if (!line.mSkipped.isEmpty())
      out << "line " << line.mLine << ": " << line.mText << "\n    skipped (" << line.mSkipped << ")\n";
  }
  for (int s : mSides) {
    for (int b = 0; b < mBandCount; ++b) {
      if (!mUsed[std::size_t(b)])
        out << "not in the text: " << OutputName(mPanel, s) << " band " << (b + 1) << " bypassed\n";
    }
  }
  report += text;
  return true;
}

}  // namespace

bool ImportFilterSettings(cOfflineAssembly& assembly, const std::vector<sFilterLine>& lines, int panel, int side,
                          double maxErrorDb, QString& report, QString& error) {
  sConfiguration c = assembly.Read();
  if (c.mPanels[std::size_t(panel)].mGang && side == 1) {
    error = QString(
                "the %1 panel's equalisers are ganged: the right one follows the left; import into the left or "
                "both sides")
                .arg(PanelName(panel));
    return false;
  }
  std::vector<sPassRequest> passes;
  std::vector<const sFilterLine*> bandLines;
  std::vector<const sFilterLine*> preamps;
  double preampDb = 0.0;
  SortLines(lines, passes, bandLines, preampDb, preamps);
  const std::vector<sFilterSlot> targets = FilterSlots(assembly);
  cImportPlan plan(c, panel, side, targets, maxErrorDb);
  if (!plan.SetPassFilters(passes, error) || !plan.SetBands(bandLines, error) ||
      !plan.MoveFaders(preamps, preampDb, error)) {
    return false;
  }
  if (!assembly.Apply(c, error)) return false;
  return plan.Check(assembly, lines, report, error);
}
