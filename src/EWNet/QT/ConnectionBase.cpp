#include "EWNet/QT/ConnectionBase.h"

#include <algorithm>
#include <cstring>

#include "EWNet/Core/ErrLog.h"

namespace {

inline void PutUWORD(UBYTE* out, UWORD value) {
  out[0] = UBYTE(value >> 8);
  out[1] = UBYTE(value);
}

inline UWORD TakeUWORD(const UBYTE* in) { return UWORD((UWORD(in[0]) << 8) | in[1]); }

}  // namespace

// ---------------------------------------------------------------------------
// Encoding

namespace ewframe {

ULONG EncodedMessageSize(const cEWNetMessage& message, bool version2) {
  return (version2 ? kMessageV2Overhead : kMessageV1Overhead) + message.mLength;
}

void EncodeMessage(const cEWNetMessage& message, bool version2, UBYTE* out) {
  const UWORD fields[] = {message.mConnectionId, message.mDestination, message.mSource, message.mMethod,
                          message.mLength};
  *out++ = version2 ? kMessageV2Start : kMessageV1Start;
  // Version 2 follows every field but the length with two reserved zero bytes
  // and puts two more before the length.
  for (size_t i = 0; i < sizeof(fields) / sizeof(fields[0]); ++i) {
    if (version2 && i == 4) {
      PutUWORD(out, 0);
      out += 2;
    }
    PutUWORD(out, fields[i]);
    out += 2;
    if (version2 && i < 3) {
      PutUWORD(out, 0);
      out += 2;
    }
  }
  if (message.mLength > 0) std::memcpy(out, message.mData, message.mLength);
  out[message.mLength] = version2 ? kMessageV2End : kMessageV1End;
}

ULONG EncodedUtilSize(UWORD count) { return kUtilOverhead + count; }

void EncodeUtil(const UBYTE* payload, UWORD count, UBYTE* out) {
  out[0] = kUtilStart;
  PutUWORD(out + 1, count);
  if (count > 0) std::memcpy(out + 3, payload, count);
  out[3 + count] = kUtilEnd;
}

}  // namespace ewframe

// ---------------------------------------------------------------------------
// Receiving

// Where the header fields of a message packet sit, counted after the start byte.
struct cConnectionBase::sLayout {
  ULONG mHeaderSize;
  ULONG mConnection, mDestination, mSource, mMethod, mLength;
  UBYTE mEndByte;
};

namespace {
constexpr ULONG kV1Header = 10;
constexpr ULONG kV2Header = 18;
}  // namespace

cConnectionBase::cConnectionBase(UWORD connectionId) : mConnectionId(connectionId) {}

cConnectionBase::~cConnectionBase() = default;

void cConnectionBase::UtilPacketReceived(UBYTE* data, UWORD length) { UtilMessageReceived(data, length); }

void cConnectionBase::ResetReceiving() {
  mReceivingMessageType = kHunting;
  mReceivePosition = 0;
}

void cConnectionBase::MessageReceived(const UBYTE* data, ULONG count) {
  static const sLayout kV1 = {kV1Header, 0, 2, 4, 6, 8, ewframe::kMessageV1End};
  static const sLayout kV2 = {kV2Header, 0, 4, 8, 12, 16, ewframe::kMessageV2End};
  ULONG at = 0;
  while (at < count) {
    switch (mReceivingMessageType) {
      case kHunting: {
        const UBYTE byte = data[at++];
        if (byte == ewframe::kMessageV1Start) {
          mReceivingMessageType = kStoringMessageV1;
        } else if (byte == ewframe::kMessageV2Start) {
          mReceivingMessageType = kStoringMessageV2;
        } else if (byte == ewframe::kUtilStart) {
          mReceivingMessageType = kStoringUtil;
        } else {
          ++mDiscardedBytes;
          continue;
        }
        mReceivePosition = 0;
        break;
      }
      case kStoringMessageV1:
        at = StoreMessage(data, count, at, kV1);
        break;
      case kStoringMessageV2:
        at = StoreMessage(data, count, at, kV2);
        break;
      case kStoringUtil:
        at = StoreUtil(data, count, at);
        break;
      default:
        EW_REPORT_ERROR("Invalid mReceivingMessageType");
        ResetReceiving();
        ++at;
        break;
    }
  }
}

