#include "OrvelGUI/Core/SerialInterface.h"

#include <QThread>
#include <QtEndian>
#include <algorithm>
#include <cstring>
#include <type_traits>
#include <utility>

#include "EWNet/Core/ErrLog.h"

namespace {

// Calls of RequestMeters that may go by unanswered before one counts a miss.
constexpr int kMeterCallsPerMiss = 50;

const char* StateName(UBYTE state) {
  switch (state) {
    case cSerialInterface::PORT_OPEN:
    case cSerialInterface::GETTING_SYNC:
      return "reading the device back";
    case cSerialInterface::NO_REPLY:
      return "without a port";
    case cSerialInterface::DISCONNECTING:
      return "disconnecting";
    default:
      return "not connected";
  }
}

}  // namespace

cSerialInterface::cSerialInterface() : mManager(std::make_unique<cSerialPortManager>()) {
  mIoThread.reset(QThread::create([this] { RunIoThread(); }));
  mIoThread->setObjectName("SerialIoThread");
  mManager->moveToThread(mIoThread.get());
  mIoThread->start();
}

cSerialInterface::~cSerialInterface() {
  // Before the stop flag: once the I/O thread sees that, the manager goes.
  mManager->AbortWrites();
  {
    std::lock_guard<std::mutex> guard(mLock);
    mStopping = true;
  }
  mWake.notify_all();
  // The thread says it is done under the lock before it ends: QThread::wait()
  // alone may return without any synchronisation that a thread checker sees.
  {
    std::unique_lock<std::mutex> lock(mLock);
    mStepDone.wait(lock, [this] { return mIoThreadDone; });
  }
  mIoThread->wait();
}

// ---------------------------------------------------------------------------
// Any thread

bool cSerialInterface::Service() {
  bool step = false;
  {
    std::lock_guard<std::mutex> guard(mLock);
    ++mBeats;
    step = StepWantedLocked();
    if (step) ++mStepsAsked;
  }
  if (step) mWake.notify_one();
  return step;
}

bool cSerialInterface::ServiceAndWait(int timeoutMs) {
  std::unique_lock<std::mutex> lock(mLock);
  ++mBeats;
  const std::uint64_t step = ++mStepsAsked;
  mWake.notify_one();
  return mStepDone.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return mStepsDone >= step; });
}

std::uint64_t cSerialInterface::GetStepsRun() const {
  std::lock_guard<std::mutex> guard(mLock);
  return mStepsRun;
}

bool cSerialInterface::StepWantedLocked() const {
  if (mRequestPending || mWriting || mReplyWaiting) return true;
  switch (LinkState(mState.load())) {
    case DISCONNECTED:
      return false;  // no port: only a request gives a step anything to do
    case PORT_OPEN:
    case GETTING_SYNC:
    case DISCONNECTING:
      return true;
    case CONNECTED:
    case NO_REPLY:
      if (mState == CONNECTED && (!mOutbox.Empty() || (mMeterPolling && mMetersShown))) return true;
      // Acknowledgements come a moment after their packets: they are read on
      // the next beats, not a supervision period later, so that the
      // processor is known to hold the last of a change at once.
      if (mOutbox.Unconfirmed() > 0 && mBeats - mLastWriteBeat <= std::uint64_t(kAcknowledgementBeats)) return true;
      break;
    default:
      break;
  }
  // A silent device keeps what waits for it; it is asked again on
  // supervision beats only.
  return mBeats % kSupervisionBeats == 0;
}

void cSerialInterface::SetState(LinkState state) {
  std::lock_guard<std::mutex> guard(mLock);
  SetStateLocked(state);
}

void cSerialInterface::SetStateLocked(LinkState state) {
  if (mState != state) mRefusalReported = 0xFF;
  mState = state;
}

void cSerialInterface::RequestConnection(bool connect, const QString& portName) {
  std::lock_guard<std::mutex> guard(mLock);
  mRequestPending = true;
  mRequestConnect = connect;
  mRequestedPort = portName;
}

