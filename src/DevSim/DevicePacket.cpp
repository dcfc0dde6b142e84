#include "DevSim/DevicePacket.h"

#include <algorithm>

namespace devsim {

std::uint32_t ReadLE32(const std::uint8_t* bytes) {
  return static_cast<std::uint32_t>(bytes[0]) | (static_cast<std::uint32_t>(bytes[1]) << 8) |
         (static_cast<std::uint32_t>(bytes[2]) << 16) | (static_cast<std::uint32_t>(bytes[3]) << 24);
}

std::uint16_t ReadLE16(const std::uint8_t* bytes) { return static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8)); }

void AppendLE32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<std::uint8_t>(value >> shift));
}

void AppendLE16(std::vector<std::uint8_t>& out, std::uint16_t value) {
  out.push_back(static_cast<std::uint8_t>(value));
  out.push_back(static_cast<std::uint8_t>(value >> 8));
}

std::vector<std::uint8_t> EncodeHeader(std::uint8_t type, std::uint32_t statedLength) {
  std::vector<std::uint8_t> out{kSync, kSync, 0, type};
  AppendLE32(out, statedLength);
  return out;
}

std::vector<std::uint8_t> EncodePacket(std::uint8_t type, const std::vector<std::uint8_t>& payload) {
  std::vector<std::uint8_t> out = EncodeHeader(type, static_cast<std::uint32_t>(payload.size()));
  out.insert(out.end(), payload.begin(), payload.end());
  return out;
}

void cPacketParser::Feed(const std::uint8_t* bytes, std::size_t count) {
  mBuffer.insert(mBuffer.end(), bytes, bytes + count);
}

bool cPacketParser::Next(sDevicePacket& packet) {
  for (;;) {
    // Drop everything before a possible header start. A lone trailing 0xA5 or
    // 0xA5 0xA5 may be the beginning of a header still on its way.
    std::size_t start = 0;
    while (start < mBuffer.size()) {
      const std::size_t left = mBuffer.size() - start;
      if (mBuffer[start] == kSync && (left < 2 || mBuffer[start + 1] == kSync) &&
          (left < 3 || mBuffer[start + 2] == 0)) {
        break;
      }
      ++start;
    }
    if (start > 0) {
      mDiscarded += start;
      mBuffer.erase(mBuffer.begin(), mBuffer.begin() + static_cast<std::ptrdiff_t>(start));
    }
    if (mBuffer.size() < kHeaderSize) return false;
    const std::uint32_t length = ReadLE32(&mBuffer[4]);
    if (length > kMaxPayload) {
      // Skip the sync pair only: a real header may start inside the bogus one.
      mDiscarded += 2;
      mBuffer.erase(mBuffer.begin(), mBuffer.begin() + 2);
      continue;
    }
    if (mBuffer.size() < kHeaderSize + length) return false;
    packet.mType = mBuffer[3];
    packet.mPayload.assign(mBuffer.begin() + kHeaderSize,
                           mBuffer.begin() + static_cast<std::ptrdiff_t>(kHeaderSize + length));
    mBuffer.erase(mBuffer.begin(), mBuffer.begin() + static_cast<std::ptrdiff_t>(kHeaderSize + length));
    return true;
  }
}

}  // namespace devsim
