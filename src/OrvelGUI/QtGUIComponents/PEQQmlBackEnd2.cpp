#include "OrvelGUI/QtGUIComponents/PEQQmlBackEnd2.h"

#include <QThread>
#include <QTimerEvent>
#include <algorithm>
#include <cmath>

#include "AES-Standards/Convert.h"
#include "EWNet/Core/ErrLog.h"
#include "OrvelGUI/QtGUIComponents/PEQDriverInterface.h"

namespace {

struct sLabel {
  double mHz;
  const char* mText;
};
constexpr sLabel kLabels[] = {{50, "50"},   {100, "100"}, {200, "200"}, {500, "500"},
                              {1000, "1k"}, {2000, "2k"}, {5000, "5k"}, {10000, "10k"}};

}  // namespace

cPEQQmlBackEnd2::cPEQQmlBackEnd2(QObject* parent)
    : QObject(parent),
      mScaleMinor(new QPainterPathWrapper(this)),
      mScaleMajor(new QPainterPathWrapper(this)),
      mGainGrid(new QPainterPathWrapper(this)),
      mCombinedPath(new QPainterPathWrapper(this)),
      mCombinedPathLine(new QPainterPathWrapper(this)),
      mQuantisedCombinedPathLine(new QPainterPathWrapper(this)),
      mOutputPathLine(new QPainterPathWrapper(this)) {
  connect(this, &cPEQQmlBackEnd2::heightChanged, this, &cPEQQmlBackEnd2::qmlSizeChanged);
  connect(this, &cPEQQmlBackEnd2::outputChainChanged, this, &cPEQQmlBackEnd2::ApplyOutputChain);
  connect(this, &cPEQQmlBackEnd2::widthChanged, this, &cPEQQmlBackEnd2::qmlSizeChanged);
  RebuildScale();
}

cPEQQmlBackEnd2::~cPEQQmlBackEnd2() = default;

// ---------------------------------------------------------------------------
// Properties

double cPEQQmlBackEnd2::zeroYPos() const { return std::floor(mPlot.YOfDb(0.0)) + 0.5; }

double cPEQQmlBackEnd2::FillBaseline() const { return mPlot.YOfDb(mFillFromMin ? mPlot.mGainMin : 0.0); }

bool cPEQQmlBackEnd2::setGainRange(int minimumDb, int maximumDb) {
  if (minimumDb >= maximumDb) {
    EW_REPORT_ERROR("Gain range refused: minimum %d dB not below maximum %d dB", minimumDb, maximumDb);
    return false;
  }
  if (minimumDb == int(mPlot.mGainMin) && maximumDb == int(mPlot.mGainMax)) return true;
  mPlot.mGainMin = minimumDb;
  mPlot.mGainMax = maximumDb;
  // The pixels per dB change with the range: every curve, the level lines
  // and the 0 dB line.
  RebuildScale();
  UpdateHandleOffsets();
  RecalculateAll();
  emit gainRangeChanged();
  return true;
}

void cPEQQmlBackEnd2::setGainRangeMin(int db) { setGainRange(db, int(mPlot.mGainMax)); }
void cPEQQmlBackEnd2::setGainRangeMax(int db) { setGainRange(int(mPlot.mGainMin), db); }

void cPEQQmlBackEnd2::setFillFromMin(bool fromMin) {
  if (fromMin == mFillFromMin) return;
  mFillFromMin = fromMin;
  RecalculateAll();
  emit fillFromMinChanged();
}

void cPEQQmlBackEnd2::setAllowSizeChanges(bool allow) {
  if (allow == mAllowSizeChanges) return;
  mAllowSizeChanges = allow;
  emit allowSizeChangesChanged();
  qmlSizeChanged();
}

void cPEQQmlBackEnd2::setYScaleMargin(float margin) {
  if (margin == mYScaleMargin) return;
  mYScaleMargin = margin;
  RebuildScale();
  emit yScaleMarginChanged();
}

