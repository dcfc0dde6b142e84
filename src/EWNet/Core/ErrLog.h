#pragma once

#include <cstddef>
#include <functional>
#include <string>

// Shared error-log routine. Every report carries the source path below src/
// without extension, the line and the function signature. The path comes from
// __FILE__, which the build maps to be relative to src/.

namespace ewlog {

constexpr std::size_t kMaxMessageBytes = 512;

// Length of a path with its extension cut off (the part after the last '.' of
// the last path component).
constexpr std::size_t SourcePathLength(const char* path) {
  std::size_t len = 0;
  while (path[len] != '\0') ++len;
  std::size_t end = len;
  for (std::size_t i = len; i > 0; --i) {
    const char c = path[i - 1];
    if (c == '/') break;
    if (c == '.') {
      end = i - 1;
      break;
    }
  }
  return end;
}

enum class eLevel { Error, Notification };

void Report(eLevel level, const char* path, std::size_t pathLength, int line, const char* function, const char* format,
            ...) __attribute__((format(printf, 6, 7)));

// Formats like a report and discards the text.
void Silent(const char* format, ...) __attribute__((format(printf, 1, 2)));

// A sink receives each finished line (without a trailing newline). The default
// writes to standard error. Installing a null sink restores the default.
using Sink = std::function<void(const std::string& line)>;
void SetSink(Sink sink);

}  // namespace ewlog

#define EW_REPORT_ERROR(...)                                                                       \
  ::ewlog::Report(::ewlog::eLevel::Error, __FILE__, ::ewlog::SourcePathLength(__FILE__), __LINE__, \
                  __PRETTY_FUNCTION__, __VA_ARGS__)
#define EW_REPORT_NOTIFICATION(...)                                                                       \
  ::ewlog::Report(::ewlog::eLevel::Notification, __FILE__, ::ewlog::SourcePathLength(__FILE__), __LINE__, \
                  __PRETTY_FUNCTION__, __VA_ARGS__)
#define EW_SILENT_NOTIFICATION(...) ::ewlog::Silent(__VA_ARGS__)
