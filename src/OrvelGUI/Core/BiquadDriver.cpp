#include "OrvelGUI/Core/BiquadDriver.h"

#include "EWNet/Core/ErrLog.h"
#include "OrvelGUI/Core/SerialInterface.h"

namespace {

struct sPanelRecords {
  int mFirstRecord;
  int mSlotsPerChannel;
};

// The device's sync records by channel base: Low, Mid, High.
sPanelRecords PanelRecordsOf(UBYTE base) {
  switch (base) {
    case 0:
    case 1:
      return {0, 4};
    case 2:
    case 3:
      return {8, 6};
    case 4:
    case 5:
      return {20, 8};
    default:
      EW_REPORT_ERROR("Unhandled mBase");
      return {0, 4};
  }
}

}  // namespace

cBiquadDriver::cBiquadDriver(cSerialInterface* serialInterface, UBYTE base, UBYTE slotOffset, UBYTE biquadCount,
                             std::int32_t identity)
    : mInterface(serialInterface),
      mBase(base),
      mSlotOffset(slotOffset),
      mBiquadCount(biquadCount),
      mIdentity(identity),
      mBuffers(biquadCount),
      mBypass(false) {}

ULONG cBiquadDriver::DeviceAddress(UBYTE index, UBYTE channelOffset) const {
  return (ULONG(mSlotOffset + index) << 8) | ULONG(mBase + channelOffset);
}

biquad::tQuantised cBiquadDriver::DeviceBuffer(UBYTE index) const {
  return index < mBuffers.size() ? mBuffers[index] : biquad::tQuantised{};
}

const std::int32_t* cBiquadDriver::FillDeviceBuffer(UBYTE index, const biquad::tQuantised& stored) {
  if (index >= mBuffers.size()) {
    EW_REPORT_ERROR("Biquad %d of %d does not exist", int(index), int(mBuffers.size()));
    return nullptr;
  }
  mBuffers[index] = mBypass ? biquad::tQuantised{mIdentity, 0, 0, 0, 0} : biquad::WireOrder(stored);
  return mBuffers[index].data();
}

int cBiquadDriver::SyncRecordIndex(ULONG address) {
  const UBYTE base = UBYTE(address & 0xFF);
  const ULONG slot = address >> 8;
  if (base > 5) return -1;
  const sPanelRecords panel = PanelRecordsOf(base);
  if (slot >= ULONG(panel.mSlotsPerChannel)) return -1;
  return panel.mFirstRecord + (base & 1) * panel.mSlotsPerChannel + int(slot);
}

std::optional<sFilter> cBiquadDriver::SyncRecord(UBYTE channel, UBYTE slot) const {
  const auto records = mInterface != nullptr ? mInterface->GetSyncFilters() : std::nullopt;
  if (!records) return std::nullopt;
  const sPanelRecords panel = PanelRecordsOf(mBase);
  const int index = panel.mFirstRecord + channel * panel.mSlotsPerChannel + slot;
  if (index < 0 || index >= cSerialPortManager::kFilterRecordCount) return std::nullopt;
  return (*records)[std::size_t(index)];
}