void cPEQQmlBackEnd2::setXScaleMargin(float margin) {
  if (margin == mXScaleMargin) return;
  mXScaleMargin = margin;
  RebuildScale();
  emit xScaleMarginChanged();
}

void cPEQQmlBackEnd2::setHeight(double height) {
  if (height == mHeight) return;
  mHeight = height;
  UpdateHandleOffsets();
  emit heightChanged(height);
}

void cPEQQmlBackEnd2::setWidth(double width) {
  if (width == mWidth) return;
  mWidth = width;
  UpdateHandleOffsets();
  emit widthChanged(width);
}

void cPEQQmlBackEnd2::setHandleSpacing(double spacing) {
  if (spacing == mHandleSpacing || std::isnan(spacing)) return;
  mHandleSpacing = spacing;
  UpdateHandleOffsets();
  emit handleSpacingChanged();
}

void cPEQQmlBackEnd2::UpdateHandleOffsets() {
  QReadLocker lock(&mBandListLock);
  std::vector<QPointF> points;
  for (cPEQQmlBandBase2* band : mBands) {
    const QPointF p = band->graphDragPoint();
    points.emplace_back(p.x() * mWidth, p.y() * mHeight);
  }
  const std::vector<peqgraph::sHandlePlace> places = peqgraph::SpreadHandles(points, mHandleSpacing);
  for (int i = 0; i < mBands.size(); ++i) {
    mBands[i]->SetHandleOffset(places[std::size_t(i)].mOffset, places[std::size_t(i)].mCrowded);
  }
}

void cPEQQmlBackEnd2::setCalculateCombinedCurve(bool calculate) {
  if (calculate == mCalculateCombinedCurve) return;
  mCalculateCombinedCurve = calculate;
  if (calculate) SetCombinedPathDirty();
  emit calculateCombinedCurveChanged();
}

void cPEQQmlBackEnd2::setShowQuantised(bool show) {
  if (show == mShowQuantised) return;
  mShowQuantised = show;
  // The device's curves are made in full passes: one for every band now.
  if (show) RecalculateAll();
  // Off, nothing is marked; on, the marks come with the full pass.
  if (!show) UpdateMismatchList();
  emit showQuantisedChanged();
}

void cPEQQmlBackEnd2::setShowOutput(bool show) {
  if (show == mShowOutput) return;
  mShowOutput = show;
  // The output's curve is made in full passes, from the bands' device curves.
  if (show) RecalculateAll();
  if (!show) mOutputPathLine->setPainterPath(QPainterPath());
  emit showOutputChanged();
}

peqgraph::sOutputChain cPEQQmlBackEnd2::OutputChain() const {
  const auto code = [](int value) { return UWORD(std::clamp(value, 0, 65535)); };
  peqgraph::sOutputChain chain;
  chain.mHighPassFrequency = code(mOutHighPassFrequency);
  chain.mHighPassSlope = ULONG(std::max(mOutHighPassSlope, 0));
  chain.mHighPassOn = mOutHighPassOn;
  chain.mHighPassSections = mOutHighPassSections;
  chain.mLowPassFrequency = code(mOutLowPassFrequency);
  chain.mLowPassSlope = ULONG(std::max(mOutLowPassSlope, 0));
  chain.mLowPassOn = mOutLowPassOn;
  chain.mLowPassSections = mOutLowPassSections;
  chain.mGain = GAIN(std::clamp(mOutGain, -32767, 32767));
  chain.mMuted = mOutMuted;
  return chain;
}

void cPEQQmlBackEnd2::ApplyOutputChain() {
  const peqgraph::sOutputChain chain = OutputChain();
  if (chain == mOutputChain) return;
  mOutputChain = chain;
  mQuantisedOutputChain = peqgraph::cQuantisedOutputChain(chain);
  if (mShowOutput) SetCombinedPathDirty();
}

QVariantList cPEQQmlBackEnd2::quantisedMismatchBands() const {
  QVariantList bands;
  for (int index : mQuantisedMismatch) bands.append(index);
  return bands;
}

