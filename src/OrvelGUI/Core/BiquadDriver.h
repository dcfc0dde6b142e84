#pragma once

#include <optional>
#include <vector>

#include "EWNet/Core/audiodrv.h"
#include "OrvelGUI/Core/BiquadDesign.h"
#include "OrvelGUI/Core/SerialPortManager.h"

class cSerialInterface;

// What the filter drivers share: where their biquads sit in the device's
// filter chains, one device buffer per biquad and the bypass copy.
class cBiquadDriver : public cAudioDriver {
 public:
  // `base` is the channel base, `slotOffset` the first slot of the unit in
  // that channel's chain; `identity` is b0 of the identity section of the
  // unit's scale.
  cBiquadDriver(cSerialInterface* serialInterface, UBYTE base, UBYTE slotOffset, UBYTE biquadCount,
                std::int32_t identity);

  void SetBypass(bool bypass) { mBypass = bypass; }
  bool GetBypass() const { return mBypass; }
  UBYTE GetBase() const { return mBase; }
  UBYTE GetSlotOffset() const { return mSlotOffset; }
  UBYTE GetBiquadCount() const { return mBiquadCount; }
  // ((slot offset + index) << 8) | (base + channel offset)
  ULONG DeviceAddress(UBYTE index, UBYTE channelOffset = 0) const;
  // Index of the device's sync record of a filter address; -1 when the
  // address names no slot of the device.
  static int SyncRecordIndex(ULONG address);
  // What was last queued for biquad `index`, in wire order.
  biquad::tQuantised DeviceBuffer(UBYTE index) const;

 protected:
  // Fills buffer `index`: the identity section while bypassed, otherwise the
  // stored coefficients in wire order. Null for an index out of range.
  const std::int32_t* FillDeviceBuffer(UBYTE index, const biquad::tQuantised& stored);
  // The device's sync record of `slot` on channel `channel` (0 left, 1 right)
  // of this driver's panel; none while the sync data is incomplete.
  std::optional<sFilter> SyncRecord(UBYTE channel, UBYTE slot) const;

  cSerialInterface* mInterface;
  UBYTE mBase;
  UBYTE mSlotOffset;
  UBYTE mBiquadCount;
  std::int32_t mIdentity;
  std::vector<biquad::tQuantised> mBuffers;
  bool mBypass;
};
