#include "EWNet/Core/RegRoutr.h"

#include <algorithm>
#include <cstring>

#include "EWNet/Core/ErrLog.h"
#include "EWNet/Core/SysBuild.h"
#include "EWNet/Core/Syscall.h"

namespace {

std::atomic<cRegistryRouter*> gRegistryRouter{nullptr};

int CompareNames(const char* a, const char* b) { return std::strcmp(a, b); }

}  // namespace

cRegistryRouter* GetRegistryRouter() { return gRegistryRouter.load(); }
void SetRegistryRouter(cRegistryRouter* router) { gRegistryRouter.store(router); }

// ---------------------------------------------------------------------------
// Name index

cNetObjectHashMap::cNetObjectHashMap(ULONG buckets)
    : mBuckets(new sEntry*[buckets]()),
      mBucketCount(buckets),
      mHash(&cNetObjectHashMap::Hash),
      mCompare(&CompareNames),
      mThreshold(ULONG(float(buckets) * mLoadFactor)) {}

cNetObjectHashMap::~cNetObjectHashMap() {
  for (ULONG b = 0; b < mBucketCount; ++b) {
    for (sEntry* e = mBuckets[b]; e != nullptr;) {
      sEntry* next = e->mNext;
      delete e;
      e = next;
    }
  }
  delete[] mBuckets;
}

ULONG cNetObjectHashMap::Hash(const char* name) {
  ULONG h = 0;
  for (const char* c = name; *c != '\0'; ++c) h = h * 31u + ULONG(int(static_cast<signed char>(*c)));
  return h;
}

cNetObject* cNetObjectHashMap::Find(const char* key) const {
  for (sEntry* e = mBuckets[mHash(key) % mBucketCount]; e != nullptr; e = e->mNext) {
    if (mCompare(e->mKey, key) == 0) return e->mValue;
  }
  return nullptr;
}

bool cNetObjectHashMap::Insert(const char* key, cNetObject* value) {
  sEntry** link = &mBuckets[mHash(key) % mBucketCount];
  for (; *link != nullptr; link = &(*link)->mNext) {
    if (mCompare((*link)->mKey, key) == 0) return false;
  }
  *link = new sEntry{key, value, nullptr};
  if (++mEntryCount > mThreshold) Grow();
  return true;
}

bool cNetObjectHashMap::Remove(const char* key) {
  for (sEntry** link = &mBuckets[mHash(key) % mBucketCount]; *link != nullptr; link = &(*link)->mNext) {
    if (mCompare((*link)->mKey, key) == 0) {
      sEntry* gone = *link;
      *link = gone->mNext;
      delete gone;
      --mEntryCount;
      return true;
    }
  }
  return false;
}

void cNetObjectHashMap::Grow() {
  const ULONG newCount = mBucketCount * 2 + 1;
  sEntry** grown = new sEntry*[newCount]();
  for (ULONG b = 0; b < mBucketCount; ++b) {
    for (sEntry* e = mBuckets[b]; e != nullptr;) {
      sEntry* next = e->mNext;
      sEntry** link = &grown[mHash(e->mKey) % newCount];
      while (*link != nullptr) link = &(*link)->mNext;
      // The node moves rather than being copied: same contents, same order.
      e->mNext = nullptr;
      *link = e;
      e = next;
    }
  }
  delete[] mBuckets;
  mBuckets = grown;
  mBucketCount = newCount;
  mThreshold = ULONG(float(newCount) * mLoadFactor);
}

// ---------------------------------------------------------------------------
// Router

cRegistryRouter::cRegistryRouter()
    : mNameIndex(new cNetObjectHashMap(800)), mRing(1024, nullptr), mMessagePool(new cEWNetMessagePool) {
  mObjects.fill(nullptr);
  for (size_t i = 0; i < kMaxHandle; ++i) {
    mSlots[i] = EW_NET_DATA_SCALE(i + 1);
    mNames[i][0] = '\0';
  }
  mReplyMessage.mConnectionId = 0;
  mReplyMessage.mSource = 0;
}

cRegistryRouter::~cRegistryRouter() {
  std::lock_guard<std::recursive_mutex> guard(mBufferLock);
  while (mRingCount > 0) mMessagePool->ReturnEWNetMessage(PopFront());
}

