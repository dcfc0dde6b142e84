#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QQmlListProperty>
#include <QReadWriteLock>
#include <QVariantList>

#include "OrvelGUI/QtGUIComponents/PEQDriverInterface.h"
#include "OrvelGUI/QtGUIComponents/PEQGraphMaths.h"
#include "OrvelGUI/QtGUIComponents/PEQQmlBandBase2.h"
#include "OrvelGUI/QtGUIComponents/PEQQuantisedResponse.h"
#include "OrvelGUI/QtGUIComponents/PEQScaleText.h"
#include "OrvelGUI/QtGUIComponents/QPainterPathWrapper.h"

// The model behind one equaliser graph (QML `PEQQmlBackEnd`): its bands'
// curves, the combined curve, the frequency grid and labels, and the link to
// a graph driver. QML declares the bands, sets `driver`, then calls
// setQMLPEQObjectAndStart(); see the report of the editor's foundations for
// the drawing side.
//
// Changes are drawn coarsely at once (every tenth pixel, only the band that
// moved) and at full resolution on the next turn of the event loop through
// one zero-interval timer, so any number of changes in one turn cost one
// full pass. Everything runs on the GUI thread.
class cPEQQmlBackEnd2 : public QObject {
  Q_OBJECT
  Q_PROPERTY(cPEQDriverInterface* driver READ driver WRITE setDriver NOTIFY driverChanged)
  Q_PROPERTY(QPainterPathWrapper* svgPathDataScaleMinor READ svgPathDataScaleMinor CONSTANT)
  Q_PROPERTY(QPainterPathWrapper* svgPathDataScaleMajor READ svgPathDataScaleMajor CONSTANT)
  // Level lines every kGainGridStepDb across the plot (0 dB drawn apart).
  Q_PROPERTY(QPainterPathWrapper* gainGridPath READ gainGridPath CONSTANT)
  // How far apart handles must stand to be told apart (pixels): handles of
  // bands nearer than that to each other are drawn side by side, each
  // band's handleOffset away from its point.
  Q_PROPERTY(double handleSpacing READ handleSpacing WRITE setHandleSpacing NOTIFY handleSpacingChanged)
  Q_PROPERTY(QQmlListProperty<cPEQScaleText> scaleTextList READ scaleTextList NOTIFY scaleTextListChanged)
  Q_PROPERTY(QQmlListProperty<cPEQQmlBandBase2> bandList READ bandList NOTIFY bandListChanged)
  Q_PROPERTY(bool calculateCombinedCurve READ calculateCombinedCurve WRITE setCalculateCombinedCurve NOTIFY
                 calculateCombinedCurveChanged)
  Q_PROPERTY(double zeroYPos READ zeroYPos NOTIFY zeroYPosChanged)
  Q_PROPERTY(int gainRangeMin READ gainRangeMin WRITE setGainRangeMin NOTIFY gainRangeChanged)
  Q_PROPERTY(int gainRangeMax READ gainRangeMax WRITE setGainRangeMax NOTIFY gainRangeChanged)
  Q_PROPERTY(bool fillFromMin READ fillFromMin WRITE setFillFromMin NOTIFY fillFromMinChanged)
  Q_PROPERTY(bool allowSizeChanges READ allowSizeChanges WRITE setAllowSizeChanges NOTIFY allowSizeChangesChanged)
  Q_PROPERTY(float yScaleMargin READ yScaleMargin WRITE setYScaleMargin NOTIFY yScaleMarginChanged)
  Q_PROPERTY(float xScaleMargin READ xScaleMargin WRITE setXScaleMargin NOTIFY xScaleMarginChanged)
  Q_PROPERTY(double height READ height WRITE setHeight NOTIFY heightChanged)
  Q_PROPERTY(double width READ width WRITE setWidth NOTIFY widthChanged)
  Q_PROPERTY(QPainterPathWrapper* combinedPath READ combinedPath CONSTANT)
  Q_PROPERTY(QPainterPathWrapper* combinedPathLine READ combinedPathLine CONSTANT)
  Q_PROPERTY(bool fullyBypassed READ fullyBypassed NOTIFY fullyBypassedChanged)
  Q_PROPERTY(bool allBandsBypassed READ allBandsBypassed NOTIFY allBandsBypassedChanged)
  // The device's curves: computed in full passes while showQuantised is on;
  // the bands whose device curve departs from the drawn one, by index.
  Q_PROPERTY(bool showQuantised READ showQuantised WRITE setShowQuantised NOTIFY showQuantisedChanged)
  Q_PROPERTY(QPainterPathWrapper* quantisedCombinedPathLine READ quantisedCombinedPathLine CONSTANT)
  Q_PROPERTY(QVariantList quantisedMismatchBands READ quantisedMismatchBands NOTIFY quantisedMismatchChanged)
  Q_PROPERTY(int quantisedMismatchCount READ quantisedMismatchCount NOTIFY quantisedMismatchChanged)
  // The whole output's response, drawn while showOutput is on: the output's
  // pass filters, this equaliser's bands and the strip's gain, from the
  // integers the device gets (as the device curves are). QML gives the
  // output's values; frequencies as codes, the gain as the strip's word.
  Q_PROPERTY(bool showOutput READ showOutput WRITE setShowOutput NOTIFY showOutputChanged)
  Q_PROPERTY(QPainterPathWrapper* outputPathLine READ outputPathLine CONSTANT)
  Q_PROPERTY(int outputHighPassFrequency MEMBER mOutHighPassFrequency NOTIFY outputChainChanged)
  Q_PROPERTY(int outputHighPassSlope MEMBER mOutHighPassSlope NOTIFY outputChainChanged)
  Q_PROPERTY(bool outputHighPassOn MEMBER mOutHighPassOn NOTIFY outputChainChanged)
  Q_PROPERTY(int outputHighPassSections MEMBER mOutHighPassSections NOTIFY outputChainChanged)
  Q_PROPERTY(int outputLowPassFrequency MEMBER mOutLowPassFrequency NOTIFY outputChainChanged)
  Q_PROPERTY(int outputLowPassSlope MEMBER mOutLowPassSlope NOTIFY outputChainChanged)
  Q_PROPERTY(bool outputLowPassOn MEMBER mOutLowPassOn NOTIFY outputChainChanged)
  Q_PROPERTY(int outputLowPassSections MEMBER mOutLowPassSections NOTIFY outputChainChanged)
  Q_PROPERTY(int outputGain MEMBER mOutGain NOTIFY outputChainChanged)
  Q_PROPERTY(bool outputMuted MEMBER mOutMuted NOTIFY outputChainChanged)