void cSerialInterface::SetConnected() {
  std::lock_guard<std::mutex> guard(mLock);
  // Every path that closes the port changes the state under this lock after
  // closing, so a port seen open here with the state still SYNCING is the
  // session's. Without an open port nothing would drain the queues that the
  // connected state lets fill up.
  if (mState != SYNCING || !mManager->IsOpen()) {
    EW_REPORT_NOTIFICATION("Link not marked connected: state %d, port %s", int(mState.load()),
                           mManager->IsOpen() ? "open" : "closed");
    return;
  }
  SetStateLocked(CONNECTED);
}

bool cSerialInterface::StartSync() {
  std::lock_guard<std::mutex> guard(mLock);
  if (mState != CONNECTED) return false;
  RestartReadBackLocked();
  return true;
}

void cSerialInterface::RestartReadBackLocked() {
  {
    std::lock_guard<std::mutex> area(mManager->mAreaLock);
    mManager->mAreas.mStripsReceived = false;
    mManager->mAreas.mDelaysReceived = false;
    mManager->mAreas.mRecordCount = 0;
    mManager->mAreas.mSyncOutstanding = false;
  }
  // The I/O thread starts the read-back's clock on its next sync step.
  mSyncStartAsked = true;
  SetStateLocked(GETTING_SYNC);
}

UBYTE cSerialInterface::TakeLastError() { return mLastError.exchange(ERROR_NONE); }

UBYTE cSerialInterface::GetMissCount() const {
  std::lock_guard<std::mutex> area(mManager->mAreaLock);
  return mManager->mAreas.mMissCount;
}

bool cSerialInterface::TakesEntriesLocked() const {
  if (!mOutbox.SessionOpen()) return false;
  switch (LinkState(mState.load())) {
    case CONNECTED:
    case NO_REPLY:
      return true;
    default:
      return false;
  }
}

bool cSerialInterface::TakesEntries() const {
  std::lock_guard<std::mutex> guard(mLock);
  return TakesEntriesLocked();
}

bool cSerialInterface::SessionOpen() const {
  std::lock_guard<std::mutex> guard(mLock);
  return mOutbox.SessionOpen();
}

cDeliveryLedger::sMark cSerialInterface::MarkDelivery() const {
  std::lock_guard<std::mutex> guard(mLock);
  return mOutbox.Mark();
}

cDeliveryLedger::eStatus cSerialInterface::DeliveryStatus(const cDeliveryLedger::sMark& mark) const {
  std::lock_guard<std::mutex> guard(mLock);
  return mOutbox.StatusOf(mark);
}

cSerialInterface::sTraffic cSerialInterface::GetTraffic() const {
  std::lock_guard<std::mutex> guard(mLock);
  return mOutbox.Traffic();
}

cSerialInterface::sQueueLengths cSerialInterface::GetQueueLengths() const {
  std::lock_guard<std::mutex> guard(mLock);
  return mOutbox.Lengths();
}

bool cSerialInterface::AllSent() const {
  std::lock_guard<std::mutex> guard(mLock);
  return mOutbox.Empty() && !mWriting;
}

void cSerialInterface::StartImage() {
  std::lock_guard<std::mutex> guard(mLock);
  if (!mImage) mImage.emplace();
}

cSerialInterface::sImage cSerialInterface::GetImage() const {
  std::lock_guard<std::mutex> guard(mLock);
  return mImage ? *mImage : sImage{};
}

template <typename tEntry>
void cSerialInterface::Enqueue(const tEntry& entry, const char* kind, ULONG target) {
  bool refused = false;
  UBYTE refusedIn = 0xFF;
  {
    std::lock_guard<std::mutex> guard(mLock);
    if (mImage) {
      if constexpr (std::is_same_v<tEntry, sFilterEntry>) {
        mImage->mFilters[target] = entry;
      } else if constexpr (std::is_same_v<tEntry, sStripEntry>) {
        mImage->mStrips[target] = entry;
      } else {
        mImage->mDelays[target] = entry;
      }
    }
    if (!TakesEntriesLocked()) {
      // Without a port there is no processor to tell; while the units
      // adopt the read-back, what they offer is what the processor has
      // just reported. In the other states the user is told once that
      // changes do not reach it.
      if (mState == DISCONNECTED || mState == SYNCING || mRefusalReported == mState) return;
      refusedIn = mState;
      mRefusalReported = mState;
    } else {
      refused = !mOutbox.Offer(entry);
    }
  }
  if (refusedIn != 0xFF) {
    EW_REPORT_NOTIFICATION("Changes are not sent to the processor while the link is %s", StateName(refusedIn));
    return;
  }
  // Only a caller with more targets than the device has gets here.
  if (refused) {
    EW_REPORT_ERROR("%s entry for target 0x%lX refused: every place in the queue is taken", kind,
                    static_cast<unsigned long>(target));
  }
}

