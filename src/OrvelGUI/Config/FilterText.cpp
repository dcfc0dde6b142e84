#include "OrvelGUI/Config/FilterText.h"

#include <QRegularExpression>
#include <QTextStream>
#include <cmath>

#include "AES-Standards/Convert.h"
#include "OrvelGUI/Core/BiquadDesign.h"
#include "OrvelGUI/Core/Version.h"

namespace {

// Enough digits that reading the text back finds the same codes: about
// six significant digits, at least one decimal, no trailing zeros beyond it.
QString Decimal(double value, int significant = 6) {
  const int magnitude = value == 0.0 ? 0 : int(std::floor(std::log10(std::fabs(value))));
  QString text = QString::number(value, 'f', std::max(1, significant - 1 - magnitude));
  while (text.endsWith('0') && text.indexOf('.') < text.size() - 2) text.chop(1);
  return text;
}

QString SlopeText(int slope) {
  const char* name = biquad::SlopeName(ULONG(slope));
  return name != nullptr ? QString::fromLatin1(name) : QString();
}

// Standard filters of one output: the bands in order, then the panel's pass
// filters (the High panel has no low-pass).
std::vector<sStandardFilter> OutputFilters(const sConfiguration& configuration, int panel, int side) {
  const sPanelConfiguration& p = configuration.mPanels[std::size_t(panel)];
  const sEQConfiguration& eq = p.mEQ[std::size_t(side)];
  std::vector<sStandardFilter> filters;
  for (const sBandConfiguration& band : eq.mBands) filters.push_back(StandardOfBand(band, eq.mBypass));
  filters.push_back(StandardOfPassFilter(p.mHighPass, true));
  if (panel != 2) filters.push_back(StandardOfPassFilter(p.mLowPass, false));
  return filters;
}

QString YamlName(int panel, int side, const QString& what) {
  return OutputName(panel, side).toLower().replace(' ', '_') + "_" + what;
}

// One biquad of a pass filter as the pipeline's filter type and parameters.
bool PassBiquadYaml(const sPassFilterConfiguration& filter, bool highPass, int index, QString& type, double& hz,
                    double& q) {
  biquad::eDesign design = biquad::DESIGN_BELL;
  double divisor = 1.0;
  if (!biquad::PassSectionDesign(highPass, filter.mSlope, unsigned(index), design, q, divisor)) return false;
  hz = UWORDToFrequency(filter.mFrequency) / divisor;
  switch (design) {
    case biquad::DESIGN_HIGH_PASS_2:
      type = "Highpass";
      return true;
    case biquad::DESIGN_LOW_PASS_2:
      type = "Lowpass";
      return true;
    case biquad::DESIGN_HIGH_PASS_1:
      type = "HighpassFO";
      return true;
    case biquad::DESIGN_LOW_PASS_1:
      type = "LowpassFO";
      return true;
    default:  // the flat stand-in: nothing to run
      return false;
  }
}

}  // namespace

QString DescribeStandardFilter(const sStandardFilter& f) {
  const QString fc = "Fc " + Decimal(f.mFrequency) + " Hz";
  const QString gain = "Gain " + Decimal(f.mGainDb) + " dB";
  switch (f.mType) {
    case eStandardType::Peak:
      return "PK " + fc + " " + gain + " Q " + Decimal(f.mQ, 4);
    case eStandardType::LowShelf:
      return "LS " + fc + " " + gain;
    case eStandardType::HighShelf:
      return "HS " + fc + " " + gain;
    case eStandardType::HighPass:
    case eStandardType::LowPass: {
      const QString type = f.mType == eStandardType::HighPass ? "HP " : "LP ";
      return type + fc + (f.mSlope >= 0 ? " " + SlopeText(f.mSlope) : QString());
    }
    default:
      return "None";
  }
}

QString ExportFilterSettings(const sConfiguration& configuration, const sOutputSelection& selection,
                             const QString& source) {
  QString text;
  QTextStream out(&text);
  for (int panel = 0; panel < 3; ++panel) {
    for (int side = 0; side < 2; ++side) {
      if (!selection.Includes(panel, side)) continue;
      if (!text.isEmpty()) out << "\n";
      out << "Filter Settings file\n\nNotes: " << kOrvelApplicationName << " " << kOrvelVersionText << ", " << source
          << ", output " << OutputName(panel, side) << "\n\n";
      int number = 0;
      for (const sStandardFilter& f : OutputFilters(configuration, panel, side)) {
        out << "Filter " << ++number << ": " << (f.mOn ? "ON " : "OFF ") << DescribeStandardFilter(f) << "\n";
      }
    }
  }
  return text;
}

