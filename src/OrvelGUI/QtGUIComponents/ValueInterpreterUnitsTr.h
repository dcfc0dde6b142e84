#pragma once

#include <QObject>

// Only the translation context of the unit texts, so that every unit reads
// the same wherever it is formatted.
class cValueInterpreterUnitsTr : public QObject {
  Q_OBJECT
};
