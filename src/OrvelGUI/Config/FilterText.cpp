#include "OrvelGUI/Config/FilterText.h"

#include <QRegularExpression>
#include <QTextStream>
#include <cmath>

#include "OrvelGUI/Core/BiquadDesign.h"
#include "OrvelGUI/Core/Version.h"

namespace {

constexpr auto kCaseless = QRegularExpression::CaseInsensitiveOption;
// Filters at or above half the processor's rate do not exist at 96 kHz.
constexpr double kNyquistHz = biquad::kSampleRate / 2.0;

// Standard filters of one output: the bands in order, then the sections of
// the panel's pass filters (the High panel has no low-pass).
std::vector<sStandardFilter> OutputFilters(const sConfiguration& configuration, const std::vector<sFilterSlot>& targets,
                                           int panel, int side) {
  const sPanelConfiguration& p = configuration.mPanels[std::size_t(panel)];
  const sEQConfiguration& eq = p.mEQ[std::size_t(side)];
  std::vector<sStandardFilter> filters;
  for (const sBandConfiguration& band : eq.mBands) filters.push_back(StandardOfBand(band, eq.mBypass));
  for (const bool high : {true, false}) {
    const int count = PassBiquadCount(targets, panel, high ? eFilterOwner::HighPass : eFilterOwner::LowPass);
    for (const sStandardFilter& s : PassFilterSections(high ? p.mHighPass : p.mLowPass, high, count)) {
      filters.push_back(s);
    }
  }
  return filters;
}

bool Number(const QRegularExpression& field, const QString& text, double& value) {
  const QRegularExpressionMatch match = field.match(text);
  if (!match.hasMatch()) return false;
  bool ok = false;
  value = match.captured(1).toDouble(&ok);
  return ok && std::isfinite(value);
}

// Q of the cookbook's shelf of slope S (1 = 12 dB/octave) at `gainDb`; false
// for a slope too steep for the gain.
bool ShelfQOfSlope(double slope, double gainDb, double& q) {
  const double a = std::pow(10.0, gainDb / 40.0);
  const double reciprocalSquared = (a + 1.0 / a) * (1.0 / slope - 1.0) + 2.0;
  if (!(reciprocalSquared > 0.0) || !(slope > 0.0)) return false;
  q = 1.0 / std::sqrt(reciprocalSquared);
  return true;
}

// The fields of one ON filter line after its type; false with `why`.
bool ParseFilterFields(const QString& name, const QString& slopeText, const QString& rest, sStandardFilter& f,
                       QString& why) {
  static const QRegularExpression kFc("\\bFc\\s+([-+0-9.eE]+)\\s*(k?)Hz", kCaseless);
  static const QRegularExpression kGain("\\bGain\\s+([-+0-9.eE]+)\\s*dB", kCaseless);
  static const QRegularExpression kQ("\\bQ\\s+([-+0-9.eE]+)", kCaseless);
  static const QRegularExpression kOctaves("\\bBW\\s+Oct\\s+([-+0-9.eE]+)", kCaseless);
  static const QRegularExpression kSlope("\\b(12|18|24)\\s*dB\\s+(Butterworth|Bessel)\\b", kCaseless);
  const QRegularExpressionMatch fc = kFc.match(rest);
  if (!Number(kFc, rest, f.mFrequency) || !(f.mFrequency > 0.0)) {
    why = "no frequency (\"Fc 100 Hz\")";
    return false;
  }
  if (!fc.captured(2).isEmpty()) f.mFrequency *= 1000.0;
  if (f.mFrequency >= kNyquistHz) {
    why = "Fc must be below 48 kHz, half the processor's rate";
    return false;
  }
  const bool shelf = name.startsWith("LS") || name.startsWith("HS");
  if ((name == "PK" || shelf) && !Number(kGain, rest, f.mGainDb)) {
    why = "no gain (\"Gain -3.0 dB\")";
    return false;
  }
  const bool hasQ = kQ.match(rest).hasMatch();
  double q = 0.0;
  if (hasQ && (!Number(kQ, rest, q) || !(q > 0.0))) {
    why = "no Q (\"Q 2.00\")";
    return false;
  }
  if (!slopeText.isEmpty() && !shelf) {
    why = "only shelves take a slope after their type";
    return false;
  }
  if (name == "PK") {
    f.mType = eStandardType::Peak;
    double octaves = 0.0;
    if (hasQ) {
      f.mQ = q;
    } else if (Number(kOctaves, rest, octaves) && octaves > 0.0) {
      f.mQ = std::sqrt(std::pow(2.0, octaves)) / (std::pow(2.0, octaves) - 1.0);
    } else {
      why = "no Q (\"Q 2.00\")";
      return false;
    }
    return true;
  }
  if (shelf) {
    f.mType = name.startsWith("LS") ? eStandardType::LowShelf : eStandardType::HighShelf;
    const double slope = slopeText.isEmpty() ? 12.0 : slopeText.toDouble();
    if (!slopeText.isEmpty() && hasQ) {
      why = "a shelf takes a slope or a Q, not both";
      return false;
    }
    f.mOrder = !hasQ && slope == 6.0 ? 1 : 2;
    f.mQ = hasQ ? q : biquad::kButterworthQ;
    if (!hasQ && f.mOrder == 2 && !ShelfQOfSlope(slope / 12.0, f.mGainDb, f.mQ)) {
      why = "the slope is too steep for the gain";
      return false;
    }
    return true;
  }
  f.mType = name.startsWith("HP") ? eStandardType::HighPass : eStandardType::LowPass;
  if (name == "HPQ" || name == "LPQ") {
    if (!hasQ) {
      why = "no Q (\"Q 0.71\")";
      return false;
    }
    f.mQ = q;
    f.mPanelSection = true;
    return true;
  }
  if (name == "HP1" || name == "LP1") {
    f.mPanelSection = true;
    f.mOrder = 1;
    return true;
  }
  f.mQ = biquad::kButterworthQ;
  const QRegularExpressionMatch slopeName = kSlope.match(rest);
  if (slopeName.hasMatch()) {
    const QString wanted =
        slopeName.captured(1) + "dB " + slopeName.captured(2).at(0).toUpper() + slopeName.captured(2).mid(1).toLower();
    for (int s = 0; s < biquad::kSlopeCount; ++s) {
      if (wanted == QLatin1String(biquad::SlopeName(ULONG(s)))) f.mSlope = s;
    }
    if (f.mSlope < 0) {
      why = "unknown slope \"" + wanted + "\"";
      return false;
    }
  }
  return true;
}

}  // namespace