bool cPEQQmlBackEnd2::allBandsBypassed() const { return mAllBandsBypassed; }

void cPEQQmlBackEnd2::UpdateAllBandsBypassed() {
  bool all = true;
  {
    QReadLocker lock(&mBandListLock);
    for (cPEQQmlBandBase2* band : mBands) all = all && band->bypassed();
  }
  if (all == mAllBandsBypassed) return;
  mAllBandsBypassed = all;
  emit allBandsBypassedChanged();
}

// ---------------------------------------------------------------------------
// Bands

int cPEQQmlBackEnd2::BandCount() const {
  QReadLocker lock(&mBandListLock);
  return mBands.size();
}

cPEQQmlBandBase2* cPEQQmlBackEnd2::Band(int index) const {
  QReadLocker lock(&mBandListLock);
  return index >= 0 && index < mBands.size() ? mBands[index] : nullptr;
}

void cPEQQmlBackEnd2::AppendBand(cPEQQmlBandBase2* band) {
  if (band == nullptr) return;
  {
    QWriteLocker lock(&mBandListLock);
    mBands.append(band);
  }
  band->AttachToGraph(this);
  connect(band, &cPEQQmlBandBase2::bypassedChanged, this, &cPEQQmlBackEnd2::UpdateAllBandsBypassed);
  connect(band, &cPEQQmlBandBase2::graphDragPointChanged, this, &cPEQQmlBackEnd2::UpdateHandleOffsets);
  UpdateAllBandsBypassed();
  UpdateHandleOffsets();
  emit bandListChanged();
}

QQmlListProperty<cPEQQmlBandBase2> cPEQQmlBackEnd2::bandList() {
  return QQmlListProperty<cPEQQmlBandBase2>(this, nullptr, &cPEQQmlBackEnd2::AppendBandToList,
                                            &cPEQQmlBackEnd2::CountBands, &cPEQQmlBackEnd2::BandAt, nullptr);
}

void cPEQQmlBackEnd2::AppendBandToList(QQmlListProperty<cPEQQmlBandBase2>* list, cPEQQmlBandBase2* band) {
  static_cast<cPEQQmlBackEnd2*>(list->object)->AppendBand(band);
}

int cPEQQmlBackEnd2::CountBands(QQmlListProperty<cPEQQmlBandBase2>* list) {
  return static_cast<cPEQQmlBackEnd2*>(list->object)->BandCount();
}

cPEQQmlBandBase2* cPEQQmlBackEnd2::BandAt(QQmlListProperty<cPEQQmlBandBase2>* list, int index) {
  return static_cast<cPEQQmlBackEnd2*>(list->object)->Band(index);
}

QQmlListProperty<cPEQScaleText> cPEQQmlBackEnd2::scaleTextList() {
  return QQmlListProperty<cPEQScaleText>(this, nullptr, &cPEQQmlBackEnd2::CountScaleTexts,
                                         &cPEQQmlBackEnd2::ScaleTextAt);
}

int cPEQQmlBackEnd2::CountScaleTexts(QQmlListProperty<cPEQScaleText>* list) {
  return static_cast<cPEQQmlBackEnd2*>(list->object)->mScaleTexts.size();
}

cPEQScaleText* cPEQQmlBackEnd2::ScaleTextAt(QQmlListProperty<cPEQScaleText>* list, int index) {
  const QList<cPEQScaleText*>& texts = static_cast<cPEQQmlBackEnd2*>(list->object)->mScaleTexts;
  return index >= 0 && index < texts.size() ? texts[index] : nullptr;
}