void cRegistryRouter::RegisterNetworkObject(cNetObject* object, const char* name) {
  std::lock_guard<cRegistryMutex> guard(mRegistryLock);
  const size_t length = std::strlen(name);
  if (length > kMaxNameLength) {
    EW_REPORT_ERROR("ObjectName length too long: %d", int(length));
    EW_REPORT_ERROR("Name: \"%s\"", name);
    return;
  }
  const EW_NET_DATA_SCALE handle = TakeHandle();
  if (handle == 0xFFFF) {
    EW_REPORT_ERROR("Registry is full - Handle = %d", int(handle));
    return;
  }
  char* slot = mNames[handle - 1].data();
  std::memcpy(slot, name, length + 1);
  if (!mNameIndex->Insert(slot, object)) {
    ReleaseHandle(handle);
    EW_REPORT_ERROR("Net object name is not unique, %s", name);
    return;
  }
  object->mName = slot;
  object->mHandle = handle;
  object->mSystemMessage.mSource = handle;
  mObjects[handle] = object;
  // The notices travel through the buffer, so the watcher hears of the new
  // object only once the lock its maker holds is given up.
  for (auto it = mNameWatches.begin(); it != mNameWatches.end();) {
    if (it->mName == slot) {
      NotifyWatcher(*it);
      it = mNameWatches.erase(it);
    } else {
      ++it;
    }
  }
}

void cRegistryRouter::WatchForName(const char* name, EW_NET_DATA_SCALE watcher, UWORD method) {
  std::lock_guard<cRegistryMutex> guard(mRegistryLock);
  const sNameWatch watch{name, watcher, method};
  if (mNameIndex->Find(name) != nullptr) {
    NotifyWatcher(watch);
    return;
  }
  for (const sNameWatch& w : mNameWatches) {
    if (w.mWatcher == watcher && w.mMethod == method && w.mName == watch.mName) return;
  }
  mNameWatches.push_back(watch);
}

void cRegistryRouter::NotifyWatcher(const sNameWatch& watch) {
  cEWNetMessage notice;
  notice.AppendString(watch.mName.c_str());
  notice.mConnectionId = 0;
  notice.mSource = 0;
  notice.mDestination = watch.mWatcher;
  notice.mMethod = watch.mMethod;
  SendMessage(notice);
}

void cRegistryRouter::UnregisterNetworkObject(cNetObject* object) {
  std::lock_guard<cRegistryMutex> guard(mRegistryLock);
  auto removeFirst = [object](std::vector<cNetObject*>& list) {
    auto it = std::find(list.begin(), list.end(), object);
    if (it != list.end()) list.erase(it);
  };
  removeFirst(mTickList);
  removeFirst(mTockList);
  const EW_NET_DATA_SCALE handle = object->mHandle;
  if (handle == 0 || handle > kMaxHandle || mObjects[handle] != object) return;
  mNameWatches.erase(std::remove_if(mNameWatches.begin(), mNameWatches.end(),
                                    [handle](const sNameWatch& w) { return w.mWatcher == handle; }),
                     mNameWatches.end());
  mNameIndex->Remove(mNames[handle - 1].data());
  mObjects[handle] = nullptr;
  ReleaseHandle(handle);
}

void cRegistryRouter::AddToTickList(cNetObject* object) {
  std::lock_guard<cRegistryMutex> guard(mRegistryLock);
  mTickList.push_back(object);
}

void cRegistryRouter::AddToTockList(cNetObject* object) {
  std::lock_guard<cRegistryMutex> guard(mRegistryLock);
  mTockList.push_back(object);
}

EW_NET_DATA_SCALE cRegistryRouter::TakeHandle() {
  std::lock_guard<cRegistryMutex> guard(mRegistryLock);
  const size_t next = (mSlotsHead + 1) % kMaxHandle;
  if (next == mSlotsTail) {
    EW_REPORT_ERROR("Not enough handles available! *mSlotsHead = %d", int(mSlots[mSlotsHead]));
    return 0xFFFF;
  }
  const EW_NET_DATA_SCALE handle = mSlots[mSlotsHead];
  mSlotsHead = next;
  return handle;
}

void cRegistryRouter::ReleaseHandle(EW_NET_DATA_SCALE handle) {
  std::lock_guard<cRegistryMutex> guard(mRegistryLock);
  if (mSlotsHead == mSlotsTail) {
    EW_REPORT_ERROR("There are no used handles to release!");
    return;
  }
  mSlots[mSlotsTail] = handle;
  mSlotsTail = (mSlotsTail + 1) % kMaxHandle;
}

const char* cRegistryRouter::GetObjectName(EW_NET_DATA_SCALE handle) {
  if (handle == 0 || handle > kMaxHandle) {
    EW_REPORT_ERROR("Invalid Handle %d", int(handle));
    return nullptr;
  }
  return mNames[handle - 1].data();
}

