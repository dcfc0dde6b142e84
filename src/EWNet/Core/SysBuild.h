#pragma once

#include <array>
#include <atomic>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "EWNet/Core/NetObjct.h"

constexpr size_t EW_LINK_PATH_SIZE = 128;

struct sParameterLinkingCommand {
  EW_NET_DATA_SCALE mSourceParam = 0;
  EW_NET_DATA_SCALE mDestParam = 0;
  char mSourcePath[EW_LINK_PATH_SIZE] = {};
  char mDestinationPath[EW_LINK_PATH_SIZE] = {};
  bool mDataGram = false;
  bool mSync = false;
  bool mRemove = false;
  bool mBidirect = false;
};

// Reports a command's paths and flags, as the builder does for a failed link.
void ReportLinkCommand(const sParameterLinkingCommand& command);

// Fills a command; paths longer than 127 characters are cut.
sParameterLinkingCommand MakeLinkCommand(const char* sourcePath, EW_NET_DATA_SCALE sourceParam,
                                         const char* destinationPath, EW_NET_DATA_SCALE destParam, bool sync,
                                         bool remove = false, bool bidirect = false, bool datagram = false);

// A net object that can look names up, remembering recent answers.
class cSeekObject : public cNetObject {
 public:
  cSeekObject(const char* name, EW_NET_DATA_SCALE numberOfParameters, bool actionTick, short cacheSize);
  ~cSeekObject() override;

  void EntrypointMessage(cEWNetMessage& message) override;

  virtual void ObjectFound(const char* name, UWORD connectionId, EW_NET_DATA_SCALE handle) = 0;
  virtual void ForgetCacheEntries(UWORD connectionId);
  virtual bool LookUpCache(const char* name, UWORD& connectionId, EW_NET_DATA_SCALE& handle);
  virtual void AddToCache(const char* name, UWORD connectionId, EW_NET_DATA_SCALE handle);

  void SeekObject(const char* path);
  // Gives up the outstanding request. When its reply will still arrive, that
  // reply is discarded and a seek asked for meanwhile is sent after it.
  void CancelSeek(bool replyWillCome);

 protected:
  struct sCacheEntry {
    char mName[EW_LINK_PATH_SIZE];
    UWORD mConnectionId;
    EW_NET_DATA_SCALE mHandle;
    bool mValid;
  };

  cEWNetMessage mSeekMessage;
  std::vector<sCacheEntry> mCache;
  char mSoughtName[EW_LINK_PATH_SIZE];
  bool mSeekBusy;
  size_t mCacheNext = 0;
  size_t mCacheLastHit = 0;
  bool mIgnoreNextReply = false;
  // The outstanding answer was taken from the cache: it travels through the
  // local buffer whatever happens to the connection it names.
  bool mSeekFromCache = false;
  std::string mDeferredSeek;
};

enum eSystemBuilderState { SB_IDLE = 0, SB_SEEKING_SOURCE = 1, SB_SEEKING_DESTINATION = 2 };
enum eSystemBuilderEvent { SB_OBJECT_FOUND = 0, SB_OBJECT_NOT_FOUND = 1, SB_START_NEXT_LINK = 2 };

// Decides what happens to queued links when a remote connection closes:
// 0 drops the commands that involve that connection's host, 1 aborts all.
class cConnectionLossPolicy {
 public:
  virtual ~cConnectionLossPolicy() = default;
  virtual int Decide(UWORD connectionId, bool lostComms) = 0;
};

struct sLinkPerformance {
  ULONG mRequested;
  ULONG mMade;
  UWORD mQueued;
  bool mBusy;
};

// Turns name-based link commands into inform-list entries, one command at a
// time, in queue order. A command whose local object does not exist yet waits,
// without traffic, until an object of that name registers; one whose remote
// object cannot be found is tried again on ticks with growing pauses and
// given up after kRemoteAttempts tries.
class cSystemBuilder : public cSeekObject {
 public:
  static constexpr const char* kName = "EWNet System Builder";
  // The router's notice that a watched name has registered.
  static constexpr UWORD kMethodNameRegistered = NON_PARAMETER_BASE + 0;
  static constexpr int kRemoteAttempts = 10;
  static constexpr int kMaxRetryPauseTicks = 50;

  cSystemBuilder(const char* name, int defaultConnectionLossPolicy, short cacheSize = 10);
  ~cSystemBuilder() override;

  void EntrypointMessage(cEWNetMessage& message) override;
  void ActionTick() override;
  void ConnectionClosed(UWORD connectionId, bool lostComms) override;
  void ObjectFound(const char* name, UWORD connectionId, EW_NET_DATA_SCALE handle) override;
  virtual void SetBusy();
  virtual void ClearBusy();

  void AddLinkCommandToList(const sParameterLinkingCommand& command, bool bidirectional);
  void ProcessEvent(eSystemBuilderEvent event, UWORD connectionId, EW_NET_DATA_SCALE handle);
  void ObjectNotFound(const char* name, UWORD connectionId, EW_NET_DATA_SCALE handle, bool connectionLost);
  void ReportCurrentLinkAsAnError();
  void AbortAllLinks();
  sLinkPerformance GetLinkPerformance();
  // The same without waiting: false when the builder's lock is taken by
  // another thread. `current` is the command in progress, if any.
  bool TryGetLinkPerformance(sLinkPerformance& performance, sParameterLinkingCommand& current, bool& hasCurrent);
  void SetConnectionLossPolicy(cConnectionLossPolicy* policy) { mPolicy = policy; }

  eSystemBuilderState GetState();
  bool IsBusy();
  size_t GetListLength();
  // The current command waits for a local name to register.
  bool IsWaitingForName();

 private:
  void MakeOrRemoveLink();
  void NextCommand();
  void WaitBeforeSeekingAgain(const char* name);
  void ClearWaiting();
  void SendLinkMessage(UWORD method, UWORD toConnection, EW_NET_DATA_SCALE toHandle, UWORD destConnection,
                       EW_NET_DATA_SCALE destHandle, EW_NET_DATA_SCALE destMethod, EW_NET_DATA_SCALE sourceMethod,
                       bool withFlags, bool datagram, bool sync);

  std::recursive_mutex mLock;
  eSystemBuilderState mState = SB_IDLE;
  std::deque<sParameterLinkingCommand> mCommands;
  UWORD mSourceConnection = 0xFFFF;
  EW_NET_DATA_SCALE mSourceHandle = 0xFFFF;
  UWORD mDestinationConnection = 0xFFFF;
  EW_NET_DATA_SCALE mDestinationHandle = 0xFFFF;
  int mDefaultPolicy;
  cConnectionLossPolicy* mPolicy = nullptr;
  bool mNotFoundReported = false;
  UWORD mQueued = 0;
  ULONG mRequested = 0;
  ULONG mMade = 0;
  bool mBusy = false;
  // Waiting of the current command: for a local name to register, or for a
  // number of ticks before asking for a remote name again.
  std::string mWaitingForName;
  // Set and counted down under mLock; read without it so that an idle tick
  // takes no lock.
  std::atomic<int> mRetryTicksLeft{0};
  int mRemoteAttempts = 0;
};
