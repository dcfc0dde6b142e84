#pragma once

#include <QMetaObject>
#include <QObject>
#include <QThread>
#include <mutex>
#include <utility>

#include "EWNet/Core/Types.h"

// What the signal-slot drivers share about threads. A driver lives on the GUI
// thread: QML reads it there and every NOTIFY is emitted there. Its net object
// calls back on the dispatch thread (under the registry lock); those callbacks
// only store into the driver's shared values and queue the rest to the GUI
// thread, where the driver compares and emits.

// Qt carries queued work to the other thread through its own event queue,
// whose locks a thread checker does not see (Qt is not instrumented). This
// lock, held while the work is queued and taken again before it runs, makes
// the hand-over of everything the work captured visible.
std::mutex& HandOverLock();

// Runs `work` on the owner's thread at its next event-loop turn; dropped when
// the owner is destroyed first. Any thread.
template <typename tWork>
void QueueToOwnerThread(QObject* owner, tWork&& work) {
  std::lock_guard<std::mutex> queuing(HandOverLock());
  QMetaObject::invokeMethod(
      owner,
      [work = std::forward<tWork>(work)]() mutable {
        { std::lock_guard<std::mutex> received(HandOverLock()); }
        work();
      },
      Qt::QueuedConnection);
}

inline void AssertOwnerThread(const QObject* owner) {
  Q_ASSERT(QThread::currentThread() == owner->thread());
  (void)owner;
}

// Counts the net object's polls and says when a "read" signal is due: on the
// divider-th poll, then the divider-th after that. A divider of 0 never fires.
// Dispatch thread (registry lock).
class cReadDivider {
 public:
  explicit cReadDivider(UBYTE divider) : mDivider(divider) {}
  bool PollDue() {
    if (mDivider == 0) return false;
    if (++mCounter < mDivider) return false;
    mCounter = 0;
    return true;
  }

 private:
  UBYTE mDivider;
  UBYTE mCounter = 0;
};
