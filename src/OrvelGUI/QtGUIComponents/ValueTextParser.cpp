#include "OrvelGUI/QtGUIComponents/ValueTextParser.h"

#include <QRegularExpression>
#include <algorithm>
#include <cmath>

#include "EWNet/Core/ErrLog.h"
#include "OrvelGUI/Core/BiquadDesign.h"
#include "OrvelGUI/QtGUIComponents/ProjectCCFormat.h"

namespace {

constexpr double kZeroCode = 0x8000;
constexpr double kTimeDecadesPerCode = 11.0 / 65536.0;
constexpr double kFrequencyCodesPerOctave = 4608.0;

// The widths a typed number snaps to: the first one not wider than it.
constexpr double kWidthSteps[cProjectCCFormat::NUMBER_OF_WIDTH_VALUES] = {
    3.0, 2.9,  2.8, 2.7,  2.6, 2.5,  2.4,  2.3,  2.2,  2.1, 2.0,  1.9,  1.8,  1.7,  1.6,
    1.5, 1.4,  1.3, 1.2,  1.1, 1.0,  0.95, 0.9,  0.85, 0.8, 0.75, 0.7,  0.65, 0.6,  0.55,
    0.5, 0.45, 0.4, 0.32, 0.3, 0.25, 0.2,  0.15, 0.13, 0.1, 0.09, 0.08, 0.06, 0.05, 0.04};

struct sNumber {
  double mValue;
  QString mUnit;  // what follows the number, lower case, trimmed
};

std::optional<sNumber> LeadingNumber(const QString& text) {
  static const QRegularExpression pattern(QStringLiteral("^([+-]?(?:\\d+(?:\\.\\d*)?|\\.\\d+))\\s*(.*)$"));
  const QRegularExpressionMatch match = pattern.match(text);
  if (!match.hasMatch()) return std::nullopt;
  bool ok = false;
  const double value = match.captured(1).toDouble(&ok);
  if (!ok || !std::isfinite(value)) return std::nullopt;
  return sNumber{value, match.captured(2).trimmed()};
}

// "a/b" as a number; a plain number otherwise.
std::optional<double> WidthNumber(const QString& text) {
  static const QRegularExpression fraction(QStringLiteral("^(\\d+(?:\\.\\d*)?)\\s*/\\s*(\\d+(?:\\.\\d*)?)$"));
  const QRegularExpressionMatch match = fraction.match(text);
  if (match.hasMatch()) {
    const double denominator = match.captured(2).toDouble();
    if (denominator == 0.0) return std::nullopt;
    return match.captured(1).toDouble() / denominator;
  }
  const std::optional<sNumber> number = LeadingNumber(text);
  if (!number) return std::nullopt;
  return number->mValue;
}

UWORD Saturate(double code) {
  if (!(code > 0.0)) return 0;
  if (code >= 65535.0) return 65535;
  return UWORD(std::lround(code));
}

bool IsGain(int type) {
  return type == cEWCCFormat::GAIN_OFFSET_DB || type == cEWCCFormat::GAIN_OFFSET_DB_FORCE_ZERO ||
         type == cEWCCFormat::GAIN_OFFSET_DB_NO_UNITS || type == cEWCCFormat::GAIN_OFFSET_DB_SUB_40;
}

bool IsTime(int type) {
  return type == cEWCCFormat::TIME_SEC || type == cEWCCFormat::TIME_SEC_INVERTED ||
         type == cEWCCFormat::TIME_SEC_DOUBLED;
}

bool IsRaw(int type) {
  return type == cEWCCFormat::NO_UNITS || type == cEWCCFormat::DOUBLED_VALUE || type == cEWCCFormat::DONT_INTERPRET;
}

std::optional<UWORD> Refuse(const QString& text, const char* why) {
  EW_REPORT_NOTIFICATION("Value text \"%s\" refused: %s", text.toUtf8().constData(), why);
  return std::nullopt;
}

std::optional<double> GainCode(const QString& lower, double minimum, double maximum) {
  if (lower.startsWith(QLatin1String("-inf"))) return minimum;
  if (lower.startsWith(QLatin1String("inf")) || lower.startsWith(QLatin1String("+inf"))) return maximum;
  const std::optional<sNumber> number = LeadingNumber(lower);
  if (!number) return std::nullopt;
  const double dB = number->mValue;
  if (dB == 0.0) return kZeroCode;
  // Half a display step towards the typed sign, so that the truncating
  // display shows the number that was typed.
  return std::round(dB * 256.0) + kZeroCode + (dB > 0.0 ? 8.0 : -8.0);
}

// "0.5", "q 0.5", "Q=0.5" or "0.5q" as a Q.
std::optional<double> QNumber(QString text) {
  if (text.startsWith(QLatin1Char('q'))) {
    text = text.mid(1).trimmed();
    if (text.startsWith(QLatin1Char('=')) || text.startsWith(QLatin1Char(':'))) text = text.mid(1).trimmed();
  }
  const std::optional<sNumber> number = LeadingNumber(text);
  if (!number || !(number->mUnit.isEmpty() || number->mUnit == QLatin1String("q"))) return std::nullopt;
  return number->mValue;
}

}  // namespace

