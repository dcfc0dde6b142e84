#include "OrvelGUI/Core/DeliveryLedger.h"

#include <algorithm>

void cDeliveryLedger::Offered(bool replaced) {
  if (!replaced) ++mTotals.mOffered;
  ++mNext;
}

void cDeliveryLedger::Written(eKind kind, std::uint64_t since) {
  ++mTotals.mWritten;
  std::deque<std::uint64_t>& waiting = mUnconfirmed[std::size_t(kind)];
  if (waiting.size() == kMaxUnconfirmed) {
    mOldestGivenUp = std::min(mOldestGivenUp, waiting.front());
    waiting.pop_front();
  }
  waiting.push_back(since);
}

void cDeliveryLedger::Acknowledged(eKind kind, int count) {
  std::deque<std::uint64_t>& waiting = mUnconfirmed[std::size_t(kind)];
  // More acknowledgements than packets written are the device's business
  // (or belong to packets given up on): they confirm nothing.
  for (; count > 0 && !waiting.empty(); --count) {
    waiting.pop_front();
    ++mTotals.mAcknowledged;
  }
}

void cDeliveryLedger::StartSession() {
  ++mSession;
  mOpen = true;
  for (auto& waiting : mUnconfirmed) waiting.clear();
  mOldestGivenUp = UINT64_MAX;
}

void cDeliveryLedger::EndSession(std::uint64_t dropped) {
  mTotals.mDropped += dropped;
  if (!mOpen) return;
  ++mSession;
  mOpen = false;
  for (auto& waiting : mUnconfirmed) waiting.clear();
  mOldestGivenUp = UINT64_MAX;
}

cDeliveryLedger::eStatus cDeliveryLedger::StatusOf(const sMark& mark, std::uint64_t oldestWaiting) const {
  if (!mOpen || mark.mSession != mSession || mOldestGivenUp <= mark.mSequence) return LOST;
  if (oldestWaiting <= mark.mSequence) return PENDING;
  // Each kind's entries are written in the order of their numbers.
  for (const auto& waiting : mUnconfirmed) {
    if (!waiting.empty() && waiting.front() <= mark.mSequence) return PENDING;
  }
  return DELIVERED;
}

std::size_t cDeliveryLedger::Unconfirmed() const {
  std::size_t count = 0;
  for (const auto& waiting : mUnconfirmed) count += waiting.size();
  return count;
}
