#include "OrvelGUI/Core/SerialReplyAreas.h"

#include <QtEndian>

#include "EWNet/Core/ErrLog.h"

namespace {

// The payload each known reply type needs at least; -1 for types this
// program does not know.
int NeededLength(UBYTE type) {
  switch (type) {
    case cSerialReplyAreas::REPLY_VERSION:
      return 2;
    case cSerialReplyAreas::REPLY_FILTER_ACK:
    case cSerialReplyAreas::REPLY_STRIP_ACK:
    case cSerialReplyAreas::REPLY_DELAY_ACK:
      return 0;
    case cSerialReplyAreas::REPLY_FILTER_RECORD:
      return 12;
    case cSerialReplyAreas::REPLY_METERS:
      return 4 * cSerialReplyAreas::kMeterCount;
    case cSerialReplyAreas::REPLY_STRIPS:
      return 6 * cSerialReplyAreas::kStripCount;
    case cSerialReplyAreas::REPLY_DELAYS:
      return 4 * cSerialReplyAreas::kDelayCount;
    default:
      return -1;
  }
}

}  // namespace

bool cSerialReplyAreas::Apply(const sSerialReply& reply) {
  const int needed = NeededLength(reply.mType);
  if (needed < 0) return false;  // types this program does not use
  if (reply.mLength < ULONG(needed) || reply.mLength > sSerialReply::kMaxPayload) {
    EW_REPORT_ERROR("Reply of type %d with %lu payload bytes is too short; ignored", int(reply.mType),
                    static_cast<unsigned long>(reply.mLength));
    return false;
  }
  const UBYTE* payload = reply.mPayload.data();
  // Whatever the device answers, it answers: a busy device whose meter reply
  // is still behind its acknowledgements is not a silent one.
  mMissCount = 0;
  switch (reply.mType) {
    case REPLY_VERSION:
      mVersion = QString::asprintf("V%d.%d", payload[0], payload[1]);
      break;
    case REPLY_FILTER_RECORD:
      if (mRecordCount < kFilterRecordCount) {
        sFilter& record = mRecords[std::size_t(mRecordCount)];
        record.mFrequency = qFromLittleEndian<UWORD>(payload);
        record.mWidth = qFromLittleEndian<UWORD>(payload + 2);
        record.mGain = GAIN(qFromLittleEndian<UWORD>(payload + 4));
        record.mType = qFromLittleEndian<UWORD>(payload + 6);
        record.mVariant = qFromLittleEndian<UWORD>(payload + 8);
        record.mFlags = qFromLittleEndian<UWORD>(payload + 10);
        if (++mRecordCount == kFilterRecordCount) mSyncOutstanding = false;
      }
      break;
    case REPLY_METERS:
      for (int i = 0; i < kMeterCount; ++i) mMeters[std::size_t(i)] = qFromLittleEndian<ULONG>(payload + 4 * i);
      mMeterPending = false;
      break;
    case REPLY_STRIPS:
      for (int i = 0; i < kStripCount; ++i) {
        const UBYTE* at = payload + 6 * i;
        mStrips[std::size_t(i)] = {std::int16_t(qFromLittleEndian<UWORD>(at)),
                                   std::int16_t(qFromLittleEndian<UWORD>(at + 2)),
                                   std::int16_t(qFromLittleEndian<UWORD>(at + 4))};
      }
      mStripsReceived = true;
      mSyncOutstanding = false;
      break;
    case REPLY_DELAYS:
      for (int i = 0; i < kDelayCount; ++i) {
        mDelays[std::size_t(i)] = std::int32_t(qFromLittleEndian<ULONG>(payload + 4 * i));
      }
      mDelaysReceived = true;
      mSyncOutstanding = false;
      break;
    default:  // acknowledgements: counted by the caller
      break;
  }
  return true;
}

cSerialReplyAreas::sReplyCounts cSerialReplyAreas::ReadAll(cSerialReplyParser& parser, const UBYTE* bytes,
                                                           std::size_t count) {
  sReplyCounts counts;
  sSerialReply reply;
  std::size_t fed = 0;
  // Next() leaves room whenever it runs dry, so every pass takes bytes.
  do {
    fed += parser.Feed(bytes + fed, count - fed);
    while (parser.Next(reply)) {
      ++counts.mReplies;
      if (!Apply(reply)) continue;
      if (reply.mType == REPLY_FILTER_ACK) ++counts.mFilterAcks;
      if (reply.mType == REPLY_STRIP_ACK) ++counts.mStripAcks;
      if (reply.mType == REPLY_DELAY_ACK) ++counts.mDelayAcks;
    }
  } while (fed < count);
  return counts;
}

void cSerialReplyAreas::ResetSession() {
  mVersion.clear();
  mStripsReceived = false;
  mDelaysReceived = false;
  mRecordCount = 0;
  mMissCount = 0;
  mMeterPending = false;
  mSyncOutstanding = false;
  mMeters.fill(0);
}
