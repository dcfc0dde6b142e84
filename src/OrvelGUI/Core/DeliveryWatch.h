#pragma once

#include "EWNet/Core/Types.h"
#include "OrvelGUI/Core/DeliveryLedger.h"

class cSerialInterface;

// Follows, tick by tick, whether the processor comes to hold everything the
// units offered the device link for an operation (a recall), in the session
// in which the operation ran. What an operation causes does not all reach
// the link at once: links between units carry some of it on later
// deliveries, and delays wait a few ticks before they go. So the watch
// first waits until no unit has anything left to offer for kQuietTicks
// ticks in a row, then marks everything offered so far and waits until all
// of it has been written and acknowledged. The session ending first, or
// kTimeoutTicks passing, loses it. Dispatch thread (or whoever owns it).
class cDeliveryWatch {
 public:
  static constexpr int kQuietTicks = 2;
  static constexpr int kTimeoutTicks = 500;  // 10 s of 20 ms ticks

  enum eOutcome : UBYTE {
    LOST = 0,      // not all of it reached the processor
    HELD = 1,      // the processor holds all of it
    NOT_SENT = 2,  // no port was open: nothing was offered to a processor
    WAITING = 3,
  };

  // Starts in the link's current session. NOT_SENT at once without an open
  // port; LOST at once in a state that refuses entries (reading the device
  // back, disconnecting).
  explicit cDeliveryWatch(const cSerialInterface& link);

  // One tick; `unitsBusy`: a unit still has something to offer the link.
  eOutcome Tick(bool unitsBusy);
  eOutcome Outcome() const { return mOutcome; }
  // Ticks the watch ran, for reports.
  int Ticks() const { return mTicks; }
  bool TimedOut() const { return mTimedOut; }

 private:
  const cSerialInterface* mLink;
  std::uint64_t mSession;
  cDeliveryLedger::sMark mMark;
  bool mMarked = false;
  int mQuiet = 0;
  int mTicks = 0;
  bool mTimedOut = false;
  eOutcome mOutcome = WAITING;
};
