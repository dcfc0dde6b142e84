#pragma once

#include <QAbstractListModel>
#include <QVariant>
#include <QVariantList>

// A list model for QML of plain values, each under the role "qtVariant".
// GUI thread.
class QQmlVariantListModel : public QAbstractListModel {
  Q_OBJECT
  Q_PROPERTY(int count READ count NOTIFY countChanged)

 public:
  static constexpr int kVariantRole = Qt::UserRole;

  explicit QQmlVariantListModel(QObject* parent = nullptr);

  int count() const { return mValues.size(); }
  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QHash<int, QByteArray> roleNames() const override;

  // The value at a row, invalid outside the list.
  Q_INVOKABLE QVariant get(int row) const { return row >= 0 && row < mValues.size() ? mValues[row] : QVariant(); }
  void append(const QVariant& value);
  void setValues(const QVariantList& values);
  QVariantList values() const { return mValues; }

 signals:
  void countChanged();

 private:
  QVariantList mValues;
};