 public:
  static constexpr int kGainGridStepDb = 5;

  explicit cPEQQmlBackEnd2(QObject* parent = nullptr);
  ~cPEQQmlBackEnd2() override;

  cPEQDriverInterface* driver() const { return mDriver; }
  // Null is allowed: the graph then keeps its bands as they are.
  void setDriver(cPEQDriverInterface* driver);
  QPainterPathWrapper* svgPathDataScaleMinor() const { return mScaleMinor; }
  QPainterPathWrapper* svgPathDataScaleMajor() const { return mScaleMajor; }
  QPainterPathWrapper* gainGridPath() const { return mGainGrid; }
  double handleSpacing() const { return mHandleSpacing; }
  void setHandleSpacing(double spacing);
  QQmlListProperty<cPEQScaleText> scaleTextList();
  QQmlListProperty<cPEQQmlBandBase2> bandList();
  bool calculateCombinedCurve() const { return mCalculateCombinedCurve; }
  double zeroYPos() const;
  int gainRangeMin() const { return int(mPlot.mGainMin); }
  int gainRangeMax() const { return int(mPlot.mGainMax); }
  // Refused (with a report) when the minimum would not stay below the
  // maximum; setGainRange changes both at once.
  void setGainRangeMin(int db);
  void setGainRangeMax(int db);
  Q_INVOKABLE bool setGainRange(int minimumDb, int maximumDb);
  bool fillFromMin() const { return mFillFromMin; }
  void setFillFromMin(bool fromMin);
  bool allowSizeChanges() const { return mAllowSizeChanges; }
  // Turning it on takes the current size at once.
  void setAllowSizeChanges(bool allow);
  float yScaleMargin() const { return mYScaleMargin; }
  float xScaleMargin() const { return mXScaleMargin; }
  void setYScaleMargin(float margin);
  void setXScaleMargin(float margin);
  double height() const { return mHeight; }
  double width() const { return mWidth; }
  QPainterPathWrapper* combinedPath() const { return mCombinedPath; }
  QPainterPathWrapper* combinedPathLine() const { return mCombinedPathLine; }
  bool fullyBypassed() const { return mFullyBypassed; }
  bool allBandsBypassed() const;
  bool showQuantised() const { return mShowQuantised; }
  void setShowQuantised(bool show);
  QPainterPathWrapper* quantisedCombinedPathLine() const { return mQuantisedCombinedPathLine; }
  QVariantList quantisedMismatchBands() const;
  bool showOutput() const { return mShowOutput; }
  void setShowOutput(bool show);
  QPainterPathWrapper* outputPathLine() const { return mOutputPathLine; }
  // The output's values as QML gave them, with codes limited to 16 bits.
  peqgraph::sOutputChain OutputChain() const;
  // The bands compute their device curves: for those or for the output's.
  bool QuantisedWanted() const { return mShowQuantised || mShowOutput; }
  int quantisedMismatchCount() const { return mQuantisedMismatch.size(); }

  // The plot the bands draw on.
  const peqgraph::sPlot& Plot() const { return mPlot; }
  // The level where the bands' fills start: 0 dB, or the bottom with fillFromMin.
  double FillBaseline() const;
  int BandCount() const;
  cPEQQmlBandBase2* Band(int index) const;
  // Adds a band (QML does it through bandList); only before the graph starts.
  void AppendBand(cPEQQmlBandBase2* band);
  const QList<cPEQScaleText*>& ScaleTexts() const { return mScaleTexts; }
  // Every band and the combined curve at full resolution, now.
  void RecalculateAllNow();

