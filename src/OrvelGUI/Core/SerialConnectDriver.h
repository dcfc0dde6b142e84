#pragma once

#include <QStringList>
#include <functional>
#include <vector>

#include "EWNet/Core/NetObjct.h"
#include "OrvelGUI/Core/DeliveryWatch.h"
#include "OrvelGUI/Core/SerialPortList.h"

class cSerialInterface;

// The user interface's handle on the device link: connect and disconnect
// requests, the port list, the firmware version, the link status, and
// whether the processor holds what an operation sent it.
//   4096 connect flag + port -> answered with the link state. The port is a
//        name of the port list, a device path, or empty for the first port.
//   4097 publish the port list (count, then 8-byte NUL-terminated slots)
//   4098 publish the version text (8 bytes, NUL-terminated)
//   4099 publish link state and last error; also published by itself
//        whenever the state changes, so a lost link shows at once
//   4100 the front end has taken the sync data: back to connected
//   4101 delivery: "tell me when the processor holds what was sent so
//        far". Answered to the asker on 4101 with one byte once known:
//        1 it holds all of it, 0 not all of it reached it (the link was lost,
//        or it was not acknowledged within 10 s), 2 no processor was
//        connected, so nothing was sent
//   4102 publish the port list with whole names: count, then per port its
//        name and its device path, each NUL-terminated
//
// Port names. The slots of 4097 carry 7 characters of a name, so ports whose
// names share their first 7 ("ttyOrvelLeft", "ttyOrvelRight") look alike
// there; 4097 stays as it is for the peers that read it, and a cut name is
// still accepted back when it fits one port only. The program's own screens
// read 4102, show the whole names (unique in the list: ports that share a
// name are named by their path) and connect by device path, which picks
// exactly one port. A request on 4097 or 4102 rescans and publishes both.
//
// Ticked: the state is watched for changes and deliveries are followed on
// the dispatch thread's ticks.
class cSerialConnectDriver : public cNetObject {
 public:
  static constexpr const char* kObjectName = "Serial Connection Driver NetObject";
  static constexpr EW_NET_DATA_SCALE kParameterCount = 7;
  static constexpr EW_NET_DATA_SCALE kMethodConnect = PARAMETER_BASE + 0;
  static constexpr EW_NET_DATA_SCALE kMethodPortList = PARAMETER_BASE + 1;
  static constexpr EW_NET_DATA_SCALE kMethodVersion = PARAMETER_BASE + 2;
  static constexpr EW_NET_DATA_SCALE kMethodStatus = PARAMETER_BASE + 3;
  static constexpr EW_NET_DATA_SCALE kMethodSyncDone = PARAMETER_BASE + 4;
  static constexpr EW_NET_DATA_SCALE kMethodDelivery = PARAMETER_BASE + 5;
  static constexpr EW_NET_DATA_SCALE kMethodPorts = PARAMETER_BASE + 6;
  // Deliveries followed at once; a request beyond them is answered 0.
  static constexpr std::size_t kMaxWatches = 16;

  explicit cSerialConnectDriver(cSerialInterface* serialInterface);
  ~cSerialConnectDriver() override;

  // Whether a unit still has something to offer the link (a delay waiting
  // for its tick, links being made). Called on the dispatch thread with the
  // registry lock held. Without it, units count as settled.
  void SetUnitsBusyCheck(std::function<bool()> unitsBusy) { mUnitsBusy = std::move(unitsBusy); }

  void EntrypointMessage(cEWNetMessage& message) override;
  void UpdateNewObject(UWORD connectionId, EW_NET_DATA_SCALE handle, EW_NET_DATA_SCALE destinationMethod,
                       EW_NET_DATA_SCALE sourceMethod) override;
  // Dispatch thread.
  void ActionTick() override;

 private:
  struct sWatch {
    UWORD mConnectionId;
    EW_NET_DATA_SCALE mHandle;
    cDeliveryWatch mWatch;
  };

  // Puts the current value of a published parameter into mSystemMessage;
  // the port lists from `ports`.
  bool FillParameter(EW_NET_DATA_SCALE method, const std::vector<sSerialPortEntry>& ports);
  void FillPortSlots(const std::vector<sSerialPortEntry>& ports);
  void FillPorts(const std::vector<sSerialPortEntry>& ports);
  void Publish(EW_NET_DATA_SCALE method, const std::vector<sSerialPortEntry>& ports = {});
  void PublishPortLists();
  void StartWatch(const cEWNetMessage& request);
  void Answer(UWORD connectionId, EW_NET_DATA_SCALE handle, UBYTE outcome);

  cSerialInterface* mInterface;
  std::function<bool()> mUnitsBusy;
  std::vector<sWatch> mWatches;  // dispatch thread
  UBYTE mPublishedState;         // dispatch thread
};