EW_NET_DATA_SCALE cRegistryRouter::FindHandle(const char* name) {
  std::lock_guard<cRegistryMutex> guard(mRegistryLock);
  const cNetObject* object = mNameIndex->Find(name);
  return object != nullptr ? object->mHandle : EW_NET_DATA_SCALE(0xFFFF);
}

cNetObject* cRegistryRouter::GetObject(EW_NET_DATA_SCALE handle) {
  if (handle == 0 || handle > kMaxHandle) return nullptr;
  return mObjects[handle];
}

void cRegistryRouter::InformConnectionClosed(UWORD connectionId, bool lostComms) {
  std::lock_guard<cRegistryMutex> guard(mRegistryLock);
  for (size_t h = 1; h <= kMaxHandle; ++h) {
    if (mObjects[h] != nullptr) mObjects[h]->ConnectionClosed(connectionId, lostComms);
  }
}

// ---------------------------------------------------------------------------
// Message buffer

// The ring's size is a power of two so positions wrap with a mask. The ring
// holds what the dispatcher has not taken yet; mQueuedCount counts the ring
// (a taken batch is uncounted, and counted again if it is put back).
void cRegistryRouter::GrowRing() {
  std::vector<cEWNetMessage*> grown(mRing.size() * 2, nullptr);
  const size_t mask = mRing.size() - 1;
  for (size_t i = 0; i < mRingCount; ++i) grown[i] = mRing[(mRingHead + i) & mask];
  mRing.swap(grown);
  mRingHead = 0;
}

void cRegistryRouter::PushBack(cEWNetMessage* message) {
  if (mRingCount == mRing.size()) GrowRing();
  mRing[(mRingHead + mRingCount) & (mRing.size() - 1)] = message;
  ++mRingCount;
}

void cRegistryRouter::PushFront(cEWNetMessage* message) {
  if (mRingCount == mRing.size()) GrowRing();
  mRingHead = (mRingHead - 1) & (mRing.size() - 1);
  mRing[mRingHead] = message;
  ++mRingCount;
}

cEWNetMessage* cRegistryRouter::PopFront() {
  cEWNetMessage* message = mRing[mRingHead];
  mRingHead = (mRingHead + 1) & (mRing.size() - 1);
  --mRingCount;
  return message;
}

cEWNetMessage* cRegistryRouter::TakePooledCopy(const cEWNetMessage& message) {
  cEWNetMessage* pooled = mMessagePool->GetEWNetMessage(message.mLength);
  if (pooled != nullptr) *pooled = message;
  return pooled;
}

bool cRegistryRouter::AddMessageToMessageBuffer(const cEWNetMessage& message) { return Enqueue(message, false); }

bool cRegistryRouter::AddMessageToStartOfMessageBuffer(const cEWNetMessage& message) { return Enqueue(message, true); }

bool cRegistryRouter::Enqueue(const cEWNetMessage& message, bool atFront) {
  bool reportFull = false;
  {
    std::lock_guard<std::recursive_mutex> guard(mBufferLock);
    cEWNetMessage* pooled = mQueuedCount.load() < kMaxQueuedMessages ? TakePooledCopy(message) : nullptr;
    if (pooled != nullptr) {
      if (atFront) {
        PushFront(pooled);
        mFrontInserts.fetch_add(1);
      } else {
        PushBack(pooled);
      }
      mQueuedCount.fetch_add(1);
      return true;
    }
    if (!mPoolsFullReported) mPoolsFullReported = reportFull = true;
  }
  if (reportFull) ReportPoolsFull(message);
  return false;
}

