#include "OrvelGUI/Config/RemoteParameterFormat.h"

#include <QRegularExpression>
#include <cmath>

#include "AES-Standards/Convert.h"
#include "EWNet/Core/NetObjct.h"
#include "OrvelGUI/Core/MeteringSources.h"

namespace {

eRemoteValueKind EQUnitKind(UWORD n) {
  if (n == 0) return eRemoteValueKind::Switch;
  if (n == 1 || n == 2) return eRemoteValueKind::Byte;
  switch ((n - 3) % 5) {
    case 1:
      return eRemoteValueKind::Frequency;
    case 2:
      return eRemoteValueKind::Width;
    case 3:
      return eRemoteValueKind::Gain;
    case 4:
      return eRemoteValueKind::Switch;
    default:
      return eRemoteValueKind::Raw;  // the read-only band range
  }
}

UWORD Word(const QByteArray& bytes) { return UWORD((UBYTE(bytes[0]) << 8) | UBYTE(bytes[1])); }

QByteArray WordBytes(UWORD value) {
  QByteArray bytes;
  bytes.append(char(value >> 8)).append(char(value & 0xFF));
  return bytes;
}

int Size(eRemoteValueKind kind) {
  switch (kind) {
    case eRemoteValueKind::Switch:
    case eRemoteValueKind::Byte:
      return 1;
    case eRemoteValueKind::MeterLevel:
      return 3;
    case eRemoteValueKind::Raw:
      return 0;
    default:
      return 2;
  }
}

QString GainText(GAIN gain) {
  return gain <= kGainMinusInfinity ? QString("-inf dB") : QString::number(gain / 256.0, 'f', 2) + " dB";
}

// A number followed by one of the units, scaled by the unit's factor.
bool NumberWithUnit(const QString& text, const QList<QPair<QString, double>>& units, double& value) {
  const QString trimmed = text.trimmed();
  for (const auto& unit : units) {
    if (!trimmed.endsWith(unit.first, Qt::CaseInsensitive)) continue;
    bool ok = false;
    const double number = trimmed.left(trimmed.size() - unit.first.size()).trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(number)) return false;
    value = number * unit.second;
    return true;
  }
  return false;
}

bool ParseDecoded(eRemoteValueKind kind, const QString& text, QByteArray& bytes) {
  const QString lower = text.trimmed().toLower();
  double value = 0;
  switch (kind) {
    case eRemoteValueKind::Switch:
      if (lower == "on" || lower == "true") bytes = QByteArray(1, '\1');
      if (lower == "off" || lower == "false") bytes = QByteArray(1, '\0');
      return !bytes.isEmpty();
    case eRemoteValueKind::Gain: {
      if (lower == "-inf" || lower == "-inf db") {
        bytes = WordBytes(GainToUWORD(kGainMinusInfinity));
        return true;
      }
      if (!NumberWithUnit(lower, {{"db", 1.0}}, value)) return false;
      const double scaled = std::round(value * 256.0);
      const GAIN gain = GAIN(std::max(-32767.0, std::min(32767.0, scaled)));
      bytes = WordBytes(GainToUWORD(gain));
      return true;
    }
    case eRemoteValueKind::Frequency:
      if (!NumberWithUnit(lower, {{"khz", 1000.0}, {"hz", 1.0}}, value)) return false;
      bytes = WordBytes(FrequencyToUWORD(value));
      return true;
    case eRemoteValueKind::Time:
      if (!NumberWithUnit(lower, {{"ms", 1e-3}, {"us", 1e-6}, {"s", 1.0}}, value)) return false;
      bytes = WordBytes(TimeToUWORD(value));
      return true;
    case eRemoteValueKind::MeterLevel: {
      if (!NumberWithUnit(lower, {{"db", 1.0}}, value)) return false;
      const long level = std::lround(value * 256.0) + cMeteringSources::kPublishOffset;
      bytes = WordBytes(UWORD(level)).append('\0');
      return true;
    }
    default:
      return false;
  }
}

}  // namespace

