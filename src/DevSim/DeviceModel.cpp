#include "DevSim/DeviceModel.h"

#include <QJsonArray>
#include <QString>
#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace devsim {
namespace {

constexpr double kFullScale = 2147483648.0;  // meter and gain full scale, 2^31

struct sPanelLayout {
  int mFirstChannel;
  int mSlotsPerChannel;
  int mFirstRecord;
};
constexpr std::array<sPanelLayout, 3> kPanels{{{0, 4, 0}, {2, 6, 8}, {4, 8, 20}}};

std::int32_t ReadLE32Signed(const std::uint8_t* bytes) { return static_cast<std::int32_t>(ReadLE32(bytes)); }

void AppendLE16Signed(std::vector<std::uint8_t>& out, std::int32_t value) {
  AppendLE16(out, static_cast<std::uint16_t>(static_cast<std::int16_t>(value)));
}

QJsonArray ToJsonArray(const std::vector<double>& values) {
  QJsonArray array;
  for (double v : values) array.append(v);
  return array;
}

// The slot settings a command 2 of kFilterPayload bytes carries after its address.
sSimFilter DecodeFilterCommand(const std::vector<std::uint8_t>& p) {
  sSimFilter f;
  for (std::size_t c = 0; c < f.mCoefficients.size(); ++c) f.mCoefficients[c] = ReadLE32Signed(&p[4 + 4 * c]);
  f.mFrequency = ReadLE16(&p[24]);
  f.mWidth = ReadLE16(&p[26]);
  f.mGain = static_cast<std::int16_t>(ReadLE16(&p[28]));
  f.mType = p[30];
  f.mVariant = p[31];
  f.mFlags = p[32];
  return f;
}

}  // namespace

int FilterRecordIndex(std::uint32_t address) {
  const int channel = static_cast<int>(address & 0xFF);
  const std::uint32_t slot = address >> 8;
  for (const sPanelLayout& panel : kPanels) {
    if (channel == panel.mFirstChannel || channel == panel.mFirstChannel + 1) {
      if (slot >= static_cast<std::uint32_t>(panel.mSlotsPerChannel)) return -1;
      return panel.mFirstRecord + (channel - panel.mFirstChannel) * panel.mSlotsPerChannel + static_cast<int>(slot);
    }
  }
  return -1;
}

cDeviceModel::cDeviceModel(std::uint8_t firmwareMajor, std::uint8_t firmwareMinor)
    : mMajor(firmwareMajor), mMinor(firmwareMinor) {}

std::vector<std::uint8_t> cDeviceModel::EncodeFilterRecord(const sSimFilter& filter) const {
  std::vector<std::uint8_t> out;
  AppendLE16(out, filter.mFrequency);
  AppendLE16(out, filter.mWidth);
  AppendLE16(out, static_cast<std::uint16_t>(filter.mGain));
  AppendLE16(out, filter.mType);
  AppendLE16(out, filter.mVariant);
  AppendLE16(out, filter.mFlags);
  return out;
}

std::array<std::uint32_t, kMeters> cDeviceModel::MeterLevels(double signal) const {
  // A stereo source enters through the two input strips; every output strip
  // carries the mix of both inputs through its own gain.
  auto through = [this](int strip, double level) {
    const sSimStrip& s = mStrips[static_cast<std::size_t>(strip)];
    if (s.mMute != 0) return 0.0;
    return level * std::fabs(static_cast<double>(s.mLinear)) / kFullScale;
  };
  std::array<double, kMeters> linear{};
  linear[0] = through(0, signal);
  linear[1] = through(1, signal);
  const double mix = (linear[0] + linear[1]) / 2.0;
  for (int strip = 2; strip < kMeters; ++strip) linear[static_cast<std::size_t>(strip)] = through(strip, mix);
  std::array<std::uint32_t, kMeters> levels{};
  for (std::size_t i = 0; i < levels.size(); ++i) {
    levels[i] = static_cast<std::uint32_t>(std::min(linear[i], 1.0) * kFullScale);
  }
  return levels;
}

