#pragma once

#include <QObject>
#include <QPainterPath>

// One path the graph computed, handed to QML by pointer; it says when it has
// been replaced. GUI thread.
class QPainterPathWrapper : public QObject {
  Q_OBJECT

 public:
  explicit QPainterPathWrapper(QObject* parent = nullptr) : QObject(parent) {}

  const QPainterPath& painterPath() const { return mPath; }
  // Replaces the path and emits painterPathChanged.
  void setPainterPath(const QPainterPath& path);
  void setPainterPath(QPainterPath&& path);

 signals:
  void painterPathChanged();

 private:
  QPainterPath mPath;
};