  // Connects every band to the driver side and draws them all.
  Q_INVOKABLE void setQMLPEQObjectAndStart();
  // For a band with a width: the pinch changes it.
  Q_INVOKABLE void setPinchDelta(int SelectedBand, double PinchDelta);

 public slots:
  // From the driver; each goes to the band at that index, if there is one.
  void SetBandGain(uint BandIndex, GAIN Gain);
  void SetBandFreq(uint BandIndex, UWORD Freq);
  void SetBandWidth(uint BandIndex, UWORD Width);
  void SetBandFreqRange(uint BandIndex, UWORD FreqMin, UWORD FreqMax);
  void SetBandType(uint BandIndex, UBYTE Type);
  void SetBypass(uint BandIndex, bool Bypass);
  void SetFullyBypassed(bool Bypass);
  void SetBandPass(bool BandPass);
  void SetBandPassFreq(UWORD BandPassFreq);
  // From the bands: the band's value goes to the driver.
  void BandFreqChanged(int index);
  void BandGainChanged(int index);
  void BandWidthChanged(int index);
  void BandPassChanged();
  void BandPassFreqChanged();

  void qmlSizeChanged();
  void setHeight(double height);
  void setWidth(double width);
  void setCalculateCombinedCurve(bool calculate);
  void SetCombinedPathDirty();
  // Starts the timer unless it is already pending.
  void Update();

 signals:
  void driverChanged();
  void scaleTextListChanged();
  void bandListChanged();
  void calculateCombinedCurveChanged();
  void zeroYPosChanged();
  void gainRangeChanged();
  void fillFromMinChanged();
  void allowSizeChangesChanged();
  void yScaleMarginChanged();
  void xScaleMarginChanged();
  void heightChanged(double height);
  void widthChanged(double width);
  void fullyBypassedChanged(bool fullyBypassed);
  void allBandsBypassedChanged();
  void showQuantisedChanged();
  void quantisedMismatchChanged();
  void handleSpacingChanged();
  void showOutputChanged();
  void outputChainChanged();

 protected:
  void timerEvent(QTimerEvent* event) override;

 private:
  // Every band's values, and the graph's, as the driver holds them.
  void ApplyDriverValues();
  void RunScheduledPass();
  void CalculateCombined(bool full);
  void RebuildScale();
  void RecalculateAll();
  void UpdateMismatchList();
  void UpdateAllBandsBypassed();
  void ConnectBand(cPEQQmlBandBase2* band, int index);
  // Spreads the handles of bands that would cover each other.
  void UpdateHandleOffsets();
  void ApplyOutputChain();

  static void AppendBandToList(QQmlListProperty<cPEQQmlBandBase2>* list, cPEQQmlBandBase2* band);
  static int CountBands(QQmlListProperty<cPEQQmlBandBase2>* list);
  static cPEQQmlBandBase2* BandAt(QQmlListProperty<cPEQQmlBandBase2>* list, int index);
  static int CountScaleTexts(QQmlListProperty<cPEQScaleText>* list);
  static cPEQScaleText* ScaleTextAt(QQmlListProperty<cPEQScaleText>* list, int index);

  QPointer<cPEQDriverInterface> mDriver;
  // Guards the band list: QML builds it, every slot and pass reads it.
  mutable QReadWriteLock mBandListLock;
  QList<cPEQQmlBandBase2*> mBands;
  peqgraph::sPlot mPlot;
  double mWidth = 649.0;
  double mHeight = 325.0;
  float mXScaleMargin = 0.0f;
  float mYScaleMargin = 0.0f;
  bool mFillFromMin = false;
  bool mAllowSizeChanges = false;
  bool mCalculateCombinedCurve = true;
  bool mShowQuantised = false;
  bool mFullyBypassed = false;
  bool mAllBandsBypassed = false;
  int mTimerId = 0;
  bool mInPass = false;
  bool mCombinedDirty = false;
  bool mScaleChanged = false;
  QList<int> mQuantisedMismatch;
  QPainterPathWrapper* mScaleMinor;
  QPainterPathWrapper* mScaleMajor;
  QPainterPathWrapper* mGainGrid;
  double mHandleSpacing = 0.0;
  QPainterPathWrapper* mCombinedPath;
  QPainterPathWrapper* mCombinedPathLine;
  QPainterPathWrapper* mQuantisedCombinedPathLine;
  QPainterPathWrapper* mOutputPathLine;
  bool mShowOutput = false;
  int mOutHighPassFrequency = 10699;
  int mOutHighPassSlope = 0;
  bool mOutHighPassOn = false;
  int mOutHighPassSections = 0;
  int mOutLowPassFrequency = 56622;
  int mOutLowPassSlope = 0;
  bool mOutLowPassOn = false;
  int mOutLowPassSections = 0;
  int mOutGain = 0;
  bool mOutMuted = false;
  peqgraph::sOutputChain mOutputChain;
  peqgraph::cQuantisedOutputChain mQuantisedOutputChain;
  QList<cPEQScaleText*> mScaleTexts;
};