// Returns where parsing goes on: after a delivered packet, at the offending
// byte after a missing end byte, or at the end of the chunk.
ULONG cConnectionBase::StoreMessage(const UBYTE* data, ULONG count, ULONG at, const sLayout& layout) {
  while (mReceivePosition < layout.mHeaderSize) {
    if (at == count) return at;
    mHeader[mReceivePosition++] = data[at++];
    if (mReceivePosition == layout.mHeaderSize) {
      mReceiveMessage.mConnectionId = TakeUWORD(mHeader + layout.mConnection);
      mReceiveMessage.mDestination = TakeUWORD(mHeader + layout.mDestination);
      mReceiveMessage.mSource = TakeUWORD(mHeader + layout.mSource);
      mReceiveMessage.mMethod = TakeUWORD(mHeader + layout.mMethod);
      mLengthAccumulator = TakeUWORD(mHeader + layout.mLength);
      mReceiveMessage.SetLength(mLengthAccumulator);
      mReceiveMessage.mReadPosition = 0;
    }
  }
  const ULONG payloadEnd = layout.mHeaderSize + mLengthAccumulator;
  if (mReceivePosition < payloadEnd) {
    const ULONG take = std::min(payloadEnd - mReceivePosition, count - at);
    std::memcpy(mReceiveMessage.mData + (mReceivePosition - layout.mHeaderSize), data + at, take);
    mReceivePosition += take;
    at += take;
    if (mReceivePosition < payloadEnd) return at;
  }
  if (at == count) return at;
  if (data[at] != layout.mEndByte) {
    MissingDelimiter(false);
    return at;
  }
  ResetReceiving();
  ++mMessagesReceived;
  EWNetMessageReceived(mReceiveMessage);
  return at + 1;
}

ULONG cConnectionBase::StoreUtil(const UBYTE* data, ULONG count, ULONG at) {
  while (mReceivePosition < 2) {
    if (at == count) return at;
    mHeader[mReceivePosition++] = data[at++];
    if (mReceivePosition == 2) {
      mLengthAccumulator = TakeUWORD(mHeader);
      if (!mUtilBuffer || mUtilCapacity < mLengthAccumulator) {
        mUtilBuffer.reset(new UBYTE[std::max<UWORD>(mLengthAccumulator, 1)]);
        mUtilCapacity = mLengthAccumulator;
      }
    }
  }
  const ULONG payloadEnd = 2 + ULONG(mLengthAccumulator);
  if (mReceivePosition < payloadEnd) {
    const ULONG take = std::min(payloadEnd - mReceivePosition, count - at);
    std::memcpy(mUtilBuffer.get() + (mReceivePosition - 2), data + at, take);
    mReceivePosition += take;
    at += take;
    if (mReceivePosition < payloadEnd) return at;
  }
  if (at == count) return at;
  if (data[at] != ewframe::kUtilEnd) {
    MissingDelimiter(true);
    return at;
  }
  ResetReceiving();
  UtilPacketReceived(mUtilBuffer.get(), mLengthAccumulator);
  return at + 1;
}

void cConnectionBase::MissingDelimiter(bool utility) {
  if (utility) {
    EW_REPORT_ERROR("ERROR - Invalid Util Data Packet! - No message delimiter, mConnectionId = %d", int(mConnectionId));
  } else {
    EW_REPORT_ERROR("ERROR - Invalid EWNetMessage Data Packet! - No message delimiter mConnectionId = %d",
                    int(mConnectionId));
  }
  ResetReceiving();
}
