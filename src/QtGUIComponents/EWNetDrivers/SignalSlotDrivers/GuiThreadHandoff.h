#pragma once

#include <QObject>
#include <functional>
#include <mutex>
#include <vector>

// Carries work from the dispatch thread to the GUI thread of the object that
// owns it, in the order it was posted: the one way drivers and backends hand
// what the network gave them to the thread QML reads them on. The work waits in a queue under a
// lock of this program's own, and only a plain queued call goes through Qt:
// everything the work carries is handed over under that lock, which a
// thread checker sees (it cannot see the locks inside Qt's event queue).
// A child of its owner: work still queued when the owner goes is dropped.
class cGuiThreadHandoff : public QObject {
  Q_OBJECT
 public:
  explicit cGuiThreadHandoff(QObject* owner);

  // Any thread.
  void Post(std::function<void()> work);

 private:
  // The owner's thread: runs everything posted so far.
  Q_INVOKABLE void RunPosted();

  std::mutex mLock;
  std::vector<std::function<void()>> mPosted;  // under mLock
};
