#pragma once

#include <QObject>
#include <QThread>

// Base of the workers that run on a thread of a cThreadController.
class cThreadWorker : public QObject {
  Q_OBJECT
 public:
  using QObject::QObject;

 public slots:
  // Runs in the worker's thread as soon as that thread starts.
  virtual void InitOnThread() {}
};

// Owns one thread and runs one worker on it; the worker is deleted when the
// thread finishes.
class cThreadController : public QObject {
  Q_OBJECT
 public:
  explicit cThreadController(QThread::Priority priority = QThread::InheritPriority, QObject* parent = nullptr);
  ~cThreadController() override;

  void Start(cThreadWorker* worker);
  QThread* Thread() { return &mThread; }

 private:
  QThread mThread;
  QThread::Priority mPriority;
};