QString FilterDecimal(double value, int significant) {
  const int magnitude = value == 0.0 ? 0 : int(std::floor(std::log10(std::fabs(value))));
  QString text = QString::number(value, 'f', std::max(1, significant - 1 - magnitude));
  // No trailing zeros beyond the first decimal.
  while (text.endsWith('0') && text.indexOf('.') < text.size() - 2) text.chop(1);
  return text;
}

QString DescribeStandardFilter(const sStandardFilter& f) {
  const QString fc = "Fc " + FilterDecimal(f.mFrequency) + " Hz";
  const QString gain = "Gain " + FilterDecimal(f.mGainDb) + " dB";
  const QString q = "Q " + FilterDecimal(f.mQ, 4);
  switch (f.mType) {
    case eStandardType::Peak:
      return "PK " + fc + " " + gain + " " + q;
    case eStandardType::LowShelf:
    case eStandardType::HighShelf: {
      const QString type = f.mType == eStandardType::LowShelf ? "LS" : "HS";
      if (f.mOrder == 1) return type + " 6dB " + fc + " " + gain;
      if (std::fabs(f.mQ / biquad::kButterworthQ - 1.0) < 1e-4) return type + " 12dB " + fc + " " + gain;
      return type + "C " + fc + " " + gain + " " + q;
    }
    case eStandardType::HighPass:
    case eStandardType::LowPass: {
      const QString type = f.mType == eStandardType::HighPass ? "HP" : "LP";
      if (f.mSlope >= 0) return type + " " + fc + " " + biquad::SlopeName(ULONG(f.mSlope));
      if (!f.mPanelSection) return type + " " + fc;
      return f.mOrder == 1 ? type + "1 " + fc : type + "Q " + fc + " " + q;
    }
    default:
      return "None";
  }
}

