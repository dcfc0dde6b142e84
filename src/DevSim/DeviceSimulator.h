#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "DevSim/DeviceModel.h"
#include "DevSim/PacketLog.h"
#include "DevSim/PtyLine.h"

namespace devsim {

// Ways in which the simulated processor misbehaves on purpose.
struct sFaultModes {
  bool mNoReply = false;       // reads everything, answers nothing
  bool mSplitBytes = false;    // every reply byte is written on its own
  bool mGarbage = false;       // noise bytes before every reply
  bool mOversize = false;      // a header with an impossible length before every reply
  bool mUnknownTypes = false;  // replies of types 5 and 10 before every reply
  int mHangUpAfter = 0;        // >0: the reply to packet N is cut short and the line closed
  int mSplitPauseMs = 1;       // pause between single bytes
  bool mStallReading = false;  // reads nothing: what the program writes waits on the line
  int mSilentAfter = 0;        // >0: packets after the Nth are read and applied but not answered
  // The read-back reports what no processor could hold: an unknown flag bit
  // in the record of the Mid panel's first left slot and +80 dB on the
  // first strip. Everything else is reported as held.
  bool mImplausibleRecords = false;
};

// The record of the Mid panel's first left slot and the strip that
// mImplausibleRecords spoils.
constexpr int kSpoiltFilterRecord = 8;
constexpr int kSpoiltStrip = 0;

struct sSimulatorOptions {
  std::uint8_t mFirmwareMajor = 1;
  std::uint8_t mFirmwareMinor = 4;
  std::string mLinkPath;  // optional symbolic link to the device path
  std::string mLogPath;   // optional JSON-lines packet log
  sFaultModes mFaults;
  // Commands the processor holds from before it was started (a powered
  // processor that was set up earlier): applied to the model at
  // construction, not logged, not answered, not counted as received.
  std::vector<sDevicePacket> mInitialCommands{};
};

// A packet as it crossed the line, header included.
struct sWirePacket {
  std::int64_t mTimeMs = 0;
  std::uint8_t mType = 0;
  std::vector<std::uint8_t> mBytes;
};

// The processor on a pseudo-terminal, served by a thread of its own, so that
// it runs alike inside a test and as the orvel-devsim program.
class cDeviceSimulator {
 public:
  explicit cDeviceSimulator(sSimulatorOptions options = {});
  ~cDeviceSimulator();
  cDeviceSimulator(const cDeviceSimulator&) = delete;
  cDeviceSimulator& operator=(const cDeviceSimulator&) = delete;

  bool Start(std::string& error);
  void Stop();

  // The path the program opens: the link when one was asked for.
  std::string DevicePath() const;
  const std::string& SlavePath() const { return mLine.SlavePath(); }
  bool HasHungUp() const { return mHungUp.load(); }
  bool WaitForHangUp(int timeoutMs) const;

  void SetFaults(const sFaultModes& faults);
  // Bytes written to the program as they are, between replies.
  void Inject(const std::vector<std::uint8_t>& bytes);
  // Fills the line towards the device with zero bytes (which form no packet)
  // until it takes no more, so that, while reading stalls, the program's next
  // write has to wait. Returns the bytes put on the line.
  std::size_t FillLine();

  // Commands received from the program, in order.
  std::vector<sWirePacket> Received() const;
  std::size_t ReceivedCount() const;
  bool WaitForReceived(std::size_t count, int timeoutMs) const;
  void ClearReceived();
  // Every command received so far has been answered (or, in a fault mode,
  // left unanswered on purpose): its replies are on the line.
  bool WaitForAnswered(int timeoutMs) const;
  // Bytes from the program that belonged to no packet.
  std::size_t DiscardedBytes() const;
  cDeviceModel Model() const;

 private:
  void Run();
  // The read-back answers as mImplausibleRecords spoils them.
  static void SpoilRecords(std::vector<sDevicePacket>& replies);
  void HandlePacket(const sDevicePacket& packet, const sFaultModes& faults);
  void Answer(std::vector<sDevicePacket>& replies, const sFaultModes& faults);
  // False once the line is gone.
  bool Send(const std::vector<std::uint8_t>& bytes, const sFaultModes& faults);
  void SendReply(const sDevicePacket& reply, const sFaultModes& faults);
  void Wake();
  std::int64_t NowMs() const;

  sSimulatorOptions mOptions;
  cPtyLine mLine;
  std::unique_ptr<cPacketLog> mLog;
  std::thread mThread;
  int mWakePipe[2] = {-1, -1};
  std::atomic<bool> mStop{false};
  std::atomic<bool> mHungUp{false};
  bool mLinkMade = false;
  std::int64_t mStartNs = 0;

  mutable std::mutex mLock;
  mutable std::condition_variable mChanged;
  cDeviceModel mModel;
  cPacketParser mParser;
  sFaultModes mFaults;
  std::vector<std::uint8_t> mInjected;
  std::vector<sWirePacket> mReceived;
  std::size_t mPacketCount = 0;
  std::size_t mAnsweredCount = 0;
  std::uint32_t mNoiseCounter = 0;
};

}  // namespace devsim
