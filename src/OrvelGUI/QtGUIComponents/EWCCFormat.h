#pragma once

#include <QObject>
#include <QString>

#include "EWNet/Core/Types.h"
#include "OrvelGUI/QtGUIComponents/ValueUnitStrings.h"

// Turns a 16-bit controller value into the text a user reads: a value string
// and a unit string, by interpretation type and number of decimal places.
// Usable from QML as an object with a type of its own.
class cEWCCFormat : public QObject {
  Q_OBJECT
  Q_PROPERTY(eEWCCType ewCCType READ ewCCType WRITE setEwCCType NOTIFY ewCCTypeChanged)
  Q_PROPERTY(eEWCCTypeDecimalPlaces decimalPlaces READ decimalPlaces WRITE setDecimalPlaces NOTIFY decimalPlacesChanged)
  Q_PROPERTY(bool compressUnits READ compressUnits WRITE setCompressUnits NOTIFY compressUnitsChanged)

 public:
  // Fixed underlying types: QML and the network may hand over any number.
  enum eEWCCType : int {
    NO_UNITS = 0,
    GAIN_OFFSET_DB = 1,
    PADDED_GAIN_OFFSET_DB = 2,
    GAIN_OFFSET_DB_FORCE_ZERO = 3,
    GAIN_OFFSET_DB_NO_UNITS = 4,
    GAIN_OFFSET_DB_SUB_40 = 5,
    TIME_SEC = 6,
    TIME_SEC_INVERTED = 7,
    TIME_SEC_DOUBLED = 8,
    FREQ_HZ = 9,
    FREQ_HZ_COMPACT = 10,
    DELAY_TIME_SAMPLES = 11,
    TEMP_C = 12,
    TEMP_F = 13,
    DOUBLED_VALUE = 14,
    DONT_INTERPRET = 15,
    TIME_8_DOT_8_SECONDS = 16,
    RAW_DIVIDED_10 = 17,
    RAW_DIVIDED_100 = 18,
    RAW_DIVIDED_1000 = 19,
    RAW_DIVIDED_10000 = 20,
    RAW_PLUS_1 = 21,
    RAW_OFFSET = 22,
    RAW_OFFSET_DIVIDED_10 = 23,
    RAW_OFFSET_DIVIDED_100 = 24,
    RAW_HEX = 25,
    RAW_HEX_SHIFTED_1 = 26,
    DERIVED_TYPE = 27,
    PERCENTAGE = 28,
  };
  Q_ENUM(eEWCCType)

  enum eEWCCTypeDecimalPlaces : int {
    NO_DECIMAL_PLACES = 0,
    ONE_DECIMAL_PLACE = 1,
    TWO_DECIMAL_PLACES = 2,
    THREE_DECIMAL_PLACES = 3,
    FOUR_DECIMAL_PLACES = 4,
  };
  Q_ENUM(eEWCCTypeDecimalPlaces)

  explicit cEWCCFormat(QObject* parent = nullptr);

  eEWCCType ewCCType() const { return mType; }
  eEWCCTypeDecimalPlaces decimalPlaces() const { return mDecimalPlaces; }
  bool compressUnits() const { return mCompressUnits; }
  void setEwCCType(eEWCCType type);
  void setDecimalPlaces(eEWCCTypeDecimalPlaces places);
  void setCompressUnits(bool compress);

  Q_INVOKABLE QString interpretValue(UWORD Value, double Exponent, eEWCCType Type) const;
  Q_INVOKABLE QString interpretUnits(UWORD Value, double Exponent, eEWCCType Type) const;
  Q_INVOKABLE QString interpretValue(UWORD Value, double Exponent) const;
  Q_INVOKABLE QString interpretValue(UWORD Value) const;
  Q_INVOKABLE QString interpretUnits(UWORD Value, double Exponent) const;
  Q_INVOKABLE QString interpretUnits(UWORD Value) const;

  // Types 0-28; decimal places outside 0-4 are taken as the nearest of them.
  static cValueUnitStrings InterpretValue(UWORD Value, double Exponent, eEWCCType Type,
                                          eEWCCTypeDecimalPlaces DecimalPlaces, bool CompressUnits);

  // The kinds of type, for the parts that read or step values of them.
  static bool IsGainType(int type);
  static bool IsTimeType(int type);
  static bool IsFrequencyType(int type);

  // Shared with the product's own types.
  static int ClampDecimalPlaces(int places);
  static double Truncate(double value, int places);
  static double Round(double value, int places);
  // A gain in dB for display: truncated to `places`, except that the code
  // nearest to a number shows that number (typed "0.7" is code 179,
  // 0.6992 dB, and reads "0.7", not "0.6").
  static double TruncateGain(int gain, int places);
  static QString Fixed(double value, int places);
  static QString Unit(bool compress, const char* text, const char* comment);

 signals:
  void ewCCTypeChanged();
  void decimalPlacesChanged();
  void compressUnitsChanged();

 private:
  cValueUnitStrings Interpret(UWORD value, double exponent, eEWCCType type) const;

  eEWCCType mType = NO_UNITS;
  eEWCCTypeDecimalPlaces mDecimalPlaces = NO_DECIMAL_PLACES;
  bool mCompressUnits = false;
};
