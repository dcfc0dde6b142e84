#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Packet framing as the processor sees it: 0xA5 0xA5 0, a type byte, a 32-bit
// little-endian payload length, the payload. The simulator keeps its own copy
// of the framing rather than sharing the program's code, so that a mistake on
// one side shows up as a disagreement instead of cancelling out.

namespace devsim {

constexpr std::uint8_t kSync = 0xA5;
constexpr std::size_t kHeaderSize = 8;
// Nothing either side sends is longer than this; a longer stated length is
// taken for line noise and the parser looks for the next header instead.
constexpr std::uint32_t kMaxPayload = 48;

struct sDevicePacket {
  std::uint8_t mType = 0;
  std::vector<std::uint8_t> mPayload;
};

std::vector<std::uint8_t> EncodePacket(std::uint8_t type, const std::vector<std::uint8_t>& payload);
// A header that claims `statedLength` bytes, with no payload behind it.
std::vector<std::uint8_t> EncodeHeader(std::uint8_t type, std::uint32_t statedLength);

std::uint32_t ReadLE32(const std::uint8_t* bytes);
std::uint16_t ReadLE16(const std::uint8_t* bytes);
void AppendLE32(std::vector<std::uint8_t>& out, std::uint32_t value);
void AppendLE16(std::vector<std::uint8_t>& out, std::uint16_t value);

// Turns a byte stream that may hold noise, split packets and bogus lengths
// into whole packets.
class cPacketParser {
 public:
  void Feed(const std::uint8_t* bytes, std::size_t count);
  // The next whole packet, if one is complete.
  bool Next(sDevicePacket& packet);
  // Bytes thrown away while looking for a header, since construction.
  std::size_t DiscardedBytes() const { return mDiscarded; }

 private:
  std::vector<std::uint8_t> mBuffer;
  std::size_t mDiscarded = 0;
};

}  // namespace devsim
