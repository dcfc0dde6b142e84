#pragma once

#include "EWNet/Core/NetObjct.h"

class cSerialInterface;

// The user interface's handle on the device link: connect and disconnect
// requests, the port list, the firmware version and the link status.
//   4096 connect flag + port name -> answered with the link state
//   4097 publish the port list (count, then 8-byte NUL-terminated slots)
//   4098 publish the version text (8 bytes, NUL-terminated)
//   4099 publish link state and last error
//   4100 the front end has taken the sync data: back to connected
class cSerialConnectDriver : public cNetObject {
 public:
  static constexpr const char* kObjectName = "Serial Connection Driver NetObject";
  static constexpr EW_NET_DATA_SCALE kParameterCount = 5;
  static constexpr EW_NET_DATA_SCALE kMethodConnect = PARAMETER_BASE + 0;
  static constexpr EW_NET_DATA_SCALE kMethodPortList = PARAMETER_BASE + 1;
  static constexpr EW_NET_DATA_SCALE kMethodVersion = PARAMETER_BASE + 2;
  static constexpr EW_NET_DATA_SCALE kMethodStatus = PARAMETER_BASE + 3;
  static constexpr EW_NET_DATA_SCALE kMethodSyncDone = PARAMETER_BASE + 4;

  explicit cSerialConnectDriver(cSerialInterface* serialInterface);
  ~cSerialConnectDriver() override;

  void EntrypointMessage(cEWNetMessage& message) override;
  void UpdateNewObject(UWORD connectionId, EW_NET_DATA_SCALE handle, EW_NET_DATA_SCALE destinationMethod,
                       EW_NET_DATA_SCALE sourceMethod) override;

 private:
  // Puts the current value of a published parameter into mSystemMessage.
  bool FillParameter(EW_NET_DATA_SCALE method);
  void Publish(EW_NET_DATA_SCALE method);

  cSerialInterface* mInterface;
};
