#pragma once

#include <QColor>
#include <QObject>

// Line and fill of the combined response curve.
class cGRGraphColours {
  Q_GADGET
  Q_PROPERTY(QColor mainLineColour MEMBER mMainLineColour CONSTANT)
  Q_PROPERTY(double mainLineWidth MEMBER mMainLineWidth CONSTANT)
  Q_PROPERTY(QColor fillColourTop MEMBER mFillColourTop CONSTANT)
  Q_PROPERTY(QColor fillColourBottom MEMBER mFillColourBottom CONSTANT)

 public:
  QColor mMainLineColour;
  double mMainLineWidth = 0.0;
  QColor mFillColourTop;
  QColor mFillColourBottom;
};
Q_DECLARE_METATYPE(cGRGraphColours)
