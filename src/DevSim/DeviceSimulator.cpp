#include "DevSim/DeviceSimulator.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>

namespace devsim {
namespace {

// Noise that holds every byte a terminal likes to interpret and near-misses
// of a header, but never a whole header (0xA5 0xA5 0).
constexpr std::array<std::uint8_t, 14> kNoise{0x00, 0xA5, 0x0A, 0x0D, 0xA5, 0xA5, 0x01,
                                              0x11, 0x13, 0x03, 0xFF, 0x1A, 0x7F, 0xA5};
// Stated lengths of the lying headers: just past the largest reply, and far past.
constexpr std::array<std::uint32_t, 3> kBogusLengths{49, 0xFFFFFFFFu, 100000};

std::int64_t SteadyNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

cDeviceSimulator::cDeviceSimulator(sSimulatorOptions options)
    : mOptions(std::move(options)),
      mModel(mOptions.mFirmwareMajor, mOptions.mFirmwareMinor),
      mFaults(mOptions.mFaults) {
  for (const sDevicePacket& command : mOptions.mInitialCommands) mModel.HandleCommand(command);
}

cDeviceSimulator::~cDeviceSimulator() { Stop(); }

bool cDeviceSimulator::Start(std::string& error) {
  if (mThread.joinable()) return true;
  mStartNs = SteadyNs();
  if (!mOptions.mLogPath.empty()) {
    mLog = std::make_unique<cPacketLog>();
    if (!mLog->Open(mOptions.mLogPath, error)) return false;
  }
  if (!mLine.Open(error)) return false;
  if (!mOptions.mLinkPath.empty()) {
    struct stat st {};
    // Only a stale link of an earlier run is replaced, never a real file.
    if (::lstat(mOptions.mLinkPath.c_str(), &st) == 0) {
      if (!S_ISLNK(st.st_mode)) {
        error = mOptions.mLinkPath + " exists and is not a symbolic link";
        mLine.HangUp();
        return false;
      }
      ::unlink(mOptions.mLinkPath.c_str());
    }
    if (::symlink(mLine.SlavePath().c_str(), mOptions.mLinkPath.c_str()) != 0) {
      error = "symlink " + mOptions.mLinkPath + ": " + std::strerror(errno);
      mLine.HangUp();
      return false;
    }
    mLinkMade = true;
  }
  if (::pipe2(mWakePipe, O_NONBLOCK | O_CLOEXEC) != 0) {
    error = std::string("pipe: ") + std::strerror(errno);
    mLine.HangUp();
    return false;
  }
  mStop = false;
  mThread = std::thread([this] { Run(); });
  return true;
}

void cDeviceSimulator::Stop() {
  if (mThread.joinable()) {
    mStop = true;
    Wake();
    mThread.join();
  }
  for (int& fd : mWakePipe) {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
  mLine.HangUp();
  if (mLinkMade) {
    // Remove the link only while it still names our line.
    char target[4096];
    const ssize_t n = ::readlink(mOptions.mLinkPath.c_str(), target, sizeof target - 1);
    if (n > 0 && std::string(target, static_cast<std::size_t>(n)) == mLine.SlavePath()) {
      ::unlink(mOptions.mLinkPath.c_str());
    }
    mLinkMade = false;
  }
}

std::string cDeviceSimulator::DevicePath() const {
  return mOptions.mLinkPath.empty() ? mLine.SlavePath() : mOptions.mLinkPath;
}

bool cDeviceSimulator::WaitForHangUp(int timeoutMs) const {
  std::unique_lock<std::mutex> lock(mLock);
  return mChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return mHungUp.load(); });
}

void cDeviceSimulator::SetFaults(const sFaultModes& faults) {
  {
    std::lock_guard<std::mutex> guard(mLock);
    mFaults = faults;
  }
  Wake();  // a stalled reader looks at the line again at once
}

std::size_t cDeviceSimulator::FillLine() { return mLine.FillTowardsDevice(); }

void cDeviceSimulator::Inject(const std::vector<std::uint8_t>& bytes) {
  {
    std::lock_guard<std::mutex> guard(mLock);
    mInjected.insert(mInjected.end(), bytes.begin(), bytes.end());
  }
  Wake();
}

std::vector<sWirePacket> cDeviceSimulator::Received() const {
  std::lock_guard<std::mutex> guard(mLock);
  return mReceived;
}

std::size_t cDeviceSimulator::ReceivedCount() const {
  std::lock_guard<std::mutex> guard(mLock);
  return mReceived.size();
}

bool cDeviceSimulator::WaitForReceived(std::size_t count, int timeoutMs) const {
  std::unique_lock<std::mutex> lock(mLock);
  return mChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return mReceived.size() >= count; });
}

