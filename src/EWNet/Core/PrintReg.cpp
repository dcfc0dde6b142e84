#include <cstdio>
#include <ctime>
#include <string>

#include "EWNet/Core/ErrLog.h"
#include "EWNet/Core/RegRoutr.h"

namespace {

std::string HandleText(cRegistryRouter& router, EW_NET_DATA_SCALE handle) {
  if (handle > cRegistryRouter::kMaxHandle) return "INVALID_HANDLE";
  if (handle == 0) return "Registry";
  if (const cNetObject* object = router.GetObject(handle)) return object->GetName();
  return "NULL Object - Handle " + std::to_string(handle);
}

std::string MethodText(UWORD method, int& adjusted) {
  if (method >= PARAMETER_BASE) {
    adjusted = method - PARAMETER_BASE;
    return "PARAMETER_BASE method";
  }
  if (method >= NON_PARAMETER_BASE) {
    adjusted = method - NON_PARAMETER_BASE;
    return "NON_PARAMETER_BASE method";
  }
  adjusted = method;
  if (const char* name = EWNetMethodName(method)) return std::string("Is: ") + name;
  return "unspecified base method";
}

}  // namespace

void cRegistryRouter::PrintMesspools() {
  std::FILE* file = std::fopen("Messpools.txt", "a");
  if (file == nullptr) {
    EW_REPORT_ERROR("Could not open Messpools.txt for writing");
    return;
  }
  char when[64];
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  std::strftime(when, sizeof when, "%H:%M:%S %d/%m/%Y", &local);

  std::fprintf(file, "-------------------Messpools Printout: %s\n", when);
  {
    std::lock_guard<cRegistryMutex> registry(mRegistryLock);
    std::lock_guard<std::recursive_mutex> buffer(mBufferLock);
    // Queue order: what the dispatcher has taken but not yet delivered comes
    // first (when printed from a delivery), then the ring.
    std::vector<const cEWNetMessage*> queued;
    for (size_t i = mBatchNext.load(); i < mBatchEnd; ++i) queued.push_back(mBatch[i]);
    for (size_t i = 0; i < mRingCount; ++i) queued.push_back(mRing[(mRingHead + i) & (mRing.size() - 1)]);
    for (const cEWNetMessage* queuedMessage : queued) {
      const cEWNetMessage& m = *queuedMessage;
      int adjusted = 0;
      const std::string method = MethodText(m.mMethod, adjusted);
      const std::string source =
          m.mConnectionId != 0 ? "Remote Object - Handle " + std::to_string(m.mSource) : HandleText(*this, m.mSource);
      const std::string destination = HandleText(*this, m.mDestination);
      std::fprintf(file,
                   "Message - Connection ID: %d   RawMethod: %d  Adjusted: %d  %s   Length: %d   Source: \"%s\"   "
                   "Destination: \"%s\"\n",
                   int(m.mConnectionId), int(m.mMethod), adjusted, method.c_str(), int(m.mLength), source.c_str(),
                   destination.c_str());
    }
  }
  std::fprintf(file, "----------------------------------End: %s\n", when);
  std::fclose(file);
}
