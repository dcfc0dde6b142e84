#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

// Entries waiting to be sent, at most one per target: a new value for a
// target that waits replaces the old one where it stands, a new target joins
// at the back. So the queue never holds more than the number of targets, and
// the device gets each target's latest value in the order targets changed.
// `kKey` names the member that identifies the target. Not thread-safe: the
// owner locks.
//
// Each waiting target also keeps the sequence number of the change that made
// it wait (a replacement keeps the older one), so the owner can tell whether
// everything offered up to some number has left: the numbers only grow from
// the front to the back.
template <typename tEntry, auto kKey, std::size_t kCapacity>
class cLatestValueQueue {
 public:
  static constexpr std::uint64_t kNoneWaiting = std::numeric_limits<std::uint64_t>::max();
  enum ePut { PUT_NEW, PUT_REPLACED, PUT_FULL };

  cLatestValueQueue() { mSlots.reserve(kCapacity); }

  // PUT_FULL, with nothing changed, when a new target finds every place
  // taken. `sequence` is kept only for a new target.
  ePut Put(const tEntry& entry, std::uint64_t sequence = 0) {
    for (sSlot& waiting : mSlots) {
      if (waiting.mEntry.*kKey == entry.*kKey) {
        waiting.mEntry = entry;
        return PUT_REPLACED;
      }
    }
    if (mSlots.size() == kCapacity) return PUT_FULL;
    mSlots.push_back({entry, sequence});
    return PUT_NEW;
  }

  // The oldest target's entry and the number it waits since; false when none
  // waits.
  bool Take(tEntry& entry, std::uint64_t* since = nullptr) {
    if (mSlots.empty()) return false;
    entry = mSlots.front().mEntry;
    if (since != nullptr) *since = mSlots.front().mSince;
    mSlots.erase(mSlots.begin());
    return true;
  }

  // The smallest sequence number still waiting, kNoneWaiting when empty.
  std::uint64_t OldestSince() const { return mSlots.empty() ? kNoneWaiting : mSlots.front().mSince; }

  std::size_t Size() const { return mSlots.size(); }
  bool Empty() const { return mSlots.empty(); }
  void Clear() { mSlots.clear(); }

 private:
  struct sSlot {
    tEntry mEntry;
    std::uint64_t mSince;
  };
  std::vector<sSlot> mSlots;
};
