#pragma once

#include "EWNet/Core/StaticMessPool.h"

// Messages above the large pool's size are made to measure and freed on return.
class cDynamicEWNetMessPool : public cEWNetMessPoolBase {
 public:
  explicit cDynamicEWNetMessPool(ULONG heapCap = 0) : mHeapCap(heapCap) {}
  cEWNetMessage* GetEWNetMessage(EW_NET_DATA_SCALE length);
  void ReturnEWNetMessage(cEWNetMessage* message) override;
  ULONG GetBytesHandedOut() const { return mBytesHandedOut; }

 private:
  ULONG mHeapCap;
  ULONG mBytesHandedOut = 0;
};

// The three pools of the router; the pool is chosen by payload length both when
// taking and when returning a message.
class cEWNetMessagePool {
 public:
  static constexpr EW_NET_DATA_SCALE kSmallSize = 4;
  static constexpr EW_NET_DATA_SCALE kLargeSize = 1280;
  // Limits: the router's buffer limit of small messages and some to spare
  // (about 4 MiB), a few thousand large ones (about 7 MiB), and 16 MiB of
  // made-to-measure payloads. The program itself keeps a few hundred messages
  // in flight; the rest is room for a flood from remote connections.
  static constexpr ULONG kSmallInitial = 1000;
  static constexpr ULONG kSmallGrowth = 1000;
  static constexpr ULONG kSmallMaximum = 52000;
  static constexpr ULONG kLargeInitial = 100;
  static constexpr ULONG kLargeGrowth = 100;
  static constexpr ULONG kLargeMaximum = 5000;
  static constexpr ULONG kHeapCap = 16u << 20;

  cEWNetMessagePool();
  cEWNetMessage* GetEWNetMessage(EW_NET_DATA_SCALE length);
  void ReturnEWNetMessage(cEWNetMessage* message);

  cStaticEWNetMessPool& Small() { return mSmall; }
  cStaticEWNetMessPool& Large() { return mLarge; }
  cDynamicEWNetMessPool& Heap() { return mHeap; }

 private:
  cStaticEWNetMessPool mSmall;
  cStaticEWNetMessPool mLarge;
  cDynamicEWNetMessPool mHeap;
};
