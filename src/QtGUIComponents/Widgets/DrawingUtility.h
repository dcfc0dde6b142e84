#pragma once

#include <QPainterPath>
#include <QRectF>

// Path helpers the drawn widget images share: shapes built from quarters of
// ellipses, so that corners of any radius meet straight edges smoothly.
class cDrawingUtility {
 public:
  enum eCorner { TOP_LEFT, TOP_RIGHT, BOTTOM_RIGHT, BOTTOM_LEFT };

  cDrawingUtility();
  ~cDrawingUtility();
  cDrawingUtility(const cDrawingUtility&) = delete;
  cDrawingUtility& operator=(const cDrawingUtility&) = delete;

  // The application's instance; null, with a report, before it exists.
  static cDrawingUtility* Instance();

  // The quarter of the ellipse inscribed in `bounds` that lies in `corner`,
  // drawn clockwise; as an open path from the end of one edge to the start
  // of the next.
  static QPainterPath QuarterEllipse(const QRectF& bounds, eCorner corner);
  // A closed rectangle whose corners are quarter ellipses of the given radii,
  // each at most half the rectangle.
  static QPainterPath RoundedRectangle(const QRectF& rect, qreal radiusX, qreal radiusY);
};
