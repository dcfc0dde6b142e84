#include "EWNet/Core/DynamicMessPool.h"

#include "EWNet/Core/ErrLog.h"

cEWNetMessage* cDynamicEWNetMessPool::GetEWNetMessage(EW_NET_DATA_SCALE length) {
  if (mHeapCap != 0 && mBytesHandedOut >= mHeapCap) {
    EW_REPORT_ERROR("Heap Memory Cap Reached");
    return nullptr;
  }
  mBytesHandedOut += length;
  return new cEWNetMessage(length);
}

void cDynamicEWNetMessPool::ReturnEWNetMessage(cEWNetMessage* message) {
  // A receiver may have shortened the message; never let the count wrap.
  mBytesHandedOut -= std::min<ULONG>(mBytesHandedOut, message->mLength);
  delete message;
}

cEWNetMessagePool::cEWNetMessagePool()
    : mSmall(kSmallSize, kSmallInitial, kSmallMaximum, kSmallGrowth),
      mLarge(kLargeSize, kLargeInitial, kLargeMaximum, kLargeGrowth),
      mHeap(kHeapCap) {}

cEWNetMessage* cEWNetMessagePool::GetEWNetMessage(EW_NET_DATA_SCALE length) {
  if (length <= kSmallSize) return mSmall.GetEWNetMessage();
  if (length > kLargeSize) return mHeap.GetEWNetMessage(length);
  return mLarge.GetEWNetMessage();
}

void cEWNetMessagePool::ReturnEWNetMessage(cEWNetMessage* message) {
  if (message == nullptr) return;
  if (message->mLength <= kSmallSize) {
    mSmall.ReturnEWNetMessage(message);
  } else if (message->mLength > kLargeSize) {
    mHeap.ReturnEWNetMessage(message);
  } else {
    mLarge.ReturnEWNetMessage(message);
  }
}
