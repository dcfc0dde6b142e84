#pragma once

#include <QString>
#include <vector>

#include "EWNet/Core/NetObjct.h"
#include "EWNet/Core/RegRoutr.h"
#include "EWNet/Core/SysBuild.h"
#include "EWNet/Core/Syscall.h"

// A net object that records every message it receives, holds one 2-byte value
// per parameter and can publish it, so tests can watch traffic.
class cRecordingObject : public cNetObject {
 public:
  struct sReceived {
    UWORD mMethod;
    UWORD mConnectionId;
    EW_NET_DATA_SCALE mSource;
    std::vector<UBYTE> mPayload;
  };

  cRecordingObject(const char* name, EW_NET_DATA_SCALE parameters = 4, bool tick = false, bool tock = false)
      : cNetObject(name, parameters, tick, tock), mValues(parameters, 0) {}
  ~cRecordingObject() override { Unregister(); }

  void EntrypointMessage(cEWNetMessage& message) override {
    mReceived.push_back({message.mMethod, message.mConnectionId, message.mSource,
                         std::vector<UBYTE>(message.mData, message.mData + message.mLength)});
    if (message.mMethod >= PARAMETER_BASE && message.mMethod - PARAMETER_BASE < mNumberOfParameters) {
      if (message.mLength >= 2) mValues[message.mMethod - PARAMETER_BASE] = message.GetUWORD(0);
      if (mForward) SendToInformList(message);
      return;
    }
    if (message.mMethod == M_REPLY_OK || message.mMethod == M_REPLY_FAIL) return;
    cNetObject::EntrypointMessage(message);
  }
  void ActionTick() override { mEvents.push_back(QString("tick:") + GetName()); }
  void ActionTock() override { mEvents.push_back(QString("tock:") + GetName()); }
  void UpdateNewObject(UWORD connectionId, EW_NET_DATA_SCALE handle, EW_NET_DATA_SCALE destinationMethod,
                       EW_NET_DATA_SCALE sourceMethod) override {
    mSystemMessage.SetLength(2);
    mSystemMessage.SetUWORD(0, mValues[sourceMethod - PARAMETER_BASE]);
    mSystemMessage.mConnectionId = connectionId;
    mSystemMessage.mDestination = handle;
    mSystemMessage.mMethod = destinationMethod;
    SendMessage(mSystemMessage);
  }

  // Publishes a new value of parameter p as its owner would.
  void Publish(EW_NET_DATA_SCALE p, UWORD value) {
    if (p < mValues.size()) mValues[p] = value;
    cEWNetMessage m(2);
    m.SetUWORD(0, value);
    m.mMethod = UWORD(PARAMETER_BASE + p);
    m.mConnectionId = 0xFFFF;
    m.mSource = 0xFFFF;
    SendToInformList(m);
  }

  int CountMethod(UWORD method) const {
    int n = 0;
    for (const auto& r : mReceived) n += r.mMethod == method ? 1 : 0;
    return n;
  }

  std::vector<sReceived> mReceived;
  std::vector<UWORD> mValues;
  std::vector<QString> mEvents;
  bool mForward = false;
};

// Sends one message from a sender handle to a destination, like a peer would.
inline void Post(EW_NET_DATA_SCALE from, EW_NET_DATA_SCALE to, UWORD method, std::vector<UBYTE> payload = {},
                 UWORD connection = 0) {
  cEWNetMessage m(EW_NET_DATA_SCALE(payload.size()));
  for (size_t i = 0; i < payload.size(); ++i) m.SetUBYTE(EW_NET_DATA_SCALE(i), payload[i]);
  m.mSource = from;
  m.mDestination = to;
  m.mMethod = method;
  m.mConnectionId = connection;
  GetRegistryRouter()->AddMessageToMessageBuffer(m);
}

inline void Deliver() { GetRegistryRouter()->DoWork(); }

// A transport stand-in: the host "unit2" is connection 5, connection 7 uses
// version-2 messages; what is sent to connections is recorded, not sent.
class cFakeConnections : public cEWNetConnectionManagerBase {
 public:
  void SendMessageToConnection(const cEWNetMessage& message) override { mSent.push_back(message); }
  UWORD ConnectToHost(const std::string& hostName) override { return hostName == "unit2" ? 5 : 0xFFFF; }
  bool UsesVersion2Messages(UWORD connectionId) override { return connectionId == 7; }
  std::string HostNameOfConnection(UWORD connectionId) override { return connectionId == 5 ? "unit2" : ""; }
  int CountMethod(UWORD method) const {
    int n = 0;
    for (const auto& m : mSent) n += m.mMethod == method ? 1 : 0;
    return n;
  }
  std::vector<cEWNetMessage> mSent;
};

// Installs the stand-in for the lifetime of a test, also when it fails early.
struct cInstalledConnections {
  cInstalledConnections() { SetConnectionManager(&mFake); }
  ~cInstalledConnections() { SetConnectionManager(nullptr); }
  cFakeConnections mFake;
};

// Starts and stops the object network around each test.
struct cNetworkScope {
  cNetworkScope() { StartEWNet(0, true); }
  ~cNetworkScope() { StopEWNet(); }
};

// A net object with no handling of its own.
class cNetObjectPlain : public cNetObject {
 public:
  explicit cNetObjectPlain(const char* name, bool tick = false, bool tock = false) : cNetObject(name, 2, tick, tock) {}
  ~cNetObjectPlain() override { Unregister(); }
};
