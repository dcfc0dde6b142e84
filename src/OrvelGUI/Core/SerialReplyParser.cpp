#include "OrvelGUI/Core/SerialReplyParser.h"

#include <QtEndian>
#include <algorithm>
#include <cstring>

#include "EWNet/Core/ErrLog.h"

namespace {

constexpr UBYTE kSync = 0xA5;

}  // namespace

std::size_t cSerialReplyParser::Feed(const UBYTE* bytes, std::size_t count) {
  const std::size_t taken = std::min(count, Room());
  if (taken > 0) std::memcpy(mBuffer.data() + mFill, bytes, taken);
  mFill += taken;
  return taken;
}

void cSerialReplyParser::Drop(std::size_t count) {
  count = std::min(count, mFill);
  std::memmove(mBuffer.data(), mBuffer.data() + count, mFill - count);
  mFill -= count;
}

bool cSerialReplyParser::Next(sSerialReply& reply) {
  for (;;) {
    // Skip to the next possible header; a trailing 0xA5 or 0xA5 0xA5 may be
    // the start of one that is still on its way.
    std::size_t start = 0;
    while (start < mFill) {
      const std::size_t left = mFill - start;
      if (mBuffer[start] == kSync && (left < 2 || mBuffer[start + 1] == kSync) &&
          (left < 3 || mBuffer[start + 2] == 0)) {
        break;
      }
      ++start;
    }
    if (start > 0) {
      mSkipped += start;
      Drop(start);
    }
    if (mFill < kHeaderSize) return false;
    const ULONG length = qFromLittleEndian<ULONG>(&mBuffer[4]);
    if (length > sSerialReply::kMaxPayload) {
      EW_REPORT_ERROR("Reply of type %d states %lu payload bytes; skipped", int(mBuffer[3]),
                      static_cast<unsigned long>(length));
      mSkipped += 2;
      Drop(2);
      continue;
    }
    if (mFill < kHeaderSize + length) return false;
    reply.mType = mBuffer[3];
    reply.mLength = length;
    std::memcpy(reply.mPayload.data(), &mBuffer[kHeaderSize], length);
    Drop(kHeaderSize + length);
    return true;
  }
}
