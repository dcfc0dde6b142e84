#include "EWNet/Core/ErrLog.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>

namespace ewlog {
namespace {

std::mutex& LogLock() {
  static std::mutex lock;
  return lock;
}

Sink& CurrentSink() {
  static Sink sink;
  return sink;
}

}  // namespace

void Report(eLevel level, const char* path, std::size_t pathLength, int line, const char* function, const char* format,
            ...) {
  (void)function;
  char text[kMaxMessageBytes];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);

  std::string out = level == eLevel::Error ? "ERROR: " : "Notification: ";
  out += text;
  out += "\t(file:///";
  out.append(path, pathLength);
  out += ':';
  out += std::to_string(line);
  out += ":)";

  std::lock_guard<std::mutex> guard(LogLock());
  if (CurrentSink()) {
    CurrentSink()(out);
  } else {
    std::fprintf(stderr, "%s\n", out.c_str());
  }
}

void Silent(const char* format, ...) {
  char text[kMaxMessageBytes];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
}

void SetSink(Sink sink) {
  std::lock_guard<std::mutex> guard(LogLock());
  CurrentSink() = std::move(sink);
}

}  // namespace ewlog
