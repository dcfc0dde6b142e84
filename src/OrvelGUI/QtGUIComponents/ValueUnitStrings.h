#pragma once

#include <QObject>
#include <QString>

// A formatted controller value: the number as text and its unit text (which
// may begin with a separator).
class cValueUnitStrings : public QObject {
  Q_OBJECT
  Q_PROPERTY(QString value READ value WRITE setValue NOTIFY valueChanged)
  Q_PROPERTY(QString units READ units WRITE setUnits NOTIFY unitsChanged)

 public:
  explicit cValueUnitStrings(QObject* parent = nullptr);
  cValueUnitStrings(QString value, QString units, QObject* parent = nullptr);
  cValueUnitStrings(const cValueUnitStrings& other);
  cValueUnitStrings& operator=(const cValueUnitStrings& other);

  QString value() const { return mValue; }
  QString units() const { return mUnits; }

 public slots:
  void setValue(const QString& value);
  void setUnits(const QString& units);

 signals:
  void valueChanged();
  void unitsChanged();

 private:
  QString mValue;
  QString mUnits;
};
