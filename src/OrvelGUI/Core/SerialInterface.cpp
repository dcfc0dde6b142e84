#include "OrvelGUI/Core/SerialInterface.h"

#include <QObject>
#include <QtEndian>
#include <cstring>

#include "EWNet/Core/ErrLog.h"

namespace {

// Meter requests that may go unanswered before one counts as missed.
constexpr int kMeterCallsPerMiss = 50;

}  // namespace

cSerialInterface::cSerialInterface(QObject* threadOwner) : mManager(std::make_unique<cSerialPortManager>()) {
  if (threadOwner != nullptr) mManager->moveToThread(threadOwner->thread());
}

cSerialInterface::~cSerialInterface() = default;

void cSerialInterface::SetState(LinkState state) {
  std::lock_guard<std::mutex> guard(mLock);
  mState = state;
}

void cSerialInterface::RequestConnection(bool connect, const QString& portName) {
  std::lock_guard<std::mutex> guard(mLock);
  mRequestPending = true;
  mRequestConnect = connect;
  mRequestedPort = portName;
}

void cSerialInterface::SetConnected() {
  // Without an open port nothing would ever drain the queues that the
  // connected state lets fill up.
  if (!mManager->IsOpen()) {
    EW_REPORT_NOTIFICATION("Link not marked connected: the device port is closed");
    return;
  }
  SetState(CONNECTED);
}

bool cSerialInterface::StartSync() {
  std::lock_guard<std::mutex> guard(mLock);
  if (mState != CONNECTED) return false;
  {
    std::lock_guard<std::mutex> area(mManager->mAreaLock);
    mManager->mStripsReceived = false;
    mManager->mDelaysReceived = false;
    mManager->mRecordCount = 0;
    mManager->mSyncOutstanding = false;
  }
  mState = GETTING_SYNC;
  return true;
}

UBYTE cSerialInterface::TakeLastError() { return mLastError.exchange(ERROR_NONE); }

UBYTE cSerialInterface::GetMissCount() const {
  std::lock_guard<std::mutex> area(mManager->mAreaLock);
  return mManager->mMissCount;
}

bool cSerialInterface::QueuesEmptyLocked() const {
  return mFilterQueue.empty() && mStripQueue.empty() && mDelayQueue.empty();
}

void cSerialInterface::ClearQueuesLocked() {
  mFilterQueue.clear();
  mStripQueue.clear();
  mDelayQueue.clear();
}