bool cDeviceSimulator::WaitForAnswered(int timeoutMs) const {
  std::unique_lock<std::mutex> lock(mLock);
  return mChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return mAnsweredCount >= mPacketCount; });
}

void cDeviceSimulator::ClearReceived() {
  std::lock_guard<std::mutex> guard(mLock);
  mReceived.clear();
}

std::size_t cDeviceSimulator::DiscardedBytes() const {
  std::lock_guard<std::mutex> guard(mLock);
  return mParser.DiscardedBytes();
}

cDeviceModel cDeviceSimulator::Model() const {
  std::lock_guard<std::mutex> guard(mLock);
  return mModel;
}

std::int64_t cDeviceSimulator::NowMs() const { return (SteadyNs() - mStartNs) / 1000000; }

void cDeviceSimulator::Wake() {
  if (mWakePipe[1] >= 0) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t ignored = ::write(mWakePipe[1], &byte, 1);
  }
}

void cDeviceSimulator::Run() {
  std::array<std::uint8_t, 4096> buffer{};
  while (!mStop.load() && mLine.IsOpen()) {
    bool stalled = false;
    {
      std::lock_guard<std::mutex> guard(mLock);
      stalled = mFaults.mStallReading;
    }
    pollfd fds[2] = {{mLine.MasterFd(), short(stalled ? 0 : POLLIN), 0}, {mWakePipe[0], POLLIN, 0}};
    const int ready = ::poll(fds, 2, 100);
    if (ready < 0 && errno != EINTR) break;
    if (fds[1].revents & POLLIN) {
      while (::read(mWakePipe[0], buffer.data(), buffer.size()) > 0) {
      }
    }
    std::vector<std::uint8_t> injected;
    sFaultModes faults;
    {
      std::lock_guard<std::mutex> guard(mLock);
      injected.swap(mInjected);
      faults = mFaults;
    }
    if (!injected.empty()) Send(injected, sFaultModes{});
    if (faults.mStallReading) {
      if (fds[0].revents & (POLLHUP | POLLERR)) std::this_thread::sleep_for(std::chrono::milliseconds(10));
      continue;
    }

    const long n = mLine.Read(buffer.data(), buffer.size());
    if (n < 0) break;
    if (n == 0) {
      // A hang-up of the program side shows as POLLHUP without data; do not
      // spin on it.
      if (fds[0].revents & (POLLHUP | POLLERR)) std::this_thread::sleep_for(std::chrono::milliseconds(10));
      continue;
    }
    std::vector<sDevicePacket> packets;
    {
      std::lock_guard<std::mutex> guard(mLock);
      mParser.Feed(buffer.data(), static_cast<std::size_t>(n));
      sDevicePacket packet;
      while (mParser.Next(packet)) packets.push_back(packet);
    }
    for (const sDevicePacket& packet : packets) {
      if (mLog) mLog->Packet(NowMs(), true, packet);
      HandlePacket(packet, faults);
      if (!mLine.IsOpen()) break;
    }
  }
}

void cDeviceSimulator::HandlePacket(const sDevicePacket& packet, const sFaultModes& faults) {
  std::vector<sDevicePacket> replies;
  {
    // Recorded together with its effect, so whoever sees the packet in the
    // record also sees the state it left.
    std::lock_guard<std::mutex> guard(mLock);
    replies = mModel.HandleCommand(packet);
    mReceived.push_back({NowMs(), packet.mType, EncodePacket(packet.mType, packet.mPayload)});
    ++mPacketCount;
  }
  mChanged.notify_all();
  Answer(replies, faults);
  {
    std::lock_guard<std::mutex> guard(mLock);
    ++mAnsweredCount;
  }
  mChanged.notify_all();
}