void cPEQQmlBackEnd2::ConnectBand(cPEQQmlBandBase2* band, int index) {
  disconnect(band, nullptr, this, nullptr);
  connect(band, &cPEQQmlBandBase2::FreqChanged, this, [this, index] { BandFreqChanged(index); });
  connect(band, &cPEQQmlBandBase2::GainChanged, this, [this, index] { BandGainChanged(index); });
  connect(band, &cPEQQmlBandBase2::WidthChanged, this, [this, index] { BandWidthChanged(index); });
  connect(band, &cPEQQmlBandBase2::BandPassChanged, this, &cPEQQmlBackEnd2::BandPassChanged);
  connect(band, &cPEQQmlBandBase2::BandPassFreqChanged, this, &cPEQQmlBackEnd2::BandPassFreqChanged);
  connect(band, &cPEQQmlBandBase2::bypassedChanged, this, &cPEQQmlBackEnd2::SetCombinedPathDirty);
  connect(band, &cPEQQmlBandBase2::bypassedChanged, this, &cPEQQmlBackEnd2::UpdateAllBandsBypassed);
  connect(band, &cPEQQmlBandBase2::graphDragPointChanged, this, &cPEQQmlBackEnd2::UpdateHandleOffsets);
}

void cPEQQmlBackEnd2::setQMLPEQObjectAndStart() {
  {
    QReadLocker lock(&mBandListLock);
    for (int i = 0; i < mBands.size(); ++i) ConnectBand(mBands[i], i);
  }
  // QML may have set the driver before the bands were in the list.
  ApplyDriverValues();
  // Bands whose values equal their defaults were never drawn.
  RecalculateAll();
}

void cPEQQmlBackEnd2::setPinchDelta(int SelectedBand, double PinchDelta) {
  if (cPEQQmlBandBase2* band = Band(SelectedBand)) band->setPinchDelta(PinchDelta);
}

// ---------------------------------------------------------------------------
// Driver

void cPEQQmlBackEnd2::setDriver(cPEQDriverInterface* driver) {
  if (driver == mDriver) return;
  if (mDriver) disconnect(mDriver, nullptr, this, nullptr);
  mDriver = driver;
  if (driver != nullptr) {
    connect(driver, &cPEQDriverInterface::GainChanged, this, &cPEQQmlBackEnd2::SetBandGain);
    connect(driver, &cPEQDriverInterface::FreqChanged, this, &cPEQQmlBackEnd2::SetBandFreq);
    connect(driver, &cPEQDriverInterface::WidthChanged, this, &cPEQQmlBackEnd2::SetBandWidth);
    connect(driver, &cPEQDriverInterface::TypeChanged, this, &cPEQQmlBackEnd2::SetBandType);
    connect(driver, &cPEQDriverInterface::FreqRangeChanged, this, &cPEQQmlBackEnd2::SetBandFreqRange);
    connect(driver, &cPEQDriverInterface::BypassChanged, this, &cPEQQmlBackEnd2::SetBypass);
    connect(driver, &cPEQDriverInterface::FullyBypassedChanged, this, &cPEQQmlBackEnd2::SetFullyBypassed);
    connect(driver, &cPEQDriverInterface::BandPassChanged, this, &cPEQQmlBackEnd2::SetBandPass);
    connect(driver, &cPEQDriverInterface::BandPassFreqChanged, this, &cPEQQmlBackEnd2::SetBandPassFreq);
    ApplyDriverValues();
  }
  emit driverChanged();
}

void cPEQQmlBackEnd2::ApplyDriverValues() {
  if (!mDriver) return;
  const int count = std::min(BandCount(), mDriver->BandCount());
  for (int i = 0; i < count; ++i) {
    const UBYTE b = UBYTE(i);
    SetBandGain(uint(i), mDriver->GetBandGain(b));
    SetBandFreq(uint(i), mDriver->GetBandFreq(b));
    SetBandWidth(uint(i), mDriver->GetBandWidth(b));
    SetBandType(uint(i), mDriver->GetBandType(b));
    // A driver that has not heard a range yet holds 0 to 0: the band keeps its own.
    if (mDriver->GetBandFreqMax(b) != 0)
      SetBandFreqRange(uint(i), mDriver->GetBandFreqMin(b), mDriver->GetBandFreqMax(b));
    SetBypass(uint(i), mDriver->GetBandBypassed(b));
  }
  SetFullyBypassed(mDriver->GetFullyBypassed());
  SetBandPass(mDriver->GetBandPass());
  SetBandPassFreq(mDriver->GetBandPassFreq());
}

