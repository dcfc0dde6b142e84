#pragma once

#include <vector>

#include "EWNet/Core/Message.h"

class cEWNetMessPoolBase {
 public:
  virtual ~cEWNetMessPoolBase() = default;
  virtual void ReturnEWNetMessage(cEWNetMessage* message) = 0;
};

// Fixed-size messages kept on a free stack, so the most recently returned
// (cache-warm) message is handed out first.
class cStaticEWNetMessPool : public cEWNetMessPoolBase {
 public:
  cStaticEWNetMessPool(EW_NET_DATA_SCALE payloadSize, ULONG initial, ULONG maximum, ULONG growthIncrement);
  ~cStaticEWNetMessPool() override;
  cStaticEWNetMessPool(const cStaticEWNetMessPool&) = delete;
  cStaticEWNetMessPool& operator=(const cStaticEWNetMessPool&) = delete;

  cEWNetMessage* GetEWNetMessage();
  void ReturnEWNetMessage(cEWNetMessage* message) override;

  ULONG GetCreatedCount() const { return mCreated; }
  ULONG GetFreeCount() const { return ULONG(mFree.size()); }
  EW_NET_DATA_SCALE GetPayloadSize() const { return mPayloadSize; }

 private:
  void Create(ULONG count);

  EW_NET_DATA_SCALE mPayloadSize;
  ULONG mInitial;
  ULONG mMaximum;
  ULONG mGrowthIncrement;
  std::vector<cEWNetMessage*> mFree;
  ULONG mCreated = 0;
  // Said once a time the pool runs dry: a flood would otherwise write the
  // report for every message it could not have.
  bool mFullReported = false;
};
