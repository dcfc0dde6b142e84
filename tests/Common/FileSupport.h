#pragma once

#include <sys/resource.h>
#include <QByteArray>
#include <QFile>
#include <QString>
#include <csignal>

// Whole-file helpers for tests that compare files byte for byte.
inline QByteArray ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

inline bool WriteAll(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// The bytes followed by zeros up to the next multiple of 8.
inline QByteArray ZeroPadded(const QByteArray& bytes) { return bytes + QByteArray((8 - bytes.size() % 8) % 8, '\0'); }

// Lowers the process's file size limit (writes and resizes past it fail
// instead of raising SIGXFSZ) until it goes out of scope.
class cFileSizeLimit {
 public:
  explicit cFileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &mSaved);
    mSavedHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = mSaved;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~cFileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &mSaved);
    std::signal(SIGXFSZ, mSavedHandler);
  }
  cFileSizeLimit(const cFileSizeLimit&) = delete;
  cFileSizeLimit& operator=(const cFileSizeLimit&) = delete;

 private:
  rlimit mSaved{};
  void (*mSavedHandler)(int);
};
