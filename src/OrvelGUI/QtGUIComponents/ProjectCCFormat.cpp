#include "OrvelGUI/QtGUIComponents/ProjectCCFormat.h"

#include <QCoreApplication>
#include <algorithm>
#include <cmath>

#include "AES-Standards/Convert.h"
#include "EWNet/Core/ErrLog.h"
#include "OrvelGUI/Core/BiquadDesign.h"

namespace {

constexpr double kSampleRate = 96000.0;
constexpr double kFeetPerMetre = 3.28;
constexpr int kPanCentre = 37;
// 0..255 spans -12 dB (0x7400) to +12 dB in 1/256 dB: 2048/85 per step.
constexpr double kGeqStep = 24.094117647058823;
constexpr int kGeqBottom = 0x7400;

}  // namespace

const cProjectCCFormat::sWidth cProjectCCFormat::kWidths[NUMBER_OF_WIDTH_VALUES] = {
    {0, "3"},     {1, "2.9"},   {2, "2.8"},   {3, "2.7"},   {4, "2.6"},   {5, "2.5"},   {6, "2.4"},   {7, "2.3"},
    {8, "2.2"},   {9, "2.1"},   {10, "2"},    {11, "1.9"},  {12, "1.8"},  {13, "1.7"},  {14, "1.6"},  {15, "1.5"},
    {16, "1.4"},  {17, "1.3"},  {18, "1.2"},  {19, "1.1"},  {20, "1"},    {21, "0.95"}, {22, "0.9"},  {23, "0.85"},
    {24, "0.8"},  {25, "3/4"},  {26, "0.7"},  {27, "2/3"},  {28, "0.6"},  {29, "0.55"}, {30, "0.5"},  {31, "0.45"},
    {32, "0.4"},  {33, "1/3"},  {34, "0.3"},  {35, "1/4"},  {36, "0.2"},  {37, "1/6"},  {38, "0.13"}, {39, "1/9"},
    {40, "0.09"}, {41, "1/12"}, {42, "1/16"}, {43, "1/20"}, {44, "1/24"},
};

cProjectCCFormat::cProjectCCFormat(QObject* parent) : cEWCCFormat(parent) {}

double cProjectCCFormat::BellExponent(GAIN gain, UWORD frequency) {
  return double(frequency) * 65536.0 + (double(gain) + 32768.0);
}

void cProjectCCFormat::BellOfExponent(double exponent, GAIN& gain, UWORD& frequency) {
  gain = 0;
  frequency = 0;
  if (!std::isfinite(exponent)) return;
  const double clamped = std::clamp(std::round(exponent), 0.0, 65535.0 * 65536.0 + 65535.0);
  const double high = std::floor(clamped / 65536.0);
  frequency = UWORD(high);
  // The gain field's 0 is -128 dB, which no band takes: the band's floor.
  gain = GAIN(std::max(clamped - high * 65536.0 - 32768.0, -32767.0));
}

cValueUnitStrings cProjectCCFormat::InterpretValue(UWORD Value, double Exponent, eProjectCCType Type,
                                                   cEWCCFormat::eEWCCTypeDecimalPlaces DecimalPlaces,
                                                   bool CompressUnits) {
  const UWORD u = Value;
  const int d = ClampDecimalPlaces(DecimalPlaces);
  const double seconds = u / kSampleRate;
  switch (Type) {
    case DELAY_TIME_MS_96K:
      return {Fixed(Truncate(seconds * 1000.0, d), d), Unit(CompressUnits, "ms", "Units: milliseconds")};
    case DELAY_DISTANCE_FT_96K:
      return {Fixed(Truncate(seconds * Exponent * kFeetPerMetre, d), d), Unit(CompressUnits, "ft", "Units: feet")};
    case DELAY_DISTANCE_M_96K:
      return {Fixed(Truncate(seconds * Exponent, d), d), Unit(CompressUnits, "m", "Units: meters")};
    case DB_PER_FRAME_TO_MS_PER_10DB: {
      const GAIN gain = UWORDToGain(u);
      const QString ms = Unit(CompressUnits, "ms", "Units: milliseconds");
      // A rate of 0 dB per frame never falls by 10 dB.
      if (gain == 0) return {QCoreApplication::translate("cValueInterpreterUnitsTr", "Inf"), ms};
      const double x = std::fabs(10.0 / ((gain / 256.0) / 20.0));
      const int places = x < 100.0 ? 2 : x < 1000.0 ? 1 : 0;
      return {Fixed(Truncate(x, places), places), ms};
    }
    case FILTER_WIDTH: {
      const int index = u / 256;
      if (index >= NUMBER_OF_WIDTH_VALUES) {
        EW_REPORT_ERROR("%d / 256 == %d >= NUMBER_OF_WIDTH_VALUES", int(u), index);
        return {QString(), QString()};
      }
      return {QString::fromLatin1(kWidths[index].mText), QString()};
    }
    case PAN:
      if (u < kPanCentre) return {QStringLiteral("L %1").arg(kPanCentre - u, 2), QString()};
      if (u == kPanCentre) return {QStringLiteral("     0"), QString()};
      return {QStringLiteral("R %1").arg(u - kPanCentre, 2), QString()};
    case GEQ_BAND_GAIN: {
      // Only 0..255 are band gains; anything above stays at the top code.
      const double code = std::trunc(u * kGeqStep) + kGeqBottom;
      const UWORD gain = code >= 65535.0 ? UWORD(65535) : UWORD(code);
      return cEWCCFormat::InterpretValue(gain, Exponent, GAIN_OFFSET_DB, DecimalPlaces, CompressUnits);
    }
    case SUPPRESS_VALUE_OUPUT:
      return {QString(), QString()};
    case BELL_Q: {
      GAIN gain = 0;
      UWORD frequency = 0;
      BellOfExponent(Exponent, gain, frequency);
      // The screen knows no bell variant: the equaliser's own, 0.
      const double q = biquad::RealisedBellQOfWidth(u, gain, 0, frequency);
      // Three figures tell every width of the table apart.
      const int places = q < 1.0 ? 3 : q < 10.0 ? 2 : 1;
      return {QStringLiteral("Q ") + Fixed(q, places), QString()};
    }
    default:
      EW_REPORT_ERROR("Unhandled type: %d", int(Type));
      return {QString::number(u), QString()};
  }
}
