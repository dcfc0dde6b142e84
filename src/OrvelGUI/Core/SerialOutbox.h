#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "EWNet/Core/Types.h"
#include "OrvelGUI/Core/DeliveryLedger.h"
#include "OrvelGUI/Core/LatestValueQueue.h"

// What the device link has to send the processor and what became of what it
// sent: the three queues of filter, strip and delay commands (the latest
// value per target, in the order targets changed) and the delivery ledger
// that numbers every entry and matches the processor's acknowledgements to
// them. It also knows the commands' payload layouts. Not thread-safe: the
// link locks.
class cSerialOutbox {
 public:
  static constexpr std::size_t kMaxCoefficientBytes = 20;
  static constexpr std::size_t kFilterTargets = 36;
  static constexpr std::size_t kStripTargets = 8;
  static constexpr std::size_t kDelayTargets = 6;
  // The longest command payload (a filter with 20 coefficient bytes).
  static constexpr std::size_t kMaxPayload = 4 + kMaxCoefficientBytes + 9;

  struct sFilterEntry {
    ULONG mAddress;
    std::array<std::int32_t, kMaxCoefficientBytes / 4> mCoefficients;
    UWORD mLength;  // coefficient bytes
    UWORD mWord1, mWord2, mWord3;
    UBYTE mByte1, mByte2, mByte3;
  };
  struct sStripEntry {
    ULONG mIndex;
    std::int32_t mLinearGain;
    UWORD mGainWord;
    UBYTE mPolarity;
    UBYTE mMute;
  };
  struct sDelayEntry {
    ULONG mIndex;
    std::int32_t mSamples;
  };
  // Entries waiting in each queue.
  struct sQueueLengths {
    std::size_t mFilters;
    std::size_t mStrips;
    std::size_t mDelays;
  };
  // What the link did so far, for reports.
  struct sTraffic {
    cDeliveryLedger::sTotals mTotals;
    std::size_t mWaiting = 0;      // entries in the queues
    std::size_t mUnconfirmed = 0;  // written in this session, not acknowledged yet
  };
  // The entries one send pass writes: at most one of each queue.
  struct sPass {
    bool mHasFilter = false;
    bool mHasStrip = false;
    bool mHasDelay = false;
    sFilterEntry mFilter{};
    sStripEntry mStrip{};
    sDelayEntry mDelay{};
    bool Any() const { return mHasFilter || mHasStrip || mHasDelay; }
  };

  // False, with nothing changed, when a new target finds every place of its
  // queue taken (only a caller with more targets than the device has).
  bool Offer(const sFilterEntry& entry);
  bool Offer(const sStripEntry& entry);
  bool Offer(const sDelayEntry& entry);
  // Takes the oldest entry of each queue; from now on they wait for their
  // acknowledgement in the ledger (never in a queue and out of it at once).
  sPass TakePass();
  void Acknowledged(int filters, int strips, int delays);

  // The port opened: a new session, with empty queues.
  void StartSession();
  // The port closed: the entries still waiting are dropped; how many.
  std::size_t EndSession();
  bool SessionOpen() const { return mLedger.SessionOpen(); }

  bool Empty() const;
  sQueueLengths Lengths() const;
  cDeliveryLedger::sMark Mark() const { return mLedger.Mark(); }
  cDeliveryLedger::eStatus StatusOf(const cDeliveryLedger::sMark& mark) const;
  std::size_t Unconfirmed() const { return mLedger.Unconfirmed(); }
  sTraffic Traffic() const;

  // The payloads of commands 2, 6 and 8; each returns the length written.
  static ULONG EncodeFilter(const sFilterEntry& entry, UBYTE* payload);
  static ULONG EncodeStrip(const sStripEntry& entry, UBYTE* payload);
  static ULONG EncodeDelay(const sDelayEntry& entry, UBYTE* payload);

 private:
  template <typename tQueue, typename tEntry>
  bool Put(tQueue& queue, const tEntry& entry);
  std::size_t Waiting() const;

  cLatestValueQueue<sFilterEntry, &sFilterEntry::mAddress, kFilterTargets> mFilters;
  cLatestValueQueue<sStripEntry, &sStripEntry::mIndex, kStripTargets> mStrips;
  cLatestValueQueue<sDelayEntry, &sDelayEntry::mIndex, kDelayTargets> mDelays;
  cDeliveryLedger mLedger;
};
