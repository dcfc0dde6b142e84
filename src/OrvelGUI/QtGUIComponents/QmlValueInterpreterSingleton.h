#pragma once

#include <QObject>
#include <QString>
#include <QVariant>

#include "OrvelGUI/QtGUIComponents/EWCCFormat.h"

// The one formatter QML uses (`Interpreter` of module ValueInterpreter): the
// type travels as an integer, units are always compressed, and the exponent
// is the pad of the padded gain type unless the caller gives one.
// Created by the application before the QML engine; GUI thread only.
class cQmlValueInterpreterSingleton : public QObject {
  Q_OBJECT

 public:
  static constexpr double kDefaultExponent = -5120.0;

  // Publishes itself as the process-wide instance (the first one created).
  explicit cQmlValueInterpreterSingleton(QObject* parent = nullptr);
  ~cQmlValueInterpreterSingleton() override;
  cQmlValueInterpreterSingleton(const cQmlValueInterpreterSingleton&) = delete;
  cQmlValueInterpreterSingleton& operator=(const cQmlValueInterpreterSingleton&) = delete;

  // Null, with a report, before the application has created it.
  static cQmlValueInterpreterSingleton* Instance();

  Q_INVOKABLE QString interpretValue(UWORD Value, QVariant Type,
                                     cEWCCFormat::eEWCCTypeDecimalPlaces DecimalPlaces) const;
  Q_INVOKABLE QString interpretUnits(UWORD Value, QVariant Type,
                                     cEWCCFormat::eEWCCTypeDecimalPlaces DecimalPlaces) const;
  Q_INVOKABLE QString interpretValueAndUnits(UWORD Value, QVariant Type,
                                             cEWCCFormat::eEWCCTypeDecimalPlaces DecimalPlaces,
                                             QString Separator) const;
  Q_INVOKABLE QString interpretValueAndUnits(UWORD Value, QVariant Type,
                                             cEWCCFormat::eEWCCTypeDecimalPlaces DecimalPlaces) const;
  Q_INVOKABLE QString interpretValueAndUnitsWithExponent(int Value, double Exponent, QVariant Type,
                                                         cEWCCFormat::eEWCCTypeDecimalPlaces DecimalPlaces,
                                                         QString Separator) const;
  Q_INVOKABLE QString interpretValueAndUnitsWithExponent(int Value, double Exponent, QVariant Type,
                                                         cEWCCFormat::eEWCCTypeDecimalPlaces DecimalPlaces) const;
  // The value string alone, with the caller's exponent (a bell's Q takes
  // its band's gain and frequency, cProjectCCFormat::BellExponent).
  Q_INVOKABLE QString interpretValueWithExponent(int Value, double Exponent, QVariant Type,
                                                 cEWCCFormat::eEWCCTypeDecimalPlaces DecimalPlaces) const;

  // The controller value a text entry asks for, or -1 when the text is
  // refused (see cValueTextParser).
  Q_INVOKABLE int valueFromString(const QString& Text, QVariant Type, int Minimum, int Maximum) const;
  // The same with the formatting's exponent (as above for a bell's Q).
  Q_INVOKABLE int valueFromStringWithExponent(const QString& Text, double Exponent, QVariant Type, int Minimum,
                                              int Maximum) const;
  // What the user is told about an entry that was not taken as typed: why it
  // was refused, or the end of the range it was held at ("The highest is
  // 0.0 dB"); empty when it was taken as typed or nothing was typed.
  // `Exponent` as the formatting takes it.
  Q_INVOKABLE QString entryNotice(const QString& Text, QVariant Type, int Minimum, int Maximum,
                                  cEWCCFormat::eEWCCTypeDecimalPlaces DecimalPlaces, bool LevelType,
                                  double Exponent = 0.0) const;
  // The value of a control one or more steps of its resolution away (see
  // cValueStepper); `Fine` takes the fine step.
  Q_INVOKABLE int stepValue(int Value, QVariant Type, int Steps, bool Fine, int Minimum, int Maximum,
                            bool LevelType) const;

  // Types below 27 go to the generic formatter, the rest to the product's.
  static cValueUnitStrings Interpret(UWORD Value, double Exponent, int Type,
                                     cEWCCFormat::eEWCCTypeDecimalPlaces DecimalPlaces);
  static int TypeOf(const QVariant& Type);
};
