#pragma once

#include <QJsonObject>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

#include "DevSim/DevicePacket.h"

namespace devsim {

// One JSON object per line, flushed at once so that a reader sees every
// packet even if the simulator is killed:
//   {"t":ms,"dir":"rx"|"tx","type":n,"len":n,"payload":"hex","fields":{...}}
// "rx" is a command the device received, "tx" a reply it sent. Deliberate
// faults add "fault" ("garbage", "oversize") and the hang-up writes
// {"t":ms,"event":"hangup"}.
class cPacketLog {
 public:
  cPacketLog() = default;
  ~cPacketLog();
  cPacketLog(const cPacketLog&) = delete;
  cPacketLog& operator=(const cPacketLog&) = delete;

  bool Open(const std::string& path, std::string& error);
  void Packet(std::int64_t timeMs, bool fromHost, const sDevicePacket& packet);
  // Bytes that are not a packet, or a header whose length is a lie.
  void Fault(std::int64_t timeMs, const char* kind, std::uint32_t statedLength, const std::vector<std::uint8_t>& bytes);
  void Event(std::int64_t timeMs, const char* event);

 private:
  void Write(const QJsonObject& line);

  std::mutex mLock;
  std::FILE* mFile = nullptr;
};

}  // namespace devsim