// Any thread may meet a full buffer, holding any locks, so the report takes
// none it would have to wait for: names and the builder's state are included
// only when their locks can be had at once, and the lines are written with
// no lock taken here.
void cRegistryRouter::ReportPoolsFull(const cEWNetMessage& message) {
  EW_REPORT_ERROR("Message Pools Full, Length: %d,  CID:%d, S:%d, D:%d, M:%d", int(message.mLength),
                  int(message.mConnectionId), int(message.mSource), int(message.mDestination), int(message.mMethod));
  std::string source;
  std::string destination;
  {
    std::unique_lock<cRegistryMutex> registry(mRegistryLock, std::try_to_lock);
    if (registry.owns_lock()) {
      if (message.mSource != 0 && GetObject(message.mSource) != nullptr) source = GetObject(message.mSource)->GetName();
      if (message.mDestination != 0 && GetObject(message.mDestination) != nullptr) {
        destination = GetObject(message.mDestination)->GetName();
      }
    }
  }
  if (!source.empty()) {
    EW_REPORT_ERROR("Possible Local Source = 0x%X :- \"%s\"", unsigned(message.mSource), source.c_str());
  }
  if (!destination.empty()) {
    EW_REPORT_ERROR("Possible Local Destination = 0x%X :- \"%s\"", unsigned(message.mDestination), destination.c_str());
  }
  cSystemBuilder* builder = GetSystemBuilder();
  sLinkPerformance performance{};
  sParameterLinkingCommand current;
  bool hasCurrent = false;
  if (builder == nullptr || !builder->TryGetLinkPerformance(performance, current, hasCurrent)) return;
  if (performance.mBusy) {
    EW_REPORT_ERROR("SysBuild is busy. Current link is:");
    if (hasCurrent) ReportLinkCommand(current);
  }
  EW_REPORT_ERROR("SysBuild LinkPerformance:-  Requested: %lu   Made: %lu   Queued: %lu",
                  static_cast<unsigned long>(performance.mRequested), static_cast<unsigned long>(performance.mMade),
                  static_cast<unsigned long>(performance.mQueued));
}

void cRegistryRouter::SetProcessingEnabled(bool enabled) {
  {
    std::lock_guard<std::recursive_mutex> guard(mBufferLock);
    mProcessingEnabled.store(enabled);
  }
  // Whatever waits in the buffer is work again.
  if (enabled) WakeDispatchThread();
}

// ---------------------------------------------------------------------------
// Dispatch

// The dispatcher takes up to kBatch messages per hold of the buffer lock and
// gives the delivered ones back to the pools in the one hold that follows the
// batch, so posters and the dispatcher rarely meet on the lock. Delivery order is that of a one-by-
// one loop: a message put at the front while a batch is out is delivered
// next, and a stop leaves every undelivered message queued in order.
ULONG cRegistryRouter::DoWork(ULONG maxMessages) {
  ULONG done = 0;
  std::unique_lock<std::recursive_mutex> lock(mBufferLock);
  while (done < maxMessages && mProcessingEnabled.load()) {
    const size_t take = std::min<size_t>({kBatch, mRingCount, size_t(maxMessages - done)});
    if (take == 0) break;
    for (size_t i = 0; i < take; ++i) mBatch[i] = PopFront();
    mQueuedCount.fetch_sub(ULONG(take));
    mBatchEnd = take;
    mBatchNext.store(0);
    mFrontInserts.store(0);
    lock.unlock();

    // The registry lock is held for the whole batch (each delivery takes it
    // again, recursively, at little cost); it is released before the buffer
    // lock is taken, keeping the lock order.
    size_t next = 0;
    mRegistryLock.lock();
    while (next < take && mFrontInserts.load() == 0 && mProcessingEnabled.load()) {
      cEWNetMessage* message = mBatch[next];
      mBatchNext.store(++next);
      DeliverMessage(*message);
      ++done;
    }
    mRegistryLock.unlock();

    lock.lock();
    for (size_t i = 0; i < next; ++i) mMessagePool->ReturnEWNetMessage(mBatch[i]);
    if (next < take) {
      // Interrupted: the rest goes back behind whatever was put at the front.
      // One delivery may put any number of messages at the front, so they are
      // moved ahead in the ring rather than copied out into a batch-sized array.
      const size_t rest = take - next;
      const size_t frontCount = mFrontInserts.load();
      mQueuedCount.fetch_add(ULONG(rest));
      while (mRingCount + rest > mRing.size()) GrowRing();
      const size_t mask = mRing.size() - 1;
      mRingHead = (mRingHead - rest) & mask;
      mRingCount += rest;
      for (size_t i = 0; i < frontCount; ++i) mRing[(mRingHead + i) & mask] = mRing[(mRingHead + rest + i) & mask];
      for (size_t i = 0; i < rest; ++i) mRing[(mRingHead + frontCount + i) & mask] = mBatch[next + i];
    }
    mBatchEnd = 0;
    mBatchNext.store(0);
  }
  return done;
}

void cRegistryRouter::DeliverMessage(cEWNetMessage& message) {
  std::lock_guard<cRegistryMutex> guard(mRegistryLock);
  message.mReadPosition = 0;
  if (message.mDestination == 0) {
    EntrypointMessage(message);
    return;
  }
  if (cNetObject* object = GetObject(message.mDestination)) object->EntrypointMessage(message);
}

