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
#include <vector>

#include "EWNet/Core/Types.h"
#include "OrvelGUI/Core/DeliveryLedger.h"
#include "OrvelGUI/Core/SerialOutbox.h"
#include "OrvelGUI/Core/SerialPortManager.h"

class QThread;

// The device link: the connection state machine and the three outgoing queues
// that the audio drivers fill from the dispatch thread. The port belongs to a
// thread of the link's own ("SerialIoThread"): Service(), called by the tick
// thread on every beat, only asks that thread for one step, so a slow or
// stalled line never holds up the tick, and no lock is held while the port is
// written. Steps asked for while one runs are merged into the next.
//
// A beat asks for a step only when the link has something to do in it: a
// request to act on, an entry to send, a reply waiting to be read, a state
// that moves by itself, or meters on show. An idle link steps on every
// kSupervisionBeats-th beat only, which is enough to read what the device
// sent, to notice a port that went away and, through a meter request, a
// device that fell silent.
//
// The queues keep the latest value per target (filter address, strip index,
// delay index) in the order targets changed, so they never hold more than
// 36 filters, 8 strips and 6 delays; each step sends at most one of each,
// and reads every reply that has arrived.
//
// Every session begins by reading the device back: once the version has
// come, the link is GETTING_SYNC, asks for the strip, delay and filter
// records, and is SYNCING when all of them arrived; the front end then has
// the units adopt them and says so with SetConnected. A device that stops
// answering during the read-back leaves the link in NO_REPLY within
// kSyncReplyTimeoutMs of its last answer, with nothing adopted; when it
// answers again, the read-back starts over, so that the program never
// sends into a state it has not seen.
//
// Entries are taken while a session is open (from the port opening until it
// closes) in the states that will send them: CONNECTED and NO_REPLY (a
// device that fell silent, asked again now and then: once it answers, the
// link is connected again and what waited goes out). Whatever still waits
// when the port closes (a disconnect, a lost port, another port opened) or
// when a read-back starts is dropped with a report: what follows starts
// from the device's own state. While no port is open, before the device has
// been read back, while it is read back or the link disconnects, entries
// are refused.
//
// Whether the processor holds what it was offered is kept by a delivery
// ledger: a mark names everything offered so far in this session; it is
// delivered once all of it has been written and acknowledged, lost when the
// session ends first.
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

  static constexpr std::size_t kMaxCoefficientBytes = cSerialOutbox::kMaxCoefficientBytes;
  // Unanswered meter requests after which the device counts as silent.
  static constexpr UBYTE kMaxMisses = 10;
  // An idle link steps on every this many beats (about half a second).
  static constexpr int kSupervisionBeats = 26;
  // A meter request of the link's own that has gone unanswered for this many
  // beats counts as a miss and is made again: a device silent for
  // kMaxMisses of them (about ten seconds) is taken for gone.
  static constexpr int kMeterBeatsPerMiss = 2 * kSupervisionBeats;
  // Beats after its own meter request in which the link steps to read the
  // reply.
  static constexpr int kMeterReplyBeats = 4;
  // Beats after a write in which the link steps to read acknowledgements
  // still to come.
  static constexpr int kAcknowledgementBeats = 4;
  // A device that has not told its version this long after the port opened
  // is not going to.
  static constexpr int kVersionTimeoutMs = 2000;
  // A read-back request unanswered this long since the device's last answer
  // means the device stopped answering: well inside the 2 s in which the
  // user is told so.
  static constexpr int kSyncReplyTimeoutMs = 1500;
  // Default wait of ServiceAndWait: longer than a write may stall.
  static constexpr int kServiceWaitMs = cSerialPortManager::kWriteWaitMs + 2000;

  using sFilterEntry = cSerialOutbox::sFilterEntry;
  using sStripEntry = cSerialOutbox::sStripEntry;
  using sDelayEntry = cSerialOutbox::sDelayEntry;
  using sQueueLengths = cSerialOutbox::sQueueLengths;
  using sTraffic = cSerialOutbox::sTraffic;
  // What a device would hold once every entry offered so far had gone out:
  // the latest entry per target (filter address, strip index, delay index).
  struct sImage {
    std::map<ULONG, sFilterEntry> mFilters;
    std::map<ULONG, sStripEntry> mStrips;
    std::map<ULONG, sDelayEntry> mDelays;
  };
  // Starts the link's I/O thread; the destructor closes the port there and
  // stops it.
  cSerialInterface();
  ~cSerialInterface();
  cSerialInterface(const cSerialInterface&) = delete;
  cSerialInterface& operator=(const cSerialInterface&) = delete;

  // Any thread (the tick thread): one beat. Asks for a step when the beat
  // needs one (see above), and says whether it did, without waiting for it.
  bool Service();
  // For callers that drive the link themselves (tests, command-line tools):
  // one beat that always asks for a step and waits until it is done; false
  // when it did not end within `timeoutMs` (a stalled line).
  bool ServiceAndWait(int timeoutMs = kServiceWaitMs);
  // Steps the I/O thread has run so far.
  std::uint64_t GetStepsRun() const;

  // `portName`: a name the port list shows, a device path, or empty for the
  // first port.
  void RequestConnection(bool connect, const QString& portName);
  // The front end has taken the sync data: SYNCING with an open port becomes
  // CONNECTED; anything else is refused with a notification.
  void SetConnected();
  // Reads the device's settings back again (CONNECTED only); every session
  // does so by itself once the version has come.
  bool StartSync();
  UBYTE TakeLastError();
  LinkState GetState() const { return LinkState(mState.load()); }

  // `coefficients` holds length / 4 signed 32-bit values (b0, -a1, b1, -a2, b2);
  // they are copied. Entries are taken only as the class comment says.
  void QueueFilterMessage(ULONG address, const std::int32_t* coefficients, UWORD length, UWORD word1, UWORD word2,
                          UWORD word3, UBYTE byte1, UBYTE byte2, UBYTE byte3);
  void QueueControlStripMessage(ULONG index, std::int32_t linearGain, UWORD gainWord, UBYTE polarity, UBYTE mute);
  void QueueDelayMessage(ULONG index, std::int32_t samples);
  sQueueLengths GetQueueLengths() const;
  // No entry waits and none is being written to the port.
  bool AllSent() const;
  // A port is open and entries offered now will be sent.
  bool TakesEntries() const;
  bool SessionOpen() const;

  // Everything offered so far in the current session.
  cDeliveryLedger::sMark MarkDelivery() const;
  cDeliveryLedger::eStatus DeliveryStatus(const cDeliveryLedger::sMark& mark) const;
  // What the link did so far, for reports.
  sTraffic GetTraffic() const;
  // Whole replies read off the line so far (I/O thread counts).
  std::uint64_t GetRepliesRead() const { return mRepliesRead.load(); }
  std::uint64_t GetMeterRequestsSent() const { return mMeterRequestsSent.load(); }
  // From now on every entry offered is kept in the image, whether or not the
  // link takes it: an assembly without a device can tell what one would get.
  void StartImage();
  sImage GetImage() const;

  std::optional<std::array<sFilter, cSerialPortManager::kFilterRecordCount>> GetSyncFilters() const;
  // The strip and delay records of the last read-back; none until they have
  // arrived (the reply areas are zero-filled, which no device reported).
  std::optional<std::array<sControlStripRecord, cSerialPortManager::kStripCount>> GetSyncControlStrips() const;
  std::optional<std::array<std::int32_t, cSerialPortManager::kDelayCount>> GetSyncDelays() const;
  std::optional<std::array<ULONG, cSerialPortManager::kMeterCount>> GetMeterValues() const;

  // Any thread: a meter request with reply supervision; the request itself is
  // written by the I/O thread.
  void RequestMeters();
  // While connected the link asks for meters by itself, which is what
  // notices a silent device; a metering object that asks by itself turns it
  // off. It asks on every beat while meters are on show, else only on
  // supervision beats.
  void SetMeterPolling(bool enabled) { mMeterPolling = enabled; }
  // Any thread: whether anything shows the meters now.
  void SetMetersShown(bool shown) { mMetersShown = shown; }
  bool MetersShown() const { return mMetersShown; }

  // A fresh scan of the accepted ports.
  QStringList GetPortNames();
  std::vector<sSerialPortEntry> GetPorts();
  QString GetVersionText() const { return mManager->VersionText(); }
  UBYTE GetMissCount() const;

 private:
  // I/O thread.
  void RunIoThread();
  void Step();
  // The link's own meter request, if one is due in this step.
  void PollMeters();
  void OpenRequestedPort(const QString& portName);
  void Disconnect();
  void SyncStep();
  // GETTING_SYNC from a state the I/O thread is in, entries still waiting
  // dropped: they were made against settings not yet read back.
  void BeginReadBack();
  // Any thread, interface lock held: the reply areas forget the last
  // read-back and the link is GETTING_SYNC.
  void RestartReadBackLocked();
  // NO_REPLY with the port open: true once the device answers again; asks it
  // now and then until it does.
  bool DeviceAnswersAgain();
  void CountAcknowledgements(const cSerialReplyAreas::sReplyCounts& counts);
  // Closes a port that was unplugged or hung up; true when it did.
  bool EndSessionIfPortLost();
  void SendPass();
  // After the port has closed: nothing waits any more, the state says why;
  // `why` completes the report of entries dropped.
  void EndSession(LinkState state, const char* why);

  // Whether a meter request is to be written now (supervision counts).
  bool CountMeterRequest();
  // Keeps the entry for the image and offers it to the outbox when the link
  // takes entries now.
  template <typename tEntry>
  void Enqueue(const tEntry& entry, const char* kind, ULONG target);
  bool TakesEntriesLocked() const;
  // Whether the beat just counted needs a step.
  bool StepWantedLocked() const;
  void SetState(LinkState state);
  void SetStateLocked(LinkState state);

  std::unique_ptr<cSerialPortManager> mManager;  // lives in, and is deleted by, the I/O thread
  std::unique_ptr<QThread> mIoThread;

  mutable std::mutex mLock;           // everything below up to the atomics
  std::condition_variable mWake;      // the I/O thread waits for work
  std::condition_variable mStepDone;  // ServiceAndWait waits for its step
  bool mStopping = false;
  bool mIoThreadDone = false;
  std::uint64_t mBeats = 0;
  std::uint64_t mStepsAsked = 0;
  std::uint64_t mStepsDone = 0;
  std::uint64_t mStepsRun = 0;
  bool mReplyWaiting = false;  // the last step left a reply unread, or one is still to come
  bool mMeterRequestToSend = false;
  bool mWriting = false;  // entries taken from the queues are on their way
  std::uint64_t mLastWriteBeat = 0;
  bool mRequestPending = false;
  bool mSyncStartAsked = false;  // StartSync from another thread: the read-back's clock starts on the next step
  bool mRequestConnect = false;
  QString mRequestedPort;
  cSerialOutbox mOutbox;
  std::optional<sImage> mImage;
  // The state in which a refused entry was last reported (one report a state).
  UBYTE mRefusalReported = 0xFF;

  std::atomic<UBYTE> mState{DISCONNECTED};
  std::atomic<UBYTE> mLastError{ERROR_NONE};
  std::atomic<bool> mMeterPolling{true};
  std::atomic<bool> mMetersShown{false};
  std::atomic<std::uint64_t> mRepliesRead{0};
  std::atomic<std::uint64_t> mMeterRequestsSent{0};
  std::chrono::steady_clock::time_point mPortOpenedAt;  // I/O thread
  std::uint64_t mStepBeat = 0;                          // I/O thread: the beat being stepped
  std::uint64_t mMeterAskedBeat = 0;                    // I/O thread: the beat of its last meter request
  std::uint64_t mVersionAskedBeat = 0;                  // I/O thread: the beat of its last version request
  // I/O thread: when the read-back last heard from the device or asked it.
  std::chrono::steady_clock::time_point mSyncProgressAt;
  bool mSyncHeard = false;    // I/O thread: a reply was read since the read-back last looked
  bool mReadBackDue = false;  // I/O thread: the session's read-back has not been completed
  int mMeterCallCounter = 0;  // under the manager's area lock
};
