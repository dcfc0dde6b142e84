#pragma once

#include <QColor>
#include <QObject>
#include <QPointF>
#include <QVector>
#include <vector>

#include "OrvelGUI/QtGUIComponents/PEQGraphMaths.h"
#include "OrvelGUI/QtGUIComponents/PEQQuantisedResponse.h"
#include "OrvelGUI/QtGUIComponents/QPainterPathWrapper.h"

class cPEQQmlBackEnd2;

// One band of the equaliser graph: its values, its curve (the analogue model)
// as a fill path and a line path, its handle's position, and on request the
// curve of the integers the device really gets. Bands are declared in QML in
// the graph's bandList; the graph drives their calculation. GUI thread.
class cPEQQmlBandBase2 : public QObject {
  Q_OBJECT
  Q_PROPERTY(QPointF graphDragPoint READ graphDragPoint NOTIFY graphDragPointChanged)
  // Where the handle is drawn from its point, in pixels: 0 unless another
  // band's handle would cover it (the graph spreads them).
  Q_PROPERTY(QPointF handleOffset READ handleOffset NOTIFY handleOffsetChanged)
  // Its handle stands in a row of others (nearer than the spacing).
  Q_PROPERTY(bool handleCrowded READ handleCrowded NOTIFY handleOffsetChanged)
  Q_PROPERTY(bool bypassed READ bypassed WRITE setBypassed NOTIFY bypassedChanged)
  // The band plays no part in what the device does: it is bypassed, or its
  // whole equaliser is out (the device then gets every band flat). Drawn
  // grey and left out of the combined curve.
  Q_PROPERTY(bool bandOut READ bandOut NOTIFY bandOutChanged)
  Q_PROPERTY(double frequencyRangeMin READ frequencyRangeMin WRITE setFrequencyRangeMin NOTIFY frequencyRangeMinChanged)
  Q_PROPERTY(double frequencyRangeMax READ frequencyRangeMax WRITE setFrequencyRangeMax NOTIFY frequencyRangeMaxChanged)
  Q_PROPERTY(double gainRangeMin READ gainRangeMin WRITE setGainRangeMin NOTIFY gainRangeMinChanged)
  Q_PROPERTY(double gainRangeMax READ gainRangeMax WRITE setGainRangeMax NOTIFY gainRangeMaxChanged)
  Q_PROPERTY(bool addToCombined READ addToCombined WRITE setAddToCombined NOTIFY addToCombinedChanged)
  Q_PROPERTY(QColor bandColour READ bandColour WRITE setBandColour NOTIFY bandColourChanged)
  Q_PROPERTY(QPainterPathWrapper* path READ path CONSTANT)
  Q_PROPERTY(QPainterPathWrapper* linePath READ linePath CONSTANT)
  // The device's curve (drawn while the graph's showQuantised is on) and
  // whether it departs from the drawn one: by more than 0.5 dB below 20 kHz,
  // or through a coefficient cut at the fixed-point limit.
  Q_PROPERTY(QPainterPathWrapper* quantisedLinePath READ quantisedLinePath CONSTANT)
  Q_PROPERTY(double quantisedDeviation READ quantisedDeviation NOTIFY quantisedChanged)
  Q_PROPERTY(bool quantisedSaturated READ quantisedSaturated NOTIFY quantisedChanged)
  Q_PROPERTY(bool quantisedMismatch READ quantisedMismatch NOTIFY quantisedChanged)

 public:
  static constexpr double kMismatchDb = 0.5;
  static constexpr double kMismatchBelowHz = 20000.0;

  ~cPEQQmlBandBase2() override;

  QPointF graphDragPoint() const;
  QPointF handleOffset() const { return mHandleOffset; }
  bool handleCrowded() const { return mHandleCrowded; }
  // The graph's.
  void SetHandleOffset(QPointF offset, bool crowded);
  bool bypassed() const { return mBypassed; }
  bool bandOut() const;
  double frequencyRangeMin() const;
  double frequencyRangeMax() const;
  double gainRangeMin() const { return mGainRangeMin / 256.0; }
  double gainRangeMax() const { return mGainRangeMax / 256.0; }
  bool addToCombined() const { return mAddToCombined; }
  QColor bandColour() const { return mBandColour; }
  QPainterPathWrapper* path() const { return mPath; }
  QPainterPathWrapper* linePath() const { return mLinePath; }
  QPainterPathWrapper* quantisedLinePath() const { return mQuantisedLinePath; }
  double quantisedDeviation() const { return mQuantisedDeviation; }
  bool quantisedSaturated() const { return mQuantisedSaturated; }
  bool quantisedMismatch() const { return mQuantisedSaturated || mQuantisedDeviation > kMismatchDb; }

  void setBypassed(bool bypassed);
  void setFrequencyRangeMin(double hz);
  void setFrequencyRangeMax(double hz);
  // Refused when they would leave the minimum at or above the maximum.
  void setGainRangeMin(double db);
  void setGainRangeMax(double db);
  void setAddToCombined(bool add);