QString ExportFilterSettings(const sConfiguration& configuration, const std::vector<sFilterSlot>& targets,
                             const sOutputSelection& selection, const QString& source) {
  QString text;
  QTextStream out(&text);
  for (int panel = 0; panel < 3; ++panel) {
    for (int side = 0; side < 2; ++side) {
      if (!selection.Includes(panel, side)) continue;
      if (!text.isEmpty()) out << "\n";
      out << "Filter Settings file\n\nNotes: " << kOrvelApplicationName << " " << kOrvelVersionText << ", " << source
          << ", output " << OutputName(panel, side) << ", as 96 kHz biquads\n\nEqualiser: Generic\n";
      int number = 0;
      for (const sStandardFilter& f : OutputFilters(configuration, targets, panel, side)) {
        out << "Filter " << ++number << ": " << (f.mOn ? "ON " : "OFF ") << DescribeStandardFilter(f) << "\n";
      }
    }
  }
  return text;
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
  static const QRegularExpression kFilter("^Filter(?:\\s+(\\d+))?\\s*:\\s*(\\S+)\\s*(.*)$", kCaseless);
  static const QRegularExpression kPreamp("^Preamp\\s*:\\s*(.*)$", kCaseless);
  static const QRegularExpression kPreampGain("^([-+0-9.eE]+)\\s*dB$", kCaseless);
  // The PC equaliser's commands that route, delay or filter in ways the
  // processor's bands cannot follow.
  static const QRegularExpression kCommand(
      "^(Channel|Copy|Delay|GraphicEQ|Convolution|Include|Eval|If|ElseIf|Else|EndIf)\\s*:", kCaseless);
  static const QRegularExpression kType(
      "^(PK|LSC|HSC|LS|HS|HPQ|LPQ|HP1|LP1|HP|LP|None)(?:\\s*([0-9]+(?:\\.[0-9]*)?)\\s*dB)?(?=\\s|$)", kCaseless);
  lines.clear();
  const QStringList all = text.split('\n');
  for (int i = 0; i < all.size(); ++i) {
    const QString line = all.at(i).trimmed();
    const QString where = QString("line %1 (\"%2\"): ").arg(i + 1).arg(line);
    sFilterLine parsed;
    parsed.mLine = i + 1;
    parsed.mText = line;
    const QRegularExpressionMatch preamp = kPreamp.match(line);
    if (preamp.hasMatch()) {
      const QRegularExpressionMatch gain = kPreampGain.match(preamp.captured(1).trimmed());
      bool ok = false;
      parsed.mPreampDb = gain.captured(1).toDouble(&ok);
      if (!gain.hasMatch() || !ok || !std::isfinite(parsed.mPreampDb)) {
        error = where + "no gain (\"Preamp: -6 dB\")";
        return false;
      }
      parsed.mPreamp = true;
      lines.push_back(parsed);
      continue;
    }
    const QRegularExpressionMatch command = kCommand.match(line);
    if (command.hasMatch()) {
      error = where + "\"" + command.captured(1) +
              ":\" is not taken: the import reads the Preamp and Filter lines of one output";
      return false;
    }
    const QRegularExpressionMatch m = kFilter.match(line);
    if (!m.hasMatch()) continue;
    parsed.mNumber = m.captured(1).toInt();
    const QString state = m.captured(2).toUpper();
    if (state != "ON" && state != "OFF") {
      error = where + "expected ON or OFF after the filter number";
      return false;
    }
    if (state == "OFF") {
      parsed.mSkipped = "OFF";
      lines.push_back(parsed);
      continue;
    }
    const QString rest = m.captured(3);
    const QRegularExpressionMatch type = kType.match(rest);
    if (!type.hasMatch()) {
      error = where + "unknown filter type \"" + rest.section(' ', 0, 0) + "\"";
      return false;
    }
    const QString name = type.captured(1).toUpper();
    if (name == "NONE") {
      parsed.mSkipped = "None";
      lines.push_back(parsed);
      continue;
    }
    QString why;
    if (!ParseFilterFields(name, type.captured(2), rest.mid(type.capturedLength()), parsed.mFilter, why)) {
      error = where + why;
      return false;
    }
    lines.push_back(parsed);
  }
  return true;
}
