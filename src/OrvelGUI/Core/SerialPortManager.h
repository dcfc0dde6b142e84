#pragma once

#include <QByteArray>
#include <QObject>
#include <QSerialPort>
#include <QString>
#include <QStringList>
#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

#include "EWNet/Core/Types.h"
#include "OrvelGUI/Core/SerialPortList.h"
#include "OrvelGUI/Core/SerialReplyAreas.h"
#include "OrvelGUI/Core/SerialReplyParser.h"

// Finds the processor among the serial ports, opens it, writes command
// packets and reads replies into the reply areas. The port belongs to the
// thread the manager lives in (the link's I/O thread): the port methods assert
// it. The reply areas are also read from other threads and have a lock of
// their own.
class cSerialPortManager : public QObject {
  Q_OBJECT
  friend class cSerialInterface;

 public:
  static constexpr int kBaudRate = 921600;
  static constexpr std::size_t kHeaderSize = 8;
  static constexpr std::size_t kTransmitBufferSize = 520;
  static constexpr ULONG kMaxReplyPayload = sSerialReply::kMaxPayload;
  static constexpr int kFilterRecordCount = cSerialReplyAreas::kFilterRecordCount;
  static constexpr int kMeterCount = cSerialReplyAreas::kMeterCount;
  static constexpr int kStripCount = cSerialReplyAreas::kStripCount;
  static constexpr int kDelayCount = cSerialReplyAreas::kDelayCount;
  // Bytes read off the line in one step at most: a line flooded with noise
  // still gives the step back soon.
  static constexpr std::size_t kMaxBytesPerStep = 16384;
  // Port names travel in 8-byte slots: 7 characters and the terminating NUL.
  static constexpr int kPortNameSlotChars = 7;
  // Longest wait for a packet to leave; AbortWrites() ends it early.
  static constexpr int kWriteWaitMs = 5000;

  // Command numbers; a reply carries the number of the command it answers.
  enum ePacketType : UBYTE {
    PACKET_VERSION = 0,
    PACKET_FILTER = 2,
    PACKET_FILTER_SYNC = 3,  // answered by one filter record per reply
    PACKET_METERS = 4,
    PACKET_STRIP = 6,
    PACKET_STRIP_SYNC = 7,
    PACKET_DELAY = 8,
    PACKET_DELAY_SYNC = 9,
    PACKET_DISCONNECT = 15,
  };

  explicit cSerialPortManager(QObject* parent = nullptr);
  ~cSerialPortManager() override;

  void ScanPorts();
  QStringList PortNames() const;
  std::vector<sSerialPortEntry> Ports() const;
  // Opens the accepted port named by `portName` (a name the port list shows,
  // its device path or another path to it), or the first one when the name is
  // empty.
  bool AutoConnectPort(const QString& portName = QString());
  bool IsOpen() const { return mOpen.load(); }
  // Why the last AutoConnectPort failed.
  QSerialPort::SerialPortError OpenError() const { return mOpenError; }
  // The port reported that it is gone (unplugged, hung up).
  bool PortLost() const;

  void WriteToPort(const UBYTE* bytes, qint64 length);
  void WriteToPort(const QByteArray& bytes);
  qint64 ReadFromPort(char* buffer, qint64 length);
  bool ErrorCheck();
  void ClosePort();
  // Reads what has arrived (up to kMaxBytesPerStep) and applies every whole
  // reply in it, in order.
  cSerialReplyAreas::sReplyCounts ProcessReplies();
  // After ProcessReplies: bytes are waiting, so the next step has something
  // to read.
  bool ReplyWaiting() const;
  // A meter request is out and not answered yet: its reply is read on the
  // next step, not half a second later on a supervision beat.
  bool MeterReplyOutstanding() const;
  // Sends one command packet built in the transmit buffer.
  bool SendPacket(UBYTE command, const UBYTE* payload, ULONG length);

  QString VersionText() const;
  // Any thread: a write waiting for a stalled line gives up at once, now and
  // from now on (the link is being shut down).
  void AbortWrites() { mAbortWrites.store(true); }

 private:
  void AssertPortThread() const;
  void WaitUntilWritten();
  int FindPort(const QString& portName) const;

  QSerialPort* mPort;  // owned as a Qt child
  std::vector<sSerialPortEntry> mPorts;
  qint64 mLastWriteResult = 0;
  qint64 mLastReadResult = 0;
  std::atomic<bool> mOpen{false};
  std::atomic<bool> mAbortWrites{false};
  bool mHungUp = false;
  QSerialPort::SerialPortError mOpenError = QSerialPort::NoError;
  std::array<UBYTE, kTransmitBufferSize> mTransmit{};
  cSerialReplyParser mParser;  // port thread

  // Reply areas and the flags the link's supervision works with.
  mutable std::mutex mAreaLock;
  cSerialReplyAreas mAreas;
};
