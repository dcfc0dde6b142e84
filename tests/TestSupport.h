#pragma once

#include <QString>
#include <QStringList>
#include <mutex>
#include <string>
#include <vector>

#include "EWNet/Core/ErrLog.h"

// Captures every error-log line for the lifetime of the object, so tests can
// assert on report texts. Thread-safe: reports may come from any thread.
class cReportCapture {
 public:
  cReportCapture() {
    ewlog::SetSink([this](const std::string& line) {
      std::lock_guard<std::mutex> guard(mLock);
      mLines.push_back(line);
    });
  }
  ~cReportCapture() { ewlog::SetSink(nullptr); }
  cReportCapture(const cReportCapture&) = delete;
  cReportCapture& operator=(const cReportCapture&) = delete;

  std::vector<std::string> Lines() {
    std::lock_guard<std::mutex> guard(mLock);
    return mLines;
  }
  // Number of lines that contain the text.
  int Count(const std::string& text) {
    std::lock_guard<std::mutex> guard(mLock);
    int n = 0;
    for (const auto& line : mLines) n += line.find(text) != std::string::npos ? 1 : 0;
    return n;
  }
  bool Contains(const std::string& text) { return Count(text) > 0; }
  void Clear() {
    std::lock_guard<std::mutex> guard(mLock);
    mLines.clear();
  }
  QString Dump() {
    std::lock_guard<std::mutex> guard(mLock);
    QStringList all;
    for (const auto& line : mLines) all << QString::fromStdString(line);
    return all.join('\n');
  }

 private:
  std::mutex mLock;
  std::vector<std::string> mLines;
};
