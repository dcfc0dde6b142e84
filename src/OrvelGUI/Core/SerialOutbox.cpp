#include "OrvelGUI/Core/SerialOutbox.h"

#include <QtEndian>
#include <algorithm>

template <typename tQueue, typename tEntry>
bool cSerialOutbox::Put(tQueue& queue, const tEntry& entry) {
  const auto put = queue.Put(entry, mLedger.NextSequence());
  if (put == tQueue::PUT_FULL) return false;
  mLedger.Offered(put == tQueue::PUT_REPLACED);
  return true;
}

bool cSerialOutbox::Offer(const sFilterEntry& entry) { return Put(mFilters, entry); }
bool cSerialOutbox::Offer(const sStripEntry& entry) { return Put(mStrips, entry); }
bool cSerialOutbox::Offer(const sDelayEntry& entry) { return Put(mDelays, entry); }

cSerialOutbox::sPass cSerialOutbox::TakePass() {
  sPass pass;
  std::uint64_t since = 0;
  pass.mHasFilter = mFilters.Take(pass.mFilter, &since);
  if (pass.mHasFilter) mLedger.Written(cDeliveryLedger::FILTER, since);
  pass.mHasStrip = mStrips.Take(pass.mStrip, &since);
  if (pass.mHasStrip) mLedger.Written(cDeliveryLedger::STRIP, since);
  pass.mHasDelay = mDelays.Take(pass.mDelay, &since);
  if (pass.mHasDelay) mLedger.Written(cDeliveryLedger::DELAY, since);
  return pass;
}

void cSerialOutbox::Acknowledged(int filters, int strips, int delays) {
  mLedger.Acknowledged(cDeliveryLedger::FILTER, filters);
  mLedger.Acknowledged(cDeliveryLedger::STRIP, strips);
  mLedger.Acknowledged(cDeliveryLedger::DELAY, delays);
}

void cSerialOutbox::StartSession() {
  mFilters.Clear();
  mStrips.Clear();
  mDelays.Clear();
  mLedger.StartSession();
}

std::size_t cSerialOutbox::EndSession() {
  const std::size_t dropped = Waiting();
  mFilters.Clear();
  mStrips.Clear();
  mDelays.Clear();
  mLedger.EndSession(dropped);
  return dropped;
}

std::size_t cSerialOutbox::Waiting() const { return mFilters.Size() + mStrips.Size() + mDelays.Size(); }

bool cSerialOutbox::Empty() const { return Waiting() == 0; }

cSerialOutbox::sQueueLengths cSerialOutbox::Lengths() const {
  return sQueueLengths{mFilters.Size(), mStrips.Size(), mDelays.Size()};
}

cDeliveryLedger::eStatus cSerialOutbox::StatusOf(const cDeliveryLedger::sMark& mark) const {
  const std::uint64_t oldest = std::min({mFilters.OldestSince(), mStrips.OldestSince(), mDelays.OldestSince()});
  return mLedger.StatusOf(mark, oldest);
}

cSerialOutbox::sTraffic cSerialOutbox::Traffic() const {
  sTraffic traffic;
  traffic.mTotals = mLedger.Totals();
  traffic.mWaiting = Waiting();
  traffic.mUnconfirmed = mLedger.Unconfirmed();
  return traffic;
}

ULONG cSerialOutbox::EncodeFilter(const sFilterEntry& e, UBYTE* payload) {
  qToLittleEndian<ULONG>(e.mAddress, payload);
  const std::size_t n = std::min<std::size_t>(e.mLength, kMaxCoefficientBytes);
  for (std::size_t i = 0; i < n / 4; ++i) qToLittleEndian<ULONG>(ULONG(e.mCoefficients[i]), payload + 4 + 4 * i);
  qToLittleEndian<UWORD>(e.mWord1, payload + 4 + n);
  qToLittleEndian<UWORD>(e.mWord2, payload + 6 + n);
  qToLittleEndian<UWORD>(e.mWord3, payload + 8 + n);
  payload[10 + n] = e.mByte1;
  payload[11 + n] = e.mByte2;
  payload[12 + n] = e.mByte3;
  return ULONG(13 + n);
}

ULONG cSerialOutbox::EncodeStrip(const sStripEntry& e, UBYTE* payload) {
  qToLittleEndian<ULONG>(e.mIndex, payload);
  qToLittleEndian<ULONG>(ULONG(e.mLinearGain), payload + 4);
  qToLittleEndian<ULONG>(e.mGainWord, payload + 8);
  qToLittleEndian<ULONG>(e.mPolarity, payload + 12);
  qToLittleEndian<ULONG>(e.mMute, payload + 16);
  return 20;
}

ULONG cSerialOutbox::EncodeDelay(const sDelayEntry& e, UBYTE* payload) {
  qToLittleEndian<ULONG>(e.mIndex, payload);
  qToLittleEndian<ULONG>(ULONG(e.mSamples), payload + 4);
  return 8;
}
