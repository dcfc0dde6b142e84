#include "QtGUIComponents/Common/QQmlVariantListModel.h"

QQmlVariantListModel::QQmlVariantListModel(QObject* parent) : QAbstractListModel(parent) {}

int QQmlVariantListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : mValues.size(); }

QVariant QQmlVariantListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || role != kVariantRole) return QVariant();
  return get(index.row());
}

QHash<int, QByteArray> QQmlVariantListModel::roleNames() const {
  return {{kVariantRole, QByteArrayLiteral("qtVariant")}};
}

void QQmlVariantListModel::append(const QVariant& value) {
  beginInsertRows(QModelIndex(), mValues.size(), mValues.size());
  mValues.append(value);
  endInsertRows();
  emit countChanged();
}

void QQmlVariantListModel::setValues(const QVariantList& values) {
  const bool countChanges = values.size() != mValues.size();
  beginResetModel();
  mValues = values;
  endResetModel();
  if (countChanges) emit countChanged();
}