void cSerialInterface::Service() {
  bool pending = false;
  bool connect = false;
  QString portName;
  {
    std::lock_guard<std::mutex> guard(mLock);
    // Almost every tick finds no request: the name is copied only for one.
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
  mManager->ProcessReply();
  if (mManager->PortLost()) {
    // Unplugged or hung up: say so at once instead of writing into nothing.
    EW_REPORT_ERROR("Device port lost");
    mManager->ClosePort();
    std::lock_guard<std::mutex> guard(mLock);
    ClearQueuesLocked();
    mState = NO_REPLY;
    return;
  }

  switch (GetState()) {
    case PORT_OPEN:
      if (mManager->VersionText().isEmpty()) {
        if (std::chrono::steady_clock::now() - mPortOpenedAt > std::chrono::milliseconds(kVersionTimeoutMs)) {
          EW_REPORT_ERROR("No version reply from the device");
          mLastError = ERROR_TIMEOUT;
          SetState(NO_REPLY);
        }
        return;
      }
      SetState(CONNECTED);
      break;
    case CONNECTED:
      if (GetMissCount() >= kMaxMisses) {
        SetState(NO_REPLY);
        return;
      }
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
  if (mMeterPolling && GetState() == CONNECTED) RequestMeters();
}

void cSerialInterface::OpenRequestedPort(const QString& portName) {
  const bool wasOpen = mManager->IsOpen();
  if (mManager->AutoConnectPort(portName)) {
    mPortOpenedAt = std::chrono::steady_clock::now();
    SetState(PORT_OPEN);
    mManager->SendPacket(cSerialPortManager::PACKET_VERSION, nullptr, 0);
    return;
  }
  if (wasOpen && !mManager->IsOpen()) {
    // The attempt closed the session's port before the new one refused to
    // open: a link left "connected" would take entries nothing can send.
    std::lock_guard<std::mutex> guard(mLock);
    ClearQueuesLocked();
    mState = DISCONNECTED;
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
    if (!QueuesEmptyLocked()) {
      if (mManager->IsOpen()) {
        mState = DISCONNECTING;  // the request stays pending until drained
        return;
      }
      // Nothing can drain them without a port.
      ClearQueuesLocked();
    }
    // A connect request that came in since Service read this one must stay.
    if (!mRequestConnect) mRequestPending = false;
  }
  mManager->SendPacket(cSerialPortManager::PACKET_DISCONNECT, nullptr, 0);
  mManager->ClosePort();
  SetState(DISCONNECTED);
}

void cSerialInterface::SyncStep() {
  UBYTE command = cSerialPortManager::PACKET_VERSION;
  bool complete = false;
  {
    std::lock_guard<std::mutex> area(mManager->mAreaLock);
    cSerialPortManager& m = *mManager;
    if (m.mSyncOutstanding) return;
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
    SetState(SYNCING);
  } else {
    mManager->SendPacket(command, nullptr, 0);
  }
}

void cSerialInterface::SendPass() {
  std::lock_guard<std::mutex> guard(mLock);
  if (!mFilterQueue.empty()) {
    SendFilter(mFilterQueue.front());
    mFilterQueue.pop_front();
  }
  if (!mStripQueue.empty()) {
    const sStripEntry& e = mStripQueue.front();
    UBYTE payload[20];
    qToLittleEndian<ULONG>(e.mIndex, payload);
    qToLittleEndian<ULONG>(ULONG(e.mLinearGain), payload + 4);
    qToLittleEndian<ULONG>(e.mGainWord, payload + 8);
    qToLittleEndian<ULONG>(e.mPolarity, payload + 12);
    qToLittleEndian<ULONG>(e.mMute, payload + 16);
    mManager->SendPacket(cSerialPortManager::PACKET_STRIP, payload, sizeof payload);
    mStripQueue.pop_front();
  }
  if (!mDelayQueue.empty()) {
    const sDelayEntry& e = mDelayQueue.front();
    UBYTE payload[8];
    qToLittleEndian<ULONG>(e.mIndex, payload);
    qToLittleEndian<ULONG>(ULONG(e.mSamples), payload + 4);
    mManager->SendPacket(cSerialPortManager::PACKET_DELAY, payload, sizeof payload);
    mDelayQueue.pop_front();
  }
}

void cSerialInterface::SendFilter(const sFilterEntry& e) {
  UBYTE payload[4 + kMaxCoefficientBytes + 9];
  qToLittleEndian<ULONG>(e.mAddress, payload);
  const std::size_t n = e.mLength;
  for (std::size_t i = 0; i < n / 4; ++i) qToLittleEndian<ULONG>(ULONG(e.mCoefficients[i]), payload + 4 + 4 * i);
  qToLittleEndian<UWORD>(e.mWord1, payload + 4 + n);
  qToLittleEndian<UWORD>(e.mWord2, payload + 6 + n);
  qToLittleEndian<UWORD>(e.mWord3, payload + 8 + n);
  payload[10 + n] = e.mByte1;
  payload[11 + n] = e.mByte2;
  payload[12 + n] = e.mByte3;
  mManager->SendPacket(cSerialPortManager::PACKET_FILTER, payload, ULONG(13 + n));
}

template <typename tEntry, typename tSameTarget>
void cSerialInterface::Enqueue(std::deque<tEntry>& queue, const tEntry& entry, tSameTarget sameTarget) {
  std::lock_guard<std::mutex> guard(mLock);
  if (mState != CONNECTED) return;
  // A change that is still waiting is replaced rather than sent twice.
  if (!queue.empty() && sameTarget(queue.back())) {
    queue.back() = entry;
  } else {
    queue.push_back(entry);
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
  // thread. Every change of the buffer is queued again, and the newest entry
  // for an address replaces a waiting one, so the device still receives the
  // buffer's latest contents.
  sFilterEntry entry{address, {}, length, word1, word2, word3, byte1, byte2, byte3};
  if (length > 0) std::memcpy(entry.mCoefficients.data(), coefficients, length);
  Enqueue(mFilterQueue, entry, [address](const sFilterEntry& e) { return e.mAddress == address; });
}

void cSerialInterface::QueueControlStripMessage(ULONG index, std::int32_t linearGain, UWORD gainWord, UBYTE polarity,
                                                UBYTE mute) {
  Enqueue(mStripQueue, sStripEntry{index, linearGain, gainWord, polarity, mute},
          [index](const sStripEntry& e) { return e.mIndex == index; });
}

void cSerialInterface::QueueDelayMessage(ULONG index, std::int32_t samples) {
  Enqueue(mDelayQueue, sDelayEntry{index, samples}, [index](const sDelayEntry& e) { return e.mIndex == index; });
}

cSerialInterface::sQueueLengths cSerialInterface::GetQueueLengths() const {
  std::lock_guard<std::mutex> guard(mLock);
  return {mFilterQueue.size(), mStripQueue.size(), mDelayQueue.size()};
}

bool cSerialInterface::AllSent() const {
  // The send pass writes under the same lock and takes an entry out only
  // once it is written, so empty queues seen here mean nothing is in flight.
  std::lock_guard<std::mutex> guard(mLock);
  return QueuesEmptyLocked();
}

std::optional<std::array<sFilter, cSerialPortManager::kFilterRecordCount>> cSerialInterface::GetSyncFilters() const {
  std::lock_guard<std::mutex> area(mManager->mAreaLock);
  if (mManager->mRecordCount != cSerialPortManager::kFilterRecordCount) return std::nullopt;
  return mManager->mRecords;
}

std::array<sControlStripRecord, cSerialPortManager::kStripCount> cSerialInterface::GetSyncControlStrips() const {
  std::lock_guard<std::mutex> area(mManager->mAreaLock);
  return mManager->mStrips;
}

std::array<std::int32_t, cSerialPortManager::kDelayCount> cSerialInterface::GetSyncDelays() const {
  std::lock_guard<std::mutex> area(mManager->mAreaLock);
  return mManager->mDelays;
}

std::optional<std::array<ULONG, cSerialPortManager::kMeterCount>> cSerialInterface::GetMeterValues() const {
  if (!mManager->IsOpen()) return std::nullopt;
  std::lock_guard<std::mutex> area(mManager->mAreaLock);
  return mManager->mMeters;
}

void cSerialInterface::RequestMeters() {
  if (!mManager->IsOpen()) return;
  {
    std::lock_guard<std::mutex> area(mManager->mAreaLock);
    cSerialPortManager& m = *mManager;
    if (m.mMeterPending) {
      if (mMeterCallCounter > kMeterCallsPerMiss) {
        m.mMeterPending = false;
        mMeterCallCounter = 0;
        if (m.mMissCount < kMaxMisses) ++m.mMissCount;
      } else {
        ++mMeterCallCounter;
      }
      return;
    }
    m.mMeterPending = true;
  }
  mManager->SendPacket(cSerialPortManager::PACKET_METERS, nullptr, 0);
}

QStringList cSerialInterface::GetPortNames() {
  mManager->ScanPorts();
  return mManager->PortNames();
}
