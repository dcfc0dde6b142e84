#pragma once

#include <QString>
#include <array>
#include <cstddef>
#include <cstdint>

#include "EWNet/Core/Types.h"
#include "OrvelGUI/Core/SerialReplyParser.h"

// One filter record of the device's sync answer, as the units read it.
struct sFilter {
  UWORD mFrequency;
  UWORD mWidth;
  GAIN mGain;
  UWORD mType;
  UWORD mVariant;  // low byte used
  UWORD mFlags;    // bit 0 bypass, bit 7 gang
};

// One control strip of the device's sync answer.
struct sControlStripRecord {
  std::int16_t mMute;
  std::int16_t mGain;
  std::int16_t mPolarity;
};

// What the processor has told the link in one session: its version, the
// meter levels, the sync records, and the flags the link's supervision works
// with. Apply() takes one reply at a time, checked for the length its type
// needs. Not thread-safe: the port manager guards it with its area lock.
class cSerialReplyAreas {
 public:
  static constexpr int kFilterRecordCount = 36;
  static constexpr int kMeterCount = 8;
  static constexpr int kStripCount = 8;
  static constexpr int kDelayCount = 6;

  // Reply types (the number of the command each answers).
  enum eReplyType : UBYTE {
    REPLY_VERSION = 0,
    REPLY_FILTER_ACK = 2,
    REPLY_FILTER_RECORD = 3,
    REPLY_METERS = 4,
    REPLY_STRIP_ACK = 6,
    REPLY_STRIPS = 7,
    REPLY_DELAY_ACK = 8,
    REPLY_DELAYS = 9,
  };

  // What a run of replies brought.
  struct sReplyCounts {
    int mReplies = 0;     // whole replies taken off the line
    int mFilterAcks = 0;  // acknowledgements of commands 2, 6 and 8
    int mStripAcks = 0;
    int mDelayAcks = 0;
    void Add(const sReplyCounts& other) {
      mReplies += other.mReplies;
      mFilterAcks += other.mFilterAcks;
      mStripAcks += other.mStripAcks;
      mDelayAcks += other.mDelayAcks;
    }
  };

  // Applies one reply. A reply of a known type that is shorter than its type
  // needs changes nothing (reported); any other reply of a known type also
  // shows the device is alive, so the miss count returns to 0. Unknown types
  // are ignored. True when the reply was taken.
  bool Apply(const sSerialReply& reply);
  // Every whole reply in `bytes` that `parser` completes, applied in order.
  // The bytes are fed as room allows; nothing is left over.
  sReplyCounts ReadAll(cSerialReplyParser& parser, const UBYTE* bytes, std::size_t count);
  // Forgets the session: version, sync progress, meters, misses.
  void ResetSession();

  QString mVersion;  // empty until reply 0
  std::array<ULONG, kMeterCount> mMeters{};
  bool mMeterPending = false;
  bool mSyncOutstanding = false;
  bool mStripsReceived = false;
  bool mDelaysReceived = false;
  int mRecordCount = 0;
  std::array<sFilter, kFilterRecordCount> mRecords{};
  std::array<sControlStripRecord, kStripCount> mStrips{};
  std::array<std::int32_t, kDelayCount> mDelays{};
  UBYTE mMissCount = 0;
};
