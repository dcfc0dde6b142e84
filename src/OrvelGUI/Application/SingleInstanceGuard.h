#pragma once

#include <QSharedMemory>
#include <QString>

// Refuses a second running copy of a program: a one-byte shared-memory
// segment keyed by the application name followed by "Running" exists while
// a copy holds it. Every program of the product that shares the name shares
// the rule.
//
// A copy that was killed leaves its segment behind with nobody attached.
// Attaching and detaching at once removes such a segment (the last detach
// of an orphan removes it), so the next start is not refused; a segment
// that a live copy holds survives that and refuses the start. The segment's
// key file lives in the temporary folder (TMPDIR); an orphan whose key file
// was cleared away is found and removed the same way once the next start
// has made the key file again.
class cSingleInstanceGuard {
 public:
  explicit cSingleInstanceGuard(const QString& applicationName);
  ~cSingleInstanceGuard();
  cSingleInstanceGuard(const cSingleInstanceGuard&) = delete;
  cSingleInstanceGuard& operator=(const cSingleInstanceGuard&) = delete;

  // True when this copy now holds the segment; false when another does.
  bool TryAcquire();
  void Release();

 private:
  QSharedMemory mSegment;
  bool mHeld = false;
};