QString ExportPipelineYaml(const sConfiguration& configuration, const std::vector<sFilterSlot>& targets,
                           const sOutputSelection& selection, const QString& source) {
  QString filters;
  QString pipeline;
  QTextStream f(&filters);
  QTextStream p(&pipeline);
  auto entry = [&f](const QString& name, const QString& type, double hz, double q, bool hasQ, double gain,
                    bool hasGain) {
    f << "  " << name << ":\n    type: Biquad\n    parameters:\n      type: " << type << "\n      freq: " << Decimal(hz)
      << "\n";
    if (hasQ) f << "      q: " << Decimal(q, 5) << "\n";
    if (hasGain) f << "      gain: " << Decimal(gain, 4) << "\n";
  };
  for (int panel = 0; panel < 3; ++panel) {
    const sPanelConfiguration& pc = configuration.mPanels[std::size_t(panel)];
    for (int side = 0; side < 2; ++side) {
      if (!selection.Includes(panel, side)) continue;
      QStringList names;
      for (const sFilterSlot& slot : targets) {
        if (slot.mPanel != panel || slot.mSide != side) continue;
        if (slot.mOwner == eFilterOwner::EQ) {
          const sEQConfiguration& eq = pc.mEQ[std::size_t(side)];
          const sStandardFilter s = StandardOfBand(eq.mBands[std::size_t(slot.mIndex)], eq.mBypass);
          if (!s.mOn || s.mType == eStandardType::None) continue;
          const QString name = YamlName(panel, side, "band_" + QString::number(slot.mIndex + 1));
          static const char* const kTypes[] = {"", "Peaking", "LowshelfFO", "HighshelfFO", "Highpass", "Lowpass"};
          const bool peak = s.mType == eStandardType::Peak;
          const bool pass = s.mType == eStandardType::HighPass || s.mType == eStandardType::LowPass;
          entry(name, kTypes[int(s.mType)], s.mFrequency, s.mQ, peak || pass, s.mGainDb, !pass);
          names << name;
        } else {
          const bool high = slot.mOwner == eFilterOwner::HighPass;
          const sPassFilterConfiguration& pf = high ? pc.mHighPass : pc.mLowPass;
          QString type;
          double hz = 0.0;
          double q = 0.0;
          if (pf.mBypass || !PassBiquadYaml(pf, high, slot.mIndex, type, hz, q)) continue;
          const QString name =
              YamlName(panel, side, QString(high ? "high_pass_" : "low_pass_") + QString::number(slot.mIndex + 1));
          entry(name, type, hz, q, !type.endsWith("FO"), 0.0, false);
          names << name;
        }
      }
      p << "  - type: Filter\n    channel: " << panel * 2 + side << "\n    names: [" << names.join(", ") << "]\n";
    }
  }
  return "# " + QString(kOrvelApplicationName) + " " + kOrvelVersionText + ": " + source +
         " (channel = 2 x panel + side: 0 Low L .. 5 High R)\nfilters:\n" + filters + "pipeline:\n" + pipeline;
}

QString ExportCoefficients(const std::vector<sFilterSlot>& targets, const sOutputSelection& selection) {
  QString text;
  QTextStream out(&text);
  int current = -1;
  for (const sFilterSlot& slot : targets) {
    if (!selection.Includes(slot.mPanel, slot.mSide) || !slot.mSent) continue;
    if (slot.mPanel * 2 + slot.mSide != current) {
      current = slot.mPanel * 2 + slot.mSide;
      out << "# " << OutputName(slot.mPanel, slot.mSide) << ": b0 b1 b2 a0 a1 a2 per biquad in chain order\n";
    }
    const biquad::tQuantised natural = NaturalOrder(slot.mWire);
    // The device's fixed point: 1.0 = 2^31 / scale.
    auto value = [&](int i) { return natural[std::size_t(i)] * slot.mScale / 2147483648.0; };
    out << slot.mUnit << " " << (slot.mOwner == eFilterOwner::EQ ? "band " : "biquad ") << (slot.mIndex + 1) << ":";
    for (double c : {value(0), value(1), value(2), 1.0, -value(3), -value(4)})
      out << " " << QString::number(c, 'g', 17);
    out << "\n";
  }
  return text;
}

