#pragma once

#include <atomic>

#include "EWNet/Core/ErrLog.h"

// The process-wide instance of a class the application creates once and QML
// reaches as a singleton. The first object created publishes itself; its
// destructor withdraws it.
template <typename tObject>
class cProcessInstance {
 public:
  static tObject* Get(const char* missingText) {
    tObject* instance = sInstance.load();
    if (instance == nullptr) EW_REPORT_ERROR("%s", missingText);
    return instance;
  }
  static void Publish(tObject* instance, const char* name) {
    tObject* expected = nullptr;
    if (!sInstance.compare_exchange_strong(expected, instance)) EW_REPORT_ERROR("%s already exists", name);
  }
  static void Withdraw(tObject* instance) { sInstance.compare_exchange_strong(instance, nullptr); }

 private:
  static inline std::atomic<tObject*> sInstance{nullptr};
};