void cPEQQmlBackEnd2::SetBandGain(uint BandIndex, GAIN Gain) {
  if (cPEQQmlBandBase2* band = Band(int(BandIndex))) band->SetGain(Gain);
}

void cPEQQmlBackEnd2::SetBandFreq(uint BandIndex, UWORD Freq) {
  if (cPEQQmlBandBase2* band = Band(int(BandIndex))) band->SetFrequency(Freq);
}

void cPEQQmlBackEnd2::SetBandWidth(uint BandIndex, UWORD Width) {
  if (cPEQQmlBandBase2* band = Band(int(BandIndex))) band->SetWidth(Width);
}

void cPEQQmlBackEnd2::SetBandFreqRange(uint BandIndex, UWORD FreqMin, UWORD FreqMax) {
  if (cPEQQmlBandBase2* band = Band(int(BandIndex))) band->SetFrequencyRangeMinMax(FreqMin, FreqMax);
}

void cPEQQmlBackEnd2::SetBandType(uint BandIndex, UBYTE Type) {
  if (cPEQQmlBandBase2* band = Band(int(BandIndex))) band->SetTypeFromDriver(Type);
}

void cPEQQmlBackEnd2::SetBypass(uint BandIndex, bool Bypass) {
  if (cPEQQmlBandBase2* band = Band(int(BandIndex))) band->setBypassed(Bypass);
}

void cPEQQmlBackEnd2::SetFullyBypassed(bool Bypass) {
  if (Bypass == mFullyBypassed) return;
  mFullyBypassed = Bypass;
  {
    QReadLocker lock(&mBandListLock);
    for (cPEQQmlBandBase2* band : mBands) band->EqualiserOutChanged();
  }
  // The device gets every band flat: so is the combined curve.
  SetCombinedPathDirty();
  emit fullyBypassedChanged(Bypass);
}

void cPEQQmlBackEnd2::SetBandPass(bool BandPass) {
  QReadLocker lock(&mBandListLock);
  for (cPEQQmlBandBase2* band : mBands) band->SetBandPass(BandPass);
}

void cPEQQmlBackEnd2::SetBandPassFreq(UWORD BandPassFreq) {
  QReadLocker lock(&mBandListLock);
  for (cPEQQmlBandBase2* band : mBands) band->SetBandPassFreq(BandPassFreq);
}

void cPEQQmlBackEnd2::BandFreqChanged(int index) {
  cPEQQmlBandBase2* band = Band(index);
  if (band != nullptr && mDriver) mDriver->WriteBandFreq(UBYTE(index), band->Frequency());
}

void cPEQQmlBackEnd2::BandGainChanged(int index) {
  cPEQQmlBandBase2* band = Band(index);
  if (band != nullptr && mDriver) mDriver->WriteBandGain(UBYTE(index), band->Gain());
}

void cPEQQmlBackEnd2::BandWidthChanged(int index) {
  cPEQQmlBandBase2* band = Band(index);
  if (band != nullptr && mDriver) mDriver->WriteBandWidthIndex(UBYTE(index), band->Width());
}

void cPEQQmlBackEnd2::BandPassChanged() {
  cPEQQmlBandBase2* first = Band(0);
  if (first != nullptr && mDriver) mDriver->WriteBandPass(first->BandPass());
}

void cPEQQmlBackEnd2::BandPassFreqChanged() {
  cPEQQmlBandBase2* first = Band(0);
  if (first != nullptr && mDriver) mDriver->WriteBandPassFreq(first->BandPassFreq());
}

// ---------------------------------------------------------------------------
// Size, grid and labels

