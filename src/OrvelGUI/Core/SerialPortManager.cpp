#include "OrvelGUI/Core/SerialPortManager.h"

#include <QElapsedTimer>
#include <QFileInfo>
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
// Bytes taken from the port at a time.
constexpr std::size_t kReadChunk = 1024;

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

std::vector<sSerialPortEntry> cSerialPortManager::Ports() const {
  std::lock_guard<std::mutex> guard(mAreaLock);
  return mPorts;
}

int cSerialPortManager::FindPort(const QString& portName) const {
  if (mPorts.empty()) return -1;
  if (portName.isEmpty()) return 0;
  // The device path, which is never cut and never shared.
  for (std::size_t i = 0; i < mPorts.size(); ++i) {
    if (mPorts[i].mSystemLocation == portName) return int(i);
  }
  // Another path to a listed device (a link, a path with "..").
  if (portName.contains(QLatin1Char('/'))) {
    const QString device = QFileInfo(portName).canonicalFilePath();
    for (std::size_t i = 0; !device.isEmpty() && i < mPorts.size(); ++i) {
      if (QFileInfo(mPorts[i].mSystemLocation).canonicalFilePath() == device) return int(i);
    }
    return -1;
  }
  // A name as the port list shows it. The list in 8-byte slots reaches peers
  // with every name cut to 7 characters, so such a name may stand for a
  // longer one, and then it may also be another port's full name ("ttyACM1"
  // for ttyACM10 and ttyACM1). A name is accepted only when it can mean
  // exactly one port: opening the wrong device is worse than none.
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
  mParser.Clear();
  {
    // Whatever a previous session left behind belongs to another device.
    std::lock_guard<std::mutex> guard(mAreaLock);
    mAreas.ResetSession();
  }
  mOpen = true;
  return true;
}

bool cSerialPortManager::PortLost() const { return mHungUp || mPort->error() == QSerialPort::ResourceError; }

void cSerialPortManager::WaitUntilWritten() {
  QElapsedTimer waited;
  waited.start();
  while (mPort->bytesToWrite() > 0 && !mAbortWrites.load() && waited.elapsed() < kWriteWaitMs) {
    if (mPort->waitForBytesWritten(kWriteSliceMs)) continue;
    const QSerialPort::SerialPortError error = mPort->error();
    if (error == QSerialPort::TimeoutError) {
      mPort->clearError();
    } else if (error != QSerialPort::NoError) {
      return;  // nothing more will leave: the link sees the error
    }
    // A line that was hung up takes nothing any more; waiting the whole
    // time for it would hide the loss.
    if (LineHungUp(*mPort)) {
      mHungUp = true;
      return;
    }
  }
}

void cSerialPortManager::WriteToPort(const UBYTE* bytes, qint64 length) {
  AssertPortThread();
  if (!mPort->isOpen() || PortLost()) return;
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
  if (!mPort->isOpen() || PortLost()) return;
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
  mParser.Clear();
  std::lock_guard<std::mutex> guard(mAreaLock);
  mAreas.ResetSession();
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
  return mAreas.mVersion;
}

cSerialReplyAreas::sReplyCounts cSerialPortManager::ProcessReplies() {
  AssertPortThread();
  cSerialReplyAreas::sReplyCounts counts;
  if (!mPort->isOpen()) return counts;
  // Without an event loop in this thread nothing moves bytes from the line
  // into the port's buffer; a zero wait does it without blocking.
  if (!mPort->waitForReadyRead(0)) {
    if (mPort->error() == QSerialPort::TimeoutError) mPort->clearError();
    if (mPort->bytesAvailable() == 0 && LineHungUp(*mPort)) mHungUp = true;
  }
  std::array<UBYTE, kReadChunk> chunk{};
  std::size_t budget = kMaxBytesPerStep;
  while (budget > 0 && mPort->bytesAvailable() > 0) {
    const qint64 wanted = std::min<qint64>({qint64(chunk.size()), qint64(budget), mPort->bytesAvailable()});
    const qint64 got = ReadFromPort(reinterpret_cast<char*>(chunk.data()), wanted);
    if (got <= 0) break;
    budget -= std::size_t(got);
    std::lock_guard<std::mutex> guard(mAreaLock);
    counts.Add(mAreas.ReadAll(mParser, chunk.data(), std::size_t(got)));
    // The line may have more by now: a busy device keeps talking.
    if (mPort->bytesAvailable() == 0) mPort->waitForReadyRead(0);
  }
  if (mPort->error() == QSerialPort::TimeoutError) mPort->clearError();
  return counts;
}

bool cSerialPortManager::ReplyWaiting() const {
  AssertPortThread();
  // A header without all of its payload yet: the rest is on its way.
  return mPort->isOpen() && (mPort->bytesAvailable() > 0 || mParser.Buffered() >= cSerialReplyParser::kHeaderSize);
}

bool cSerialPortManager::MeterReplyOutstanding() const {
  std::lock_guard<std::mutex> area(mAreaLock);
  return mAreas.mMeterPending;
}
