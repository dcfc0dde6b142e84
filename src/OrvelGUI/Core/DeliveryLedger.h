#pragma once

#include <array>
#include <cstdint>
#include <deque>

// What the device link knows about whether the processor holds what it was
// offered. Every entry offered gets the next sequence number; an entry
// written to the line waits for the device's acknowledgement (a reply of
// the command's own type: 2, 6 or 8), which arrives in the order the
// commands were written. A mark names everything offered up to a moment of
// one session (one opening of the port); it is delivered once nothing it
// names waits in a queue or for its acknowledgement, and lost when the
// session ends first. Not thread-safe: the link locks.
class cDeliveryLedger {
 public:
  enum eKind : int { FILTER = 0, STRIP = 1, DELAY = 2 };
  static constexpr int kKinds = 3;
  enum eStatus : int { PENDING = 0, DELIVERED = 1, LOST = 2 };
  // Acknowledgements waited for per kind; a device that stops sending them
  // makes the oldest unconfirmable rather than the ledger grow.
  static constexpr std::size_t kMaxUnconfirmed = 64;

  struct sMark {
    std::uint64_t mSession = 0;
    std::uint64_t mSequence = 0;
  };
  // Counts since the link was made, for reports.
  struct sTotals {
    std::uint64_t mOffered = 0;       // entries taken into the queues (a replaced one counts once)
    std::uint64_t mWritten = 0;       // packets handed to the line
    std::uint64_t mAcknowledged = 0;  // acknowledgements matched to them
    std::uint64_t mDropped = 0;       // waiting entries given up when a session ended
  };

  // The number the next entry offered gets.
  std::uint64_t NextSequence() const { return mNext; }
  // That entry was taken; `replaced` when it only took the place of one
  // already waiting (which keeps its older number and is not counted again).
  void Offered(bool replaced);
  // An entry that waited since `since` goes to the line now.
  void Written(eKind kind, std::uint64_t since);
  // `count` acknowledgements of `kind` were read.
  void Acknowledged(eKind kind, int count);
  // The port opened: a new session.
  void StartSession();
  // The port closed with `dropped` entries still waiting: the session's
  // marks can no longer be delivered.
  void EndSession(std::uint64_t dropped);
  bool SessionOpen() const { return mOpen; }
  std::uint64_t Session() const { return mSession; }

  sMark Mark() const { return {mSession, mNext - 1}; }
  // `oldestWaiting`: the smallest sequence number still in a queue.
  eStatus StatusOf(const sMark& mark, std::uint64_t oldestWaiting) const;
  // Entries written in this session and not acknowledged yet.
  std::size_t Unconfirmed() const;
  sTotals Totals() const { return mTotals; }

 private:
  std::uint64_t mNext = 1;
  std::uint64_t mSession = 0;
  bool mOpen = false;
  std::array<std::deque<std::uint64_t>, kKinds> mUnconfirmed;
  // The oldest entry whose acknowledgement was given up on in this session.
  std::uint64_t mOldestGivenUp = UINT64_MAX;
  sTotals mTotals;
};
