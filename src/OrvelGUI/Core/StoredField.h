#pragma once

#include <cstddef>
#include <cstring>

#include "Common/Qt/NonVolatileStorageManager.h"
#include "EWNet/Core/Types.h"

// One value, or a row of values, in a unit's slots of the storage region. The
// region packs slots without alignment, so values are copied in and out
// rather than reached through typed pointers.
template <typename T>
class cStoredArray {
 public:
  cStoredArray() = default;
  cStoredArray(const cStoredArray&) = delete;
  cStoredArray& operator=(const cStoredArray&) = delete;

  // Takes the next slots of the region; construction order is the layout.
  void Allocate(cNonVolatileStorageManager& storage, std::size_t count) {
    mCount = count;
    mAddress = storage.AllocateBBSRAM(sizeof(T) * count);
  }
  T Get(std::size_t index) const {
    T value{};
    if (index < mCount) std::memcpy(&value, mAddress + sizeof(T) * index, sizeof value);
    return value;
  }
  void Set(std::size_t index, T value) {
    if (index < mCount) std::memcpy(mAddress + sizeof(T) * index, &value, sizeof value);
  }
  std::size_t Count() const { return mCount; }
  UBYTE* Address() const { return mAddress; }

 private:
  UBYTE* mAddress = nullptr;
  std::size_t mCount = 0;
};

template <typename T>
class cStoredValue {
 public:
  void Allocate(cNonVolatileStorageManager& storage) { mSlot.Allocate(storage, 1); }
  T Get() const { return mSlot.Get(0); }
  void Set(T value) { mSlot.Set(0, value); }
  UBYTE* Address() const { return mSlot.Address(); }

 private:
  cStoredArray<T> mSlot;
};

// The two marker words around a unit's slots; both hold the unit's own
// values when the slots between them are valid.
class cStoredMarkers {
 public:
  cStoredMarkers(UWORD first, UWORD last) : mFirstValue(first), mLastValue(last) {}

  void AllocateFirst(cNonVolatileStorageManager& storage) { mFirst.Allocate(storage); }
  // Allocates the last marker and checks both; an invalid block is zeroed.
  bool AllocateLastAndCheck(cNonVolatileStorageManager& storage) {
    mLast.Allocate(storage);
    // Slots the region could not serve are separate zeroed blocks: clearing
    // "from the first marker to the last" would run across unrelated memory.
    if (!storage.IsInRegion(mFirst.Address(), sizeof(UWORD)) || !storage.IsInRegion(mLast.Address(), sizeof(UWORD))) {
      return false;
    }
    return storage.CheckBlockMarkers(reinterpret_cast<UWORD*>(mFirst.Address()), mFirstValue,
                                     reinterpret_cast<UWORD*>(mLast.Address()), mLastValue);
  }
  void Write() {
    mFirst.Set(mFirstValue);
    mLast.Set(mLastValue);
  }
  // Allocates the last marker; a block that is invalid (or `force`d) gets
  // `loadDefaults` and then both markers. True when the stored state holds.
  template <typename tLoadDefaults>
  bool AllocateLastOrReset(cNonVolatileStorageManager& storage, tLoadDefaults loadDefaults, bool force = false) {
    if (AllocateLastAndCheck(storage) && !force) return true;
    loadDefaults();
    Write();
    return false;
  }

 private:
  UWORD mFirstValue;
  UWORD mLastValue;
  cStoredValue<UWORD> mFirst;
  cStoredValue<UWORD> mLast;
};
