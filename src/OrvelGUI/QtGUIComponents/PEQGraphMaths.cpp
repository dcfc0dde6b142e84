#include "OrvelGUI/QtGUIComponents/PEQGraphMaths.h"

#include <algorithm>
#include <cmath>

#include "AES-Standards/Convert.h"
#include "EWNet/Core/ErrLog.h"
#include "OrvelGUI/Core/BiquadDesign.h"

namespace peqgraph {

namespace {

// Second-order high-pass s^2 / (s^2 + (w0/q) s + w0^2).
sSection SecondOrderHighPass(double w0, double q) { return {1.0, 0.0, 0.0, 1.0, w0 / q, w0 * w0}; }
// First-order high-pass s / (s + w0).
sSection FirstOrderHighPass(double w0) { return {0.0, 1.0, 0.0, 0.0, 1.0, w0}; }

double MagnitudeSquared(double real, double imaginary) { return real * real + imaginary * imaginary; }

}  // namespace

UWORD LowestCode() {
  static const UWORD code = FrequencyToUWORD(20.0);
  return code;
}

UWORD HighestCode() {
  static const UWORD code = FrequencyToUWORD(20000.0);
  return code;
}

double ResponseDb(const sResponse& response, double w, double w2) {
  double numerator = 1.0;
  double denominator = 1.0;
  for (int k = 0; k < response.mCount; ++k) {
    const sSection& s = response.mSections[k];
    numerator *= MagnitudeSquared(s.mA0 - s.mA2 * w2, s.mA1 * w);
    denominator *= MagnitudeSquared(s.mB0 - s.mB2 * w2, s.mB1 * w);
  }
  if (numerator == 0.0) return kSilenceDb;
  // A pole on the axis: as loud as silence is quiet.
  if (denominator == 0.0) return -kSilenceDb;
  return 10.0 * std::log10(numerator / denominator);
}

double QOfWidth(UWORD width) {
  const int index = width >> 8;
  if (index > kWidthIndexLimit) {
    EW_REPORT_ERROR("Width index out of range %d", index);
    return kLastQ;
  }
  // The same table the units design with.
  return biquad::QFromWidth(width);
}

bool TypeHasGain(ULONG type) {
  return type == nPEQ::BELL || type == nPEQ::LFSHELF || type == nPEQ::HFSHELF || type == nPEQ::NOTCH;
}

bool TypeHasWidth(ULONG type) { return type == nPEQ::BELL || type == nPEQ::NOTCH; }

sResponse BandResponse(ULONG type, UWORD frequency, UWORD width, GAIN gain) {
  const double w0 = kTwoPi * UWORDToFrequency(frequency);
  const double q = QOfWidth(width);
  const bool contour = type == nPEQ::LOW_CONTOUR || type == nPEQ::HIGH_CONTOUR;
  const double a = contour ? std::pow(10.0, -0.45) : std::pow(10.0, gain / 256.0 / 20.0);
  const double w = kPi / q;
  const double l = w * (a - 1.0) / (a + 1.0);
  const double c = kTwoPi * w0;
  sResponse response;
  response.mCount = 1;
  sSection& s = response.mSections[0];
  switch (type) {
    case nPEQ::LFSHELF:
    case nPEQ::LOW_CONTOUR:
      s = {0.0, 1.0, c * a / (a + 1.0), 0.0, 1.0, c / (a + 1.0)};
      break;
    case nPEQ::HFSHELF:
    case nPEQ::HIGH_CONTOUR:
      s = {0.0, kTwoPi * a / (a + 1.0), w0, 0.0, kTwoPi / (a + 1.0), w0};
      break;
    case nPEQ::LPASS:
      s = {0.0, 0.0, w0 * w0, 1.0, w0 / kSqrtHalf, w0 * w0};
      break;
    case nPEQ::HPASS:
      s = {1.0, 0.0, 0.0, 1.0, w0 / kSqrtHalf, w0 * w0};
      break;
    default:  // BELL, NOTCH and anything unknown draw a bell
      s = {1.0, (w + l) * w0, w0 * w0, 1.0, (w - l) * w0, w0 * w0};
      break;
  }
  return response;
}

sResponse HighPassResponse(ULONG slope, UWORD frequency) {
  const double w0 = kTwoPi * UWORDToFrequency(frequency);
  sResponse response;
  switch (slope) {
    case nPEQ::HPF_BUTTERWORTH_18_DB:
      response.mCount = 2;
      response.mSections[0] = FirstOrderHighPass(w0);
      response.mSections[1] = SecondOrderHighPass(w0, 1.0);
      break;
    case nPEQ::HPF_BUTTERWORTH_24_DB:
      response.mCount = 2;
      response.mSections[0] = SecondOrderHighPass(w0, 0.541196100146);
      response.mSections[1] = SecondOrderHighPass(w0, 1.306562964876);
      break;
    case nPEQ::HPF_BESSEL_18_DB:
      response.mCount = 2;
      response.mSections[0] = FirstOrderHighPass(w0 / 1.32267579991);
      response.mSections[1] = SecondOrderHighPass(w0 / 1.44761713315, 0.691046625825);
      break;
    default:  // 12 dB Butterworth, and unknown slopes
      response.mCount = 1;
      response.mSections[0] = SecondOrderHighPass(w0, kSqrtHalf);
      break;
  }
  return response;
}

UWORD CodeAtPixel(int pixel, int width) {
  const int span = HighestCode() - LowestCode();
  return UWORD(std::trunc(double(std::min(pixel, width)) * span / width + LowestCode()));
}

void BuildOmegaGrid(int width, std::vector<double>& omega, std::vector<double>& omegaSquared) {
  omega.resize(std::size_t(width) + 1);
  omegaSquared.resize(omega.size());
  for (int i = 0; i <= width; ++i) {
    omega[std::size_t(i)] = kTwoPi * UWORDToFrequency(CodeAtPixel(i, width));
    omegaSquared[std::size_t(i)] = omega[std::size_t(i)] * omega[std::size_t(i)];
  }
}

double sPlot::XOfCode(UWORD code) const {
  return (double(code) - LowestCode()) * mWidth / (HighestCode() - LowestCode());
}

int sPlot::CodeOfX(double x) const {
  const double span = HighestCode() - LowestCode();
  return int(std::trunc(std::max(x, 0.0) * span / mWidth + LowestCode()));
}

int sPlot::GainOfY(double y) const {
  const double clamped = std::min(std::max(y, 0.0), double(mHeight));
  return int(std::trunc((mGainMax - clamped / PixelsPerDb()) * 256.0));
}

QPointF sPlot::Normalised(UWORD code, double db) const {
  return QPointF((double(code) - LowestCode()) / (HighestCode() - LowestCode()),
                 (mGainMax - db) / (mGainMax - mGainMin));
}

namespace {

// One round: the first of every triple stays, its middle only when it bends.
QVector<QPointF> ThinOnce(const QVector<QPointF>& in) {
  QVector<QPointF> out;
  out.reserve(in.size());
  int i = 0;
  for (; i + 2 < in.size(); i += 2) {
    const QPointF& a = in[i];
    const QPointF& b = in[i + 1];
    const QPointF& c = in[i + 2];
    out.append(a);
    const double dx = c.x() - a.x();
    const double dy = c.y() - a.y();
    const double length2 = dx * dx + dy * dy;
    double distance2;
    if (length2 == 0.0) {
      distance2 = MagnitudeSquared(b.x() - a.x(), b.y() - a.y());
    } else {
      const double cross = dx * (b.y() - a.y()) - dy * (b.x() - a.x());
      distance2 = cross * cross / length2;
    }
    if (distance2 >= kThinningDistanceSquared) out.append(b);
  }
  for (; i < in.size(); ++i) out.append(in[i]);
  return out;
}

}  // namespace

QVector<QPointF> ThinPoints(const QVector<QPointF>& points) {
  QVector<QPointF> input = points;
  while (input.size() >= 2) {
    QVector<QPointF> result = ThinOnce(input);
    // Another round only after one that removed more than a third.
    if (3 * result.size() >= 2 * input.size()) return result;
    input = std::move(result);
  }
  return input;
}

std::vector<sHandlePlace> SpreadHandles(const std::vector<QPointF>& points, double spacing) {
  const std::size_t count = points.size();
  // Each handle's row, named by its first handle.
  std::vector<std::size_t> row(count);
  for (std::size_t i = 0; i < count; ++i) row[i] = i;
  for (std::size_t i = 0; i < count; ++i) {
    for (std::size_t j = 0; j < i; ++j) {
      const QPointF d = points[i] - points[j];
      if (row[i] == row[j] || std::hypot(d.x(), d.y()) >= spacing) continue;
      const std::size_t from = std::max(row[i], row[j]);
      const std::size_t to = std::min(row[i], row[j]);
      for (std::size_t& r : row) {
        if (r == from) r = to;
      }
    }
  }
  std::vector<sHandlePlace> places(count);
  for (std::size_t first = 0; first < count; ++first) {
    if (row[first] != first) continue;
    std::vector<std::size_t> members;
    double sumX = 0.0;
    for (std::size_t i = first; i < count; ++i) {
      if (row[i] != first) continue;
      members.push_back(i);
      sumX += points[i].x();
    }
    if (members.size() < 2) continue;
    // Left to right as their points lie (band order where they coincide),
    // so no two handles of the row come nearer than the spacing, even where
    // their points are apart.
    std::stable_sort(members.begin(), members.end(),
                     [&points](std::size_t a, std::size_t b) { return points[a].x() < points[b].x(); });
    const double size = double(members.size());
    const double left = sumX / size - (size - 1.0) / 2.0 * spacing;
    for (std::size_t k = 0; k < members.size(); ++k) {
      const std::size_t i = members[k];
      places[i].mOffset = QPointF(left + double(k) * spacing - points[i].x(), 0.0);
      places[i].mCrowded = true;
    }
  }
  return places;
}

QPainterPath LinePath(const QVector<QPointF>& points) {
  QPainterPath path;
  if (points.isEmpty()) return path;
  path.moveTo(points.first());
  for (int i = 1; i < points.size(); ++i) path.lineTo(points[i]);
  return path;
}

QPainterPath FillPath(const QVector<QPointF>& points, double baseline, double endX) {
  QPainterPath path;
  path.moveTo(0.0, baseline);
  for (const QPointF& p : points) path.lineTo(p);
  path.lineTo(endX, baseline);
  path.closeSubpath();
  return path;
}

}  // namespace peqgraph
