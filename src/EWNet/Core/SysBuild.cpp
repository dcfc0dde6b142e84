#include "EWNet/Core/SysBuild.h"

#include <cstring>

#include "EWNet/Core/ConnMgr.h"
#include "EWNet/Core/ErrLog.h"
#include "EWNet/Core/RegRoutr.h"
#include "EWNet/Core/Syscall.h"

namespace {

void CopyPath(char (&target)[EW_LINK_PATH_SIZE], const char* source) {
  std::strncpy(target, source != nullptr ? source : "", EW_LINK_PATH_SIZE - 1);
  target[EW_LINK_PATH_SIZE - 1] = '\0';
}

// Host part of "host/object", empty for a local name.
std::string HostOfPath(const char* path) {
  const char* slash = std::strchr(path, '/');
  return slash != nullptr ? std::string(path, size_t(slash - path)) : std::string();
}

const char* TrueFalse(bool value) { return value ? "True" : "False"; }

}  // namespace

void ReportLinkCommand(const sParameterLinkingCommand& c) {
  EW_REPORT_ERROR("mSourcePath = \"%s\", mDestinationPath = \"%s\"", c.mSourcePath, c.mDestinationPath);
  EW_REPORT_ERROR("SourceParam: %d,  DestParam: %d,  Remove: %s,  Sync: %s,  Bidirect: %s,  DataGram: %s,",
                  int(c.mSourceParam), int(c.mDestParam), TrueFalse(c.mRemove), TrueFalse(c.mSync),
                  TrueFalse(c.mBidirect), TrueFalse(c.mDataGram));
}

sParameterLinkingCommand MakeLinkCommand(const char* sourcePath, EW_NET_DATA_SCALE sourceParam,
                                         const char* destinationPath, EW_NET_DATA_SCALE destParam, bool sync,
                                         bool remove, bool bidirect, bool datagram) {
  sParameterLinkingCommand command;
  for (const char* path : {sourcePath, destinationPath}) {
    if (path != nullptr && std::strlen(path) >= EW_LINK_PATH_SIZE) {
      // A cut name is never found: the command will wait in the builder.
      EW_REPORT_ERROR("Link path too long, cut to %d characters: \"%s\"", int(EW_LINK_PATH_SIZE - 1), path);
    }
  }
  command.mSourceParam = sourceParam;
  command.mDestParam = destParam;
  CopyPath(command.mSourcePath, sourcePath);
  CopyPath(command.mDestinationPath, destinationPath);
  command.mSync = sync;
  command.mRemove = remove;
  command.mBidirect = bidirect;
  command.mDataGram = datagram;
  return command;
}

// ---------------------------------------------------------------------------
// Seek object

cSeekObject::cSeekObject(const char* name, EW_NET_DATA_SCALE numberOfParameters, bool actionTick, short cacheSize)
    : cNetObject(name, numberOfParameters, actionTick, false), mSeekBusy(false) {
  mSoughtName[0] = '\0';
  if (cacheSize > 0) mCache.assign(size_t(cacheSize), sCacheEntry{{}, 0xFFFF, 0xFFFF, false});
}

cSeekObject::~cSeekObject() = default;

void cSeekObject::ForgetCacheEntries(UWORD connectionId) {
  for (sCacheEntry& entry : mCache) {
    if (connectionId == 0xFFFF || entry.mConnectionId == connectionId) entry.mValid = false;
  }
}

bool cSeekObject::LookUpCache(const char* name, UWORD& connectionId, EW_NET_DATA_SCALE& handle) {
  const size_t size = mCache.size();
  for (size_t i = 0; i < size; ++i) {
    const size_t at = (mCacheLastHit + i) % size;
    const sCacheEntry& entry = mCache[at];
    if (entry.mValid && std::strcmp(entry.mName, name) == 0) {
      mCacheLastHit = at;
      connectionId = entry.mConnectionId;
      handle = entry.mHandle;
      return true;
    }
  }
  return false;
}

void cSeekObject::AddToCache(const char* name, UWORD connectionId, EW_NET_DATA_SCALE handle) {
  if (mCache.empty()) return;
  sCacheEntry& entry = mCache[mCacheNext];
  CopyPath(entry.mName, name);
  entry.mConnectionId = connectionId;
  entry.mHandle = handle;
  entry.mValid = true;
  mCacheNext = (mCacheNext + 1) % mCache.size();
}

