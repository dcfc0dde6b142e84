#include "EWNet/Core/Message.h"

#include <cstring>

#include "EWNet/Core/ErrLog.h"

namespace {
constexpr ULONG kMaxLength = 0xFFFF;
}

cEWNetMessage::cEWNetMessage()
    : mLength(0),
      mCapacity(0),
      mReadPosition(0),
      mData(nullptr),
      mConnectionId(0xFFFF),
      mDestination(0xFFFF),
      mSource(0xFFFF),
      mMethod(0) {}

cEWNetMessage::cEWNetMessage(EW_NET_DATA_SCALE length) : cEWNetMessage() {
  if (length > 0) {
    mData = new UBYTE[length]();
  }
  mLength = length;
  mCapacity = length;
}

cEWNetMessage::cEWNetMessage(const cEWNetMessage& other) : cEWNetMessage(other.mLength) {
  CopyHeader(other);
  if (other.mLength > 0) std::memcpy(mData, other.mData, other.mLength);
  mReadPosition = 0;
}

cEWNetMessage& cEWNetMessage::operator=(const cEWNetMessage& other) {
  if (this == &other) return *this;
  SetLength(other.mLength);
  if (other.mLength > 0) std::memcpy(mData, other.mData, other.mLength);
  CopyHeader(other);
  return *this;
}

cEWNetMessage::~cEWNetMessage() { delete[] mData; }

void cEWNetMessage::CopyHeader(const cEWNetMessage& other) {
  mConnectionId = other.mConnectionId;
  mDestination = other.mDestination;
  mSource = other.mSource;
  mMethod = other.mMethod;
}

void cEWNetMessage::SetLength(EW_NET_DATA_SCALE length) {
  if (mCapacity < length) {
    delete[] mData;
    mData = new UBYTE[length];
    mCapacity = length;
  }
  mLength = length;
}

bool cEWNetMessage::SetMinAppendCapacity(ULONG extra) {
  const ULONG wanted = ULONG(mLength) + extra;
  if (wanted > kMaxLength) {
    EW_REPORT_ERROR("cEWNetMessage::SetMinAppendCapacity exceeded maximum length for single message");
    return false;
  }
  if (mCapacity < wanted) {
    UBYTE* grown = new UBYTE[wanted];
    if (mLength > 0) std::memcpy(grown, mData, mLength);
    delete[] mData;
    mData = grown;
    mCapacity = EW_NET_DATA_SCALE(wanted);
  }
  return true;
}

void cEWNetMessage::SetUWORD(EW_NET_DATA_SCALE position, UWORD value) {
  mData[position] = UBYTE(value >> 8);
  mData[position + 1] = UBYTE(value);
}

UWORD cEWNetMessage::GetUWORD(EW_NET_DATA_SCALE position) const {
  return UWORD((UWORD(mData[position]) << 8) | mData[position + 1]);
}

void cEWNetMessage::SetULONG(EW_NET_DATA_SCALE position, ULONG value) {
  mData[position] = UBYTE(value >> 24);
  mData[position + 1] = UBYTE(value >> 16);
  mData[position + 2] = UBYTE(value >> 8);
  mData[position + 3] = UBYTE(value);
}

ULONG cEWNetMessage::GetULONG(EW_NET_DATA_SCALE position) const {
  return (ULONG(mData[position]) << 24) | (ULONG(mData[position + 1]) << 16) | (ULONG(mData[position + 2]) << 8) |
         ULONG(mData[position + 3]);
}

void cEWNetMessage::SetString(EW_NET_DATA_SCALE position, const char* text) {
  std::memcpy(mData + position, text, std::strlen(text) + 1);
}

void cEWNetMessage::AppendUBYTE(UBYTE value) {
  if (!SetMinAppendCapacity(1)) return;
  mData[mLength++] = value;
}

void cEWNetMessage::AppendUWORD(UWORD value) {
  if (!SetMinAppendCapacity(2)) return;
  SetUWORD(mLength, value);
  mLength = EW_NET_DATA_SCALE(mLength + 2);
}

void cEWNetMessage::AppendULONG(ULONG value) {
  if (!SetMinAppendCapacity(4)) return;
  SetULONG(mLength, value);
  mLength = EW_NET_DATA_SCALE(mLength + 4);
}

void cEWNetMessage::AppendBytes(const void* bytes, EW_NET_DATA_SCALE count) {
  if (count == 0 || !SetMinAppendCapacity(count)) return;
  std::memcpy(mData + mLength, bytes, count);
  mLength = EW_NET_DATA_SCALE(mLength + count);
}

void cEWNetMessage::AppendString(const char* text) {
  const ULONG size = ULONG(std::strlen(text)) + 1;
  if (!SetMinAppendCapacity(size)) return;
  std::memcpy(mData + mLength, text, size);
  mLength = EW_NET_DATA_SCALE(mLength + size);
}

// The sequential readers take payloads that may come from a remote unit, so
// unlike the positional accessors they never read past mLength: a short
// payload reads as 0 (or an empty string) and the cursor stops at the end.
bool cEWNetMessage::CanRead(ULONG size) {
  if (ULONG(mReadPosition) + size <= mLength) return true;
  mReadPosition = mLength;
  return false;
}

UBYTE cEWNetMessage::ReadUBYTE() {
  if (!CanRead(1)) return 0;
  return mData[mReadPosition++];
}

UWORD cEWNetMessage::ReadUWORD() {
  if (!CanRead(2)) return 0;
  const UWORD value = GetUWORD(mReadPosition);
  mReadPosition = EW_NET_DATA_SCALE(mReadPosition + 2);
  return value;
}

ULONG cEWNetMessage::ReadULONG() {
  if (!CanRead(4)) return 0;
  const ULONG value = GetULONG(mReadPosition);
  mReadPosition = EW_NET_DATA_SCALE(mReadPosition + 4);
  return value;
}

const char* cEWNetMessage::ReadString() {
  if (mReadPosition >= mLength) return "";
  const char* text = reinterpret_cast<const char*>(mData + mReadPosition);
  const void* nul = std::memchr(text, 0, mLength - mReadPosition);
  if (nul == nullptr) {
    mReadPosition = mLength;
    return "";
  }
  mReadPosition = EW_NET_DATA_SCALE(static_cast<const char*>(nul) - reinterpret_cast<const char*>(mData) + 1);
  return text;
}

QString cEWNetMessage::ReadQString() { return QString::fromLatin1(ReadString()); }
