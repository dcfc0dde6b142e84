#pragma once

#include <array>
#include <atomic>
#include <mutex>
#include <string>
#include <thread>
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

// The registry lock: recursive, and it knows which thread holds it, so that
// code can check it runs under it.
class cRegistryMutex {
 public:
  void lock() {
    mMutex.lock();
    if (mDepth++ == 0) mOwner.store(std::this_thread::get_id());
  }
  bool try_lock() {
    if (!mMutex.try_lock()) return false;
    if (mDepth++ == 0) mOwner.store(std::this_thread::get_id());
    return true;
  }
  void unlock() {
    if (--mDepth == 0) mOwner.store(std::thread::id());
    mMutex.unlock();
  }
  bool HeldByCurrentThread() const { return mOwner.load() == std::this_thread::get_id(); }

 private:
  std::recursive_mutex mMutex;
  std::atomic<std::thread::id> mOwner{};
  int mDepth = 0;  // only touched by the holder
};

// Registry and post office of the object network: handles, names, the message
// buffer and delivery. One exists per process (see Syscall).
class cRegistryRouter {
 public:
  static constexpr EW_NET_DATA_SCALE kMaxHandle = 45000;
  static constexpr size_t kNameSlot = 64;
  static constexpr size_t kMaxNameLength = kNameSlot - 1;
  // Most messages the buffer holds; a post beyond it is refused. Readers of
  // remote traffic throttle as GetNumberOfQueuedMessages() nears it.
  static constexpr ULONG kMaxQueuedMessages = 50000;

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
  // When an object named `name` is registered (at once if it already is),
  // `watcher` receives `method` with the name as its payload. A watch fires
  // once; the watcher's own unregistration drops its watches.
  void WatchForName(const char* name, EW_NET_DATA_SCALE watcher, UWORD method);
  void LockRegistry() { mRegistryLock.lock(); }
  void UnlockRegistry() { mRegistryLock.unlock(); }
  bool HoldsRegistryLock() const { return mRegistryLock.HeldByCurrentThread(); }
  const cNetObjectHashMap& NameIndex() const { return *mNameIndex; }

  // Message buffer (buffer lock). False when the message could not be queued
  // (buffer at its limit or pools exhausted); it is then lost.
  bool AddMessageToMessageBuffer(const cEWNetMessage& message);
  bool AddMessageToStartOfMessageBuffer(const cEWNetMessage& message);
  ULONG GetNumberOfQueuedMessages() const { return mQueuedCount.load(); }
  void SetProcessingEnabled(bool enabled);
  bool IsProcessingEnabled() const { return mProcessingEnabled.load(); }

  // Dispatch (dispatch thread).
  // Delivers until the buffer is empty (or, when given, that many messages);
  // returns how many it delivered.
  ULONG DoWork(ULONG maxMessages = 0xFFFFFFFFu);
  void DeliverMessage(cEWNetMessage& message);
  void EntrypointMessage(cEWNetMessage& message);
  void PrintMesspools();

 private:
  struct sNameWatch {
    std::string mName;
    EW_NET_DATA_SCALE mWatcher;
    UWORD mMethod;
  };

  cEWNetMessage* TakePooledCopy(const cEWNetMessage& message);
  bool Enqueue(const cEWNetMessage& message, bool atFront);
  void ReportPoolsFull(const cEWNetMessage& message);
  void NotifyWatcher(const sNameWatch& watch);
  void FindObject(cEWNetMessage& request);
  void PushBack(cEWNetMessage* message);
  void PushFront(cEWNetMessage* message);
  cEWNetMessage* PopFront();
  void GrowRing();

  cRegistryMutex mRegistryLock;
  std::recursive_mutex mBufferLock;
  std::vector<sNameWatch> mNameWatches;
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

// Routing: the public way to send. False when a local message could not be
// queued (see AddMessageToMessageBuffer); remote sends always say true.
bool SendMessage(const cEWNetMessage& message);
bool SendDatagram(const cEWNetMessage& message);
void LockRegistry();
void UnlockRegistry();
// Whether the calling thread holds the registry lock (false without a router).
bool HoldsRegistryLock();
ULONG GetNumberOfQueuedMessages();

// RAII helper for code outside the dispatch thread that touches net objects.
class cRegistryLocker {
 public:
  cRegistryLocker() { LockRegistry(); }
  ~cRegistryLocker() { UnlockRegistry(); }
  cRegistryLocker(const cRegistryLocker&) = delete;
  cRegistryLocker& operator=(const cRegistryLocker&) = delete;
};