void cSeekObject::SeekObject(const char* path) {
  if (mSeekBusy) {
    if (mIgnoreNextReply) mDeferredSeek = path;
    return;
  }
  CopyPath(mSoughtName, path);
  UWORD connection = 0xFFFF;
  EW_NET_DATA_SCALE handle = 0xFFFF;
  mSeekFromCache = LookUpCache(mSoughtName, connection, handle);
  if (mSeekFromCache) {
    mSeekBusy = true;
    // The spare byte makes the length differ from a router's answer, so the
    // answer is not cached a second time.
    const bool version2 = GetConnectionManager()->UsesVersion2Messages(connection);
    mSeekMessage.SetLength(version2 ? 5 : 3);
    if (version2) {
      mSeekMessage.SetULONG(0, handle);
    } else {
      mSeekMessage.SetUWORD(0, handle);
    }
    mSeekMessage.SetUBYTE(EW_NET_DATA_SCALE(mSeekMessage.mLength - 1), 0);
    mSeekMessage.mConnectionId = connection;
    mSeekMessage.mSource = 0;
    mSeekMessage.mDestination = mHandle;
    mSeekMessage.mMethod = M_REPLY_OK;
    if (cRegistryRouter* router = GetRegistryRouter()) router->AddMessageToMessageBuffer(mSeekMessage);
    WakeDispatchThread();
    return;
  }
  mSeekBusy = true;
  mSystemMessage.SetLength(0);
  mSystemMessage.AppendString(mSoughtName);
  mSystemMessage.mConnectionId = 0;
  mSystemMessage.mDestination = 0;
  mSystemMessage.mSource = mHandle;
  mSystemMessage.mMethod = M_REG_FIND_OBJECT;
  SendMessage(mSystemMessage);
}

void cSeekObject::CancelSeek(bool replyWillCome) {
  if (!mSeekBusy) return;
  if (replyWillCome) {
    mIgnoreNextReply = true;
  } else {
    mSeekBusy = false;
  }
}

void cSeekObject::EntrypointMessage(cEWNetMessage& message) {
  if (message.mMethod != M_REPLY_OK && message.mMethod != M_REPLY_FAIL) {
    cNetObject::EntrypointMessage(message);
    return;
  }
  if (!mSeekBusy) return;
  mSeekBusy = false;
  if (mIgnoreNextReply) {
    mIgnoreNextReply = false;
    if (!mDeferredSeek.empty()) {
      const std::string path = std::move(mDeferredSeek);
      mDeferredSeek.clear();
      SeekObject(path.c_str());
    }
    return;
  }
  if (message.mMethod == M_REPLY_FAIL) {
    ObjectFound(mSoughtName, 0xFFFF, 0xFFFF);
    return;
  }
  const bool version2 = GetConnectionManager()->UsesVersion2Messages(message.mConnectionId);
  const EW_NET_DATA_SCALE size = version2 ? 4 : 2;
  if (message.mLength < size) {
    EW_REPORT_ERROR("Short find reply for \"%s\": %d bytes", mSoughtName, int(message.mLength));
    ObjectFound(mSoughtName, 0xFFFF, 0xFFFF);
    return;
  }
  const EW_NET_DATA_SCALE handle = version2 ? EW_NET_DATA_SCALE(message.GetULONG(0) & 0xFFFF) : message.GetUWORD(0);
  if (!mCache.empty() && message.mLength == size) AddToCache(mSoughtName, message.mConnectionId, handle);
  ObjectFound(mSoughtName, message.mConnectionId, handle);
}

// ---------------------------------------------------------------------------
// System builder

// Ticked only to pace the retries of remote names; an idle tick costs one
// atomic read.
cSystemBuilder::cSystemBuilder(const char* name, int defaultConnectionLossPolicy, short cacheSize)
    : cSeekObject(name, 0, true, cacheSize), mDefaultPolicy(defaultConnectionLossPolicy) {}

cSystemBuilder::~cSystemBuilder() { Unregister(); }

void cSystemBuilder::SetBusy() { mBusy = true; }
void cSystemBuilder::ClearBusy() { mBusy = false; }

