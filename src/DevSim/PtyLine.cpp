#include "DevSim/PtyLine.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>

namespace devsim {
namespace {

bool MakeRaw(int fd) {
  termios tio{};
  if (::tcgetattr(fd, &tio) != 0) return false;
  ::cfmakeraw(&tio);
  tio.c_cflag |= CLOCAL | CREAD;
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
  return ::tcsetattr(fd, TCSANOW, &tio) == 0;
}

}  // namespace

cPtyLine::~cPtyLine() { HangUp(); }

bool cPtyLine::Open(std::string& error) {
  HangUp();
  // Neither end goes to programs this process starts: a child holding a copy
  // of the master would keep the line alive through a hang-up.
  mMaster = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (mMaster < 0) {
    error = std::string("posix_openpt: ") + std::strerror(errno);
    return false;
  }
  const char* name = nullptr;
  if (::grantpt(mMaster) != 0 || ::unlockpt(mMaster) != 0 || (name = ::ptsname(mMaster)) == nullptr) {
    error = std::string("pseudo-terminal set-up: ") + std::strerror(errno);
    HangUp();
    return false;
  }
  mSlavePath = name;
  mSlave = ::open(mSlavePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (mSlave < 0) {
    error = "open " + mSlavePath + ": " + std::strerror(errno);
    HangUp();
    return false;
  }
  // Raw on the slave: no CR/LF mapping, no XON/XOFF, no signal characters,
  // no echo, so every byte passes unchanged in both directions.
  if (!MakeRaw(mSlave)) {
    error = std::string("raw mode: ") + std::strerror(errno);
    HangUp();
    return false;
  }
  const int flags = ::fcntl(mMaster, F_GETFL);
  if (flags < 0 || ::fcntl(mMaster, F_SETFL, flags | O_NONBLOCK) != 0) {
    error = std::string("non-blocking master: ") + std::strerror(errno);
    HangUp();
    return false;
  }
  return true;
}

void cPtyLine::HangUp() {
  if (mSlave >= 0) ::close(mSlave);
  if (mMaster >= 0) ::close(mMaster);
  mSlave = -1;
  mMaster = -1;
}

long cPtyLine::Read(std::uint8_t* buffer, std::size_t capacity) {
  if (mMaster < 0) return -1;
  const ssize_t n = ::read(mMaster, buffer, capacity);
  if (n >= 0) return static_cast<long>(n);
  // EIO only appears while no slave descriptor is open, which our own one
  // prevents; treat it like EAGAIN rather than as the end of the line.
  if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR || errno == EIO) return 0;
  return -1;
}

std::size_t cPtyLine::FillTowardsDevice() {
  if (mSlave < 0) return 0;
  // Our own slave descriptor is non-blocking: it stops where the line is full.
  const std::uint8_t zeros[512] = {};
  std::size_t total = 0;
  for (;;) {
    const ssize_t n = ::write(mSlave, zeros, sizeof zeros);
    if (n <= 0) break;
    total += static_cast<std::size_t>(n);
  }
  return total;
}

bool cPtyLine::Write(const std::uint8_t* bytes, std::size_t count, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  std::size_t done = 0;
  while (done < count) {
    if (mMaster < 0) return false;
    const ssize_t n = ::write(mMaster, bytes + done, count - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) return false;
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd pfd{mMaster, POLLOUT, 0};
    ::poll(&pfd, 1, static_cast<int>(left.count()));
  }
  return true;
}

}  // namespace devsim
