#pragma once

#include <QColor>
#include <QObject>

// Grid line colours of the graphs.
class cGraphLineColours {
  Q_GADGET
  Q_PROPERTY(QColor scaleMajor MEMBER mScaleMajor CONSTANT)
  Q_PROPERTY(QColor scaleMinor MEMBER mScaleMinor CONSTANT)

 public:
  QColor mScaleMajor;
  QColor mScaleMinor;
};
Q_DECLARE_METATYPE(cGraphLineColours)