size_t cSystemBuilder::GetListLength() {
  std::lock_guard<std::recursive_mutex> guard(mLock);
  return mCommands.size();
}

eSystemBuilderState cSystemBuilder::GetState() {
  std::lock_guard<std::recursive_mutex> guard(mLock);
  return mState;
}

bool cSystemBuilder::IsBusy() {
  std::lock_guard<std::recursive_mutex> guard(mLock);
  return mBusy;
}

bool cSystemBuilder::IsWaitingForName() {
  std::lock_guard<std::recursive_mutex> guard(mLock);
  return !mWaitingForName.empty();
}

void cSystemBuilder::EntrypointMessage(cEWNetMessage& message) {
  std::lock_guard<std::recursive_mutex> guard(mLock);
  if (message.mMethod != kMethodNameRegistered) {
    cSeekObject::EntrypointMessage(message);
    return;
  }
  // A notice for a name no longer waited for (the command was aborted) is
  // stale and ignored.
  if (mWaitingForName.empty() || message.mLength == 0 || message.GetUBYTE(message.mLength - 1) != 0 ||
      mWaitingForName != reinterpret_cast<const char*>(message.mData)) {
    return;
  }
  mWaitingForName.clear();
  ProcessEvent(SB_OBJECT_NOT_FOUND, 0xFFFF, 0xFFFF);
}

void cSystemBuilder::ActionTick() {
  if (mRetryTicksLeft.load() == 0) return;
  std::lock_guard<std::recursive_mutex> guard(mLock);
  if (mRetryTicksLeft == 0 || --mRetryTicksLeft > 0) return;
  ProcessEvent(SB_OBJECT_NOT_FOUND, 0xFFFF, 0xFFFF);
}

// Asking again at once would make every missing name a busy loop through the
// router (and, for a remote one, through the connection manager).
void cSystemBuilder::WaitBeforeSeekingAgain(const char* name) {
  if (std::strchr(name, '/') == nullptr) {
    mWaitingForName = name;
    if (cRegistryRouter* router = GetRegistryRouter()) router->WatchForName(name, mHandle, kMethodNameRegistered);
    return;
  }
  if (++mRemoteAttempts >= kRemoteAttempts) {
    EW_REPORT_ERROR("Link to \"%s\" abandoned after %d attempts", name, mRemoteAttempts);
    mState = SB_IDLE;
    if (mQueued > 0) --mQueued;
    ++mMade;
    NextCommand();
    return;
  }
  int pause = 1 << (mRemoteAttempts - 1);
  if (pause > kMaxRetryPauseTicks) pause = kMaxRetryPauseTicks;
  mRetryTicksLeft = pause;
}

void cSystemBuilder::ClearWaiting() {
  mWaitingForName.clear();
  mRetryTicksLeft = 0;
  mRemoteAttempts = 0;
}

void cSystemBuilder::AddLinkCommandToList(const sParameterLinkingCommand& command, bool bidirectional) {
  std::lock_guard<std::recursive_mutex> guard(mLock);
  ++mQueued;
  ++mRequested;
  const bool wasEmpty = mCommands.empty();
  mCommands.push_back(command);
  mCommands.back().mBidirect = bidirectional;
  if (!wasEmpty) return;
  if (mState != SB_IDLE) {
    EW_REPORT_ERROR("Empty linking list but not idle");
    return;
  }
  ForgetCacheEntries(0xFFFF);
  SetBusy();
  ProcessEvent(SB_START_NEXT_LINK, 0xFFFF, 0xFFFF);
}

