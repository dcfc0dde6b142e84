#pragma once

#include <QQuickImageProvider>

// Draws widget images by style name for QML ("image://graphicsfactory/...").
// An id is a style with optional settings, "panel?colour=%23303030&radius=6":
//   panel    a filled rounded rectangle (colour, radius)
//   outline  a rounded frame (colour, radius, width)
// Unknown styles give a transparent image and a report. May be called from
// the render thread: it draws with its arguments only.
class cQMLFactoryImageProvider : public QQuickImageProvider {
 public:
  static constexpr const char* kProviderName = "graphicsfactory";
  static constexpr int kDefaultSide = 64;
  static constexpr int kMaximumSide = 4096;

  cQMLFactoryImageProvider();

  QImage requestImage(const QString& id, QSize* size, const QSize& requestedSize) override;
};
