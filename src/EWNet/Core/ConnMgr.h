#pragma once

#include <string>

#include "EWNet/Core/Message.h"

// What the object network core needs from the network transport. The default
// knows no connections: remote sends go nowhere and no host can be reached, so
// every local path works without a transport.
class cEWNetConnectionManagerBase {
 public:
  virtual ~cEWNetConnectionManagerBase() = default;
  virtual void SendMessageToConnection(const cEWNetMessage& message) { (void)message; }
  virtual void SendDatagramToConnection(const cEWNetMessage& message) { (void)message; }
  // Id of a connection to the host, opening one if needed; 0xFFFF when none.
  virtual UWORD ConnectToHost(const std::string& hostName) {
    (void)hostName;
    return 0xFFFF;
  }
  virtual bool UsesVersion2Messages(UWORD connectionId) {
    (void)connectionId;
    return false;
  }
  virtual std::string HostNameOfConnection(UWORD connectionId) {
    (void)connectionId;
    return std::string();
  }
};

// Never null. Installing null restores the default.
cEWNetConnectionManagerBase* GetConnectionManager();
void SetConnectionManager(cEWNetConnectionManagerBase* manager);

// The transport installs its factory when it is linked in; StartEWNet then
// brings it up. Without one, StartEWNet returns the installed manager.
using tConnectionManagerFactory = cEWNetConnectionManagerBase* (*)();
void SetConnectionManagerFactory(tConnectionManagerFactory factory);
cEWNetConnectionManagerBase* StartConnectionManager();
