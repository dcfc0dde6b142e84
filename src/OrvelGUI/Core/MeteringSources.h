#pragma once

#include <array>

#include "EWNet/Core/NetObjct.h"

class cSerialInterface;

// Publishes the device's eight meter readings as levels in 1/256 dB, every
// tick, on parameters 4097..4104 (3 bytes: level + 4608, then a 0 byte).
// 4096 switches metering on and off. It only reads the last meter snapshot
// of the link; asking the device for meters is the link's business, which
// it tells on every tick whether anything shows them.
class cMeteringSources : public cNetObject {
 public:
  static constexpr const char* kName = "Metering Sources NetObject";
  static constexpr int kLevelCount = 8;
  static constexpr UWORD kMethodEnable = PARAMETER_BASE + 0;
  static constexpr UWORD kMethodFirstLevel = PARAMETER_BASE + 1;
  static constexpr GAIN kSilence = -32767;
  // Readings below this are silence: -29685 on the inputs, -32767 elsewhere.
  static constexpr ULONG kQuietestReading = 34036;
  static constexpr GAIN kQuietInput = -29685;
  // Inputs read relative to the faders' full scale (+12.04 dB).
  static constexpr GAIN kInputOffset = 3082;
  static constexpr UWORD kPublishOffset = 4608;

  explicit cMeteringSources(cSerialInterface* serialInterface);
  ~cMeteringSources() override;

  void EntrypointMessage(cEWNetMessage& message) override;
  // A newly linked object gets the enable flag or the level as published.
  void UpdateNewObject(UWORD connectionId, EW_NET_DATA_SCALE handle, EW_NET_DATA_SCALE destinationMethod,
                       EW_NET_DATA_SCALE sourceMethod) override;
  // Dispatch thread.
  void ActionTick() override;

  // Level in 1/256 dB of reading `value` of meter `index`.
  static GAIN LevelOfReading(int index, ULONG value);

  bool IsEnabled() const { return mEnabled; }
  bool IsLive() const { return mLive; }
  GAIN GetLevel(int index) const { return index >= 0 && index < kLevelCount ? mLevels[std::size_t(index)] : kSilence; }

 private:
  bool AnyLevelLinked() const;
  // The 3-byte published form of a level, in mSystemMessage.
  cEWNetMessage& LevelMessage(UWORD connectionId, EW_NET_DATA_SCALE handle, UWORD method, int index);

  cSerialInterface* mInterface;
  bool mEnabled;
  bool mLive;
  std::array<GAIN, kLevelCount> mLevels;
};
