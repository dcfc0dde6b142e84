#pragma once

#include <QString>
#include <QStringList>
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>

#include "EWNet/Core/Types.h"
#include "OrvelGUI/Core/LatestValueQueue.h"
#include "OrvelGUI/Core/SerialPortManager.h"

class QThread;

// The device link: the connection state machine and the three outgoing queues
// that the audio drivers fill from the dispatch thread. The port belongs to a
// thread of the link's own ("SerialIoThread"): Service(), called by the tick
// thread on every beat, only asks that thread for one step, so a slow or
// stalled line never holds up the tick, and no lock is held while the port is
// written. Steps asked for while one runs are merged into the next.
//
// The queues keep the latest value per target (filter address, strip index,
// delay index) in the order targets changed, so they never hold more than
// 36 filters, 8 strips and 6 delays; each step sends at most one of each.
class cSerialInterface {
 public:
  enum LinkState : UBYTE {
    DISCONNECTED = 0,
    PORT_OPEN = 1,  // waiting for the version reply
    CONNECTED = 2,
    GETTING_SYNC = 3,
    SYNCING = 4,  // sync data complete, waiting for the front end
    NO_REPLY = 5,
    DISCONNECTING = 6,  // draining the queues before closing
  };

  enum eLinkError : UBYTE {
    ERROR_NONE = 0,
    ERROR_IN_USE = 1,
    ERROR_NOT_FOUND = 2,
    ERROR_TIMEOUT = 3,
  };

  static constexpr std::size_t kMaxCoefficientBytes = 20;
  // Unanswered meter requests after which the device counts as silent.
  static constexpr UBYTE kMaxMisses = 10;
  // A device that has not told its version this long after the port opened
  // is not going to.
  static constexpr int kVersionTimeoutMs = 2000;
  // Default wait of ServiceAndWait: longer than a write may stall.
  static constexpr int kServiceWaitMs = cSerialPortManager::kWriteWaitMs + 2000;

  struct sFilterEntry {
    ULONG mAddress;
    std::array<std::int32_t, kMaxCoefficientBytes / 4> mCoefficients;
    UWORD mLength;  // coefficient bytes
    UWORD mWord1, mWord2, mWord3;
    UBYTE mByte1, mByte2, mByte3;
  };
  struct sStripEntry {
    ULONG mIndex;
    std::int32_t mLinearGain;
    UWORD mGainWord;
    UBYTE mPolarity;
    UBYTE mMute;
  };
  struct sDelayEntry {
    ULONG mIndex;
    std::int32_t mSamples;
  };
  // What a device would hold once every entry offered so far had gone out:
  // the latest entry per target (filter address, strip index, delay index).
  struct sImage {
    std::map<ULONG, sFilterEntry> mFilters;
    std::map<ULONG, sStripEntry> mStrips;
    std::map<ULONG, sDelayEntry> mDelays;
  };
  // Entries waiting in each queue.
  struct sQueueLengths {
    std::size_t mFilters;
    std::size_t mStrips;
    std::size_t mDelays;
  };

  // Starts the link's I/O thread; the destructor closes the port there and
  // stops it.
  cSerialInterface();
  ~cSerialInterface();
  cSerialInterface(const cSerialInterface&) = delete;
  cSerialInterface& operator=(const cSerialInterface&) = delete;

  // Any thread (the tick thread): asks for one step and returns at once.
  void Service();
  // For callers that drive the link themselves (tests, command-line tools):
  // asks for one step and waits until it is done; false when it did not end
  // within `timeoutMs` (a stalled line).
  bool ServiceAndWait(int timeoutMs = kServiceWaitMs);

  void RequestConnection(bool connect, const QString& portName);
  // The front end has taken the sync data: SYNCING with an open port becomes
  // CONNECTED; anything else is refused with a notification.
  void SetConnected();
  // Starts reading the device's settings back (CONNECTED only).
  bool StartSync();
  UBYTE TakeLastError();
  LinkState GetState() const { return LinkState(mState.load()); }