void cSerialInterface::QueueFilterMessage(ULONG address, const std::int32_t* coefficients, UWORD length, UWORD word1,
                                          UWORD word2, UWORD word3, UBYTE byte1, UBYTE byte2, UBYTE byte3) {
  if (length > kMaxCoefficientBytes || length % 4 != 0 || (length > 0 && coefficients == nullptr)) {
    EW_REPORT_ERROR("Filter message for address 0x%lX with %d coefficient bytes refused",
                    static_cast<unsigned long>(address), int(length));
    return;
  }
  // The coefficients are copied now: the driver's buffer belongs to another
  // thread, and the entry must carry the values of this change.
  sFilterEntry entry{address, {}, length, word1, word2, word3, byte1, byte2, byte3};
  if (length > 0) std::memcpy(entry.mCoefficients.data(), coefficients, length);
  Enqueue(entry, "Filter", address);
}

void cSerialInterface::QueueControlStripMessage(ULONG index, std::int32_t linearGain, UWORD gainWord, UBYTE polarity,
                                                UBYTE mute) {
  Enqueue(sStripEntry{index, linearGain, gainWord, polarity, mute}, "Control strip", index);
}

void cSerialInterface::QueueDelayMessage(ULONG index, std::int32_t samples) {
  Enqueue(sDelayEntry{index, samples}, "Delay", index);
}

std::optional<std::array<sFilter, cSerialPortManager::kFilterRecordCount>> cSerialInterface::GetSyncFilters() const {
  std::lock_guard<std::mutex> area(mManager->mAreaLock);
  if (mManager->mAreas.mRecordCount != cSerialPortManager::kFilterRecordCount) return std::nullopt;
  return mManager->mAreas.mRecords;
}

std::optional<std::array<sControlStripRecord, cSerialPortManager::kStripCount>> cSerialInterface::GetSyncControlStrips()
    const {
  std::lock_guard<std::mutex> area(mManager->mAreaLock);
  if (!mManager->mAreas.mStripsReceived) return std::nullopt;
  return mManager->mAreas.mStrips;
}

std::optional<std::array<std::int32_t, cSerialPortManager::kDelayCount>> cSerialInterface::GetSyncDelays() const {
  std::lock_guard<std::mutex> area(mManager->mAreaLock);
  if (!mManager->mAreas.mDelaysReceived) return std::nullopt;
  return mManager->mAreas.mDelays;
}

std::optional<std::array<ULONG, cSerialPortManager::kMeterCount>> cSerialInterface::GetMeterValues() const {
  if (!mManager->IsOpen()) return std::nullopt;
  std::lock_guard<std::mutex> area(mManager->mAreaLock);
  return mManager->mAreas.mMeters;
}

bool cSerialInterface::CountMeterRequest() {
  if (!mManager->IsOpen()) return false;
  std::lock_guard<std::mutex> area(mManager->mAreaLock);
  cSerialReplyAreas& m = mManager->mAreas;
  if (!m.mMeterPending) {
    m.mMeterPending = true;
    return true;
  }
  if (mMeterCallCounter > kMeterCallsPerMiss) {
    m.mMeterPending = false;
    mMeterCallCounter = 0;
    if (m.mMissCount < kMaxMisses) ++m.mMissCount;
  } else {
    ++mMeterCallCounter;
  }
  return false;
}

void cSerialInterface::RequestMeters() {
  if (!CountMeterRequest()) return;
  {
    std::lock_guard<std::mutex> guard(mLock);
    mMeterRequestToSend = true;
  }
  mWake.notify_one();
}

QStringList cSerialInterface::GetPortNames() {
  mManager->ScanPorts();
  return mManager->PortNames();
}

std::vector<sSerialPortEntry> cSerialInterface::GetPorts() {
  mManager->ScanPorts();
  return mManager->Ports();
}

// ---------------------------------------------------------------------------
// I/O thread

