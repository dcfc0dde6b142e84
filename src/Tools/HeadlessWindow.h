#pragma once

// What the offscreen walks through the program's screens share: clicking an
// item as a mouse does, and saving the window as drawn.

#include <QCoreApplication>
#include <QImage>
#include <QMouseEvent>
#include <QQuickItem>
#include <QQuickWindow>
#include <QScreen>
#include <QString>

// A press and a release at the centre of the item, as the window gets them
// from a mouse.
inline void ClickItem(QQuickWindow* window, QQuickItem* item) {
  const QPointF centre = item->mapToScene(QPointF(item->width() / 2.0, item->height() / 2.0));
  for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
    QMouseEvent event(type, centre, centre, window->mapToGlobal(centre.toPoint()), Qt::LeftButton,
                      type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &event);
  }
}

// The window as the offscreen screen holds it after its last frame; false
// when it could not be written.
inline bool SaveWindowImage(QQuickWindow* window, const QString& path) {
  const QImage image = window->screen()->grabWindow(window->winId()).toImage();
  return !image.isNull() && image.save(path);
}