bool ParseFilterSettings(const QString& text, std::vector<sFilterLine>& lines, QString& error) {
  static const QRegularExpression kFilter("^\\s*Filter\\s+\\d+\\s*:\\s*(\\S+)\\s*(.*)$",
                                          QRegularExpression::CaseInsensitiveOption);
  static const QRegularExpression kType("^(PK|LS 6dB|HS 6dB|LS 12dB|HS 12dB|LS|HS|HP|LP|HPQ|LPQ|None)(\\s|$)",
                                        QRegularExpression::CaseInsensitiveOption);
  static const QRegularExpression kFc("\\bFc\\s+([-+0-9.eE]+)\\s*(k?)Hz", QRegularExpression::CaseInsensitiveOption);
  static const QRegularExpression kGain("\\bGain\\s+([-+0-9.eE]+)\\s*dB", QRegularExpression::CaseInsensitiveOption);
  static const QRegularExpression kQ("\\bQ\\s+([-+0-9.eE]+)", QRegularExpression::CaseInsensitiveOption);
  static const QRegularExpression kSlope("\\b(12|18|24)\\s*dB\\s+(Butterworth|Bessel)\\b",
                                         QRegularExpression::CaseInsensitiveOption);
  lines.clear();
  const QStringList all = text.split('\n');
  for (int i = 0; i < all.size(); ++i) {
    const QString line = all.at(i).trimmed();
    const QRegularExpressionMatch m = kFilter.match(line);
    if (!m.hasMatch()) continue;
    const QString where = QString("line %1 (\"%2\"): ").arg(i + 1).arg(line);
    const QString state = m.captured(1).toUpper();
    if (state != "ON" && state != "OFF") {
      error = where + "expected ON or OFF after the filter number";
      return false;
    }
    const QString rest = m.captured(2);
    const QRegularExpressionMatch type = kType.match(rest);
    if (!type.hasMatch()) {
      error = where + "unknown filter type \"" + rest.section(' ', 0, 0) + "\"";
      return false;
    }
    sFilterLine parsed;
    parsed.mLine = i + 1;
    parsed.mText = line;
    sStandardFilter& f = parsed.mFilter;
    f.mOn = state == "ON";
    const QString name = type.captured(1).toUpper().simplified();
    if (name == "NONE") {
      lines.push_back(parsed);
      continue;
    }
    auto number = [&](const QRegularExpression& field, double& value) {
      const QRegularExpressionMatch match = field.match(rest);
      if (!match.hasMatch()) return false;
      bool ok = false;
      value = match.captured(1).toDouble(&ok);
      return ok && std::isfinite(value);
    };
    double scale = 1.0;
    const QRegularExpressionMatch fc = kFc.match(rest);
    if (!fc.hasMatch() || !number(kFc, f.mFrequency) || !(f.mFrequency > 0.0)) {
      error = where + "no frequency (\"Fc 100 Hz\")";
      return false;
    }
    if (!fc.captured(2).isEmpty()) scale = 1000.0;
    f.mFrequency *= scale;
    const bool shelf = name.startsWith("LS") || name.startsWith("HS");
    const bool needsGain = name == "PK" || shelf;
    if (needsGain && !number(kGain, f.mGainDb)) {
      error = where + "no gain (\"Gain -3.0 dB\")";
      return false;
    }
    const bool hasQ = kQ.match(rest).hasMatch();
    if ((name == "PK" || name.endsWith("Q")) && (!number(kQ, f.mQ) || !(f.mQ > 0.0))) {
      error = where + "no Q (\"Q 2.00\")";
      return false;
    }
    if (shelf) {
      f.mType = name.startsWith("LS") ? eStandardType::LowShelf : eStandardType::HighShelf;
      f.mOrder = name.endsWith("12DB") || hasQ ? 2 : 1;
    } else if (name == "PK") {
      f.mType = eStandardType::Peak;
    } else {
      f.mType = name.startsWith("HP") ? eStandardType::HighPass : eStandardType::LowPass;
      const QRegularExpressionMatch slope = kSlope.match(rest);
      if (slope.hasMatch()) {
        const QString slopeName =
            slope.captured(1) + "dB " + slope.captured(2).at(0).toUpper() + slope.captured(2).mid(1).toLower();
        f.mSlope = -1;
        for (int s = 0; s < biquad::kSlopeCount; ++s) {
          if (slopeName == QLatin1String(biquad::SlopeName(ULONG(s)))) f.mSlope = s;
        }
        if (f.mSlope < 0) {
          error = where + "unknown slope \"" + slopeName + "\"";
          return false;
        }
        f.mBessel = f.mSlope == HPF_BESSEL_18_DB;
        f.mOrder = slope.captured(1).toInt() / 6;
      }
    }
    lines.push_back(parsed);
  }
  return true;
}
