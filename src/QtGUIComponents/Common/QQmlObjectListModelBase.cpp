#include "QtGUIComponents/Common/QQmlObjectListModelBase.h"

#include <QDebug>
#include <QMetaProperty>

QQmlObjectListModelBase::QQmlObjectListModelBase(const QMetaObject& itemClass, QObject* parent)
    : QAbstractListModel(parent), mItemClass(itemClass) {
  mRoles.insert(kObjectRole, QByteArrayLiteral("qtObject"));
  int role = kObjectRole + 1;
  for (int i = 0; i < itemClass.propertyCount(); ++i) {
    const QByteArray name = itemClass.property(i).name();
    if (mRoles.key(name, -1) != -1) {
      qWarning() << "Can't have" << name << "as a role name in" << itemClass.className();
      continue;
    }
    mRoles.insert(role, name);
    mRolePropertyIndex.insert(role, i);
    ++role;
  }
}

int QQmlObjectListModelBase::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : mItems.size(); }

QVariant QQmlObjectListModelBase::data(const QModelIndex& index, int role) const {
  QObject* item = index.isValid() ? ObjectAt(index.row()) : nullptr;
  if (item == nullptr) return QVariant();
  if (role == kObjectRole) return QVariant::fromValue(item);
  const auto property = mRolePropertyIndex.constFind(role);
  if (property == mRolePropertyIndex.constEnd()) return QVariant();
  return mItemClass.property(*property).read(item);
}

QObject* QQmlObjectListModelBase::get(int row) const { return ObjectAt(row); }

void QQmlObjectListModelBase::onItemPropertyChanged() {
  const int row = mItems.indexOf(sender());
  if (row < 0) return;
  const QModelIndex changed = index(row, 0);
  emit dataChanged(changed, changed);
}

void QQmlObjectListModelBase::Watch(QObject* item) {
  const QMetaMethod refresh = metaObject()->method(metaObject()->indexOfSlot("onItemPropertyChanged()"));
  for (int i = 0; i < mItemClass.propertyCount(); ++i) {
    const QMetaProperty property = mItemClass.property(i);
    if (property.hasNotifySignal()) connect(item, property.notifySignal(), this, refresh, Qt::UniqueConnection);
  }
  connect(item, &QObject::destroyed, this, [this](QObject* gone) {
    const int row = mItems.indexOf(gone);
    if (row >= 0) RemoveObjectAt(row);
  });
}

void QQmlObjectListModelBase::Unwatch(QObject* item) { disconnect(item, nullptr, this, nullptr); }

void QQmlObjectListModelBase::AppendObject(QObject* item) {
  if (item == nullptr) return;
  beginInsertRows(QModelIndex(), mItems.size(), mItems.size());
  mItems.append(item);
  Watch(item);
  endInsertRows();
  emit countChanged();
}

void QQmlObjectListModelBase::RemoveObjectAt(int row) {
  if (row < 0 || row >= mItems.size()) return;
  beginRemoveRows(QModelIndex(), row, row);
  Unwatch(mItems.takeAt(row));
  endRemoveRows();
  emit countChanged();
}

void QQmlObjectListModelBase::ClearObjects() {
  if (mItems.isEmpty()) return;
  beginResetModel();
  for (QObject* item : mItems) Unwatch(item);
  mItems.clear();
  endResetModel();
  emit countChanged();
}
