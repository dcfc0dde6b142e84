#pragma once

#include <QObject>
#include <QThread>

#include "EWNet/Core/Types.h"
#include "QtGUIComponents/EWNetDrivers/SignalSlotDrivers/GuiThreadHandoff.h"

// What the signal-slot drivers share about threads. A driver lives on the GUI
// thread: QML reads it there and every NOTIFY is emitted there. Its net object
// calls back on the dispatch thread (under the registry lock); those callbacks
// only store into the driver's shared values and hand the rest to the GUI
// thread (cGuiThreadHandoff), where the driver compares and emits.

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
