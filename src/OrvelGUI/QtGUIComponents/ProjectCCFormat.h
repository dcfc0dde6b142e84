#pragma once

#include "OrvelGUI/QtGUIComponents/EWCCFormat.h"

// The product's own interpretation types: delays at 96 kHz, decay rates,
// filter widths, pan and graphic-EQ gains. Numbering continues the generic
// types (27 is reused).
class cProjectCCFormat : public cEWCCFormat {
  Q_OBJECT

 public:
  enum eProjectCCType : int {
    DELAY_TIME_MS_96K = 27,
    DELAY_DISTANCE_FT_96K = 28,
    DELAY_DISTANCE_M_96K = 29,
    DB_PER_FRAME_TO_MS_PER_10DB = 30,
    FILTER_WIDTH = 31,
    PAN = 32,
    GEQ_BAND_GAIN = 33,
    SUPPRESS_VALUE_OUPUT = 34,
    // A width as the Q a bell of it realises ("Q 0.257") at the band's gain
    // and frequency, which the exponent carries (see BellExponent); see
    // biquad::RealisedBellQ.
    BELL_Q = 35,
  };
  Q_ENUM(eProjectCCType)

  static constexpr int NUMBER_OF_WIDTH_VALUES = 45;
  struct sWidth {
    int mIndex;
    const char* mText;
  };
  // Filter widths in octaves, indexed by the high byte of the value.
  static const sWidth kWidths[NUMBER_OF_WIDTH_VALUES];

  explicit cProjectCCFormat(QObject* parent = nullptr);

  // The exponent of a BELL_Q value: the band's frequency code x 65536 plus
  // its gain as the gain field's value (0x8000 = 0 dB), both exact in a
  // double; a screen builds it from the two fields' values. NaN reads as
  // 0 dB at the lowest frequency code.
  static double BellExponent(GAIN gain, UWORD frequency);
  static void BellOfExponent(double exponent, GAIN& gain, UWORD& frequency);

  // Types 27-35; callers send lower types to the base.
  static cValueUnitStrings InterpretValue(UWORD Value, double Exponent, eProjectCCType Type,
                                          cEWCCFormat::eEWCCTypeDecimalPlaces DecimalPlaces, bool CompressUnits);
};