void cSerialInterface::RunIoThread() {
  std::unique_lock<std::mutex> lock(mLock);
  while (!mStopping) {
    // Whoever stops the thread says so under the lock and wakes it: no
    // timeout is needed, and an idle link costs no wake-ups.
    mWake.wait(lock, [this] { return mStopping || mStepsAsked != mStepsDone || mMeterRequestToSend; });
    if (mStopping) break;
    const bool meters = std::exchange(mMeterRequestToSend, false);
    const std::uint64_t asked = mStepsAsked;
    const bool step = asked != mStepsDone;
    mStepBeat = mBeats;
    lock.unlock();
    if (meters) {
      mManager->SendPacket(cSerialPortManager::PACKET_METERS, nullptr, 0);
      ++mMeterRequestsSent;
    }
    bool replyWaiting = false;
    if (step) {
      Step();
      // A meter reply comes a moment after its request: read it on the next
      // beats rather than a supervision period later, but stop looking soon
      // for a device that does not answer.
      const bool meterReplyDue =
          mStepBeat - mMeterAskedBeat < std::uint64_t(kMeterReplyBeats) && mManager->MeterReplyOutstanding();
      replyWaiting = mManager->IsOpen() && (mManager->ReplyWaiting() || meterReplyDue);
    }
    lock.lock();
    if (step) {
      mStepsDone = asked;
      ++mStepsRun;
      mReplyWaiting = replyWaiting;
      mStepDone.notify_all();
    }
  }
  lock.unlock();
  // The port and its notifiers belong to this thread: they end here.
  mManager->ClosePort();
  mManager.reset();
  lock.lock();
  mIoThreadDone = true;
  mStepDone.notify_all();
}

void cSerialInterface::Step() {
  bool pending = false;
  bool connect = false;
  QString portName;
  {
    std::lock_guard<std::mutex> guard(mLock);
    // Almost every step finds no request: the name is copied only for one.
    pending = mRequestPending;
    connect = mRequestConnect;
    if (pending && connect) {
      portName = mRequestedPort;
      mRequestPending = false;
    }
  }
  if (pending) {
    if (connect) {
      OpenRequestedPort(portName);
    } else {
      Disconnect();
    }
  }

  if (!mManager->IsOpen() || GetState() == DISCONNECTED) return;
  const cSerialReplyAreas::sReplyCounts replies = mManager->ProcessReplies();
  CountAcknowledgements(replies);
  if (replies.mReplies > 0) mSyncHeard = true;
  if (EndSessionIfPortLost()) return;

  switch (GetState()) {
    case PORT_OPEN:
      if (mManager->VersionText().isEmpty()) {
        if (std::chrono::steady_clock::now() - mPortOpenedAt > std::chrono::milliseconds(kVersionTimeoutMs)) {
          EW_REPORT_ERROR("No version reply from the device");
          mLastError = ERROR_TIMEOUT;
          mVersionAskedBeat = mStepBeat;
          SetState(NO_REPLY);
        }
        return;
      }
      BeginReadBack();
      return;
    case CONNECTED:
      if (GetMissCount() >= kMaxMisses) {
        EW_REPORT_ERROR("The device does not answer; changes wait until it does");
        SetState(NO_REPLY);
        return;
      }
      break;
    case NO_REPLY:
      if (!DeviceAnswersAgain()) return;
      EW_REPORT_NOTIFICATION("The device answers again");
      if (mReadBackDue) {
        BeginReadBack();
        return;
      }
      SetState(CONNECTED);
      break;
    case GETTING_SYNC:
      SyncStep();
      return;
    case DISCONNECTING:
      break;
    default:
      return;
  }
  SendPass();
  if (EndSessionIfPortLost()) return;
  if (mMeterPolling && GetState() == CONNECTED) PollMeters();
}

bool cSerialInterface::EndSessionIfPortLost() {
  if (!mManager->PortLost()) return false;
  // Unplugged or hung up: say so at once instead of writing into nothing.
  EW_REPORT_ERROR("Device port lost");
  mManager->ClosePort();
  EndSession(NO_REPLY, "the processor's port was lost");
  return true;
}

