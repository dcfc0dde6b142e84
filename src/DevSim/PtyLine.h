#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace devsim {

// The simulator's end of a pseudo-terminal. The program opens the slave path
// as its serial port. The simulator keeps a slave descriptor of its own open
// for as long as the line lives: without it, every close of the port by the
// program would hang the master up (reads fail with EIO) and a reconnect
// would find a dead line.
class cPtyLine {
 public:
  cPtyLine() = default;
  ~cPtyLine();
  cPtyLine(const cPtyLine&) = delete;
  cPtyLine& operator=(const cPtyLine&) = delete;

  // Creates the pair, raw in both directions. False with `error` set on failure.
  bool Open(std::string& error);
  // Closes both ends: the program sees the device vanish.
  void HangUp();
  bool IsOpen() const { return mMaster >= 0; }

  const std::string& SlavePath() const { return mSlavePath; }
  int MasterFd() const { return mMaster; }

  // Non-blocking read of what the program wrote: bytes read, 0 when nothing
  // is waiting, -1 on a real error.
  long Read(std::uint8_t* buffer, std::size_t capacity);
  // Writes zero bytes into the program's side until the line towards the
  // device is full; returns how many went in.
  std::size_t FillTowardsDevice();
  // Writes everything, waiting at most `timeoutMs` for room on the line.
  bool Write(const std::uint8_t* bytes, std::size_t count, int timeoutMs);

 private:
  int mMaster = -1;
  int mSlave = -1;
  std::string mSlavePath;
};

}  // namespace devsim
