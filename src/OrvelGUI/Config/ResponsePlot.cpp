#include "OrvelGUI/Config/ResponsePlot.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QSaveFile>
#include <algorithm>
#include <cmath>
#include <functional>

namespace {

constexpr int kWidth = 1200;
constexpr int kHeight = 1000;
constexpr int kLeft = 70;
constexpr int kRight = 30;
constexpr int kTop = 50;
constexpr int kGap = 50;
constexpr int kBottom = 60;
// The magnitude panel's share of the height both panels take.
constexpr double kMagnitudeShare = 0.6;
// A jump of more than this between neighbours is the phase wrapping, not a
// line to draw.
constexpr double kWrapJump = 180.0;

struct sPanel {
  QRectF mArea;
  double mLowest;
  double mHighest;
  double mStep;
  QString mLabel;

  double Y(double value) const {
    return mArea.bottom() - (std::clamp(value, mLowest, mHighest) - mLowest) / (mHighest - mLowest) * mArea.height();
  }
};

void DrawFrame(QPainter& painter, const sPanel& panel, const std::vector<double>& grid,
               const std::function<double(double)>& x) {
  painter.setFont(QFont("DejaVu Sans", 9));
  const QRectF& area = panel.mArea;
  for (double decade = 10.0; decade <= grid.back(); decade *= 10.0) {
    for (int m = 1; m < 10; ++m) {
      const double hz = decade * m;
      if (hz < grid.front() || hz > grid.back()) continue;
      painter.setPen(m == 1 ? QColor(170, 170, 170) : QColor(225, 225, 225));
      painter.drawLine(QPointF(x(hz), area.top()), QPointF(x(hz), area.bottom()));
      if (m == 1 || m == 2 || m == 5) {
        painter.setPen(Qt::black);
        const QString label = hz >= 1000.0 ? QString::number(hz / 1000.0) + "k" : QString::number(hz);
        painter.drawText(QRectF(x(hz) - 30, area.bottom() + 4, 60, 16), Qt::AlignCenter, label);
      }
    }
  }
  for (double v = panel.mLowest; v <= panel.mHighest + 1e-9; v += panel.mStep) {
    painter.setPen(v == 0.0 ? QColor(120, 120, 120) : QColor(210, 210, 210));
    painter.drawLine(QPointF(area.left(), panel.Y(v)), QPointF(area.right(), panel.Y(v)));
    painter.setPen(Qt::black);
    painter.drawText(QRectF(0, panel.Y(v) - 8, kLeft - 6, 16), Qt::AlignRight | Qt::AlignVCenter, QString::number(v));
  }
  painter.save();
  painter.translate(14, area.center().y());
  painter.rotate(-90);
  painter.drawText(QRectF(-80, -10, 160, 20), Qt::AlignCenter, panel.mLabel);
  painter.restore();
  painter.setPen(Qt::black);
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(area);
}

// A curve as a path that breaks where values are not finite and, for the
// phase, where it wraps.
QPainterPath CurvePath(const std::vector<double>& grid, const std::vector<double>& values, const sPanel& panel,
                       const std::function<double(double)>& x, bool wraps) {
  QPainterPath path;
  bool drawing = false;
  for (std::size_t i = 0; i < grid.size() && i < values.size(); ++i) {
    const double v = values[i];
    if (!std::isfinite(v)) {
      drawing = false;
      continue;
    }
    const QPointF point(x(grid[i]), panel.Y(v));
    if (drawing && !(wraps && std::fabs(v - values[i - 1]) > kWrapJump)) {
      path.lineTo(point);
    } else {
      path.moveTo(point);
    }
    drawing = true;
  }
  return path;
}

}  // namespace

bool WriteResponsePng(const QString& path, const QString& title, const std::vector<double>& grid,
                      const std::vector<sResponseCurve>& curves, QString& error) {
  if (grid.size() < 2) {
    error = "no frequencies to draw";
    return false;
  }
  // The dB range covers every curve, in 6 dB steps, at least -24 .. +12 dB.
  double lowest = -24.0;
  double highest = 12.0;
  for (const sResponseCurve& curve : curves) {
    for (double db : curve.mDecibels) {
      if (!std::isfinite(db)) continue;
      lowest = std::min(lowest, std::max(db, -60.0));
      highest = std::max(highest, std::min(db, 60.0));
    }
  }
  const double panels = kHeight - kTop - kGap - kBottom;
  const double magnitudeHeight = panels * kMagnitudeShare;
  const sPanel magnitude{QRectF(kLeft, kTop, kWidth - kLeft - kRight, magnitudeHeight), std::floor(lowest / 6.0) * 6.0,
                         std::ceil(highest / 6.0) * 6.0, 6.0, "Magnitude (dB)"};
  const sPanel phase{QRectF(kLeft, kTop + magnitudeHeight + kGap, kWidth - kLeft - kRight, panels - magnitudeHeight),
                     -180.0, 180.0, 90.0, "Phase (degrees)"};
  const double logLowest = std::log10(grid.front());
  const double logSpan = std::log10(grid.back()) - logLowest;
  const QRectF& area = magnitude.mArea;
  const std::function<double(double)> x = [&](double hz) {
    return area.left() + (std::log10(hz) - logLowest) / logSpan * area.width();
  };

  QImage image(kWidth, kHeight, QImage::Format_ARGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  DrawFrame(painter, magnitude, grid, x);
  DrawFrame(painter, phase, grid, x);
  painter.drawText(QRectF(phase.mArea.left(), phase.mArea.bottom() + 24, phase.mArea.width(), 20), Qt::AlignCenter,
                   "Frequency (Hz)");
  painter.drawText(QRectF(0, 8, kWidth, 24), Qt::AlignCenter, title);

  int legend = 0;
  for (const sResponseCurve& curve : curves) {
    const QPen pen(curve.mColour, 2.0, curve.mDashed ? Qt::DashLine : Qt::SolidLine);
    for (const sPanel* panel : {&magnitude, &phase}) {
      painter.setClipRect(panel->mArea.adjusted(-1, -1, 1, 1));
      painter.setPen(pen);
      const bool isPhase = panel == &phase;
      painter.drawPath(CurvePath(grid, isPhase ? curve.mPhaseDegrees : curve.mDecibels, *panel, x, isPhase));
    }
    painter.setClipRect(area.adjusted(-1, -1, 1, 1));
    const QPointF at(area.right() - 150, area.top() + 14 + 18 * legend++);
    painter.setPen(pen);
    painter.drawLine(at, at + QPointF(30, 0));
    painter.setPen(Qt::black);
    painter.drawText(at + QPointF(38, 5), curve.mName);
  }
  painter.end();

  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly) || !image.save(&file, "PNG") || !file.commit()) {
    error = path + ": could not be written";
    return false;
  }
  return true;
}
