#include "OrvelGUI/QtGUIComponents/PEQQmlBandBase2.h"

#include <algorithm>
#include <cmath>

#include "AES-Standards/Convert.h"
#include "EWNet/Core/ErrLog.h"
#include "OrvelGUI/QtGUIComponents/PEQQmlBackEnd2.h"

namespace {

// A band not yet in a graph draws on the graph's default plot.
const peqgraph::sPlot kDefaultPlot{};

}  // namespace

cPEQQmlBandBase2::cPEQQmlBandBase2(QObject* parent)
    : QObject(parent),
      mPath(new QPainterPathWrapper(this)),
      mLinePath(new QPainterPathWrapper(this)),
      mQuantisedLinePath(new QPainterPathWrapper(this)) {}

cPEQQmlBandBase2::~cPEQQmlBandBase2() = default;

const peqgraph::sPlot& cPEQQmlBandBase2::Plot() const { return mGraph != nullptr ? mGraph->Plot() : kDefaultPlot; }

QPointF cPEQQmlBandBase2::graphDragPoint() const {
  return Plot().Normalised(mFrequency, HasGain() ? mGain / 256.0 : 0.0);
}

void cPEQQmlBandBase2::SetHandleOffset(QPointF offset, bool crowded) {
  if (offset == mHandleOffset && crowded == mHandleCrowded) return;
  mHandleOffset = offset;
  mHandleCrowded = crowded;
  emit handleOffsetChanged();
}

double cPEQQmlBandBase2::frequencyRangeMin() const { return UWORDToFrequency(mFrequencyRangeMin); }
double cPEQQmlBandBase2::frequencyRangeMax() const { return UWORDToFrequency(mFrequencyRangeMax); }

bool cPEQQmlBandBase2::bandOut() const { return mBypassed || (mGraph != nullptr && mGraph->fullyBypassed()); }

void cPEQQmlBandBase2::setBypassed(bool bypassed) {
  if (bypassed == mBypassed) return;
  const bool wasOut = bandOut();
  mBypassed = bypassed;
  if (mAddToCombined && mGraph != nullptr) mGraph->SetCombinedPathDirty();
  emit bypassedChanged();
  if (bandOut() != wasOut) emit bandOutChanged();
}

void cPEQQmlBandBase2::EqualiserOutChanged() {
  // A bypassed band stays out either way.
  if (!mBypassed) emit bandOutChanged();
}

void cPEQQmlBandBase2::setFrequencyRangeMin(double hz) {
  const UWORD code = FrequencyToUWORD(hz);
  if (code == mFrequencyRangeMin) return;
  mFrequencyRangeMin = code;
  emit frequencyRangeMinChanged();
}

void cPEQQmlBandBase2::setFrequencyRangeMax(double hz) {
  const UWORD code = FrequencyToUWORD(hz);
  if (code == mFrequencyRangeMax) return;
  mFrequencyRangeMax = code;
  emit frequencyRangeMaxChanged();
}

namespace {

// dB to 1/256 dB, within what a GAIN holds.
GAIN GainOfDb(double db) { return GAIN(std::clamp(std::lround(db * 256.0), -32767L, 32767L)); }

}  // namespace

void cPEQQmlBandBase2::setGainRangeMin(double db) {
  const GAIN gain = GainOfDb(db);
  if (gain == mGainRangeMin) return;
  if (gain >= mGainRangeMax) {
    EW_REPORT_ERROR("Gain range minimum %.2f dB refused: not below the maximum %.2f dB", db, gainRangeMax());
    return;
  }
  mGainRangeMin = gain;
  emit gainRangeMinChanged();
}

void cPEQQmlBandBase2::setGainRangeMax(double db) {
  const GAIN gain = GainOfDb(db);
  if (gain == mGainRangeMax) return;
  if (gain <= mGainRangeMin) {
    EW_REPORT_ERROR("Gain range maximum %.2f dB refused: not above the minimum %.2f dB", db, gainRangeMin());
    return;
  }
  mGainRangeMax = gain;
  emit gainRangeMaxChanged();
}

void cPEQQmlBandBase2::setAddToCombined(bool add) {
  if (add == mAddToCombined) return;
  mAddToCombined = add;
  if (!mBypassed && mGraph != nullptr) mGraph->SetCombinedPathDirty();
  emit addToCombinedChanged(add);
}

void cPEQQmlBandBase2::setBandColour(QColor colour) {
  if (colour == mBandColour) return;
  mBandColour = colour;
  emit bandColourChanged(colour);
}

void cPEQQmlBandBase2::AttachToGraph(cPEQQmlBackEnd2* graph) {
  mGraph = graph;
  RebuildPointGrid();
}

void cPEQQmlBandBase2::RebuildPointGrid() {
  const int width = Plot().mWidth;
  peqgraph::BuildOmegaGrid(width, mOmega, mOmegaSquared);
  mDb.assign(mOmega.size(), 0.0);
  mQuantisedDb.clear();
  mQuantisedSections.clear();
}

void cPEQQmlBandBase2::RequestRecalculation() {
  mRecalculationWanted = true;
  if (mGraph != nullptr) mGraph->Update();
}

