#include "OrvelGUI/Core/SerialPortManager.h"

#include <QElapsedTimer>
#include <QThread>
#include <QtEndian>
#include <algorithm>
#include <cstring>

#include "EWNet/Core/ErrLog.h"

#ifdef Q_OS_UNIX
#include <poll.h>
#endif

namespace {

constexpr UBYTE kSync = 0xA5;
// A stalled write is looked at this often, so that a shutdown need not wait
// for the whole write timeout.
constexpr int kWriteSliceMs = 50;
// A tick must stay short even when the line is flooded with noise.
constexpr std::size_t kMaxBytesPerReply = 16384;

// The serial port takes a hung-up line for an empty read and carries on; it
// notices the device is gone only when it next writes. The line itself says
// so at once.
bool LineHungUp(QSerialPort& port) {
#ifdef Q_OS_UNIX
  pollfd line{int(port.handle()), POLLIN, 0};
  return ::poll(&line, 1, 0) > 0 && (line.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
#else
  (void)port;
  return false;
#endif
}

}  // namespace

cSerialPortManager::cSerialPortManager(QObject* parent) : QObject(parent), mPort(new QSerialPort(this)) {
  mTransmit[0] = kSync;
  mTransmit[1] = kSync;
  mTransmit[2] = 0;
  ScanPorts();
}

cSerialPortManager::~cSerialPortManager() { ClosePort(); }

void cSerialPortManager::ScanPorts() {
  std::vector<sSerialPortEntry> ports = cSerialPortList::AcceptedPorts();
  std::lock_guard<std::mutex> guard(mAreaLock);
  mPorts = std::move(ports);
}

QStringList cSerialPortManager::PortNames() const {
  std::lock_guard<std::mutex> guard(mAreaLock);
  QStringList names;
  for (const sSerialPortEntry& port : mPorts) names << port.mName;
  return names;
}

int cSerialPortManager::FindPort(const QString& portName) const {
  if (mPorts.empty()) return -1;
  if (portName.isEmpty()) return 0;
  // The port list reaches the user in 7-character slots, so a longer name
  // comes back cut short, and then it may also be another port's full name
  // ("ttyACM1" for ttyACM10 and ttyACM1). A name is accepted only when it
  // can mean exactly one port: opening the wrong device is worse than none.
  const bool mayBeCut = portName.size() == kPortNameSlotChars;
  int found = -1;
  for (std::size_t i = 0; i < mPorts.size(); ++i) {
    const QString& name = mPorts[i].mName;
    if (name == portName || (mayBeCut && name.size() > kPortNameSlotChars && name.startsWith(portName))) {
      if (found >= 0) {
        EW_REPORT_ERROR("Port name %s is shared by several ports; none opened", qPrintable(portName));
        return -1;
      }
      found = int(i);
    }
  }
  return found;
}

void cSerialPortManager::AssertPortThread() const {
  Q_ASSERT_X(QThread::currentThread() == thread(), "cSerialPortManager", "port used outside its thread");
}

bool cSerialPortManager::AutoConnectPort(const QString& portName) {
  AssertPortThread();
  QString location;
  {
    std::lock_guard<std::mutex> guard(mAreaLock);
    const int index = FindPort(portName);
    if (index < 0) {
      EW_REPORT_ERROR("No device port named \"%s\"", qPrintable(portName));
      mOpenError = QSerialPort::DeviceNotFoundError;
      return false;
    }
    location = mPorts[std::size_t(index)].mSystemLocation;
  }
  if (mPort->isOpen()) ClosePort();
  mPort->clearError();
  mPort->setPortName(location);
  mPort->setBaudRate(kBaudRate, QSerialPort::AllDirections);
  mPort->setDataBits(QSerialPort::Data8);
  mPort->setParity(QSerialPort::NoParity);
  mPort->setStopBits(QSerialPort::OneStop);
  mPort->setFlowControl(QSerialPort::NoFlowControl);
  if (!mPort->open(QIODevice::ReadWrite)) {
    mOpenError = mPort->error();
    EW_REPORT_ERROR("Failed opening port");
    return false;
  }
  EW_REPORT_NOTIFICATION("Succeeded opening port");
  mOpenError = QSerialPort::NoError;
  mHungUp = false;
  mPort->clear(QSerialPort::AllDirections);
  mReceiveFill = 0;
  {
    // Whatever a previous session left behind belongs to another device.
    std::lock_guard<std::mutex> guard(mAreaLock);
    ResetSessionLocked();
  }
  mOpen = true;
  return true;
}

bool cSerialPortManager::PortLost() const { return mHungUp || mPort->error() == QSerialPort::ResourceError; }

void cSerialPortManager::WaitUntilWritten() {
  QElapsedTimer waited;
  waited.start();
  while (mPort->bytesToWrite() > 0 && !mAbortWrites.load() && waited.elapsed() < kWriteWaitMs) {
    if (!mPort->waitForBytesWritten(kWriteSliceMs) && mPort->error() == QSerialPort::TimeoutError) {
      mPort->clearError();
    }
  }
}

void cSerialPortManager::WriteToPort(const UBYTE* bytes, qint64 length) {
  AssertPortThread();
  if (!mPort->isOpen()) return;
  mLastWriteResult = mPort->write(reinterpret_cast<const char*>(bytes), length);
  WaitUntilWritten();
  if (mLastWriteResult == -1) {
    EW_REPORT_ERROR("Failed to write to port");
    ErrorCheck();
  }
  mPort->flush();
  QThread::msleep(1);
}

void cSerialPortManager::WriteToPort(const QByteArray& bytes) {
  AssertPortThread();
  if (!mPort->isOpen()) return;
  mLastWriteResult = mPort->write(bytes);
  WaitUntilWritten();
  if (mLastWriteResult == -1) {
    EW_REPORT_ERROR("Failed to write to port");
    ErrorCheck();
  } else if (mLastWriteResult < bytes.size()) {
    EW_REPORT_ERROR("Failed to write all requested data to port");
  }
}

qint64 cSerialPortManager::ReadFromPort(char* buffer, qint64 length) {
  AssertPortThread();
  mLastReadResult = mPort->read(buffer, length);
  if (mLastReadResult == -1) EW_REPORT_ERROR("Error reading from port");
  return mLastReadResult;
}

bool cSerialPortManager::ErrorCheck() {
  const QSerialPort::SerialPortError error = mPort->error();
  if (error != QSerialPort::NoError) EW_REPORT_ERROR("Serial error occurred: %d", int(error));
  return error != QSerialPort::NoError;
}

void cSerialPortManager::ClosePort() {
  if (mPort->isOpen()) {
    AssertPortThread();
    if (ErrorCheck()) {
      mPort->clear(QSerialPort::AllDirections);
    } else {
      WaitUntilWritten();
    }
    mPort->close();
  }
  mOpen = false;
  mReceiveFill = 0;
  std::lock_guard<std::mutex> guard(mAreaLock);
  ResetSessionLocked();
}

void cSerialPortManager::ResetSessionLocked() {
  mVersion.clear();
  mStripsReceived = false;
  mDelaysReceived = false;
  mRecordCount = 0;
  mMissCount = 0;
  mMeterPending = false;
  mSyncOutstanding = false;
  mMeters.fill(0);
}

bool cSerialPortManager::SendPacket(UBYTE command, const UBYTE* payload, ULONG length) {
  if (length > kTransmitBufferSize - kHeaderSize) {
    EW_REPORT_ERROR("Command %d payload of %lu bytes does not fit the transmit buffer", int(command),
                    static_cast<unsigned long>(length));
    return false;
  }
  AssertPortThread();
  mTransmit[3] = command;
  qToLittleEndian<ULONG>(length, &mTransmit[4]);
  if (length > 0) std::memcpy(&mTransmit[kHeaderSize], payload, length);
  WriteToPort(mTransmit.data(), qint64(kHeaderSize + length));
  return true;
}

QString cSerialPortManager::VersionText() const {
  std::lock_guard<std::mutex> guard(mAreaLock);
  return mVersion;
}

void cSerialPortManager::TopUpReceiveBuffer() {
  const qint64 room = qint64(mReceive.size() - mReceiveFill);
  const qint64 wanted = std::min(room, mPort->bytesAvailable());
  if (wanted <= 0) return;
  const qint64 got = ReadFromPort(reinterpret_cast<char*>(&mReceive[mReceiveFill]), wanted);
  if (got > 0) mReceiveFill += std::size_t(got);
}

void cSerialPortManager::DropReceived(std::size_t count) {
  count = std::min(count, mReceiveFill);
  std::memmove(mReceive.data(), mReceive.data() + count, mReceiveFill - count);
  mReceiveFill -= count;
}

void cSerialPortManager::ProcessReply() {
  AssertPortThread();
  if (!mPort->isOpen()) return;
  // Without an event loop in this thread nothing moves bytes from the line
  // into the port's buffer; a zero wait does it without blocking.
  if (!mPort->waitForReadyRead(0)) {
    if (mPort->error() == QSerialPort::TimeoutError) mPort->clearError();
    if (mPort->bytesAvailable() == 0 && LineHungUp(*mPort)) mHungUp = true;
  }
  if (mReceiveFill == 0 && mPort->bytesAvailable() == 0) return;

  std::size_t budget = kMaxBytesPerReply;
  for (;;) {
    TopUpReceiveBuffer();
    // Skip to the next possible header; a trailing 0xA5 or 0xA5 0xA5 may be
    // the start of one that is still on its way.
    std::size_t start = 0;
    while (start < mReceiveFill) {
      const std::size_t left = mReceiveFill - start;
      if (mReceive[start] == kSync && (left < 2 || mReceive[start + 1] == kSync) &&
          (left < 3 || mReceive[start + 2] == 0)) {
        break;
      }
      ++start;
    }
    if (start > 0) {
      DropReceived(start);
      if (start >= budget) return;
      budget -= start;
      continue;
    }
    if (mReceiveFill < kHeaderSize) return;  // the rest comes on a later tick
    const ULONG length = qFromLittleEndian<ULONG>(&mReceive[4]);
    if (length > kMaxReplyPayload) {
      EW_REPORT_ERROR("Reply of type %d states %lu payload bytes; skipped", int(mReceive[3]),
                      static_cast<unsigned long>(length));
      DropReceived(2);
      if (budget <= 2) return;
      budget -= 2;
      continue;
    }
    if (mReceiveFill < kHeaderSize + length) return;
    ApplyReply(mReceive[3], &mReceive[kHeaderSize], length);
    DropReceived(kHeaderSize + length);
    return;
  }
}

bool cSerialPortManager::ReplyWaiting() const {
  AssertPortThread();
  return mReceiveFill >= kHeaderSize || (mPort->isOpen() && mPort->bytesAvailable() > 0);
}

bool cSerialPortManager::MeterReplyOutstanding() const {
  std::lock_guard<std::mutex> area(mAreaLock);
  return mMeterPending;
}

void cSerialPortManager::ApplyReply(UBYTE type, const UBYTE* payload, ULONG length) {
  static constexpr ULONG kNeeded[] = {2, 0, 0, 12, 4 * kMeterCount, 0, 0, 6 * kStripCount, 0, 4 * kDelayCount};
  if (type < sizeof kNeeded / sizeof kNeeded[0] && length < kNeeded[type]) {
    EW_REPORT_ERROR("Reply of type %d with %lu payload bytes is too short; ignored", int(type),
                    static_cast<unsigned long>(length));
    return;
  }
  std::lock_guard<std::mutex> guard(mAreaLock);
  switch (type) {
    case PACKET_VERSION:
      mVersion = QString::asprintf("V%d.%d", payload[0], payload[1]);
      break;
    case PACKET_FILTER_SYNC:
      if (mRecordCount < kFilterRecordCount) {
        sFilter& record = mRecords[std::size_t(mRecordCount)];
        record.mFrequency = qFromLittleEndian<UWORD>(payload);
        record.mWidth = qFromLittleEndian<UWORD>(payload + 2);
        record.mGain = GAIN(qFromLittleEndian<UWORD>(payload + 4));
        record.mType = qFromLittleEndian<UWORD>(payload + 6);
        record.mVariant = qFromLittleEndian<UWORD>(payload + 8);
        record.mFlags = qFromLittleEndian<UWORD>(payload + 10);
        if (++mRecordCount == kFilterRecordCount) mSyncOutstanding = false;
      }
      break;
    case PACKET_METERS:
      for (int i = 0; i < kMeterCount; ++i) mMeters[std::size_t(i)] = qFromLittleEndian<ULONG>(payload + 4 * i);
      mMeterPending = false;
      mMissCount = 0;
      break;
    case PACKET_STRIP_SYNC:
      for (int i = 0; i < kStripCount; ++i) {
        const UBYTE* at = payload + 6 * i;
        mStrips[std::size_t(i)] = {std::int16_t(qFromLittleEndian<UWORD>(at)),
                                   std::int16_t(qFromLittleEndian<UWORD>(at + 2)),
                                   std::int16_t(qFromLittleEndian<UWORD>(at + 4))};
      }
      mStripsReceived = true;
      mSyncOutstanding = false;
      break;
    case PACKET_DELAY_SYNC:
      for (int i = 0; i < kDelayCount; ++i)
        mDelays[std::size_t(i)] = std::int32_t(qFromLittleEndian<ULONG>(payload + 4 * i));
      mDelaysReceived = true;
      mSyncOutstanding = false;
      break;
    default:  // acknowledgements and types this program does not use
      break;
  }
}
