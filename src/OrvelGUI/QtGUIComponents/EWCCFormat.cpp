#include "OrvelGUI/QtGUIComponents/EWCCFormat.h"

#include <QCoreApplication>
#include <algorithm>
#include <cmath>

#include "AES-Standards/Convert.h"

namespace {

constexpr double kPowersOfTen[] = {1.0, 10.0, 100.0, 1000.0, 10000.0};
constexpr int kOffset = 0x8000;

QString Translated(const char* text, const char* comment) {
  return QCoreApplication::translate("cValueInterpreterUnitsTr", text, comment);
}

// How a time is shown: scale of seconds, unit, and the places for this code.
struct sTimeDisplay {
  double mScale;
  const char* mUnit;
  const char* mComment;
  int mPlaces;
};

sTimeDisplay Micro(int places) { return {1e6, "\xC2\xB5s", "Units: microseconds", places}; }
sTimeDisplay Milli(int places) { return {1e3, "ms", "Units: milliseconds", places}; }
sTimeDisplay Whole(int places) { return {1.0, "s", "Units: seconds", places}; }

// Each range keeps roughly three significant digits as the times grow.
sTimeDisplay TimeDisplay(cEWCCFormat::eEWCCType type, UWORD u) {
  switch (type) {
    case cEWCCFormat::TIME_SEC_INVERTED:
      if (u > 47661) return Micro(u < 53620 ? 0 : u <= 59577 ? 1 : 2);
      if (u >= 29789) return Milli(u < 35746 ? 0 : u < 41704 ? 1 : 2);
      return Whole(u < 17873 ? 0 : u <= 23830 ? 1 : 2);
    case cEWCCFormat::TIME_SEC_DOUBLED:
      if (u < 16080) return Micro(u < 4165 ? 2 : u <= 10122 ? 1 : 0);
      if (u <= 33953) return Milli(u < 22038 ? 2 : u <= 27995 ? 1 : 0);
      return Whole(u < 39912 ? 2 : u <= 45869 ? 1 : 0);
    default:
      if (u < 17874) return Micro(u < 5958 ? 2 : u <= 11915 ? 1 : 0);
      if (u < 35747) return Milli(u < 23832 ? 2 : u <= 29789 ? 1 : 0);
      return Whole(u < 41705 ? 2 : u <= 47662 ? 1 : 0);
  }
}

double TimeOf(cEWCCFormat::eEWCCType type, UWORD u) {
  switch (type) {
    case cEWCCFormat::TIME_SEC_INVERTED:
      return UWORDToTime(UWORD(65535 - u));
    case cEWCCFormat::TIME_SEC_DOUBLED:
      return 2.0 * UWORDToTime(u);
    default:
      return UWORDToTime(u);
  }
}

}  // namespace

cEWCCFormat::cEWCCFormat(QObject* parent) : QObject(parent) {}

void cEWCCFormat::setEwCCType(eEWCCType type) {
  if (type == mType) return;
  mType = type;
  emit ewCCTypeChanged();
}

void cEWCCFormat::setDecimalPlaces(eEWCCTypeDecimalPlaces places) {
  if (places == mDecimalPlaces) return;
  mDecimalPlaces = places;
  emit decimalPlacesChanged();
}

void cEWCCFormat::setCompressUnits(bool compress) {
  if (compress == mCompressUnits) return;
  mCompressUnits = compress;
  emit compressUnitsChanged();
}

cValueUnitStrings cEWCCFormat::Interpret(UWORD value, double exponent, eEWCCType type) const {
  return InterpretValue(value, exponent, type, mDecimalPlaces, mCompressUnits);
}

QString cEWCCFormat::interpretValue(UWORD Value, double Exponent, eEWCCType Type) const {
  return Interpret(Value, Exponent, Type).value();
}

QString cEWCCFormat::interpretUnits(UWORD Value, double Exponent, eEWCCType Type) const {
  return Interpret(Value, Exponent, Type).units();
}

QString cEWCCFormat::interpretValue(UWORD Value, double Exponent) const {
  return interpretValue(Value, Exponent, mType);
}

QString cEWCCFormat::interpretValue(UWORD Value) const { return interpretValue(Value, 1.0, mType); }

QString cEWCCFormat::interpretUnits(UWORD Value, double Exponent) const {
  return interpretUnits(Value, Exponent, mType);
}

QString cEWCCFormat::interpretUnits(UWORD Value) const { return interpretUnits(Value, 1.0, mType); }

bool cEWCCFormat::IsGainType(int type) {
  return type == GAIN_OFFSET_DB || type == GAIN_OFFSET_DB_FORCE_ZERO || type == GAIN_OFFSET_DB_NO_UNITS ||
         type == GAIN_OFFSET_DB_SUB_40;
}

bool cEWCCFormat::IsTimeType(int type) {
  return type == TIME_SEC || type == TIME_SEC_INVERTED || type == TIME_SEC_DOUBLED;
}

bool cEWCCFormat::IsFrequencyType(int type) { return type == FREQ_HZ || type == FREQ_HZ_COMPACT; }

int cEWCCFormat::ClampDecimalPlaces(int places) { return std::clamp(places, 0, int(FOUR_DECIMAL_PLACES)); }

double cEWCCFormat::Truncate(double value, int places) {
  const double scale = kPowersOfTen[ClampDecimalPlaces(places)];
  return std::trunc(value * scale) / scale;
}

double cEWCCFormat::Round(double value, int places) {
  const double scale = kPowersOfTen[ClampDecimalPlaces(places)];
  return std::round(value * scale) / scale;
}