  UWORD Frequency() const { return mFrequency; }
  UWORD Width() const { return mWidth; }
  GAIN Gain() const { return mGain; }
  UWORD FrequencyRangeMinCode() const { return mFrequencyRangeMin; }
  UWORD FrequencyRangeMaxCode() const { return mFrequencyRangeMax; }
  bool BandPass() const { return mBandPass; }
  UWORD BandPassFreq() const { return mBandPassFreq; }
  virtual bool HasGain() const = 0;
  virtual bool HasWidth() const = 0;

  // The graph's side. Attach: the band belongs to the graph from now on.
  void AttachToGraph(cPEQQmlBackEnd2* graph);
  // The graph's equaliser went out or came back in.
  void EqualiserOutChanged();
  void RebuildPointGrid();
  // Computes the curve (every pixel, or every tenth) and its paths; a coarse
  // result stays pending until a full one replaces it.
  void Calculate(bool full);
  bool CoarsePending() const { return mCoarsePending; }
  bool RecalculationWanted() const { return mRecalculationWanted; }
  void ClearRecalculationWanted() { mRecalculationWanted = false; }
  // Asks for a recalculation through the graph's timer.
  void RequestRecalculation();
  // The level at each pixel of the last calculation (every tenth pixel
  // valid after a coarse one), and of the device's curve (full ones only).
  const std::vector<double>& PointDb() const { return mDb; }
  const std::vector<double>& QuantisedPointDb() const { return mQuantisedDb; }
  // A band type from the driver (its meaning depends on the band's kind).
  virtual void SetTypeFromDriver(UBYTE type) = 0;

  // A drag starts with the handle at pixel x: while the pointer keeps to
  // that x (a purely vertical drag), the band keeps the frequency it had,
  // which pixel x would only approximate.
  Q_INVOKABLE void beginDrag(int XPos);
  Q_INVOKABLE virtual void setDragPos(int XPos, int YPos);
  Q_INVOKABLE void setPinchDelta(double PinchDelta);

 public slots:
  void SetFrequency(UWORD frequency);
  void SetWidth(UWORD width);
  void SetGain(GAIN gain);
  void SetFrequencyRangeMinMax(UWORD minimum, UWORD maximum);
  void setBandColour(QColor colour);
  void SetBandPass(bool bandPass);
  void SetBandPassFreq(UWORD frequency);

 signals:
  void graphDragPointChanged();
  void handleOffsetChanged();
  void bypassedChanged();
  void bandOutChanged();
  void addToCombinedChanged(bool addToCombined);
  void frequencyRangeMinChanged();
  void frequencyRangeMaxChanged();
  void gainRangeMinChanged();
  void gainRangeMaxChanged();
  void FreqChanged();
  void GainChanged();
  void WidthChanged();
  void BandPassChanged();
  void BandPassFreqChanged();
  void bandColourChanged(QColor colour);
  void quantisedChanged();

 protected:
  explicit cPEQQmlBandBase2(QObject* parent);

  // The analogue model and the device's sections of the band as it stands.
  virtual peqgraph::sResponse Response() const = 0;
  virtual peqgraph::sQuantisedBand QuantisedResponse() const = 0;
  // Pixels to compute: every one, or every tenth.
  virtual bool AlwaysFull() const { return false; }
  const peqgraph::sPlot& Plot() const;
  // Moves the handle to a frequency code; true when that changed it.
  bool DragFrequencyTo(int x);

  cPEQQmlBackEnd2* mGraph = nullptr;
  UWORD mFrequency = 10699;
  UWORD mWidth = 0;
  GAIN mGain = 0;

 private:
  void CalculateQuantised();

  UWORD mFrequencyRangeMin = 10699;
  UWORD mFrequencyRangeMax = 56622;
  GAIN mGainRangeMin = -3840;
  GAIN mGainRangeMax = 3840;
  UWORD mWidthRangeMin = 0;
  UWORD mWidthRangeMax = 11392;
  bool mBandPass = false;
  UWORD mBandPassFreq = 26007;
  bool mBypassed = false;
  bool mAddToCombined = true;
  QColor mBandColour;
  QPointF mHandleOffset;
  bool mHandleCrowded = false;
  std::vector<double> mOmega;
  std::vector<double> mOmegaSquared;
  std::vector<double> mDb;
  std::vector<double> mQuantisedDb;
  // The integers the device curve was last computed from; the same integers
  // give the same curve.
  std::vector<biquad::tQuantised> mQuantisedSections;
  double mQuantisedDeviation = 0.0;
  bool mQuantisedSaturated = false;
  // The drag under way: its starting pixel and frequency.
  bool mDragAnchored = false;
  int mDragX = 0;
  UWORD mDragFrequency = 0;
  bool mCoarsePending = false;
  bool mRecalculationWanted = false;
  QPainterPathWrapper* mPath;
  QPainterPathWrapper* mLinePath;
  QPainterPathWrapper* mQuantisedLinePath;
};