std::optional<UWORD> cValueTextParser::Parse(const QString& text, int type, UWORD minimum, UWORD maximum,
                                             double exponent) {
  if (minimum > maximum) std::swap(minimum, maximum);
  const QString lower = text.trimmed().toLower();
  std::optional<double> code;

  if (IsGain(type)) {
    code = GainCode(lower, minimum, maximum);
    if (!code) return Refuse(text, "not a gain");
  } else if (IsTime(type)) {
    const std::optional<sNumber> number = LeadingNumber(lower);
    if (!number) return Refuse(text, "not a time");
    double ms = number->mValue;
    const QString& unit = number->mUnit;
    if (unit.contains(QLatin1String("us")) || unit.contains(QStringLiteral("\u00b5s")) ||
        unit.contains(QStringLiteral("\u03bcs"))) {
      ms /= 1000.0;
    } else if (!unit.contains(QLatin1String("ms")) && unit.contains(QLatin1Char('s'))) {
      ms *= 1000.0;
    }
    if (ms == 0.0) return type == cEWCCFormat::TIME_SEC_INVERTED ? maximum : minimum;
    if (ms < 0.0) return Refuse(text, "a time cannot be negative");
    double seconds = ms / 1000.0;
    if (type == cEWCCFormat::TIME_SEC_DOUBLED) seconds /= 2.0;
    double timeCode = std::round(std::log10(seconds / 1e-6) / kTimeDecadesPerCode + 1.0);
    if (type == cEWCCFormat::TIME_SEC_INVERTED) timeCode = 65535.0 - timeCode;
    code = timeCode;
  } else if (type == cEWCCFormat::FREQ_HZ || type == cEWCCFormat::FREQ_HZ_COMPACT) {
    const std::optional<sNumber> number = LeadingNumber(lower);
    if (!number) return Refuse(text, "not a frequency");
    double hz = number->mValue;
    if (number->mUnit.contains(QLatin1String("khz")) || number->mUnit.endsWith(QLatin1Char('k'))) hz *= 1000.0;
    if (hz == 0.0) return minimum;
    if (hz < 0.0) return Refuse(text, "a frequency cannot be negative");
    code = std::round(kFrequencyCodesPerOctave * std::log2(hz / 4.0));
  } else if (IsRaw(type)) {
    const std::optional<sNumber> number = LeadingNumber(lower);
    if (!number) return Refuse(text, "not a number");
    code = std::round(number->mValue * 256.0) + kZeroCode;
  } else if (type == cProjectCCFormat::FILTER_WIDTH) {
    const std::optional<double> octaves = WidthNumber(lower);
    if (!octaves) return Refuse(text, "not a width");
    if (*octaves <= 0.0) return Refuse(text, "a width must be positive");
    // Narrower than the narrowest step is the narrowest step.
    int index = cProjectCCFormat::NUMBER_OF_WIDTH_VALUES - 1;
    for (int i = 0; i < cProjectCCFormat::NUMBER_OF_WIDTH_VALUES; ++i) {
      if (kWidthSteps[i] <= *octaves) {
        index = i;
        break;
      }
    }
    code = index * 256.0;
  } else if (type == cProjectCCFormat::BELL_Q) {
    const std::optional<double> q = QNumber(lower);
    if (!q) return Refuse(text, "not a Q");
    if (*q <= 0.0) return Refuse(text, "a Q must be positive");
    GAIN gain = 0;
    UWORD frequency = 0;
    cProjectCCFormat::BellOfExponent(exponent, gain, frequency);
    UWORD width = 0;
    if (!biquad::WidthOfRealisedBellQ(*q, gain, 0, frequency, width)) return Refuse(text, "not a Q");
    code = width;
  } else {
    EW_REPORT_ERROR("Unhandled EWCCFormat type. Check and/or add type");
    return std::nullopt;
  }
  return std::clamp(Saturate(*code), minimum, maximum);
}
