#include "OrvelGUI/Config/ResponsePlot.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QSaveFile>
#include <algorithm>
#include <cmath>

namespace {

constexpr int kWidth = 1200;
constexpr int kHeight = 700;
constexpr int kLeft = 70;
constexpr int kRight = 30;
constexpr int kTop = 50;
constexpr int kBottom = 60;

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
  lowest = std::floor(lowest / 6.0) * 6.0;
  highest = std::ceil(highest / 6.0) * 6.0;
  const QRectF area(kLeft, kTop, kWidth - kLeft - kRight, kHeight - kTop - kBottom);
  const double logLowest = std::log10(grid.front());
  const double logSpan = std::log10(grid.back()) - logLowest;
  auto x = [&](double hz) { return area.left() + (std::log10(hz) - logLowest) / logSpan * area.width(); };
  auto y = [&](double db) {
    return area.bottom() - (std::clamp(db, lowest, highest) - lowest) / (highest - lowest) * area.height();
  };

  QImage image(kWidth, kHeight, QImage::Format_ARGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QColor(220, 220, 220));
  painter.setFont(QFont("DejaVu Sans", 9));
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
  for (double db = lowest; db <= highest + 1e-9; db += 6.0) {
    painter.setPen(db == 0.0 ? QColor(120, 120, 120) : QColor(210, 210, 210));
    painter.drawLine(QPointF(area.left(), y(db)), QPointF(area.right(), y(db)));
    painter.setPen(Qt::black);
    painter.drawText(QRectF(0, y(db) - 8, kLeft - 6, 16), Qt::AlignRight | Qt::AlignVCenter, QString::number(db));
  }
  painter.drawText(QRectF(area.left(), area.bottom() + 24, area.width(), 20), Qt::AlignCenter, "Frequency (Hz)");
  painter.drawText(QRectF(0, 8, kWidth, 24), Qt::AlignCenter, title);
  painter.save();
  painter.translate(14, area.center().y());
  painter.rotate(-90);
  painter.drawText(QRectF(-60, -10, 120, 20), Qt::AlignCenter, "Magnitude (dB)");
  painter.restore();
  painter.setPen(Qt::black);
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(area);

  int legend = 0;
  painter.setClipRect(area.adjusted(-1, -1, 1, 1));
  for (const sResponseCurve& curve : curves) {
    QPainterPath path;
    for (std::size_t i = 0; i < grid.size() && i < curve.mDecibels.size(); ++i) {
      const QPointF point(x(grid[i]), y(curve.mDecibels[i]));
      if (i == 0) {
        path.moveTo(point);
      } else {
        path.lineTo(point);
      }
    }
    painter.setPen(QPen(curve.mColour, 2.0, curve.mDashed ? Qt::DashLine : Qt::SolidLine));
    painter.drawPath(path);
    const QPointF at(area.right() - 150, area.top() + 14 + 18 * legend++);
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
