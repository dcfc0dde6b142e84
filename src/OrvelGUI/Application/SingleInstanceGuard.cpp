#include "OrvelGUI/Application/SingleInstanceGuard.h"

cSingleInstanceGuard::cSingleInstanceGuard(const QString& applicationName)
    : mSegment(applicationName + QStringLiteral("Running")) {}

cSingleInstanceGuard::~cSingleInstanceGuard() { Release(); }

bool cSingleInstanceGuard::TryAcquire() {
  if (mHeld) return true;
  // The second pass is for an orphan whose key file was removed (a cleaned
  // temporary folder): a new key file that gets the old one's identity
  // names it again, so the first create finds it although no attach could.
  // Creating made the key file, so now attach and detach remove it.
  for (int pass = 0; pass < 2; ++pass) {
    if (mSegment.attach()) mSegment.detach();
    if (mSegment.attach()) {
      mSegment.detach();
      return false;
    }
    if (mSegment.create(1)) {
      mHeld = true;
      return true;
    }
    if (mSegment.error() != QSharedMemory::AlreadyExists) return false;
  }
  return false;
}

void cSingleInstanceGuard::Release() {
  if (mSegment.isAttached()) mSegment.detach();
  mHeld = false;
}
