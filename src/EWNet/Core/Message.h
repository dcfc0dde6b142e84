#pragma once

#include <QString>

#include "EWNet/Core/Types.h"

// The one message record of the object network. Multi-byte payload values are
// big-endian. The positional accessors do no bounds checks: callers size the
// payload with SetLength first.
class cEWNetMessage {
 public:
  cEWNetMessage();
  explicit cEWNetMessage(EW_NET_DATA_SCALE length);
  cEWNetMessage(const cEWNetMessage& other);
  cEWNetMessage& operator=(const cEWNetMessage& other);
  ~cEWNetMessage();

  void SetLength(EW_NET_DATA_SCALE length);
  bool SetMinAppendCapacity(ULONG extra);

  void SetUBYTE(EW_NET_DATA_SCALE position, UBYTE value) { mData[position] = value; }
  UBYTE GetUBYTE(EW_NET_DATA_SCALE position) const { return mData[position]; }
  void SetUWORD(EW_NET_DATA_SCALE position, UWORD value);
  UWORD GetUWORD(EW_NET_DATA_SCALE position) const;
  void SetULONG(EW_NET_DATA_SCALE position, ULONG value);
  ULONG GetULONG(EW_NET_DATA_SCALE position) const;
  void SetString(EW_NET_DATA_SCALE position, const char* text);
  UBYTE* GetPointer(EW_NET_DATA_SCALE position) const { return mData + position; }

  void AppendUBYTE(UBYTE value);
  void AppendUWORD(UWORD value);
  void AppendULONG(ULONG value);
  void AppendBytes(const void* bytes, EW_NET_DATA_SCALE count);
  void AppendString(const char* text);

  UBYTE ReadUBYTE();
  UWORD ReadUWORD();
  ULONG ReadULONG();
  const char* ReadString();
  QString ReadQString();

  EW_NET_DATA_SCALE mLength;
  EW_NET_DATA_SCALE mCapacity;
  EW_NET_DATA_SCALE mReadPosition;
  UBYTE* mData;
  UWORD mConnectionId;
  EW_NET_DATA_SCALE mDestination;
  EW_NET_DATA_SCALE mSource;
  UWORD mMethod;

 private:
  bool CanRead(ULONG size);
  void CopyHeader(const cEWNetMessage& other);
};
