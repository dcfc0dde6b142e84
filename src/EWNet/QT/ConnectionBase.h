#pragma once

#include <memory>

#include "EWNet/Core/Message.h"

// The three packet formats of an object-network connection. All multi-byte
// fields are big-endian.
namespace ewframe {
constexpr UBYTE kUtilStart = 0xE0;
constexpr UBYTE kUtilEnd = 0xE7;
constexpr UBYTE kMessageV1Start = 0xF0;
constexpr UBYTE kMessageV1End = 0xF7;
constexpr UBYTE kMessageV2Start = 0xF1;
constexpr UBYTE kMessageV2End = 0xF8;
constexpr ULONG kUtilOverhead = 4;
constexpr ULONG kMessageV1Overhead = 12;
constexpr ULONG kMessageV2Overhead = 20;

ULONG EncodedMessageSize(const cEWNetMessage& message, bool version2);
// Writes the packet into `out`, which holds EncodedMessageSize bytes.
void EncodeMessage(const cEWNetMessage& message, bool version2, UBYTE* out);
ULONG EncodedUtilSize(UWORD count);
void EncodeUtil(const UBYTE* payload, UWORD count, UBYTE* out);
}  // namespace ewframe

// The receiving side of a connection: cuts any sequence of byte chunks back
// into packets, resynchronising on the next start byte after a broken one.
// Not thread-safe: one connection is fed from one thread.
class cConnectionBase {
 public:
  enum eReceivingState : UBYTE { kHunting = 0, kStoringMessageV1 = 1, kStoringUtil = 2, kStoringMessageV2 = 3 };

  explicit cConnectionBase(UWORD connectionId = 0xFFFF);
  virtual ~cConnectionBase();
  cConnectionBase(const cConnectionBase&) = delete;
  cConnectionBase& operator=(const cConnectionBase&) = delete;

  void MessageReceived(const UBYTE* data, ULONG count);
  // Drops a partly received packet; the next byte is hunted for a start.
  void ResetReceiving();

  UWORD ConnectionId() const { return mConnectionId; }
  eReceivingState ReceivingState() const { return eReceivingState(mReceivingMessageType); }
  ULONG DiscardedBytes() const { return mDiscardedBytes; }
  ULONG MessagesReceived() const { return mMessagesReceived; }

 protected:
  // A complete message; the receiver may change it, it is refilled afterwards.
  virtual void EWNetMessageReceived(cEWNetMessage& message) = 0;
  virtual void UtilMessageReceived(UBYTE* data, UWORD length) = 0;
  // A complete utility packet; by default passed to UtilMessageReceived.
  virtual void UtilPacketReceived(UBYTE* data, UWORD length);

  const UWORD mConnectionId;

 private:
  struct sLayout;
  ULONG StoreMessage(const UBYTE* data, ULONG count, ULONG at, const sLayout& layout);
  ULONG StoreUtil(const UBYTE* data, ULONG count, ULONG at);
  void MissingDelimiter(bool utility);

  UBYTE mReceivingMessageType = kHunting;
  // Bytes of the current packet consumed after its start byte. Wider than the
  // length field: a version-2 packet's end byte sits at 18 + 65535.
  ULONG mReceivePosition = 0;
  UWORD mLengthAccumulator = 0;
  UBYTE mHeader[18] = {};
  cEWNetMessage mReceiveMessage;
  std::unique_ptr<UBYTE[]> mUtilBuffer;
  UWORD mUtilCapacity = 0;
  ULONG mDiscardedBytes = 0;
  ULONG mMessagesReceived = 0;
};
