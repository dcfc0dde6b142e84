#pragma once

#include <QPainterPath>
#include <QPointF>
#include <QVector>
#include <vector>

#include "EWNet/Core/Types.h"

// The equaliser graph's arithmetic: the analogue (s-plane) model of each band,
// the point grid, the mappings between codes, decibels and pixels, and the
// thinning of curves into paths. Pure functions; the graph's QObjects call them.
namespace peqgraph {

// The graph's own constants, kept as they were measured for its curves.
constexpr double kPi = 3.141592654;
constexpr double kTwoPi = 6.283185308;
constexpr double kSqrtHalf = 0.707106781187;
// The level drawn where a response is exactly zero.
constexpr double kSilenceDb = -80.0;
// Squared distance below which the middle of three points is dropped.
constexpr double kThinningDistanceSquared = 0.010000000000000002;
// A coarse pass computes every tenth pixel.
constexpr int kCoarseStep = 10;
constexpr int kWidthIndexLimit = 44;
constexpr double kLastQ = 34.623;

// The frequency codes of 20 Hz and 20 kHz, the ends of the plot.
UWORD LowestCode();
UWORD HighestCode();

// N(jw) / D(jw) with N = (a0 - a2 w^2) + j a1 w and D = (b0 - b2 w^2) + j b1 w.
struct sSection {
  double mA2, mA1, mA0, mB2, mB1, mB0;
};

// A band's response: the product of one or two sections.
struct sResponse {
  int mCount = 0;
  sSection mSections[2] = {};
};

// Level in dB at w (rad/s), w2 = w^2; kSilenceDb where the response is zero.
double ResponseDb(const sResponse& response, double w, double w2);

// Q of a width value (index in its high byte); an index above 44 is
// reported and takes the last Q.
double QOfWidth(UWORD width);

// The model of an equaliser band of the given type (nPEQ::eParametricEQType).
sResponse BandResponse(ULONG type, UWORD frequency, UWORD width, GAIN gain);
// The model of a high-pass band of the given slope (nPEQ::eHighPassType).
sResponse HighPassResponse(ULONG slope, UWORD frequency);

// Whether a band type has a gain, and a width, to set.
bool TypeHasGain(ULONG type);
bool TypeHasWidth(ULONG type);

// w and w^2 for every pixel 0..width of a plot `width` pixels wide.
void BuildOmegaGrid(int width, std::vector<double>& omega, std::vector<double>& omegaSquared);
// The frequency code at pixel i of that grid.
UWORD CodeAtPixel(int pixel, int width);

// Plot geometry and its mappings.
struct sPlot {
  int mWidth = 649;
  int mHeight = 325;
  double mGainMin = -20.0;
  double mGainMax = 20.0;

  double PixelsPerDb() const { return mHeight / (mGainMax - mGainMin); }
  double YOfDb(double db) const { return (mGainMax - db) * PixelsPerDb() + 0.5; }
  double XOfCode(UWORD code) const;
  // The code at x (left of 0 counts as 0), not yet limited to a band's range.
  int CodeOfX(double x) const;
  // The gain (1/256 dB) at y (above 0 counts as 0, below the plot as its
  // bottom), not yet limited to a band's range.
  int GainOfY(double y) const;
  // Positions 0..1 of a code and a level, for handles.
  QPointF Normalised(UWORD code, double db) const;
};

// Drops points that lie on the line through their neighbours, repeatedly
// while that removes more than a third.
QVector<QPointF> ThinPoints(const QVector<QPointF>& points);

// Where a handle is drawn from its point, and whether it stands in a row.
struct sHandlePlace {
  QPointF mOffset;
  bool mCrowded = false;
};
// Handles at `points` (pixels) nearer than `spacing` to each other, also
// through others, stand in a row `spacing` apart, left to right as their
// points lie (in their order where points coincide), the row centred on
// the mean of their points, each at its own point's height; the others stay
// on their points.
std::vector<sHandlePlace> SpreadHandles(const std::vector<QPointF>& points, double spacing);

QPainterPath LinePath(const QVector<QPointF>& points);
// From (0, baseline) through the points to (endX, baseline), closed.
QPainterPath FillPath(const QVector<QPointF>& points, double baseline, double endX);

}  // namespace peqgraph
