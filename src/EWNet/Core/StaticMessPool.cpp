#include "EWNet/Core/StaticMessPool.h"

#include "EWNet/Core/ErrLog.h"

cStaticEWNetMessPool::cStaticEWNetMessPool(EW_NET_DATA_SCALE payloadSize, ULONG initial, ULONG maximum,
                                           ULONG growthIncrement)
    : mPayloadSize(payloadSize), mInitial(initial), mMaximum(maximum), mGrowthIncrement(growthIncrement) {
  if (mMaximum != 0 && mMaximum != mInitial) {
    if (mGrowthIncrement == 0) {
      EW_REPORT_ERROR("No GrowthIncrement set, but Initial != Max, so growth expected!");
    } else if ((mMaximum - mInitial) % mGrowthIncrement != 0) {
      EW_REPORT_ERROR("GrowthIncrement set, but not a modulo of the Max! %lu",
                      static_cast<unsigned long>((mMaximum - mInitial) % mGrowthIncrement));
    }
  }
  Create(mInitial);
}

cStaticEWNetMessPool::~cStaticEWNetMessPool() {
  for (cEWNetMessage* message : mFree) delete message;
}

void cStaticEWNetMessPool::Create(ULONG count) {
  mFree.reserve(mFree.size() + count);
  for (ULONG i = 0; i < count; ++i) mFree.push_back(new cEWNetMessage(mPayloadSize));
  mCreated += count;
}

cEWNetMessage* cStaticEWNetMessPool::GetEWNetMessage() {
  if (mFree.empty()) {
    ULONG count = mGrowthIncrement;
    if (mMaximum != 0) {
      count = mCreated >= mMaximum ? 0 : std::min(count, mMaximum - mCreated);
    }
    if (count == 0) {
      if (!mFullReported) EW_REPORT_ERROR("Mess Pools Full");
      mFullReported = true;
      return nullptr;
    }
    Create(count);
  }
  cEWNetMessage* message = mFree.back();
  mFree.pop_back();
  return message;
}

void cStaticEWNetMessPool::ReturnEWNetMessage(cEWNetMessage* message) {
  mFree.push_back(message);
  mFullReported = false;
}
