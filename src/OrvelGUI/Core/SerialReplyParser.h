#pragma once

#include <array>
#include <cstddef>

#include "EWNet/Core/Types.h"

// One reply of the processor as it came off the line: header type and the
// payload of the stated length.
struct sSerialReply {
  static constexpr ULONG kMaxPayload = 48;  // the largest reply (type 7)
  UBYTE mType = 0;
  ULONG mLength = 0;
  std::array<UBYTE, kMaxPayload> mPayload{};
};

// Finds the device's replies in the bytes read from the line: 0xA5 0xA5 0, a
// type byte, a 32-bit little-endian payload length, the payload. The line
// has no checksum, so anything is possible: noise before a header, a reply
// split over many reads, a header that states more than any reply holds
// (skipped: the search goes on two bytes further, so a real header hidden
// in it is still found). A reply that is not complete yet waits for the
// bytes still to come. It knows nothing of ports or threads: feed it bytes,
// take replies.
class cSerialReplyParser {
 public:
  static constexpr std::size_t kHeaderSize = 8;
  static constexpr std::size_t kCapacity = 512;

  // Takes as many of `count` bytes as there is room for and says how many.
  // Whenever Next() has returned false there is room for at least
  // kCapacity - kHeaderSize - sSerialReply::kMaxPayload bytes.
  std::size_t Feed(const UBYTE* bytes, std::size_t count);
  std::size_t Room() const { return kCapacity - mFill; }
  // The next whole reply among the bytes fed; false when none is complete.
  bool Next(sSerialReply& reply);
  // Bytes fed and not yet taken as a reply or skipped.
  std::size_t Buffered() const { return mFill; }
  // Bytes skipped as noise (or as the header of a reply too long to be one).
  std::size_t SkippedBytes() const { return mSkipped; }
  void Clear() { mFill = 0; }

 private:
  void Drop(std::size_t count);

  std::array<UBYTE, kCapacity> mBuffer{};
  std::size_t mFill = 0;
  std::size_t mSkipped = 0;
};
