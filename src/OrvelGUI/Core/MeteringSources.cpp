#include "OrvelGUI/Core/MeteringSources.h"

#include <cmath>

#include "AES-Standards/Convert.h"
#include "EWNet/Core/RegRoutr.h"
#include "OrvelGUI/Core/SerialInterface.h"

cMeteringSources::cMeteringSources(cSerialInterface* serialInterface)
    : cNetObject(kName, 9, true, false), mInterface(serialInterface), mEnabled(true), mLive(false) {
  mLevels.fill(kSilence);
}

cMeteringSources::~cMeteringSources() { Unregister(); }

void cMeteringSources::EntrypointMessage(cEWNetMessage& message) {
  if (message.mMethod != kMethodEnable) {
    cNetObject::EntrypointMessage(message);
    return;
  }
  if (!EWNetPayloadLongEnough(*this, message, 1)) return;
  mEnabled = UBYTEToBool(message.GetUBYTE(0));
}

GAIN cMeteringSources::LevelOfReading(int index, ULONG value) {
  const bool input = index < 2;
  if (value < kQuietestReading) return input ? kQuietInput : kSilence;
  // Single precision, as the device's scale is; the result fits 16 bits for
  // every 32-bit reading (at most about +6 dB).
  const float decibels = 20.0f * std::log10(static_cast<float>(value) * 4.656612873077392578125e-10f) * 256.0f;
  GAIN level = static_cast<GAIN>(static_cast<int>(decibels));
  if (input) level = static_cast<GAIN>(level + kInputOffset);
  return level;
}

void cMeteringSources::ActionTick() {
  // The device is asked for meters on every beat only while something shows
  // them: a level with a link, with metering on.
  if (mInterface != nullptr) mInterface->SetMetersShown(mEnabled && AnyLevelLinked());
  if (!mEnabled) return;
  const auto readings = mInterface != nullptr ? mInterface->GetMeterValues() : std::nullopt;
  if (readings) {
    mLive = true;
    for (int i = 0; i < kLevelCount; ++i) mLevels[std::size_t(i)] = LevelOfReading(i, (*readings)[std::size_t(i)]);
  } else if (mLive) {
    mLevels.fill(kSilence);
    mLive = false;
  }
  for (int i = 0; i < kLevelCount; ++i) {
    SendToInformList(LevelMessage(EW_INVALID_CONNECTION, EW_INVALID_HANDLE, UWORD(kMethodFirstLevel + i), i));
  }
}

bool cMeteringSources::AnyLevelLinked() const {
  for (int i = 0; i < kLevelCount; ++i) {
    const InformList* list = GetInformList(EW_NET_DATA_SCALE(kMethodFirstLevel - PARAMETER_BASE + i));
    if (list != nullptr && !list->empty()) return true;
  }
  return false;
}

cEWNetMessage& cMeteringSources::LevelMessage(UWORD connectionId, EW_NET_DATA_SCALE handle, UWORD method, int index) {
  cEWNetMessage& message = EWNetAddress(mSystemMessage, connectionId, handle, method, 3);
  message.SetUWORD(0, UWORD(mLevels[std::size_t(index)] + kPublishOffset));
  message.SetUBYTE(2, 0);
  return message;
}

void cMeteringSources::UpdateNewObject(UWORD connectionId, EW_NET_DATA_SCALE handle,
                                       EW_NET_DATA_SCALE destinationMethod, EW_NET_DATA_SCALE sourceMethod) {
  if (sourceMethod == kMethodEnable) {
    EWNetSendUBYTE(mSystemMessage, connectionId, handle, destinationMethod, mEnabled ? 1 : 0);
  } else if (sourceMethod >= kMethodFirstLevel && sourceMethod < kMethodFirstLevel + kLevelCount) {
    SendMessage(LevelMessage(connectionId, handle, destinationMethod, sourceMethod - kMethodFirstLevel));
  } else {
    cNetObject::UpdateNewObject(connectionId, handle, destinationMethod, sourceMethod);
  }
}
