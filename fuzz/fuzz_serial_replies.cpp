// Seeds: fuzz/seeds/serial_replies/*.bin
// (made from the simulator's own replies by fuzz/make_serial_seeds.sh)
// The processor's reply stream, as hostile as a line without a checksum can
// make it: bytes fed to the link's reply parser in pieces of the sizes the
// input itself chooses, every reply applied to the reply areas. Nothing may
// crash, read out of bounds or keep more than one reply's worth of bytes.

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "OrvelGUI/Core/SerialReplyAreas.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  cSerialReplyParser parser;
  cSerialReplyAreas areas;
  // The first byte sets how the line splits the rest: 1 to 256 bytes a read.
  const std::size_t piece = size > 0 ? std::size_t(data[0]) + 1 : 1;
  for (std::size_t at = size > 0 ? 1 : 0; at < size; at += piece) {
    const std::size_t count = size - at < piece ? size - at : piece;
    areas.ReadAll(parser, data + at, count);
    if (parser.Buffered() >= cSerialReplyParser::kHeaderSize + sSerialReply::kMaxPayload) std::abort();
  }
  if (areas.mRecordCount > cSerialReplyAreas::kFilterRecordCount) std::abort();
  return 0;
}