void cSystemBuilder::ProcessEvent(eSystemBuilderEvent event, UWORD connectionId, EW_NET_DATA_SCALE handle) {
  enum eAction { ACTION_ERROR, SEEK_SOURCE, SEEK_DESTINATION, STORE_SOURCE, STORE_DESTINATION };
  struct sTransition {
    eSystemBuilderState mNext;
    eAction mAction;
  };
  static const sTransition kTable[3][3] = {
      // SB_OBJECT_FOUND, SB_OBJECT_NOT_FOUND, SB_START_NEXT_LINK
      {{SB_IDLE, ACTION_ERROR}, {SB_IDLE, ACTION_ERROR}, {SB_SEEKING_SOURCE, SEEK_SOURCE}},
      {{SB_SEEKING_DESTINATION, STORE_SOURCE}, {SB_SEEKING_SOURCE, SEEK_SOURCE}, {SB_SEEKING_SOURCE, SEEK_SOURCE}},
      {{SB_IDLE, STORE_DESTINATION}, {SB_SEEKING_DESTINATION, SEEK_DESTINATION}, {SB_SEEKING_SOURCE, SEEK_SOURCE}},
  };
  std::lock_guard<std::recursive_mutex> guard(mLock);
  const sTransition transition = kTable[mState][event];
  mState = transition.mNext;
  if (transition.mAction != ACTION_ERROR && mCommands.empty()) {
    // Nothing to work on (the list was aborted meanwhile).
    mState = SB_IDLE;
    return;
  }
  switch (transition.mAction) {
    case ACTION_ERROR:
      EW_REPORT_ERROR("ACTION_ERROR");
      return;
    case SEEK_SOURCE:
      SeekObject(mCommands.front().mSourcePath);
      return;
    case SEEK_DESTINATION:
      SeekObject(mCommands.front().mDestinationPath);
      return;
    case STORE_SOURCE:
      mSourceConnection = connectionId;
      mSourceHandle = handle;
      SeekObject(mCommands.front().mDestinationPath);
      return;
    case STORE_DESTINATION:
      mDestinationConnection = connectionId;
      mDestinationHandle = handle;
      MakeOrRemoveLink();
      NextCommand();
      return;
  }
  EW_REPORT_ERROR("Unhandle action in system builder, %d", int(transition.mAction));
}

void cSystemBuilder::SendLinkMessage(UWORD method, UWORD toConnection, EW_NET_DATA_SCALE toHandle, UWORD destConnection,
                                     EW_NET_DATA_SCALE destHandle, EW_NET_DATA_SCALE destMethod,
                                     EW_NET_DATA_SCALE sourceMethod, bool withFlags, bool datagram, bool sync) {
  const bool version2 = GetConnectionManager()->UsesVersion2Messages(toConnection);
  mSystemMessage.SetLength(0);
  mSystemMessage.AppendUWORD(destConnection);
  if (version2) {
    mSystemMessage.AppendULONG(destHandle);
    mSystemMessage.AppendULONG(destMethod);
    mSystemMessage.AppendULONG(sourceMethod);
  } else {
    mSystemMessage.AppendUWORD(destHandle);
    mSystemMessage.AppendUWORD(destMethod);
    mSystemMessage.AppendUWORD(sourceMethod);
  }
  if (withFlags) {
    mSystemMessage.AppendUBYTE(datagram ? 1 : 0);
    mSystemMessage.AppendUBYTE(sync ? 1 : 0);
  }
  mSystemMessage.mConnectionId = toConnection;
  mSystemMessage.mDestination = toHandle;
  mSystemMessage.mSource = mHandle;
  mSystemMessage.mMethod = method;
  SendMessage(mSystemMessage);
}

void cSystemBuilder::MakeOrRemoveLink() {
  const sParameterLinkingCommand& c = mCommands.front();
  const UWORD method = c.mRemove ? M_OBJECT_REMOVE_FROM_INFORM_LIST : M_OBJECT_ADD_TO_INFORM_LIST;
  const bool withFlags = !c.mRemove;
  SendLinkMessage(method, mSourceConnection, mSourceHandle, mDestinationConnection, mDestinationHandle, c.mDestParam,
                  c.mSourceParam, withFlags, c.mDataGram, c.mSync);
  if (mQueued > 0) --mQueued;
  ++mMade;
  if (c.mBidirect) {
    SendLinkMessage(method, mDestinationConnection, mDestinationHandle, mSourceConnection, mSourceHandle,
                    c.mSourceParam, c.mDestParam, withFlags, c.mDataGram, false);
  }
}

void cSystemBuilder::NextCommand() {
  if (!mCommands.empty()) mCommands.pop_front();
  mNotFoundReported = false;
  ClearWaiting();
  if (!mCommands.empty()) {
    ProcessEvent(SB_START_NEXT_LINK, 0xFFFF, 0xFFFF);
  } else {
    ClearBusy();
  }
}