void cPEQQmlBackEnd2::qmlSizeChanged() {
  if (!mAllowSizeChanges || !(mWidth > 0.0) || !(mHeight > 0.0)) return;
  // Sizes beyond any screen are not drawn: the point grid grows with them.
  const int width = int(std::min(mWidth, 1e5));
  const int height = int(std::min(mHeight, 1e5));
  if (width < 1 || height < 1 || (width == mPlot.mWidth && height == mPlot.mHeight)) return;
  mPlot.mWidth = width;
  mPlot.mHeight = height;
  {
    QReadLocker lock(&mBandListLock);
    for (cPEQQmlBandBase2* band : mBands) band->RebuildPointGrid();
  }
  RebuildScale();
  RecalculateAllNow();
}

void cPEQQmlBackEnd2::RecalculateAllNow() {
  mInPass = true;
  {
    QReadLocker lock(&mBandListLock);
    for (cPEQQmlBandBase2* band : mBands) {
      band->ClearRecalculationWanted();
      band->Calculate(true);
    }
  }
  CalculateCombined(true);
  mCombinedDirty = false;
  mInPass = false;
  UpdateMismatchList();
}

void cPEQQmlBackEnd2::RebuildScale() {
  QPainterPath minor;
  QPainterPath major;
  const double bottom = mPlot.mHeight - mXScaleMargin;
  for (double decade = 10.0; decade < 20000.0; decade *= 10.0) {
    for (int multiple = 1; multiple <= 9; ++multiple) {
      const double hz = decade * multiple;
      if (hz < 20.0 || hz >= 20000.0) continue;
      const double x = mPlot.XOfCode(FrequencyToUWORD(hz)) + 0.5;
      if (x < mYScaleMargin) continue;
      QPainterPath& path = multiple == 1 && decade >= 100.0 ? major : minor;
      path.moveTo(x, 0.0);
      path.lineTo(x, bottom);
    }
  }
  mScaleMinor->setPainterPath(std::move(minor));
  mScaleMajor->setPainterPath(std::move(major));

  QPainterPath levels;
  const int lowest = int(std::ceil(mPlot.mGainMin / kGainGridStepDb)) * kGainGridStepDb;
  for (int db = lowest; db < mPlot.mGainMax; db += kGainGridStepDb) {
    if (db == 0 || db <= mPlot.mGainMin) continue;
    const double y = std::floor(mPlot.YOfDb(db)) + 0.5;
    if (y > bottom) continue;
    levels.moveTo(mYScaleMargin, y);
    levels.lineTo(mPlot.mWidth, y);
  }
  mGainGrid->setPainterPath(std::move(levels));

  qDeleteAll(mScaleTexts);
  mScaleTexts.clear();
  emit scaleTextListChanged();
  const double labelY = mPlot.mHeight - mXScaleMargin * 0.5;
  for (const sLabel& label : kLabels) {
    const double x = mPlot.XOfCode(FrequencyToUWORD(label.mHz));
    mScaleTexts.append(new cPEQScaleText(QPointF(x, labelY), QString::fromLatin1(label.mText), this));
  }
  mScaleChanged = true;
  Update();
}

// ---------------------------------------------------------------------------
// Scheduling and the combined curve

void cPEQQmlBackEnd2::Update() {
  Q_ASSERT(QThread::currentThread() == thread());
  if (mTimerId == 0) mTimerId = startTimer(0);
}

void cPEQQmlBackEnd2::SetCombinedPathDirty() {
  mCombinedDirty = true;
  // Within a pass the combined curve comes after the bands anyway.
  if (!mInPass) Update();
}

void cPEQQmlBackEnd2::RecalculateAll() {
  QReadLocker lock(&mBandListLock);
  for (cPEQQmlBandBase2* band : mBands) band->RequestRecalculation();
  SetCombinedPathDirty();
}

void cPEQQmlBackEnd2::timerEvent(QTimerEvent* event) {
  if (event->timerId() != mTimerId) {
    QObject::timerEvent(event);
    return;
  }
  killTimer(mTimerId);
  mTimerId = 0;
  RunScheduledPass();
}