void cDeviceSimulator::Answer(std::vector<sDevicePacket>& replies, const sFaultModes& faults) {
  const bool hangUp = faults.mHangUpAfter > 0 && mPacketCount >= static_cast<std::size_t>(faults.mHangUpAfter);
  if (hangUp) {
    // Cut the answer off in the middle, as a device that is unplugged would.
    if (!replies.empty()) {
      std::vector<std::uint8_t> bytes = EncodePacket(replies.front().mType, replies.front().mPayload);
      bytes.resize(bytes.size() / 2);
      Send(bytes, faults);
    }
    mLine.HangUp();
    if (mLog) mLog->Event(NowMs(), "hangup");
    {
      std::lock_guard<std::mutex> guard(mLock);
      mHungUp = true;
    }
    mChanged.notify_all();
    return;
  }
  if (faults.mNoReply) return;
  if (faults.mSilentAfter > 0 && mPacketCount > static_cast<std::size_t>(faults.mSilentAfter)) return;
  if (faults.mImplausibleRecords) SpoilRecords(replies);
  for (const sDevicePacket& reply : replies) SendReply(reply, faults);
}

void cDeviceSimulator::SpoilRecords(std::vector<sDevicePacket>& replies) {
  int record = 0;
  for (sDevicePacket& reply : replies) {
    if (reply.mType == CMD_FILTER_SYNC && reply.mPayload.size() >= 12) {
      // Bit 8 of the flags word means nothing on any slot.
      if (record++ == kSpoiltFilterRecord) reply.mPayload[11] |= 0x01;
    } else if (reply.mType == CMD_STRIP_SYNC && reply.mPayload.size() >= 6 * kStrips) {
      // Gain word +80 dB, far above the strips' +12.04 dB.
      const std::uint16_t gain = 80 * 256;
      reply.mPayload[6 * kSpoiltStrip + 2] = static_cast<std::uint8_t>(gain & 0xFF);
      reply.mPayload[6 * kSpoiltStrip + 3] = static_cast<std::uint8_t>(gain >> 8);
    }
  }
}

void cDeviceSimulator::SendReply(const sDevicePacket& reply, const sFaultModes& faults) {
  const std::uint32_t round = mNoiseCounter++;
  if (faults.mUnknownTypes) {
    for (const sDevicePacket& stray : {sDevicePacket{5, {1, 2, 3, 4}}, sDevicePacket{10, {}}}) {
      if (mLog) mLog->Packet(NowMs(), false, stray);
      Send(EncodePacket(stray.mType, stray.mPayload), faults);
    }
  }
  if (faults.mGarbage) {
    const std::vector<std::uint8_t> noise(kNoise.begin(), kNoise.begin() + 3 + round % (kNoise.size() - 2));
    if (mLog) mLog->Fault(NowMs(), "garbage", static_cast<std::uint32_t>(noise.size()), noise);
    Send(noise, faults);
  }
  if (faults.mOversize) {
    const std::uint32_t length = kBogusLengths[round % kBogusLengths.size()];
    std::vector<std::uint8_t> bogus = EncodeHeader(reply.mType, length);
    const std::vector<std::uint8_t> tail{0x01, 0x02, 0x03, 0x04, 0x05, 0x06};
    bogus.insert(bogus.end(), tail.begin(), tail.end());
    if (mLog) mLog->Fault(NowMs(), "oversize", length, tail);
    Send(bogus, faults);
  }
  if (mLog) mLog->Packet(NowMs(), false, reply);
  Send(EncodePacket(reply.mType, reply.mPayload), faults);
}

bool cDeviceSimulator::Send(const std::vector<std::uint8_t>& bytes, const sFaultModes& faults) {
  if (!faults.mSplitBytes) return mLine.Write(bytes.data(), bytes.size(), 1000);
  for (std::uint8_t byte : bytes) {
    if (mStop.load() || !mLine.Write(&byte, 1, 1000)) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(faults.mSplitPauseMs));
  }
  return true;
}

}  // namespace devsim
