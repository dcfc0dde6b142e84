#pragma once

#include <utility>
#include <vector>

#include "EWNet/Core/NetObjct.h"

// A net object that mirrors a unit or a driver on the screen takes values
// only from what it is linked to on this machine: a parameter message must
// come over connection 0 from the object itself or from an object that a
// link joins to it (an entry of its delete list or of one of its inform
// lists). A remote peer cannot make such an entry point at this machine (the
// transport writes the peer's own connection into every link it asks for),
// so whatever it sends straight to the mirror is refused and changes
// nothing; the peer still changes what the screen shows by changing the unit
// itself, which the unit then passes on.
//
// Dispatch thread (under the registry lock, as deliveries are).
class cLinkedSourceGuard {
 public:
  // Sources of refused messages that get a report each; a peer trying many
  // source handles stops filling the console after this many.
  static constexpr std::size_t kMaxReportedSources = 16;

  // True for every message that is not a parameter message, and for a
  // parameter message from a linked local source. Reports each other
  // source once.
  bool Admits(const cNetObject& object, const cEWNetMessage& message);

  static bool IsLinkedLocalSource(const cNetObject& object, EW_NET_DATA_SCALE source);

 private:
  std::vector<std::pair<UWORD, EW_NET_DATA_SCALE>> mReported;
};

// A net object class whose parameter messages pass the guard first.
template <typename tObject>
class tLinkedSourcesOnly : public tObject {
 public:
  using tObject::tObject;
  ~tLinkedSourcesOnly() override { this->Unregister(); }

  void EntrypointMessage(cEWNetMessage& message) override {
    if (mGuard.Admits(*this, message)) tObject::EntrypointMessage(message);
  }

 private:
  cLinkedSourceGuard mGuard;
};
