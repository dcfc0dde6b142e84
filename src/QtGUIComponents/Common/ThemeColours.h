#pragma once

#include <QColor>
#include <QObject>
#include <QString>

#include "QtGUIComponents/Common/GRGraphColours.h"
#include "QtGUIComponents/Common/GraphLineColours.h"
#include "QtGUIComponents/Common/PEQGraphColours.h"

// The colours and sizes QML takes from the program rather than from its own
// style file (`Theme` of module ThemeColours). Values are fixed when it is
// made; only the scale factor changes. GUI thread.
class cThemeColours : public QObject {
  Q_OBJECT
  Q_PROPERTY(double scaleFactor READ scaleFactor WRITE setScaleFactor NOTIFY scaleFactorChanged)
  Q_PROPERTY(cGraphLineColours graphLine MEMBER mGraphLine CONSTANT)
  Q_PROPERTY(cPEQGraphColours peqGraphActive MEMBER mPeqGraphActive CONSTANT)
  Q_PROPERTY(cPEQGraphColours peqGraphBypassed MEMBER mPeqGraphBypassed CONSTANT)
  Q_PROPERTY(cGRGraphColours grGraphActive MEMBER mGrGraphActive CONSTANT)
  Q_PROPERTY(cGRGraphColours grGraphBypassed MEMBER mGrGraphBypassed CONSTANT)
  Q_PROPERTY(QColor mainThemeColour MEMBER mMainThemeColour CONSTANT)
  Q_PROPERTY(QColor peqZeroLineColour MEMBER mPeqZeroLineColour CONSTANT)
  Q_PROPERTY(QColor tftActiveColour MEMBER mTftActiveColour CONSTANT)
  Q_PROPERTY(QColor blockingLayerColour MEMBER mBlockingLayerColour CONSTANT)
  Q_PROPERTY(QColor formBackgroundColour MEMBER mFormBackgroundColour CONSTANT)
  Q_PROPERTY(QString productName MEMBER mProductName CONSTANT)
  Q_PROPERTY(double majorSpacing MEMBER mMajorSpacing CONSTANT)
  Q_PROPERTY(double minorSpacing MEMBER mMinorSpacing CONSTANT)
  Q_PROPERTY(double panelGap MEMBER mPanelGap CONSTANT)
  Q_PROPERTY(double maxRoutingBarWidth MEMBER mMaxRoutingBarWidth CONSTANT)
  Q_PROPERTY(double ioCellSize MEMBER mIoCellSize CONSTANT)
  Q_PROPERTY(double editorScaleFactor MEMBER mEditorScaleFactor CONSTANT)

 public:
  explicit cThemeColours(QObject* parent = nullptr);
  ~cThemeColours() override;
  cThemeColours(const cThemeColours&) = delete;
  cThemeColours& operator=(const cThemeColours&) = delete;

  // The application's instance; null, with a report, before it exists.
  static cThemeColours* Instance();

  double scaleFactor() const { return mScaleFactor; }
  void setScaleFactor(double scaleFactor);

 signals:
  void scaleFactorChanged();

 private:
  double mScaleFactor = 1.0;
  cGraphLineColours mGraphLine;
  cPEQGraphColours mPeqGraphActive;
  cPEQGraphColours mPeqGraphBypassed;
  cGRGraphColours mGrGraphActive;
  cGRGraphColours mGrGraphBypassed;
  QColor mMainThemeColour{225, 225, 225};
  QColor mPeqZeroLineColour{255, 255, 255};
  QColor mTftActiveColour{247, 173, 52};
  QColor mBlockingLayerColour{0, 0, 0, 128};
  QColor mFormBackgroundColour{26, 26, 26};
  QString mProductName;
  double mMajorSpacing = 25.0;
  double mMinorSpacing = 8.0;
  double mPanelGap = 12.0;
  double mMaxRoutingBarWidth = 16.0;
  double mIoCellSize = 40.0;
  double mEditorScaleFactor = 1.0;
};
