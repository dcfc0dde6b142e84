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

bool IsRaw(int type) {
  return type == cEWCCFormat::NO_UNITS || type == cEWCCFormat::DOUBLED_VALUE || type == cEWCCFormat::DONT_INTERPRET;
}

cValueTextParser::sReading Refuse(const char* why) {
  cValueTextParser::sReading reading;
  reading.mRefusal = why;
  return reading;
}

// An end of the range, asked for by name ("0 ms", "0 Hz").
cValueTextParser::sReading End(UWORD value) {
  cValueTextParser::sReading reading;
  reading.mValue = value;
  return reading;
}

constexpr const char* kNoTextEntry = "Unhandled EWCCFormat type. Check and/or add type";

std::optional<double> GainCode(const QString& lower, double minimum, double maximum) {
  if (lower.startsWith(QLatin1String("-inf"))) return minimum;
  if (lower.startsWith(QLatin1String("inf")) || lower.startsWith(QLatin1String("+inf"))) return maximum;
  const std::optional<sNumber> number = LeadingNumber(lower);
  if (!number) return std::nullopt;
  // The nearest code: "6" is 6.00 dB, as a file or orvel-cli makes it. The
  // display reads the nearest code of a number as that number.
  return std::round(number->mValue * 256.0) + kZeroCode;
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
  const sReading reading = Read(text, type, minimum, maximum, exponent);
  if (reading.mRefusal == kNoTextEntry) {
    EW_REPORT_ERROR("%s", kNoTextEntry);
  } else if (reading.mRefusal != nullptr) {
    EW_REPORT_NOTIFICATION("Value text \"%s\" refused: %s", text.toUtf8().constData(), reading.mRefusal);
  }
  return reading.mValue;
}

cValueTextParser::sReading cValueTextParser::Read(const QString& text, int type, UWORD minimum, UWORD maximum,
                                                  double exponent) {
  if (minimum > maximum) std::swap(minimum, maximum);
  const QString lower = text.trimmed().toLower();
  std::optional<double> code;

  if (cEWCCFormat::IsGainType(type)) {
    code = GainCode(lower, minimum, maximum);
    if (!code) return Refuse("not a gain");
  } else if (cEWCCFormat::IsTimeType(type)) {
    const std::optional<sNumber> number = LeadingNumber(lower);
    if (!number) return Refuse("not a time");
    double ms = number->mValue;
    const QString& unit = number->mUnit;
    if (unit.contains(QLatin1String("us")) || unit.contains(QStringLiteral("\u00b5s")) ||
        unit.contains(QStringLiteral("\u03bcs"))) {
      ms /= 1000.0;
    } else if (!unit.contains(QLatin1String("ms")) && unit.contains(QLatin1Char('s'))) {
      ms *= 1000.0;
    }
    if (ms == 0.0) return End(type == cEWCCFormat::TIME_SEC_INVERTED ? maximum : minimum);
    if (ms < 0.0) return Refuse("a time cannot be negative");
    double seconds = ms / 1000.0;
    if (type == cEWCCFormat::TIME_SEC_DOUBLED) seconds /= 2.0;
    double timeCode = std::round(std::log10(seconds / 1e-6) / kTimeDecadesPerCode + 1.0);
    if (type == cEWCCFormat::TIME_SEC_INVERTED) timeCode = 65535.0 - timeCode;
    code = timeCode;
  } else if (cEWCCFormat::IsFrequencyType(type)) {
    const std::optional<sNumber> number = LeadingNumber(lower);
    if (!number) return Refuse("not a frequency");
    double hz = number->mValue;
    if (number->mUnit.contains(QLatin1String("khz")) || number->mUnit.endsWith(QLatin1Char('k'))) hz *= 1000.0;
    if (hz == 0.0) return End(minimum);
    if (hz < 0.0) return Refuse("a frequency cannot be negative");
    code = std::round(kFrequencyCodesPerOctave * std::log2(hz / 4.0));
  } else if (IsRaw(type)) {
    const std::optional<sNumber> number = LeadingNumber(lower);
    if (!number) return Refuse("not a number");
    code = std::round(number->mValue * 256.0) + kZeroCode;
  } else if (type == cProjectCCFormat::FILTER_WIDTH) {
    const std::optional<double> octaves = WidthNumber(lower);
    if (!octaves) return Refuse("not a width");
    if (*octaves <= 0.0) return Refuse("a width must be positive");
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
    if (!q) return Refuse("not a Q");
    if (*q <= 0.0) return Refuse("a Q must be positive");
    GAIN gain = 0;
    UWORD frequency = 0;
    cProjectCCFormat::BellOfExponent(exponent, gain, frequency);
    UWORD width = 0;
    if (!biquad::WidthOfRealisedBellQ(*q, gain, 0, frequency, width)) return Refuse("not a Q");
    code = width;
  } else {
    return Refuse(kNoTextEntry);
  }
  sReading reading;
  reading.mValue = std::clamp(Saturate(*code), minimum, maximum);
  if (*code > maximum) reading.mFit = eFit::AboveMaximum;
  if (*code < minimum) reading.mFit = eFit::BelowMinimum;
  return reading;
}
