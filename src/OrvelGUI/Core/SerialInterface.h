#pragma once

#include <QString>
#include <QStringList>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>

#include "EWNet/Core/Types.h"
#include "OrvelGUI/Core/SerialPortManager.h"

class QObject;

// The device link: the connection state machine, stepped once per tick by
// Service() in the tick thread, and the three outgoing queues that the audio
// drivers fill from the dispatch thread.
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
  struct sQueueLengths {
    std::size_t mFilters;
    std::size_t mStrips;
    std::size_t mDelays;
  };

  // The manager is moved to the thread of `threadOwner` (the tick driver in
  // the application), which must be the thread that calls Service().
  explicit cSerialInterface(QObject* threadOwner = nullptr);
  ~cSerialInterface();
  cSerialInterface(const cSerialInterface&) = delete;
  cSerialInterface& operator=(const cSerialInterface&) = delete;

  void Service();

  void RequestConnection(bool connect, const QString& portName);
  void SetConnected();
  // Starts reading the device's settings back (CONNECTED only).
  bool StartSync();
  UBYTE TakeLastError();
  LinkState GetState() const { return LinkState(mState.load()); }

  // `coefficients` holds length / 4 signed 32-bit values (b0, -a1, b1, -a2, b2).
  void QueueFilterMessage(ULONG address, const std::int32_t* coefficients, UWORD length, UWORD word1, UWORD word2,
                          UWORD word3, UBYTE byte1, UBYTE byte2, UBYTE byte3);
  void QueueControlStripMessage(ULONG index, std::int32_t linearGain, UWORD gainWord, UBYTE polarity, UBYTE mute);
  void QueueDelayMessage(ULONG index, std::int32_t samples);
  // Entries waiting in each queue.
  sQueueLengths GetQueueLengths() const;
  // No entry waiting and none being written to the port.
  bool AllSent() const;

  std::optional<std::array<sFilter, cSerialPortManager::kFilterRecordCount>> GetSyncFilters() const;
  std::array<sControlStripRecord, cSerialPortManager::kStripCount> GetSyncControlStrips() const;
  std::array<std::int32_t, cSerialPortManager::kDelayCount> GetSyncDelays() const;
  std::optional<std::array<ULONG, cSerialPortManager::kMeterCount>> GetMeterValues() const;

  void RequestMeters();
  // Service() asks for meters on every tick while connected, which is what
  // notices a silent device; a metering object that asks by itself turns it off.
  void SetMeterPolling(bool enabled) { mMeterPolling = enabled; }

  QStringList GetPortNames();
  QString GetVersionText() const { return mManager->VersionText(); }
  UBYTE GetMissCount() const;

 private:
  // Appends under the lock while connected, merging with the newest waiting
  // entry for the same target.
  template <typename tEntry, typename tSameTarget>
  void Enqueue(std::deque<tEntry>& queue, const tEntry& entry, tSameTarget sameTarget);
  bool QueuesEmptyLocked() const;
  void ClearQueuesLocked();
  void SetState(LinkState state);
  void OpenRequestedPort(const QString& portName);
  void Disconnect();
  void SyncStep();
  void SendPass();
  void SendFilter(const sFilterEntry& entry);

  std::unique_ptr<cSerialPortManager> mManager;
  mutable std::mutex mLock;  // queues, request, state changes
  bool mRequestPending = false;
  bool mRequestConnect = false;
  QString mRequestedPort;
  std::atomic<UBYTE> mState{DISCONNECTED};
  std::atomic<UBYTE> mLastError{ERROR_NONE};
  std::deque<sFilterEntry> mFilterQueue;
  std::deque<sStripEntry> mStripQueue;
  std::deque<sDelayEntry> mDelayQueue;
  std::atomic<bool> mMeterPolling{true};
  std::chrono::steady_clock::time_point mPortOpenedAt;
  int mMeterCallCounter = 0;
};