// Measured in beats, not in steps, so that an idle link that steps only on
// supervision beats supervises the device just as a busy one does.
void cSerialInterface::PollMeters() {
  const std::uint64_t waited = mStepBeat - mMeterAskedBeat;
  bool ask = false;
  {
    std::lock_guard<std::mutex> area(mManager->mAreaLock);
    cSerialReplyAreas& m = mManager->mAreas;
    if (!m.mMeterPending) {
      ask = mMetersShown || waited >= std::uint64_t(kSupervisionBeats);
    } else if (waited >= std::uint64_t(kMeterBeatsPerMiss)) {
      if (m.mMissCount < kMaxMisses) ++m.mMissCount;
      ask = true;
    }
    if (ask) m.mMeterPending = true;
  }
  if (!ask) return;
  mMeterAskedBeat = mStepBeat;
  mManager->SendPacket(cSerialPortManager::PACKET_METERS, nullptr, 0);
  ++mMeterRequestsSent;
}

bool cSerialInterface::DeviceAnswersAgain() {
  if (!mManager->VersionText().isEmpty()) {
    if (GetMissCount() == 0) return true;
    if (mMeterPolling) PollMeters();
    return false;
  }
  // It never told its version: ask again, a supervision period apart.
  if (mStepBeat - mVersionAskedBeat >= std::uint64_t(kSupervisionBeats)) {
    mVersionAskedBeat = mStepBeat;
    mManager->SendPacket(cSerialPortManager::PACKET_VERSION, nullptr, 0);
  }
  return false;
}

void cSerialInterface::CountAcknowledgements(const cSerialReplyAreas::sReplyCounts& counts) {
  if (counts.mReplies == 0) return;
  mRepliesRead += std::uint64_t(counts.mReplies);
  if (counts.mFilterAcks + counts.mStripAcks + counts.mDelayAcks == 0) return;
  std::lock_guard<std::mutex> guard(mLock);
  mOutbox.Acknowledged(counts.mFilterAcks, counts.mStripAcks, counts.mDelayAcks);
}

void cSerialInterface::EndSession(LinkState state, const char* why) {
  std::size_t dropped = 0;
  {
    std::lock_guard<std::mutex> guard(mLock);
    dropped = mOutbox.EndSession();
    SetStateLocked(state);
  }
  if (dropped > 0) EW_REPORT_NOTIFICATION("%zu changes not sent: %s", dropped, why);
}

void cSerialInterface::OpenRequestedPort(const QString& portName) {
  const bool wasOpen = mManager->IsOpen();
  const bool opened = mManager->AutoConnectPort(portName);
  if (wasOpen && (opened || !mManager->IsOpen())) {
    // The attempt closed the session's port: what waited for it is not the
    // new port's, and a link left "connected" would take entries nothing
    // can send.
    EndSession(DISCONNECTED, "the port was closed for another");
  }
  if (opened) {
    mPortOpenedAt = std::chrono::steady_clock::now();
    // The first meter request of the session goes out as soon as it is connected.
    mMeterAskedBeat = mStepBeat - kSupervisionBeats;
    mReadBackDue = true;
    {
      std::lock_guard<std::mutex> guard(mLock);
      mOutbox.StartSession();
      SetStateLocked(PORT_OPEN);
    }
    mManager->SendPacket(cSerialPortManager::PACKET_VERSION, nullptr, 0);
    return;
  }
  switch (mManager->OpenError()) {
    case QSerialPort::DeviceNotFoundError:
      mLastError = ERROR_NOT_FOUND;
      break;
    case QSerialPort::PermissionError:
    case QSerialPort::OpenError:
      mLastError = ERROR_IN_USE;
      break;
    case QSerialPort::TimeoutError:
      mLastError = ERROR_TIMEOUT;
      break;
    default:
      break;
  }
}

void cSerialInterface::Disconnect() {
  {
    std::lock_guard<std::mutex> guard(mLock);
    if (!mOutbox.Empty() && mManager->IsOpen()) {
      SetStateLocked(DISCONNECTING);  // the request stays pending until drained
      return;
    }
    // A connect request that came in since Step read this one must stay.
    if (!mRequestConnect) mRequestPending = false;
  }
  mManager->SendPacket(cSerialPortManager::PACKET_DISCONNECT, nullptr, 0);
  mManager->ClosePort();
  // Without a port nothing could drain what waits.
  EndSession(DISCONNECTED, "the link was closed");
}

