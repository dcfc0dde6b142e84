#pragma once

#include <QObject>

class QSocketNotifier;

// Ends the event loop when the process is asked to stop with SIGINT or
// SIGTERM, so that the program shuts down in order instead of dying with its
// threads running and its storage half written. The signal handler only
// writes a byte to a pipe; the notifier reads it on the main thread.
// Main thread.
class cUnixSignalManager : public QObject {
  Q_OBJECT
 public:
  explicit cUnixSignalManager(QObject* parent = nullptr);
  ~cUnixSignalManager() override;
  cUnixSignalManager(const cUnixSignalManager&) = delete;
  cUnixSignalManager& operator=(const cUnixSignalManager&) = delete;

  // False when the handlers could not be installed (reported).
  bool IsActive() const { return mNotifier != nullptr; }

 signals:
  void TerminationRequested();

 private:
  void ReadSignal();

  QSocketNotifier* mNotifier = nullptr;  // child
};
