#pragma once

#include <QAbstractListModel>
#include <QHash>
#include <QList>
#include <QMetaObject>
#include <QObject>

// The untyped part of QQmlObjectListModel<T>: a list model for QML of QObject
// items of one class. Each item is the role "qtObject"; each Qt property of
// the class is a role of the same name, and a row is refreshed when its item
// signals a change of any of them. The model does not own its items; one
// that is destroyed leaves the list. GUI thread.
class QQmlObjectListModelBase : public QAbstractListModel {
  Q_OBJECT
  Q_PROPERTY(int count READ count NOTIFY countChanged)

 public:
  static constexpr int kObjectRole = Qt::UserRole;

  int count() const { return mItems.size(); }
  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QHash<int, QByteArray> roleNames() const override { return mRoles; }

  // The item at a row, null outside the list.
  Q_INVOKABLE QObject* get(int row) const;
  Q_INVOKABLE int indexOf(QObject* item) const { return mItems.indexOf(item); }

 signals:
  void countChanged();

 public slots:
  void onItemPropertyChanged();

 protected:
  QQmlObjectListModelBase(const QMetaObject& itemClass, QObject* parent);

  void AppendObject(QObject* item);
  void RemoveObjectAt(int row);
  void ClearObjects();
  QObject* ObjectAt(int row) const { return row >= 0 && row < mItems.size() ? mItems[row] : nullptr; }

 private:
  void Watch(QObject* item);
  void Unwatch(QObject* item);

  const QMetaObject& mItemClass;
  QHash<int, QByteArray> mRoles;
  QHash<int, int> mRolePropertyIndex;  // role -> property index of the class
  QList<QObject*> mItems;
};
