#include "QtGUIComponents/EWNetDrivers/SignalSlotDrivers/DriverThreads.h"

std::mutex& HandOverLock() {
  static std::mutex lock;
  return lock;
}
