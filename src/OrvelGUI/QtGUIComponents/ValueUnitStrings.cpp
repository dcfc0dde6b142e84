#include "OrvelGUI/QtGUIComponents/ValueUnitStrings.h"

#include <utility>

cValueUnitStrings::cValueUnitStrings(QObject* parent) : QObject(parent) {}

cValueUnitStrings::cValueUnitStrings(QString value, QString units, QObject* parent)
    : QObject(parent), mValue(std::move(value)), mUnits(std::move(units)) {}

// A result is a value: copies carry the texts, never the QObject identity.
cValueUnitStrings::cValueUnitStrings(const cValueUnitStrings& other)
    : QObject(nullptr), mValue(other.mValue), mUnits(other.mUnits) {}

cValueUnitStrings& cValueUnitStrings::operator=(const cValueUnitStrings& other) {
  setValue(other.mValue);
  setUnits(other.mUnits);
  return *this;
}

void cValueUnitStrings::setValue(const QString& value) {
  if (value == mValue) return;
  mValue = value;
  emit valueChanged();
}

void cValueUnitStrings::setUnits(const QString& units) {
  if (units == mUnits) return;
  mUnits = units;
  emit unitsChanged();
}
