#include "QtGUIComponents/Widgets/DrawingUtility.h"

#include <algorithm>

#include "QtGUIComponents/Common/ProcessInstance.h"

namespace {

// Start angle of each corner's quarter, sweeping clockwise (negative angles).
qreal StartAngle(cDrawingUtility::eCorner corner) {
  switch (corner) {
    case cDrawingUtility::TOP_LEFT:
      return 180.0;
    case cDrawingUtility::TOP_RIGHT:
      return 90.0;
    case cDrawingUtility::BOTTOM_RIGHT:
      return 0.0;
    case cDrawingUtility::BOTTOM_LEFT:
      return 270.0;
  }
  return 0.0;
}

QRectF CornerBox(const QRectF& rect, qreal width, qreal height, cDrawingUtility::eCorner corner) {
  const qreal left = corner == cDrawingUtility::TOP_LEFT || corner == cDrawingUtility::BOTTOM_LEFT
                         ? rect.left()
                         : rect.right() - width;
  const qreal top =
      corner == cDrawingUtility::TOP_LEFT || corner == cDrawingUtility::TOP_RIGHT ? rect.top() : rect.bottom() - height;
  return QRectF(left, top, width, height);
}

}  // namespace

cDrawingUtility::cDrawingUtility() { cProcessInstance<cDrawingUtility>::Publish(this, "gDrawingUtility"); }

cDrawingUtility::~cDrawingUtility() { cProcessInstance<cDrawingUtility>::Withdraw(this); }

cDrawingUtility* cDrawingUtility::Instance() {
  return cProcessInstance<cDrawingUtility>::Get("gDrawingUtility is NULL");
}

QPainterPath cDrawingUtility::QuarterEllipse(const QRectF& bounds, eCorner corner) {
  QPainterPath path;
  path.arcMoveTo(bounds, StartAngle(corner));
  path.arcTo(bounds, StartAngle(corner), -90.0);
  return path;
}

QPainterPath cDrawingUtility::RoundedRectangle(const QRectF& rect, qreal radiusX, qreal radiusY) {
  const QRectF box = rect.normalized();
  const qreal width = 2.0 * std::clamp(radiusX, 0.0, box.width() / 2.0);
  const qreal height = 2.0 * std::clamp(radiusY, 0.0, box.height() / 2.0);
  QPainterPath path;
  // A corner without extent has no arc to join.
  if (width <= 0.0 || height <= 0.0) {
    path.addRect(box);
    return path;
  }
  for (eCorner corner : {TOP_LEFT, TOP_RIGHT, BOTTOM_RIGHT, BOTTOM_LEFT}) {
    const QPainterPath quarter = QuarterEllipse(CornerBox(box, width, height, corner), corner);
    if (path.isEmpty()) {
      path = quarter;
    } else {
      path.connectPath(quarter);
    }
  }
  path.closeSubpath();
  return path;
}
