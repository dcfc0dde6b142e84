#pragma once

#include <QFile>
#include <QString>
#include <cstddef>
#include <memory>
#include <vector>

#include "EWNet/Core/Types.h"

// A fixed-size file mapped into memory, carved into consecutive slots that keep
// the objects' working values across runs. Slots are handed out once, in
// construction order, and never freed.
class cNonVolatileStorageManager {
 public:
  static constexpr qint64 kDefaultSize = 0x200000;
  static constexpr std::size_t kAlignment = 8;

  cNonVolatileStorageManager(QString path, qint64 size, bool clearOnOpen, bool align);
  virtual ~cNonVolatileStorageManager();
  cNonVolatileStorageManager(const cNonVolatileStorageManager&) = delete;
  cNonVolatileStorageManager& operator=(const cNonVolatileStorageManager&) = delete;

  // Never null. A request that does not fit in the region (or any request when
  // there is no region) gets zeroed memory of its own instead, so that nothing
  // is ever read or written outside the mapping.
  UBYTE* AllocateBBSRAM(std::size_t size);
  void ClearAll();
  bool CheckBlockMarkers(UWORD* startMarker, UWORD expectedStart, UWORD* endMarker, UWORD expectedEnd);

  bool HasRegion() const { return mStartAddress != nullptr; }
  UBYTE* GetStartAddress() const { return mStartAddress; }
  qint64 GetSize() const { return mSizeOfSRAM; }
  qint64 GetUsedBytes() const { return mStartAddress == nullptr ? 0 : mNextFreeAddress - mStartAddress; }
  bool IsInRegion(const void* address, std::size_t size) const;

 private:
  bool MapRegion();
  UBYTE* AllocateDetached(std::size_t size);

  qint64 mSizeOfSRAM;
  UBYTE* mStartAddress;
  UBYTE* mNextFreeAddress;
  std::unique_ptr<QFile> mFile;
  bool mAlign;
  // Stand-in blocks for requests the region cannot serve. Growing the outer
  // vector moves the inner ones, which keeps their buffers where they are.
  std::vector<std::vector<UBYTE>> mDetachedBlocks;
};