eRemoteValueKind RemoteValueKind(const QString& objectName, UWORD method) {
  if (method < PARAMETER_BASE) return eRemoteValueKind::Raw;
  const UWORD n = UWORD(method - PARAMETER_BASE);
  static const QRegularExpression kStrip("^InOutFader:.+ Control Strip Unit\\d*$");
  static const QRegularExpression kPassFilter("^LMH \\d+: .*[HL]PF Unit$");
  static const QRegularExpression kDelay("^LMH \\d+: .*Delay Unit$");
  static const QRegularExpression kEQUnit("^LMH \\d+: [LR] Parametric EQ Unit$");
  static const QRegularExpression kEQGang("^LMH \\d+: .*Parametric EQ Gang$");
  const eRemoteValueKind kStripKinds[] = {eRemoteValueKind::Switch, eRemoteValueKind::Switch, eRemoteValueKind::Gain};
  const eRemoteValueKind kPassKinds[] = {eRemoteValueKind::Switch, eRemoteValueKind::Frequency, eRemoteValueKind::Byte};
  const eRemoteValueKind kDelayKinds[] = {eRemoteValueKind::Time, eRemoteValueKind::Time, eRemoteValueKind::Switch};
  if (kStrip.match(objectName).hasMatch()) return n < 3 ? kStripKinds[n] : eRemoteValueKind::Raw;
  if (kPassFilter.match(objectName).hasMatch()) return n < 3 ? kPassKinds[n] : eRemoteValueKind::Raw;
  if (kDelay.match(objectName).hasMatch()) return n < 3 ? kDelayKinds[n] : eRemoteValueKind::Raw;
  if (kEQUnit.match(objectName).hasMatch()) return EQUnitKind(n);
  if (kEQGang.match(objectName).hasMatch()) return n == 0 ? eRemoteValueKind::Switch : eRemoteValueKind::Raw;
  if (objectName == cMeteringSources::kName) {
    if (n == 0) return eRemoteValueKind::Switch;
    if (n <= 8) return eRemoteValueKind::MeterLevel;
  }
  return eRemoteValueKind::Raw;
}

QString FormatRemoteValue(eRemoteValueKind kind, const QByteArray& bytes) {
  const QString hex = QString::fromLatin1(bytes.toHex());
  if (kind == eRemoteValueKind::Raw || bytes.size() < Size(kind)) return hex;
  QString decoded;
  switch (kind) {
    case eRemoteValueKind::Switch:
      decoded = bytes[0] == 0 ? "off" : "on";
      break;
    case eRemoteValueKind::Byte:
      decoded = QString::number(UBYTE(bytes[0]));
      break;
    case eRemoteValueKind::Gain:
      decoded = GainText(UWORDToGain(Word(bytes)));
      break;
    case eRemoteValueKind::Frequency:
      decoded = QString::number(UWORDToFrequency(Word(bytes)), 'f', 1) + " Hz";
      break;
    case eRemoteValueKind::Time:
      decoded = QString::number(UWORDToTime(Word(bytes)) * 1000.0, 'f', 3) + " ms";
      break;
    case eRemoteValueKind::Width:
      decoded = "width index " + QString::number(UBYTE(bytes[0]));
      break;
    case eRemoteValueKind::MeterLevel:
      decoded = GainText(GAIN(UWORD(Word(bytes) - cMeteringSources::kPublishOffset)));
      break;
    default:
      break;
  }
  return hex + "  " + decoded;
}

bool ParseRemoteValue(eRemoteValueKind kind, const QString& text, QByteArray& bytes, QString& error) {
  bytes.clear();
  static const QRegularExpression kHex("^(0x)?([0-9a-fA-F]{2}( ?[0-9a-fA-F]{2})*)$");
  const QRegularExpressionMatch hex = kHex.match(text.trimmed());
  if (hex.hasMatch()) {
    bytes = QByteArray::fromHex(hex.captured(2).toLatin1());
    return true;
  }
  if (kind != eRemoteValueKind::Raw && ParseDecoded(kind, text, bytes)) return true;
  error = QString("cannot read \"%1\" as a value of this parameter").arg(text);
  return false;
}
