#include "DevSim/PacketLog.h"

#include <QByteArray>
#include <QJsonDocument>
#include <cerrno>
#include <cstring>

#include "DevSim/DeviceModel.h"

namespace devsim {
namespace {

QString Hex(const std::vector<std::uint8_t>& bytes) {
  return QString::fromLatin1(
      QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size())).toHex());
}

}  // namespace

cPacketLog::~cPacketLog() {
  if (mFile != nullptr) std::fclose(mFile);
}

bool cPacketLog::Open(const std::string& path, std::string& error) {
  mFile = std::fopen(path.c_str(), "w");
  if (mFile == nullptr) {
    error = "cannot write " + path + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

void cPacketLog::Packet(std::int64_t timeMs, bool fromHost, const sDevicePacket& packet) {
  QJsonObject line;
  line["t"] = static_cast<double>(timeMs);
  line["dir"] = fromHost ? "rx" : "tx";
  line["type"] = packet.mType;
  line["len"] = static_cast<double>(packet.mPayload.size());
  line["payload"] = Hex(packet.mPayload);
  line["fields"] = DescribePacket(fromHost, packet);
  Write(line);
}

void cPacketLog::Fault(std::int64_t timeMs, const char* kind, std::uint32_t statedLength,
                       const std::vector<std::uint8_t>& bytes) {
  QJsonObject line;
  line["t"] = static_cast<double>(timeMs);
  line["dir"] = "tx";
  line["fault"] = kind;
  line["len"] = static_cast<double>(statedLength);
  line["payload"] = Hex(bytes);
  Write(line);
}

void cPacketLog::Event(std::int64_t timeMs, const char* event) {
  QJsonObject line;
  line["t"] = static_cast<double>(timeMs);
  line["event"] = event;
  Write(line);
}

void cPacketLog::Write(const QJsonObject& line) {
  const QByteArray text = QJsonDocument(line).toJson(QJsonDocument::Compact);
  std::lock_guard<std::mutex> guard(mLock);
  if (mFile == nullptr) return;
  std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), mFile);
  std::fputc('\n', mFile);
  std::fflush(mFile);
}

}  // namespace devsim
