#pragma once

#include "EWNet/Core/NetObjct.h"
#include "OrvelGUI/QtGUIComponents/PEQDriver.h"
#include "QtGUIComponents/EWNetDrivers/SignalSlotDrivers/LinkedSourceGuard.h"

// The graph driver's net object: 7 x N + 3 parameters for N bands.
//   4096 fully bypassed (1 byte), 4097 band pass (1 byte),
//   4098 band-pass frequency (UWORD),
//   per band b: 4099+b gain (offset form), 4099+N+b frequency,
//   4099+2N+b width, 4099+3N+b type (1 byte), 4099+4N+b Q type (not
//   handled), 4099+5N+b bypass (1 byte), 4099+6N+b frequency range (two
//   UWORDs: minimum, maximum).
// On every tick it sends the gains, frequencies, widths, types and the
// band-pass frequency that the graph changed; bypasses, band pass, full
// bypass and ranges only ever arrive. Dispatch thread; made and destroyed by
// its driver under the registry lock.
class cPEQNetObject2 : public cNetObject {
 public:
  cPEQNetObject2(const char* name, cPEQDriver* driver, UBYTE numberOfBands);
  ~cPEQNetObject2() override;

  void EntrypointMessage(cEWNetMessage& message) override;
  void ActionTick() override;
  void UpdateNewObject(UWORD connectionId, EW_NET_DATA_SCALE handle, EW_NET_DATA_SCALE destinationMethod,
                       EW_NET_DATA_SCALE sourceMethod) override;

  static constexpr UWORD kFullyBypassed = PARAMETER_BASE + 0;
  static constexpr UWORD kBandPass = PARAMETER_BASE + 1;
  static constexpr UWORD kBandPassFreq = PARAMETER_BASE + 2;
  enum eBandParameter { GAIN_PARAM = 0, FREQ, WIDTH, TYPE, QTYPE, BYPASS, FREQ_RANGE, kBandParameterCount };
  // Method code of a band parameter for N bands.
  static constexpr UWORD BandMethod(UBYTE bandCount, UBYTE band, eBandParameter parameter) {
    return UWORD(PARAMETER_BASE + 3 + parameter * bandCount + band);
  }
  static constexpr EW_NET_DATA_SCALE ParameterCount(UBYTE bandCount) {
    return EW_NET_DATA_SCALE(kBandParameterCount * bandCount + 3);
  }

 private:
  void Receive(eBandParameter parameter, UBYTE band, const cEWNetMessage& message);

  cPEQDriver* mDriver;
  UBYTE mBandCount;
  // The values last exchanged with the network.
  cPEQDriver::sOutgoing mCopy;
  // Only the units it is linked to may move the curve.
  cLinkedSourceGuard mSources;
};
