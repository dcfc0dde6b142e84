#include "Common/Qt/NonVolatileStorageManager.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "EWNet/Core/ErrLog.h"

namespace {

// The reports print addresses with %X; only the low 32 bits fit.
unsigned int Low32(const void* address) { return static_cast<unsigned int>(reinterpret_cast<std::uintptr_t>(address)); }

}  // namespace

cNonVolatileStorageManager::cNonVolatileStorageManager(QString path, qint64 size, bool clearOnOpen, bool align)
    : mSizeOfSRAM(size < 0 ? 0 : size), mStartAddress(nullptr), mNextFreeAddress(nullptr), mAlign(align) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  mFile = std::make_unique<QFile>(path);
  if (!mFile->open(QIODevice::ReadWrite)) {
    EW_REPORT_ERROR("Could not create SRAM File: %s\n%s", mFile->errorString().toLocal8Bit().constData(),
                    path.toLocal8Bit().constData());
    return;
  }
  mFile->flush();
  const qint64 existing = mFile->size();
  if (existing != 0 && existing >= mSizeOfSRAM) {
    // A longer file is left as it is; only its start is mapped.
    if (MapRegion() && clearOnOpen) ClearAll();
    return;
  }
  mFile->resize(mSizeOfSRAM);
  mFile->close();
  if (!mFile->open(QIODevice::ReadWrite)) {
    EW_REPORT_ERROR("Could not re-open file %s", mFile->fileName().toLocal8Bit().constData());
    return;
  }
  if (MapRegion()) ClearAll();
}

cNonVolatileStorageManager::~cNonVolatileStorageManager() {
  if (mFile->isOpen() && !mFile->flush()) {
    EW_REPORT_ERROR("Failed to flush NonVolatileStorage! Err: %d, - %s - %s", static_cast<int>(mFile->error()),
                    mFile->errorString().toLocal8Bit().constData(), mFile->fileName().toLocal8Bit().constData());
  }
  mFile->close();
}

bool cNonVolatileStorageManager::MapRegion() {
  // A file that could not be grown (resize failed) must not be mapped: the
  // pages past its end would fault on first touch.
  UBYTE* mapped = mSizeOfSRAM > 0 && mFile->size() >= mSizeOfSRAM ? mFile->map(0, mSizeOfSRAM) : nullptr;
  if (mapped == nullptr) {
    EW_REPORT_ERROR("SRAM Mapping Failed");
    return false;
  }
  mStartAddress = mapped;
  mNextFreeAddress = mapped;
  return true;
}

UBYTE* cNonVolatileStorageManager::AllocateBBSRAM(std::size_t size) {
  if (mStartAddress == nullptr) return AllocateDetached(size);
  std::size_t offset = static_cast<std::size_t>(mNextFreeAddress - mStartAddress);
  if (mAlign && reinterpret_cast<std::uintptr_t>(mNextFreeAddress) % kAlignment != 0) {
    offset += kAlignment - reinterpret_cast<std::uintptr_t>(mNextFreeAddress) % kAlignment;
  }
  const std::size_t regionSize = static_cast<std::size_t>(mSizeOfSRAM);
  if (offset > regionSize || size > regionSize - offset) {
    EW_REPORT_ERROR("Alloccation out of range. Size = %d", static_cast<int>(size));
    EW_REPORT_ERROR("mNextFreeAddress = %X, mStartAddress = %X, mSizeOfSRAM = %X", Low32(mNextFreeAddress),
                    Low32(mStartAddress), static_cast<unsigned int>(mSizeOfSRAM));
    return AllocateDetached(size);
  }
  UBYTE* block = mStartAddress + offset;
  mNextFreeAddress = block + size;
  return block;
}

UBYTE* cNonVolatileStorageManager::AllocateDetached(std::size_t size) {
  // At least one byte so that every caller gets a distinct, valid pointer.
  mDetachedBlocks.emplace_back(size == 0 ? 1 : size, UBYTE(0));
  return mDetachedBlocks.back().data();
}

void cNonVolatileStorageManager::ClearAll() {
  if (mStartAddress != nullptr) std::memset(mStartAddress, 0, static_cast<std::size_t>(mSizeOfSRAM));
  for (auto& block : mDetachedBlocks) std::fill(block.begin(), block.end(), UBYTE(0));
}

bool cNonVolatileStorageManager::CheckBlockMarkers(UWORD* startMarker, UWORD expectedStart, UWORD* endMarker,
                                                   UWORD expectedEnd) {
  // Without the align flag the markers can sit on odd addresses.
  UWORD start = 0;
  UWORD end = 0;
  std::memcpy(&start, startMarker, sizeof start);
  std::memcpy(&end, endMarker, sizeof end);
  if (start == expectedStart && end == expectedEnd) return true;
  UBYTE* from = reinterpret_cast<UBYTE*>(startMarker);
  UBYTE* to = reinterpret_cast<UBYTE*>(endMarker);
  if (to > from) std::memset(from, 0, static_cast<std::size_t>(to - from));
  return false;
}

bool cNonVolatileStorageManager::IsInRegion(const void* address, std::size_t size) const {
  if (mStartAddress == nullptr) return false;
  const auto begin = reinterpret_cast<std::uintptr_t>(mStartAddress);
  const auto at = reinterpret_cast<std::uintptr_t>(address);
  return at >= begin && at - begin <= static_cast<std::uintptr_t>(mSizeOfSRAM) &&
         size <= static_cast<std::uintptr_t>(mSizeOfSRAM) - (at - begin);
}
