#pragma once

// A recording object for tests of controllers and drivers: it keeps the
// parameter messages apart from the link bookkeeping it also receives, and
// records the sync-ups asked of it.

#include <map>
#include <vector>

#include "NetTestObjects.h"

using tPayload = std::vector<UBYTE>;

inline tPayload UWORDBytes(UWORD value) { return {UBYTE(value >> 8), UBYTE(value & 0xFF)}; }

class cNetProbe : public cRecordingObject {
 public:
  struct sSyncRequest {
    EW_NET_DATA_SCALE mHandle;
    EW_NET_DATA_SCALE mDestinationMethod;
    EW_NET_DATA_SCALE mSourceMethod;
  };

  explicit cNetProbe(const char* name) : cRecordingObject(name, 0x200) {}
  ~cNetProbe() override { Unregister(); }

  // Answers with the payload set in mSyncPayload for the parameter, if any.
  void UpdateNewObject(UWORD connectionId, EW_NET_DATA_SCALE handle, EW_NET_DATA_SCALE destinationMethod,
                       EW_NET_DATA_SCALE sourceMethod) override {
    mSyncRequests.push_back({handle, destinationMethod, sourceMethod});
    auto it = mSyncPayload.find(sourceMethod);
    if (it != mSyncPayload.end()) Post(mHandle, handle, destinationMethod, it->second, connectionId);
  }

  // Sends from this probe, so that it counts as the sender.
  void SendTo(EW_NET_DATA_SCALE destination, UWORD method, const tPayload& payload) {
    Post(mHandle, destination, method, payload);
  }

  // Parameter messages only, optionally of one method.
  std::vector<sReceived> Received(UWORD method = 0) const {
    std::vector<sReceived> out;
    for (const auto& r : mReceived)
      if (r.mMethod >= PARAMETER_BASE && (method == 0 || r.mMethod == method)) out.push_back(r);
    return out;
  }

  std::vector<sSyncRequest> mSyncRequests;
  std::map<EW_NET_DATA_SCALE, tPayload> mSyncPayload;
};

inline UWORD Word(const cRecordingObject::sReceived& r) {
  return r.mPayload.size() >= 2 ? UWORD(r.mPayload[0] << 8 | r.mPayload[1]) : 0xFFFF;
}

// One beat of the network: every tick-listed object ticks, and everything it
// sent is delivered.
inline void TickNetwork() {
  Post(0, 0, M_REG_TICK);
  Deliver();
}

// Links source.sourceMethod to destination.destinationMethod the way the
// system builder does, and delivers the bookkeeping.
inline void LinkParameter(cNetObject& source, UWORD sourceMethod, const cNetObject& destination,
                          UWORD destinationMethod, bool sync = false) {
  tPayload add = UWORDBytes(0);
  for (UWORD word : {UWORD(destination.GetHandle()), destinationMethod, sourceMethod}) {
    const tPayload bytes = UWORDBytes(word);
    add.insert(add.end(), bytes.begin(), bytes.end());
  }
  add.push_back(0);
  add.push_back(sync ? 1 : 0);
  Post(0, source.GetHandle(), M_OBJECT_ADD_TO_INFORM_LIST, add);
  Deliver();
}

// Whether a parameter of source informs (handle, method) on the local unit.
inline bool Informs(const cNetObject& source, UWORD sourceMethod, EW_NET_DATA_SCALE handle, UWORD method) {
  const cNetObject::InformList* list = source.GetInformList(EW_NET_DATA_SCALE(sourceMethod - PARAMETER_BASE));
  if (list == nullptr) return false;
  for (const auto& entry : *list)
    if (entry.mConnectionId == 0 && entry.mHandle == handle && entry.mDestinationMethod == method) return true;
  return false;
}
