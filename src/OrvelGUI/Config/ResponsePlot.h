#pragma once

#include <QColor>
#include <QString>
#include <vector>

// A magnitude-response chart drawn with Qt's painter: logarithmic frequency
// axis, dB axis, one curve per output. Needs a QGuiApplication (for text).

struct sResponseCurve {
  QString mName;
  std::vector<double> mDecibels;  // one per grid frequency
  QColor mColour;
  bool mDashed = false;
};

// Writes a PNG of the curves over `grid` (Hz); the file is replaced only
// when complete. False with `error` when it cannot be written.
bool WriteResponsePng(const QString& path, const QString& title, const std::vector<double>& grid,
                      const std::vector<sResponseCurve>& curves, QString& error);