std::vector<sDevicePacket> cDeviceModel::HandleCommand(const sDevicePacket& command) {
  std::vector<sDevicePacket> replies;
  const std::vector<std::uint8_t>& p = command.mPayload;
  switch (command.mType) {
    case CMD_VERSION:
      replies.push_back({CMD_VERSION, {mMajor, mMinor}});
      break;
    case CMD_FILTER:
      if (p.size() == kFilterPayload) {
        const int index = FilterRecordIndex(ReadLE32(&p[0]));
        if (index >= 0) mFilters[static_cast<std::size_t>(index)] = DecodeFilterCommand(p);
      }
      replies.push_back({CMD_FILTER, {}});
      break;
    case CMD_FILTER_SYNC:
      for (const sSimFilter& f : mFilters) replies.push_back({CMD_FILTER_SYNC, EncodeFilterRecord(f)});
      break;
    case CMD_METERS: {
      // A slowly breathing source keeps the meters alive without being random.
      const double signal = 0.5 * (0.85 + 0.15 * std::sin(0.35 * mMeterRequests++));
      sDevicePacket reply{CMD_METERS, {}};
      for (std::uint32_t level : MeterLevels(signal)) AppendLE32(reply.mPayload, level);
      replies.push_back(reply);
      break;
    }
    case CMD_STRIP:
      if (p.size() == kStripPayload && ReadLE32(&p[0]) < static_cast<std::uint32_t>(kStrips)) {
        sSimStrip& s = mStrips[ReadLE32(&p[0])];
        s.mLinear = ReadLE32Signed(&p[4]);
        s.mGainWord = static_cast<std::uint16_t>(ReadLE32(&p[8]));
        s.mPolarity = ReadLE32(&p[12]);
        s.mMute = ReadLE32(&p[16]);
      }
      replies.push_back({CMD_STRIP, {}});
      break;
    case CMD_STRIP_SYNC: {
      sDevicePacket reply{CMD_STRIP_SYNC, {}};
      for (const sSimStrip& s : mStrips) {
        AppendLE16Signed(reply.mPayload, static_cast<std::int32_t>(s.mMute));
        AppendLE16(reply.mPayload, s.mGainWord);
        AppendLE16Signed(reply.mPayload, static_cast<std::int32_t>(s.mPolarity));
      }
      replies.push_back(reply);
      break;
    }
    case CMD_DELAY:
      if (p.size() == kDelayPayload && ReadLE32(&p[0]) < static_cast<std::uint32_t>(kDelays)) {
        mDelays[ReadLE32(&p[0])] = ReadLE32Signed(&p[4]);
      }
      replies.push_back({CMD_DELAY, {}});
      break;
    case CMD_DELAY_SYNC: {
      sDevicePacket reply{CMD_DELAY_SYNC, {}};
      for (std::int32_t d : mDelays) AppendLE32(reply.mPayload, static_cast<std::uint32_t>(d));
      replies.push_back(reply);
      break;
    }
    default:  // the disconnect notice and anything unknown get no answer
      break;
  }
  return replies;
}

QJsonObject DescribePacket(bool fromHost, const sDevicePacket& packet) {
  QJsonObject fields;
  const std::vector<std::uint8_t>& p = packet.mPayload;
  auto le32 = [&p](std::size_t at) { return static_cast<double>(ReadLE32(&p[at])); };
  auto le32s = [&p](std::size_t at) { return static_cast<double>(ReadLE32Signed(&p[at])); };
  auto le16s = [&p](std::size_t at) { return static_cast<double>(static_cast<std::int16_t>(ReadLE16(&p[at]))); };
  if (fromHost) {
    if (packet.mType == CMD_FILTER && p.size() == kFilterPayload) {
      const std::uint32_t address = ReadLE32(&p[0]);
      const sSimFilter f = DecodeFilterCommand(p);
      fields["address"] = static_cast<double>(address);
      fields["channel"] = static_cast<double>(address & 0xFF);
      fields["slot"] = static_cast<double>(address >> 8);
      fields["record"] = FilterRecordIndex(address);
      fields["coefficients"] = ToJsonArray(std::vector<double>(f.mCoefficients.begin(), f.mCoefficients.end()));
      fields["frequency"] = f.mFrequency;
      fields["width"] = f.mWidth;
      fields["gain"] = f.mGain;
      fields["type"] = f.mType;
      fields["variant"] = f.mVariant;
      fields["flags"] = f.mFlags;
    } else if (packet.mType == CMD_STRIP && p.size() == kStripPayload) {
      fields["index"] = le32(0);
      fields["linear"] = le32s(4);
      fields["gainWord"] = le32(8);
      fields["polarity"] = le32(12);
      fields["mute"] = le32(16);
    } else if (packet.mType == CMD_DELAY && p.size() == kDelayPayload) {
      fields["index"] = le32(0);
      fields["samples"] = le32s(4);
    }
    return fields;
  }
  switch (packet.mType) {
    case CMD_VERSION:
      if (p.size() >= 2) fields["version"] = QString("V%1.%2").arg(p[0]).arg(p[1]);
      break;
    case CMD_FILTER_SYNC:
      if (p.size() >= 12) {
        fields["frequency"] = static_cast<double>(ReadLE16(&p[0]));
        fields["width"] = static_cast<double>(ReadLE16(&p[2]));
        fields["gain"] = le16s(4);
        fields["type"] = static_cast<double>(ReadLE16(&p[6]));
        fields["variant"] = static_cast<double>(ReadLE16(&p[8]));
        fields["flags"] = static_cast<double>(ReadLE16(&p[10]));
      }
      break;
    case CMD_METERS:
    case CMD_DELAY_SYNC: {
      // Eight unsigned levels or six signed sample counts.
      const bool meters = packet.mType == CMD_METERS;
      const std::size_t count = meters ? kMeters : kDelays;
      if (p.size() >= 4 * count) {
        std::vector<double> values;
        for (std::size_t i = 0; i < count; ++i) values.push_back(meters ? le32(4 * i) : le32s(4 * i));
        fields[meters ? "levels" : "delays"] = ToJsonArray(values);
      }
      break;
    }
    case CMD_STRIP_SYNC:
      if (p.size() >= 6 * kStrips) {
        QJsonArray strips;
        for (std::size_t i = 0; i < kStrips; ++i) {
          strips.append(ToJsonArray({le16s(6 * i), le16s(6 * i + 2), le16s(6 * i + 4)}));
        }
        fields["strips"] = strips;  // mute, gain word, polarity
      }
      break;
    default:
      break;
  }
  return fields;
}

}  // namespace devsim