  // `coefficients` holds length / 4 signed 32-bit values (b0, -a1, b1, -a2, b2);
  // they are copied. Entries are taken only while CONNECTED.
  void QueueFilterMessage(ULONG address, const std::int32_t* coefficients, UWORD length, UWORD word1, UWORD word2,
                          UWORD word3, UBYTE byte1, UBYTE byte2, UBYTE byte3);
  void QueueControlStripMessage(ULONG index, std::int32_t linearGain, UWORD gainWord, UBYTE polarity, UBYTE mute);
  void QueueDelayMessage(ULONG index, std::int32_t samples);
  sQueueLengths GetQueueLengths() const;
  // No entry waits and none is being written to the port.
  bool AllSent() const;
  // From now on every entry offered is kept in the image, whether or not the
  // link takes it: an assembly without a device can tell what one would get.
  void StartImage();
  sImage GetImage() const;

  std::optional<std::array<sFilter, cSerialPortManager::kFilterRecordCount>> GetSyncFilters() const;
  std::array<sControlStripRecord, cSerialPortManager::kStripCount> GetSyncControlStrips() const;
  std::array<std::int32_t, cSerialPortManager::kDelayCount> GetSyncDelays() const;
  std::optional<std::array<ULONG, cSerialPortManager::kMeterCount>> GetMeterValues() const;

  // Any thread: a meter request with reply supervision; the request itself is
  // written by the I/O thread.
  void RequestMeters();
  // Each step asks for meters while connected, which is what notices a silent
  // device; a metering object that asks by itself turns it off.
  void SetMeterPolling(bool enabled) { mMeterPolling = enabled; }

  QStringList GetPortNames();
  QString GetVersionText() const { return mManager->VersionText(); }
  UBYTE GetMissCount() const;

 private:
  static constexpr std::size_t kFilterTargets = cSerialPortManager::kFilterRecordCount;
  static constexpr std::size_t kStripTargets = cSerialPortManager::kStripCount;
  static constexpr std::size_t kDelayTargets = cSerialPortManager::kDelayCount;

  // I/O thread.
  void RunIoThread();
  void Step();
  void OpenRequestedPort(const QString& portName);
  void Disconnect();
  void SyncStep();
  void SendPass();
  void SendFilter(const sFilterEntry& entry);
  void SendStrip(const sStripEntry& entry);
  void SendDelay(const sDelayEntry& entry);
  // After the port has closed: nothing waits any more, the state says why.
  void EndSession(LinkState state);

  // Whether a meter request is to be written now (supervision counts).
  bool CountMeterRequest();
  template <typename tQueue, typename tEntry>
  void Enqueue(tQueue& queue, const tEntry& entry, const char* kind, ULONG target);
  bool QueuesEmptyLocked() const;
  void ClearQueuesLocked();
  void SetState(LinkState state);

  std::unique_ptr<cSerialPortManager> mManager;  // lives in, and is deleted by, the I/O thread
  std::unique_ptr<QThread> mIoThread;

  mutable std::mutex mLock;           // everything below up to the atomics
  std::condition_variable mWake;      // the I/O thread waits for work
  std::condition_variable mStepDone;  // ServiceAndWait waits for its step
  bool mStopping = false;
  bool mIoThreadDone = false;
  std::uint64_t mStepsAsked = 0;
  std::uint64_t mStepsDone = 0;
  bool mMeterRequestToSend = false;
  bool mWriting = false;  // entries taken from the queues are on their way
  bool mRequestPending = false;
  bool mRequestConnect = false;
  QString mRequestedPort;
  cLatestValueQueue<sFilterEntry, &sFilterEntry::mAddress, kFilterTargets> mFilterQueue;
  cLatestValueQueue<sStripEntry, &sStripEntry::mIndex, kStripTargets> mStripQueue;
  cLatestValueQueue<sDelayEntry, &sDelayEntry::mIndex, kDelayTargets> mDelayQueue;
  std::optional<sImage> mImage;

  std::atomic<UBYTE> mState{DISCONNECTED};
  std::atomic<UBYTE> mLastError{ERROR_NONE};
  std::atomic<bool> mMeterPolling{true};
  std::chrono::steady_clock::time_point mPortOpenedAt;  // I/O thread
  int mMeterCallCounter = 0;                            // under the manager's area lock
};