double cEWCCFormat::TruncateGain(int gain, int places) {
  const double truncated = Truncate(gain / 256.0, places);
  if (std::lround(truncated * 256.0) == gain) return truncated;
  // One place further from zero, when this code is that number's nearest.
  const double step = (gain > 0 ? 1.0 : -1.0) / kPowersOfTen[ClampDecimalPlaces(places)];
  return std::lround((truncated + step) * 256.0) == gain ? truncated + step : truncated;
}

QString cEWCCFormat::Fixed(double value, int places) { return QString::number(value, 'f', ClampDecimalPlaces(places)); }

QString cEWCCFormat::Unit(bool compress, const char* text, const char* comment) {
  const QString unit = Translated(text, comment);
  return compress ? unit : QLatin1Char(' ') + unit;
}

cValueUnitStrings cEWCCFormat::InterpretValue(UWORD Value, double Exponent, eEWCCType Type,
                                              eEWCCTypeDecimalPlaces DecimalPlaces, bool CompressUnits) {
  const UWORD u = Value;
  const int d = ClampDecimalPlaces(DecimalPlaces);
  const int gain = UWORDToGain(u);
  const auto decibels = [&] { return Unit(CompressUnits, "dB", "Units: Decibels"); };
  const auto plain = [](const QString& value) { return cValueUnitStrings(value, QString()); };

  switch (Type) {
    case GAIN_OFFSET_DB:
    case GAIN_OFFSET_DB_NO_UNITS:
    case GAIN_OFFSET_DB_SUB_40: {
      QString text;
      if (u == 0) {
        text = Type == GAIN_OFFSET_DB_SUB_40 ? Translated("<-40", "Units: Decibels") : Translated("-Inf", nullptr);
      } else {
        text = Fixed(TruncateGain(gain, d), d);
      }
      return {text, Type == GAIN_OFFSET_DB_NO_UNITS ? QString() : decibels()};
    }
    case PADDED_GAIN_OFFSET_DB:
      return {Fixed(Exponent / 256.0 + TruncateGain(gain, d), d), decibels()};
    case GAIN_OFFSET_DB_FORCE_ZERO: {
      if (u == 0) return {Translated("-Inf", nullptr), decibels()};
      return {Fixed((gain >= -51 && gain <= 51) ? 0.0 : TruncateGain(gain, d), d), decibels()};
    }
    case TIME_SEC:
    case TIME_SEC_INVERTED:
    case TIME_SEC_DOUBLED: {
      const sTimeDisplay display = TimeDisplay(Type, u);
      const double shown = Round(TimeOf(Type, u) * display.mScale, display.mPlaces);
      return {Fixed(shown, display.mPlaces), Unit(CompressUnits, display.mUnit, display.mComment)};
    }
    case FREQ_HZ:
    case FREQ_HZ_COMPACT: {
      // The form follows the number as rounded: 999.6 Hz reads "1.00 kHz"
      // beside "1.58 kHz", never "1000 Hz"; 99.96 Hz reads "100 Hz".
      const double hz = UWORDToFrequency(u);
      const int kiloPlaces = Type == FREQ_HZ ? 2 : 1;
      if (Round(hz, 0) >= 1000.0) {
        return {Fixed(Round(hz / 1000.0, kiloPlaces), kiloPlaces),
                Unit(CompressUnits, Type == FREQ_HZ ? "kHz" : "k", "Units: kilohertz")};
      }
      const int places = Round(hz, 1) >= 100.0 ? 0 : 1;
      return {Fixed(Round(hz, places), places), Unit(CompressUnits, "Hz", "Units: Hertz")};
    }
    case DELAY_TIME_SAMPLES:
      return {QString::number(u), Unit(CompressUnits, "S", "Units: samples")};
    case TEMP_C:
      return {Fixed(Truncate((u - kOffset) / 256.0, d), d), Unit(CompressUnits,
                                                                 "\xC2\xB0"
                                                                 "C",
                                                                 "Units: degrees Celsius")};
    case TEMP_F: {
      const float fahrenheit = float(u - kOffset) / 256.0f * 1.8f + 32.0f;
      return {Fixed(Truncate(double(fahrenheit), d), d), Unit(CompressUnits,
                                                              "\xC2\xB0"
                                                              "F",
                                                              "Units: degrees Fahrenheit")};
    }
    case DOUBLED_VALUE:
      return plain(QString::number(2 * int(u)));
    case TIME_8_DOT_8_SECONDS:
      return {Fixed(Truncate(u / 256.0, d), d), Unit(CompressUnits, "s", "Units: seconds")};
    case RAW_DIVIDED_10:
    case RAW_DIVIDED_100:
    case RAW_DIVIDED_1000:
    case RAW_DIVIDED_10000:
      return plain(Fixed(u / kPowersOfTen[1 + Type - RAW_DIVIDED_10], d));
    case RAW_PLUS_1:
      return plain(QString::number(int(u) + 1));
    case RAW_OFFSET:
      return plain(QString::number(int(u) - kOffset));
    case RAW_OFFSET_DIVIDED_10:
    case RAW_OFFSET_DIVIDED_100:
      return plain(Fixed((u - kOffset) / kPowersOfTen[1 + Type - RAW_OFFSET_DIVIDED_10], d));
    case RAW_HEX:
    case RAW_HEX_SHIFTED_1:
      return plain(QStringLiteral("0x%1%2").arg(u, 4, 16, QLatin1Char('0')).arg(Type == RAW_HEX ? "" : "0"));
    case PERCENTAGE:
      return {QString::number(u), QStringLiteral("%")};
    default:
      return plain(QString::number(u));
  }
}