void cPEQQmlBandBase2::Calculate(bool full) {
  full = full || AlwaysFull();
  const peqgraph::sPlot& plot = Plot();
  const peqgraph::sResponse response = Response();
  const int step = full ? 1 : peqgraph::kCoarseStep;
  const int last = int(mOmega.size()) - 1;
  QVector<QPointF> points;
  points.reserve(last / step + 1);
  for (int i = 0; i <= last; i += step) {
    const double db = peqgraph::ResponseDb(response, mOmega[std::size_t(i)], mOmegaSquared[std::size_t(i)]);
    mDb[std::size_t(i)] = db;
    points.append(QPointF(i, plot.YOfDb(db)));
  }
  points = peqgraph::ThinPoints(points);
  const double baseline = mGraph != nullptr ? mGraph->FillBaseline() : plot.YOfDb(0.0);
  mLinePath->setPainterPath(peqgraph::LinePath(points));
  mPath->setPainterPath(peqgraph::FillPath(points, baseline, plot.mWidth + 1));
  if (!full) {
    mCoarsePending = true;
    if (mGraph != nullptr) mGraph->Update();
    return;
  }
  mCoarsePending = false;
  if (mGraph == nullptr) return;
  if (mGraph->QuantisedWanted()) CalculateQuantised();
  if (!bandOut() && mAddToCombined) mGraph->SetCombinedPathDirty();
}

void cPEQQmlBandBase2::CalculateQuantised() {
  const peqgraph::sQuantisedBand band = QuantisedResponse();
  if (band.mSections == mQuantisedSections && mQuantisedDb.size() == mOmega.size()) return;
  mQuantisedSections = band.mSections;
  const peqgraph::sPlot& plot = Plot();
  mQuantisedDb.resize(mOmega.size());
  QVector<QPointF> points;
  points.reserve(int(mOmega.size()));
  double deviation = 0.0;
  for (std::size_t i = 0; i < mOmega.size(); ++i) {
    const double hz = mOmega[i] / peqgraph::kTwoPi;
    // Silence is silence, however deep: levels are compared from -80 dB up.
    const double db = std::clamp(peqgraph::QuantisedBandDb(band, hz), peqgraph::kSilenceDb, -peqgraph::kSilenceDb);
    mQuantisedDb[i] = db;
    points.append(QPointF(double(i), plot.YOfDb(db)));
    if (hz < kMismatchBelowHz) {
      deviation = std::max(deviation, std::abs(db - std::max(mDb[i], peqgraph::kSilenceDb)));
    }
  }
  mQuantisedLinePath->setPainterPath(peqgraph::LinePath(peqgraph::ThinPoints(points)));
  if (deviation == mQuantisedDeviation && band.mSaturated == mQuantisedSaturated) return;
  mQuantisedDeviation = deviation;
  mQuantisedSaturated = band.mSaturated;
  emit quantisedChanged();
}

void cPEQQmlBandBase2::beginDrag(int XPos) {
  mDragAnchored = true;
  mDragX = XPos;
  mDragFrequency = mFrequency;
}

bool cPEQQmlBandBase2::DragFrequencyTo(int x) {
  const int code = mDragAnchored && x == mDragX ? int(mDragFrequency)
                                                : std::clamp(Plot().CodeOfX(x), int(mFrequencyRangeMin),
                                                             int(std::max(mFrequencyRangeMin, mFrequencyRangeMax)));
  if (code == mFrequency) return false;
  mFrequency = UWORD(code);
  emit FreqChanged();
  return true;
}

void cPEQQmlBandBase2::setDragPos(int XPos, int YPos) {
  bool changed = DragFrequencyTo(XPos);
  if (HasGain()) {
    const int gain = std::clamp(Plot().GainOfY(YPos), int(mGainRangeMin), int(mGainRangeMax));
    if (gain != mGain) {
      mGain = GAIN(gain);
      emit GainChanged();
      changed = true;
    }
  }
  if (changed) Calculate(false);
}

void cPEQQmlBandBase2::setPinchDelta(double PinchDelta) {
  if (!HasWidth() || std::isnan(PinchDelta)) return;
  const double minimum = mWidthRangeMin;
  const double maximum = mWidthRangeMax;
  const double width = std::clamp(mWidth + (minimum - maximum) / 50.0 * PinchDelta, minimum, maximum);
  const UWORD next = UWORD(std::lround(width));
  if (next == mWidth) return;
  mWidth = next;
  emit WidthChanged();
  Calculate(false);
}

void cPEQQmlBandBase2::SetFrequency(UWORD frequency) {
  if (frequency == mFrequency) return;
  mFrequency = frequency;
  // Moved from elsewhere: a drag's starting frequency is history.
  mDragAnchored = false;
  Calculate(true);
  emit graphDragPointChanged();
}

void cPEQQmlBandBase2::SetWidth(UWORD width) {
  if (width == mWidth) return;
  mWidth = width;
  Calculate(true);
}

void cPEQQmlBandBase2::SetGain(GAIN gain) {
  if (gain == mGain) return;
  mGain = gain;
  Calculate(true);
  emit graphDragPointChanged();
}

void cPEQQmlBandBase2::SetFrequencyRangeMinMax(UWORD minimum, UWORD maximum) {
  const bool minChanged = minimum != mFrequencyRangeMin;
  const bool maxChanged = maximum != mFrequencyRangeMax;
  mFrequencyRangeMin = minimum;
  mFrequencyRangeMax = maximum;
  if (minChanged) emit frequencyRangeMinChanged();
  if (maxChanged) emit frequencyRangeMaxChanged();
  Calculate(true);
}

void cPEQQmlBandBase2::SetBandPass(bool bandPass) {
  if (bandPass == mBandPass) return;
  mBandPass = bandPass;
  emit BandPassChanged();
  Calculate(true);
}

void cPEQQmlBandBase2::SetBandPassFreq(UWORD frequency) {
  if (frequency == mBandPassFreq) return;
  mBandPassFreq = frequency;
  Calculate(true);
  emit graphDragPointChanged();
}