void cPEQQmlBackEnd2::RunScheduledPass() {
  mInPass = true;
  bool coarse = false;
  {
    QReadLocker lock(&mBandListLock);
    coarse = std::any_of(mBands.begin(), mBands.end(), [](cPEQQmlBandBase2* b) { return b->RecalculationWanted(); });
    for (cPEQQmlBandBase2* band : mBands) {
      if (coarse) {
        if (!band->RecalculationWanted() && !band->CoarsePending()) continue;
        // Asked once, drawn once: the full pass follows on the next turn.
        band->ClearRecalculationWanted();
        band->Calculate(false);
      } else {
        if (!band->CoarsePending()) continue;
        band->Calculate(true);
      }
      emit band->graphDragPointChanged();
    }
  }
  if (mCombinedDirty) {
    CalculateCombined(!coarse);
    // A coarse combined curve is replaced in the full pass.
    mCombinedDirty = coarse;
  }
  mInPass = false;
  if (coarse) Update();
  if (!coarse) UpdateMismatchList();
  if (mScaleChanged) {
    mScaleChanged = false;
    emit scaleTextListChanged();
    emit zeroYPosChanged();
  }
}

void cPEQQmlBackEnd2::CalculateCombined(bool full) {
  if (!mCalculateCombinedCurve) return;
  const int step = full ? 1 : peqgraph::kCoarseStep;
  const int width = mPlot.mWidth;
  QVector<QPointF> points;
  QVector<QPointF> quantised;
  QVector<QPointF> output;
  const bool withQuantised = full && mShowQuantised;
  const bool withOutput = full && mShowOutput;
  std::vector<double> pixelHz;
  if (withOutput) {
    for (int i = 0; i <= width; ++i) pixelHz.push_back(UWORDToFrequency(peqgraph::CodeAtPixel(i, width)));
  }
  {
    QReadLocker lock(&mBandListLock);
    for (int i = 0; i <= width; i += step) {
      double sum = 0.0;
      double quantisedSum = 0.0;
      for (cPEQQmlBandBase2* band : mBands) {
        if (band->bandOut() || !band->addToCombined()) continue;
        const std::vector<double>& db = band->PointDb();
        if (std::size_t(i) < db.size()) sum += db[std::size_t(i)];
        const std::vector<double>& qdb = band->QuantisedPointDb();
        if ((withQuantised || withOutput) && std::size_t(i) < qdb.size()) quantisedSum += qdb[std::size_t(i)];
      }
      points.append(QPointF(i, mPlot.YOfDb(sum)));
      if (withQuantised) quantised.append(QPointF(i, mPlot.YOfDb(quantisedSum)));
      if (withOutput && std::size_t(i) < pixelHz.size()) {
        // Far below the plot it is silence; the line keeps to the plot.
        const double level = quantisedSum + mQuantisedOutputChain.LevelDb(pixelHz[std::size_t(i)]);
        output.append(QPointF(i, std::clamp(mPlot.YOfDb(level), 0.0, double(mPlot.mHeight))));
      }
    }
  }
  points = peqgraph::ThinPoints(points);
  mCombinedPathLine->setPainterPath(peqgraph::LinePath(points));
  mCombinedPath->setPainterPath(peqgraph::FillPath(points, FillBaseline(), width));
  if (withQuantised) mQuantisedCombinedPathLine->setPainterPath(peqgraph::LinePath(peqgraph::ThinPoints(quantised)));
  if (withOutput) mOutputPathLine->setPainterPath(peqgraph::LinePath(peqgraph::ThinPoints(output)));
}

void cPEQQmlBackEnd2::UpdateMismatchList() {
  QList<int> mismatched;
  {
    QReadLocker lock(&mBandListLock);
    for (int i = 0; i < mBands.size(); ++i) {
      if (mShowQuantised && mBands[i]->quantisedMismatch()) mismatched.append(i);
    }
  }
  if (mismatched == mQuantisedMismatch) return;
  mQuantisedMismatch = mismatched;
  emit quantisedMismatchChanged();
}
