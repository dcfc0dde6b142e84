#pragma once

#include <QObject>
#include <memory>

class cUnixSignalManager;

// The root of the program's top-level object: it owns what lives for the
// whole run independently of the object network, which is the handler that
// turns SIGINT and SIGTERM into an orderly end of the event loop. It is
// created first and destroyed last. Main thread.
class cApplicationBase : public QObject {
  Q_OBJECT
 public:
  cApplicationBase();
  ~cApplicationBase() override;
  cApplicationBase(const cApplicationBase&) = delete;
  cApplicationBase& operator=(const cApplicationBase&) = delete;

 protected:
  std::unique_ptr<cUnixSignalManager> mUnixSignalManager;
};
