#pragma once

#include <cstddef>
#include <vector>

// Entries waiting to be sent, at most one per target: a new value for a
// target that waits replaces the old one where it stands, a new target joins
// at the back. So the queue never holds more than the number of targets, and
// the device gets each target's latest value in the order targets changed.
// `kKey` names the member that identifies the target. Not thread-safe: the
// owner locks.
template <typename tEntry, auto kKey, std::size_t kCapacity>
class cLatestValueQueue {
 public:
  cLatestValueQueue() { mEntries.reserve(kCapacity); }

  // False, with nothing changed, when a new target finds every place taken.
  bool Put(const tEntry& entry) {
    for (tEntry& waiting : mEntries) {
      if (waiting.*kKey == entry.*kKey) {
        waiting = entry;
        return true;
      }
    }
    if (mEntries.size() == kCapacity) return false;
    mEntries.push_back(entry);
    return true;
  }

  // The oldest target's entry; false when none waits.
  bool Take(tEntry& entry) {
    if (mEntries.empty()) return false;
    entry = mEntries.front();
    mEntries.erase(mEntries.begin());
    return true;
  }

  std::size_t Size() const { return mEntries.size(); }
  bool Empty() const { return mEntries.empty(); }
  void Clear() { mEntries.clear(); }

 private:
  std::vector<tEntry> mEntries;
};
