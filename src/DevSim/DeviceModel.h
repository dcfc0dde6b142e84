#pragma once

#include <QJsonObject>
#include <array>
#include <cstdint>
#include <vector>

#include "DevSim/DevicePacket.h"

namespace devsim {

// What the processor remembers of the settings it was sent, and how it
// answers. No I/O here: the line and the fault modes are the simulator's.

enum eDeviceCommand : std::uint8_t {
  CMD_VERSION = 0,
  CMD_FILTER = 2,
  CMD_FILTER_SYNC = 3,
  CMD_METERS = 4,
  CMD_STRIP = 6,
  CMD_STRIP_SYNC = 7,
  CMD_DELAY = 8,
  CMD_DELAY_SYNC = 9,
  CMD_DISCONNECT = 15,
};

constexpr int kFilterRecords = 36;
constexpr int kStrips = 8;
constexpr int kDelays = 6;
constexpr int kMeters = 8;
constexpr std::size_t kFilterPayload = 33;
constexpr std::size_t kStripPayload = 20;
constexpr std::size_t kDelayPayload = 8;

struct sSimFilter {
  std::uint16_t mFrequency = 0;
  std::uint16_t mWidth = 0;
  std::int16_t mGain = 0;
  std::uint16_t mType = 0;
  std::uint16_t mVariant = 0;
  std::uint16_t mFlags = 0;
  std::array<std::int32_t, 5> mCoefficients{};
};

struct sSimStrip {
  std::int32_t mLinear = 0;
  std::uint16_t mGainWord = 0;
  std::uint32_t mPolarity = 0;
  std::uint32_t mMute = 0;
};

// Record index of a filter address ((slot << 8) | channel base), or -1 when
// the address names no slot of the processor. Low outputs use channels 0/1
// with 4 slots each, Mid 2/3 with 6, High 4/5 with 8, records in that order.
int FilterRecordIndex(std::uint32_t address);

class cDeviceModel {
 public:
  cDeviceModel(std::uint8_t firmwareMajor, std::uint8_t firmwareMinor);

  // The replies to one command, in the order they go on the line.
  std::vector<sDevicePacket> HandleCommand(const sDevicePacket& command);

  const std::array<sSimFilter, kFilterRecords>& Filters() const { return mFilters; }
  const std::array<sSimStrip, kStrips>& Strips() const { return mStrips; }
  const std::array<std::int32_t, kDelays>& Delays() const { return mDelays; }
  // The levels the next meter reply would carry if the signal stood still.
  std::array<std::uint32_t, kMeters> MeterLevels(double signal) const;

 private:
  std::vector<std::uint8_t> EncodeFilterRecord(const sSimFilter& filter) const;

  std::uint8_t mMajor;
  std::uint8_t mMinor;
  std::array<sSimFilter, kFilterRecords> mFilters{};
  std::array<sSimStrip, kStrips> mStrips{};
  std::array<std::int32_t, kDelays> mDelays{};
  std::uint32_t mMeterRequests = 0;
};

// The decoded fields of a packet for the JSON log; `fromHost` tells commands
// from replies.
QJsonObject DescribePacket(bool fromHost, const sDevicePacket& packet);

}  // namespace devsim
