#pragma once

#include <QObject>
#include <QPainterPath>
#include <QPointer>
#include <QString>

#include "OrvelGUI/QtGUIComponents/QPainterPathWrapper.h"

// QML's handle on one of the graph's paths (QML `PathPainterPath`). It
// follows its wrapper and offers the path in the forms QML draws: `svgPath`
// for a `PathSvg` inside a `ShapePath`, and `painterPath` for painted items.
//
//   PathPainterPath { id: bandLine; path: band.linePath }
//   ShapePath { PathSvg { path: bandLine.svgPath } }
//
// The SVG text is made only when read after a change. GUI thread.
class QQuickPathPainterPath : public QObject {
  Q_OBJECT
  Q_PROPERTY(QPainterPathWrapper* path READ path WRITE setPath NOTIFY pathChanged)
  Q_PROPERTY(QString svgPath READ svgPath NOTIFY pathChanged)
  Q_PROPERTY(QPainterPath painterPath READ painterPath NOTIFY pathChanged)

 public:
  explicit QQuickPathPainterPath(QObject* parent = nullptr) : QObject(parent) {}

  QPainterPathWrapper* path() const { return mWrapper; }
  QPainterPath painterPath() const { return mPath; }
  QString svgPath() const;

  // SVG path data ("M x y L x y ... Z") of a path made of lines.
  static QString ToSvgPathData(const QPainterPath& path);

 public slots:
  void setPath(QPainterPathWrapper* Path);
  void setPathInternal(QPainterPath path);
  void updatePathFromWrapper();

 signals:
  void pathChanged();

 private:
  QPointer<QPainterPathWrapper> mWrapper;
  QPainterPath mPath;
  mutable QString mSvg;
  mutable bool mSvgValid = false;
};
