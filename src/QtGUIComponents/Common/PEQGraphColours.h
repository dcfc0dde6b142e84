#pragma once

#include <QColor>
#include <QObject>

// Band colours of the equaliser graph, one set for active and one for
// bypassed bands.
class cPEQGraphColours {
  Q_GADGET
  Q_PROPERTY(QColor overviewColour MEMBER mOverviewColour CONSTANT)
  Q_PROPERTY(QColor hpfBandColour MEMBER mHpfBandColour CONSTANT)
  Q_PROPERTY(QColor lpfBandColour MEMBER mLpfBandColour CONSTANT)
  Q_PROPERTY(QColor sideChainLPFBandColour MEMBER mSideChainLPFBandColour CONSTANT)
  Q_PROPERTY(QColor lfBandColour MEMBER mLfBandColour CONSTANT)
  Q_PROPERTY(QColor lmBandColour MEMBER mLmBandColour CONSTANT)
  Q_PROPERTY(QColor hmBandColour MEMBER mHmBandColour CONSTANT)
  Q_PROPERTY(QColor hfBandColour MEMBER mHfBandColour CONSTANT)

 public:
  QColor mOverviewColour;
  QColor mHpfBandColour;
  QColor mLpfBandColour;
  QColor mSideChainLPFBandColour;
  QColor mLfBandColour;
  QColor mLmBandColour;
  QColor mHmBandColour;
  QColor mHfBandColour;
};
Q_DECLARE_METATYPE(cPEQGraphColours)