void cSystemBuilder::ObjectFound(const char* name, UWORD connectionId, EW_NET_DATA_SCALE handle) {
  std::lock_guard<std::recursive_mutex> guard(mLock);
  if (handle != 0xFFFF) {
    ProcessEvent(SB_OBJECT_FOUND, connectionId, handle);
  } else {
    ObjectNotFound(name, connectionId, 0xFFFF, false);
  }
}

void cSystemBuilder::ObjectNotFound(const char* name, UWORD connectionId, EW_NET_DATA_SCALE handle,
                                    bool connectionLost) {
  (void)connectionId;
  (void)handle;
  std::lock_guard<std::recursive_mutex> guard(mLock);
  if (mCommands.empty()) return;
  if (!connectionLost) {
    if (!mNotFoundReported) {
      mNotFoundReported = true;
      EW_REPORT_ERROR("Can't find = \"%s\"", name);
      ReportCurrentLinkAsAnError();
    }
    if (!mCommands.front().mRemove) {
      WaitBeforeSeekingAgain(name);
      return;
    }
  }
  mState = SB_IDLE;
  if (mQueued > 0) --mQueued;
  ++mMade;
  NextCommand();
}

void cSystemBuilder::ReportCurrentLinkAsAnError() {
  std::lock_guard<std::recursive_mutex> guard(mLock);
  if (!mCommands.empty()) ReportLinkCommand(mCommands.front());
}

void cSystemBuilder::ConnectionClosed(UWORD connectionId, bool lostComms) {
  cNetObject::ConnectionClosed(connectionId, lostComms);
  std::lock_guard<std::recursive_mutex> guard(mLock);
  const std::string host = GetConnectionManager()->HostNameOfConnection(connectionId);
  const int decision = mPolicy != nullptr ? mPolicy->Decide(connectionId, lostComms) : mDefaultPolicy;
  if (decision == 1) {
    AbortAllLinks();
  } else if (decision == 0 && mBusy && !mCommands.empty()) {
    ForgetCacheEntries(connectionId);
    const sParameterLinkingCommand& c = mCommands.front();
    if (!host.empty() && (HostOfPath(c.mSourcePath) == host || HostOfPath(c.mDestinationPath) == host)) {
      // An outstanding find on the closed connection never gets its answer; a
      // local one still will, and must not be taken for the next command's.
      CancelSeek(mSeekFromCache || HostOfPath(mSoughtName) != host);
      ObjectNotFound(mSoughtName, connectionId, 0xFFFF, true);
    }
  }
}

void cSystemBuilder::AbortAllLinks() {
  std::lock_guard<std::recursive_mutex> guard(mLock);
  mCommands.clear();
  mQueued = 0;
  mState = SB_IDLE;
  mSourceConnection = mDestinationConnection = 0xFFFF;
  mSourceHandle = mDestinationHandle = 0xFFFF;
  ClearBusy();
  // An answer that travels through the local buffer (a local find, a cached
  // answer, one already being ignored) still arrives, possibly after the
  // dispatch thread restarts; it must not be taken for the answer to the
  // first seek of a command queued later.
  const bool replyWillCome =
      mSeekBusy && (mIgnoreNextReply || mSeekFromCache || std::strchr(mSoughtName, '/') == nullptr);
  mSeekBusy = replyWillCome;
  mIgnoreNextReply = replyWillCome;
  mDeferredSeek.clear();
  mNotFoundReported = false;
  // A name still watched in the router only sends a notice that is ignored.
  ClearWaiting();
}

sLinkPerformance cSystemBuilder::GetLinkPerformance() {
  std::lock_guard<std::recursive_mutex> guard(mLock);
  return sLinkPerformance{mRequested, mMade, mQueued, mBusy};
}

bool cSystemBuilder::TryGetLinkPerformance(sLinkPerformance& performance, sParameterLinkingCommand& current,
                                           bool& hasCurrent) {
  std::unique_lock<std::recursive_mutex> guard(mLock, std::try_to_lock);
  if (!guard.owns_lock()) return false;
  performance = sLinkPerformance{mRequested, mMade, mQueued, mBusy};
  hasCurrent = !mCommands.empty();
  if (hasCurrent) current = mCommands.front();
  return true;
}
