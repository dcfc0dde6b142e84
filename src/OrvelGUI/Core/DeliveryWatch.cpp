#include "OrvelGUI/Core/DeliveryWatch.h"

#include "OrvelGUI/Core/SerialInterface.h"

cDeliveryWatch::cDeliveryWatch(const cSerialInterface& link) : mLink(&link), mSession(link.MarkDelivery().mSession) {
  if (!link.SessionOpen()) {
    mOutcome = NOT_SENT;
  } else if (!link.TakesEntries()) {
    mOutcome = LOST;
  }
}

cDeliveryWatch::eOutcome cDeliveryWatch::Tick(bool unitsBusy) {
  if (mOutcome != WAITING) return mOutcome;
  ++mTicks;
  if (!mMarked) {
    mQuiet = unitsBusy ? 0 : mQuiet + 1;
    if (mQuiet >= kQuietTicks) {
      mMark = mLink->MarkDelivery();
      mMarked = true;
    }
  }
  // Before the mark only the session is looked at: a mark of 0 names nothing.
  const cDeliveryLedger::sMark mark = mMarked ? mMark : cDeliveryLedger::sMark{mSession, 0};
  const cDeliveryLedger::eStatus status =
      mark.mSession == mSession ? mLink->DeliveryStatus(mark) : cDeliveryLedger::LOST;
  if (status == cDeliveryLedger::LOST) {
    mOutcome = LOST;
  } else if (status == cDeliveryLedger::DELIVERED && mMarked) {
    mOutcome = HELD;
  } else if (mTicks >= kTimeoutTicks) {
    mTimedOut = true;
    mOutcome = LOST;
  }
  return mOutcome;
}
