#pragma once

#include <QColor>
#include <QString>
#include <vector>

// A response chart drawn with Qt's painter: logarithmic frequency axis, a
// magnitude panel (dB) above a phase panel (degrees), one curve per output.
// Needs a QGuiApplication (for text).

struct sResponseCurve {
  QString mName;
  // One value per grid frequency each; phases wrapped into (-180, 180].
  // Values that are not finite are left out of the drawing.
  std::vector<double> mDecibels;
  std::vector<double> mPhaseDegrees;
  std::vector<double> mGroupDelayMs;
  QColor mColour;
  bool mDashed = false;
};

// Writes a PNG of the curves over `grid` (Hz); the file is replaced only
// when complete. False with `error` when it cannot be written.
bool WriteResponsePng(const QString& path, const QString& title, const std::vector<double>& grid,
                      const std::vector<sResponseCurve>& curves, QString& error);