void cRegistryRouter::EntrypointMessage(cEWNetMessage& message) {
  switch (message.mMethod) {
    case M_REG_TICK: {
      // Index loop: a ticking object may register or unregister others.
      for (size_t i = 0; i < mTickList.size(); ++i) mTickList[i]->ActionTick();
      mReplyMessage.SetLength(0);
      mReplyMessage.mConnectionId = 0;
      mReplyMessage.mDestination = 0;
      mReplyMessage.mSource = 0;
      mReplyMessage.mMethod = M_REG_TOCK;
      SendMessage(mReplyMessage);
      return;
    }
    case M_REG_TOCK:
      for (size_t i = 0; i < mTockList.size(); ++i) mTockList[i]->ActionTock();
      return;
    case M_REG_FIND_OBJECT:
      FindObject(message);
      return;
    case M_TEST_PRINT_MESS_POOLS:
      PrintMesspools();
      return;
    case M_TEST_PRINT_REGISTRY:
    case M_REG_DO_WORK:
      return;
    default:
      EW_REPORT_ERROR(
          "Reg EntrypointMessage unknown method 0x%X, Message->mSource = 0x%X, "
          "Message->mConnectionId = 0x%X",
          unsigned(message.mMethod), unsigned(message.mSource), unsigned(message.mConnectionId));
  }
}

void cRegistryRouter::FindObject(cEWNetMessage& request) {
  // The path must be a NUL-terminated text inside the payload; anything else
  // can only fail.
  const char* path = "";
  if (request.mLength > 0 && std::memchr(request.mData, 0, request.mLength) != nullptr) {
    path = reinterpret_cast<const char*>(request.mData);
  }
  mReplyMessage.mConnectionId = request.mConnectionId;
  mReplyMessage.mDestination = request.mSource;
  mReplyMessage.mSource = 0;
  mReplyMessage.SetLength(0);

  if (const char* slash = std::strchr(path, '/')) {
    const std::string host(path, size_t(slash - path));
    const UWORD connection = GetConnectionManager()->ConnectToHost(host);
    if (connection != 0xFFFF) {
      const size_t rest = std::strlen(slash + 1) + 1;
      std::memmove(request.mData, slash + 1, rest);
      request.mLength = EW_NET_DATA_SCALE(rest);
      request.mConnectionId = connection;
      GetConnectionManager()->SendMessageToConnection(request);
      return;
    }
    mReplyMessage.mMethod = M_REPLY_FAIL;
  } else if (const cNetObject* object = mNameIndex->Find(path)) {
    mReplyMessage.mMethod = M_REPLY_OK;
    if (GetConnectionManager()->UsesVersion2Messages(request.mConnectionId)) {
      mReplyMessage.SetLength(4);
      mReplyMessage.SetULONG(0, object->mHandle);
    } else {
      mReplyMessage.SetLength(2);
      mReplyMessage.SetUWORD(0, object->mHandle);
    }
  } else {
    mReplyMessage.mMethod = M_REPLY_FAIL;
  }
  SendMessage(mReplyMessage);
}

// ---------------------------------------------------------------------------
// Routing

namespace {

bool PostLocally(const cEWNetMessage& message) {
  cRegistryRouter* router = GetRegistryRouter();
  if (router == nullptr) return false;
  const bool queued = router->AddMessageToMessageBuffer(message);
  if (queued) WakeDispatchThread();
  return queued;
}

}  // namespace

bool SendMessage(const cEWNetMessage& message) {
  if (message.mConnectionId != 0) {
    GetConnectionManager()->SendMessageToConnection(message);
    return true;
  }
  return PostLocally(message);
}

bool SendDatagram(const cEWNetMessage& message) {
  if (message.mConnectionId != 0) {
    GetConnectionManager()->SendDatagramToConnection(message);
    return true;
  }
  return PostLocally(message);
}

void LockRegistry() {
  if (cRegistryRouter* router = GetRegistryRouter()) router->LockRegistry();
}

void UnlockRegistry() {
  if (cRegistryRouter* router = GetRegistryRouter()) router->UnlockRegistry();
}

bool HoldsRegistryLock() {
  cRegistryRouter* router = GetRegistryRouter();
  return router != nullptr && router->HoldsRegistryLock();
}

ULONG GetNumberOfQueuedMessages() {
  cRegistryRouter* router = GetRegistryRouter();
  return router != nullptr ? router->GetNumberOfQueuedMessages() : 0;
}
