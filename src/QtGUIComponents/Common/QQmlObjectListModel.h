#pragma once

#include "QtGUIComponents/Common/QQmlObjectListModelBase.h"

// A list model for QML of QObject items of class T (and its subclasses); the
// roles come from T's meta-object. See QQmlObjectListModelBase.
template <class T>
class QQmlObjectListModel : public QQmlObjectListModelBase {
 public:
  explicit QQmlObjectListModel(QObject* parent = nullptr) : QQmlObjectListModelBase(T::staticMetaObject, parent) {}

  void append(T* item) { AppendObject(item); }
  void removeAt(int row) { RemoveObjectAt(row); }
  void clear() { ClearObjects(); }
  T* at(int row) const { return static_cast<T*>(ObjectAt(row)); }
  QList<T*> toList() const {
    QList<T*> items;
    for (int row = 0; row < count(); ++row) items.append(at(row));
    return items;
  }
};
