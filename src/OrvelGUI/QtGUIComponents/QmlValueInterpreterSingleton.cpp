#include "OrvelGUI/QtGUIComponents/QmlValueInterpreterSingleton.h"

#include <algorithm>

#include "OrvelGUI/QtGUIComponents/ProjectCCFormat.h"
#include "OrvelGUI/QtGUIComponents/ValueStepper.h"
#include "OrvelGUI/QtGUIComponents/ValueTextParser.h"
#include "QtGUIComponents/Common/ProcessInstance.h"

namespace {

using cInstance = cProcessInstance<cQmlValueInterpreterSingleton>;

const QString kThinSpace = QStringLiteral("\u2009");

UWORD Code(int value) { return UWORD(std::clamp(value, 0, 65535)); }

}  // namespace

cQmlValueInterpreterSingleton::cQmlValueInterpreterSingleton(QObject* parent) : QObject(parent) {
  cInstance::Publish(this, "gQmlValueInterpreterSingleton");
}

cQmlValueInterpreterSingleton::~cQmlValueInterpreterSingleton() { cInstance::Withdraw(this); }

cQmlValueInterpreterSingleton* cQmlValueInterpreterSingleton::Instance() {
  return cInstance::Get("gQmlValueInterpreterSingleton is null");
}

int cQmlValueInterpreterSingleton::TypeOf(const QVariant& Type) {
  bool ok = false;
  const int type = Type.toInt(&ok);
  return ok ? type : int(cEWCCFormat::NO_UNITS);
}

cValueUnitStrings cQmlValueInterpreterSingleton::Interpret(UWORD Value, double Exponent, int Type,
                                                           cEWCCFormat::eEWCCTypeDecimalPlaces DecimalPlaces) {
  if (Type < cProjectCCFormat::DELAY_TIME_MS_96K) {
    return cEWCCFormat::InterpretValue(Value, Exponent, cEWCCFormat::eEWCCType(Type), DecimalPlaces, true);
  }
  return cProjectCCFormat::InterpretValue(Value, Exponent, cProjectCCFormat::eProjectCCType(Type), DecimalPlaces, true);
}

QString cQmlValueInterpreterSingleton::interpretValue(UWORD Value, QVariant Type,
                                                      cEWCCFormat::eEWCCTypeDecimalPlaces DecimalPlaces) const {
  return Interpret(Value, kDefaultExponent, TypeOf(Type), DecimalPlaces).value();
}

QString cQmlValueInterpreterSingleton::interpretUnits(UWORD Value, QVariant Type,
                                                      cEWCCFormat::eEWCCTypeDecimalPlaces DecimalPlaces) const {
  return Interpret(Value, kDefaultExponent, TypeOf(Type), DecimalPlaces).units();
}

QString cQmlValueInterpreterSingleton::interpretValueAndUnits(UWORD Value, QVariant Type,
                                                              cEWCCFormat::eEWCCTypeDecimalPlaces DecimalPlaces,
                                                              QString Separator) const {
  return interpretValueAndUnitsWithExponent(Value, kDefaultExponent, Type, DecimalPlaces, Separator);
}

QString cQmlValueInterpreterSingleton::interpretValueAndUnits(UWORD Value, QVariant Type,
                                                              cEWCCFormat::eEWCCTypeDecimalPlaces DecimalPlaces) const {
  return interpretValueAndUnitsWithExponent(Value, kDefaultExponent, Type, DecimalPlaces, kThinSpace);
}

QString cQmlValueInterpreterSingleton::interpretValueAndUnitsWithExponent(
    int Value, double Exponent, QVariant Type, cEWCCFormat::eEWCCTypeDecimalPlaces DecimalPlaces,
    QString Separator) const {
  const cValueUnitStrings strings =
      Interpret(UWORD(std::clamp(Value, 0, 65535)), Exponent, TypeOf(Type), DecimalPlaces);
  return QStringLiteral("%1%2%3").arg(strings.value(), Separator, strings.units());
}

QString cQmlValueInterpreterSingleton::interpretValueAndUnitsWithExponent(
    int Value, double Exponent, QVariant Type, cEWCCFormat::eEWCCTypeDecimalPlaces DecimalPlaces) const {
  return interpretValueAndUnitsWithExponent(Value, Exponent, Type, DecimalPlaces, kThinSpace);
}

QString cQmlValueInterpreterSingleton::interpretValueWithExponent(
    int Value, double Exponent, QVariant Type, cEWCCFormat::eEWCCTypeDecimalPlaces DecimalPlaces) const {
  return Interpret(UWORD(std::clamp(Value, 0, 65535)), Exponent, TypeOf(Type), DecimalPlaces).value();
}

int cQmlValueInterpreterSingleton::valueFromString(const QString& Text, QVariant Type, int Minimum, int Maximum) const {
  return valueFromStringWithExponent(Text, 0.0, Type, Minimum, Maximum);
}

int cQmlValueInterpreterSingleton::valueFromStringWithExponent(const QString& Text, double Exponent, QVariant Type,
                                                               int Minimum, int Maximum) const {
  const std::optional<UWORD> value =
      cValueTextParser::Parse(Text, TypeOf(Type), Code(Minimum), Code(Maximum), Exponent);
  return value ? int(*value) : -1;
}

QString cQmlValueInterpreterSingleton::entryNotice(const QString& Text, QVariant Type, int Minimum, int Maximum,
                                                   cEWCCFormat::eEWCCTypeDecimalPlaces DecimalPlaces, bool LevelType,
                                                   double Exponent) const {
  const int type = TypeOf(Type);
  const QString typed = Text.trimmed();
  if (typed.isEmpty()) return QString();
  const cValueTextParser::sReading reading =
      cValueTextParser::Read(typed, type, Code(Minimum), Code(Maximum), Exponent);
  if (!reading.mValue) return tr("%1: %2").arg(typed, QString::fromLatin1(reading.mRefusal));
  const auto shown = [&](int value) {
    return interpretValueAndUnitsWithExponent(Code(value), Exponent, type, DecimalPlaces);
  };
  switch (reading.mFit) {
    case cValueTextParser::eFit::AboveMaximum:
      return tr("The highest is %1").arg(shown(std::max(Minimum, Maximum)));
    case cValueTextParser::eFit::BelowMinimum:
      return LevelType ? tr("Below %1 is off").arg(shown(std::min(Minimum, Maximum)))
                       : tr("The lowest is %1").arg(shown(std::min(Minimum, Maximum)));
    case cValueTextParser::eFit::Within:
      break;
  }
  return QString();
}

int cQmlValueInterpreterSingleton::stepValue(int Value, QVariant Type, int Steps, bool Fine, int Minimum, int Maximum,
                                             bool LevelType) const {
  return cValueStepper::Step(Code(Value), TypeOf(Type), Steps, Fine, Code(Minimum), Code(Maximum), LevelType);
}
