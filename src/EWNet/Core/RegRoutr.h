#pragma once

#include <array>
#include <atomic>
#include <mutex>
#include <vector>

#include "EWNet/Core/DynamicMessPool.h"
#include "EWNet/Core/NetObjct.h"

class cNetObjectHashMap {
 public:
  struct sEntry {
    const char* mKey;
    cNetObject* mValue;
    sEntry* mNext;
  };
  using HashFunction = ULONG (*)(const char*);
  using CompareFunction = int (*)(const char*, const char*);

  explicit cNetObjectHashMap(ULONG buckets = 800);
  virtual ~cNetObjectHashMap();
  cNetObjectHashMap(const cNetObjectHashMap&) = delete;
  cNetObjectHashMap& operator=(const cNetObjectHashMap&) = delete;

  static ULONG Hash(const char* name);

  cNetObject* Find(const char* key) const;
  bool Insert(const char* key, cNetObject* value);  // false when the key exists
  bool Remove(const char* key);
  ULONG GetBucketCount() const { return mBucketCount; }
  ULONG GetEntryCount() const { return mEntryCount; }
  ULONG GetThreshold() const { return mThreshold; }

 private:
  void Grow();

  sEntry** mBuckets;
  ULONG mBucketCount;
  ULONG mEntryCount = 0;
  HashFunction mHash;
  CompareFunction mCompare;
  float mLoadFactor = 0.75f;
  ULONG mThreshold;
};

// Registry and post office of the object network: handles, names, the message
// buffer and delivery. One exists per process (see Syscall).
class cRegistryRouter {
 public:
  static constexpr EW_NET_DATA_SCALE kMaxHandle = 45000;
  static constexpr size_t kNameSlot = 64;
  static constexpr size_t kMaxNameLength = kNameSlot - 1;

  cRegistryRouter();
  virtual ~cRegistryRouter();
  cRegistryRouter(const cRegistryRouter&) = delete;
  cRegistryRouter& operator=(const cRegistryRouter&) = delete;

  // Registry (registry lock).
  void RegisterNetworkObject(cNetObject* object, const char* name);
  void UnregisterNetworkObject(cNetObject* object);
  void AddToTickList(cNetObject* object);
  void AddToTockList(cNetObject* object);
  EW_NET_DATA_SCALE TakeHandle();
  void ReleaseHandle(EW_NET_DATA_SCALE handle);
  const char* GetObjectName(EW_NET_DATA_SCALE handle);
  EW_NET_DATA_SCALE FindHandle(const char* name);
  cNetObject* GetObject(EW_NET_DATA_SCALE handle);
  void InformConnectionClosed(UWORD connectionId, bool lostComms);
  void LockRegistry() { mRegistryLock.lock(); }
  void UnlockRegistry() { mRegistryLock.unlock(); }
  const cNetObjectHashMap& NameIndex() const { return *mNameIndex; }

  // Message buffer (buffer lock).
  void AddMessageToMessageBuffer(const cEWNetMessage& message);
  void AddMessageToStartOfMessageBuffer(const cEWNetMessage& message);
  ULONG GetNumberOfQueuedMessages() const { return mQueuedCount.load(); }
  void SetProcessingEnabled(bool enabled);
  bool IsProcessingEnabled() const { return mProcessingEnabled.load(); }

  // Dispatch (dispatch thread).
  // Delivers until the buffer is empty (or, when given, that many messages).
  void DoWork(ULONG maxMessages = 0xFFFFFFFFu);
  void DeliverMessage(cEWNetMessage& message);
  void EntrypointMessage(cEWNetMessage& message);
  void PrintMesspools();

 private:
  cEWNetMessage* TakePooledCopy(const cEWNetMessage& message);
  void Enqueue(const cEWNetMessage& message, bool atFront);
  void ReportPoolsFull(const cEWNetMessage& message);
  void FindObject(cEWNetMessage& request);
  void PushBack(cEWNetMessage* message);
  void PushFront(cEWNetMessage* message);
  cEWNetMessage* PopFront();
  void GrowRing();

  std::recursive_mutex mRegistryLock;
  std::recursive_mutex mBufferLock;
  std::unique_ptr<cNetObjectHashMap> mNameIndex;
  std::array<std::array<char, kNameSlot>, kMaxHandle> mNames;
  std::array<cNetObject*, kMaxHandle + 1> mObjects;  // indexed by handle, [0] unused
  std::array<EW_NET_DATA_SCALE, kMaxHandle> mSlots;
  size_t mSlotsHead = 0;
  size_t mSlotsTail = 0;
  std::vector<cNetObject*> mTickList;
  std::vector<cNetObject*> mTockList;
  cEWNetMessage mReplyMessage;
  // Message buffer: a ring that only ever grows, so steady traffic allocates
  // nothing once it has reached its working size.
  std::vector<cEWNetMessage*> mRing;
  size_t mRingHead = 0;
  size_t mRingCount = 0;
  std::atomic<ULONG> mQueuedCount{0};
  std::unique_ptr<cEWNetMessagePool> mMessagePool;
  std::atomic<bool> mProcessingEnabled{true};

  // The dispatcher's batch (dispatch thread only, filled under the buffer lock).
  static constexpr size_t kBatch = 64;
  std::array<cEWNetMessage*, kBatch> mBatch{};
  size_t mBatchEnd = 0;
  std::atomic<size_t> mBatchNext{0};
  std::atomic<size_t> mFrontInserts{0};  // front insertions since the batch was taken
  bool mPoolsFullReported = false;
};

// The process's router (null outside StartEWNet/StopEWNet).
cRegistryRouter* GetRegistryRouter();
void SetRegistryRouter(cRegistryRouter* router);

// Routing: the public way to send.
void SendMessage(const cEWNetMessage& message);
void SendDatagram(const cEWNetMessage& message);
void LockRegistry();
void UnlockRegistry();
ULONG GetNumberOfQueuedMessages();

// RAII helper for code outside the dispatch thread that touches net objects.
class cRegistryLocker {
 public:
  cRegistryLocker() { LockRegistry(); }
  ~cRegistryLocker() { UnlockRegistry(); }
  cRegistryLocker(const cRegistryLocker&) = delete;
  cRegistryLocker& operator=(const cRegistryLocker&) = delete;
};
