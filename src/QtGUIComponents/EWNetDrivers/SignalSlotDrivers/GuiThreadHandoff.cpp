#include "QtGUIComponents/EWNetDrivers/SignalSlotDrivers/GuiThreadHandoff.h"

#include <QThread>

cGuiThreadHandoff::cGuiThreadHandoff(QObject* owner) : QObject(owner) {}

void cGuiThreadHandoff::Post(std::function<void()> work) {
  bool wake = false;
  {
    std::lock_guard<std::mutex> lock(mLock);
    wake = mPosted.empty();
    mPosted.push_back(std::move(work));
  }
  // One call runs everything posted until it runs.
  if (wake) QMetaObject::invokeMethod(this, "RunPosted", Qt::QueuedConnection);
}

void cGuiThreadHandoff::RunPosted() {
  Q_ASSERT(QThread::currentThread() == thread());
  std::vector<std::function<void()>> posted;
  {
    std::lock_guard<std::mutex> lock(mLock);
    posted.swap(mPosted);
  }
  for (auto& work : posted) work();
}