void cSerialInterface::BeginReadBack() {
  std::size_t dropped = 0;
  {
    std::lock_guard<std::mutex> guard(mLock);
    if (!mOutbox.Empty() || mOutbox.Unconfirmed() > 0) {
      dropped = mOutbox.EndSession();
      mOutbox.StartSession();
    }
    RestartReadBackLocked();
  }
  if (dropped > 0) {
    EW_REPORT_NOTIFICATION("%zu changes not sent: they were made before the processor's settings were read back",
                           dropped);
  }
  SyncStep();
}

void cSerialInterface::SyncStep() {
  const auto now = std::chrono::steady_clock::now();
  {
    std::lock_guard<std::mutex> guard(mLock);
    if (std::exchange(mSyncStartAsked, false)) {
      mSyncProgressAt = now;
      mSyncHeard = false;
    }
  }
  // Any answer of the device counts, also one a request of another kind
  // caused: only silence ends the read-back.
  if (std::exchange(mSyncHeard, false)) mSyncProgressAt = now;
  UBYTE command = cSerialPortManager::PACKET_VERSION;
  bool complete = false;
  bool silent = false;
  {
    std::lock_guard<std::mutex> area(mManager->mAreaLock);
    cSerialReplyAreas& m = mManager->mAreas;
    if (m.mSyncOutstanding) {
      if (now - mSyncProgressAt <= std::chrono::milliseconds(kSyncReplyTimeoutMs)) return;
      // Nothing is adopted from a read-back that did not end: the program
      // keeps its own settings. The device counts as silent until it
      // answers a meter request; then the read-back starts over.
      m.mSyncOutstanding = false;
      if (m.mMissCount == 0) m.mMissCount = 1;
      silent = true;
    }
  }
  if (silent) {
    EW_REPORT_ERROR("The device stopped answering while its settings were read back; nothing of them was adopted");
    SetState(NO_REPLY);
    return;
  }
  {
    std::lock_guard<std::mutex> area(mManager->mAreaLock);
    cSerialReplyAreas& m = mManager->mAreas;
    if (!m.mStripsReceived) {
      command = cSerialPortManager::PACKET_STRIP_SYNC;
    } else if (!m.mDelaysReceived) {
      command = cSerialPortManager::PACKET_DELAY_SYNC;
    } else if (m.mRecordCount == cSerialPortManager::kFilterRecordCount) {
      complete = true;
    } else {
      // A fresh request is answered from record 0: a partial set from an
      // earlier attempt must not shift the new records.
      m.mRecordCount = 0;
      command = cSerialPortManager::PACKET_FILTER_SYNC;
    }
    if (!complete) m.mSyncOutstanding = true;
  }
  if (complete) {
    mReadBackDue = false;
    std::lock_guard<std::mutex> guard(mLock);
    // The front end may have given up on the sync meanwhile.
    if (mState == GETTING_SYNC) SetStateLocked(SYNCING);
  } else {
    mSyncProgressAt = now;
    mManager->SendPacket(command, nullptr, 0);
  }
}

// Entries are taken under the lock and written without it: a queueing driver
// never waits for the line.
void cSerialInterface::SendPass() {
  cSerialOutbox::sPass pass;
  {
    std::lock_guard<std::mutex> guard(mLock);
    pass = mOutbox.TakePass();
    mWriting = pass.Any();
  }
  if (!pass.Any()) return;
  UBYTE payload[cSerialOutbox::kMaxPayload];
  if (pass.mHasFilter) {
    mManager->SendPacket(cSerialPortManager::PACKET_FILTER, payload,
                         cSerialOutbox::EncodeFilter(pass.mFilter, payload));
  }
  if (pass.mHasStrip) {
    mManager->SendPacket(cSerialPortManager::PACKET_STRIP, payload, cSerialOutbox::EncodeStrip(pass.mStrip, payload));
  }
  if (pass.mHasDelay) {
    mManager->SendPacket(cSerialPortManager::PACKET_DELAY, payload, cSerialOutbox::EncodeDelay(pass.mDelay, payload));
  }
  std::lock_guard<std::mutex> guard(mLock);
  mWriting = false;
  mLastWriteBeat = mBeats;
}
