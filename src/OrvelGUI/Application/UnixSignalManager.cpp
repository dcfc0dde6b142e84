#include "OrvelGUI/Application/UnixSignalManager.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QThread>

#include "EWNet/Core/ErrLog.h"

namespace {

// Made once per process and never closed: a signal may arrive at any time,
// also while a manager is being replaced.
int gSignalPipe[2] = {-1, -1};

void OnTerminationSignal(int) {
  const char byte = 1;
  // Nothing else is safe in a signal handler.
  [[maybe_unused]] const ssize_t written = ::write(gSignalPipe[1], &byte, 1);
}

bool InstallHandlers() {
  if (gSignalPipe[0] < 0) {
    if (::pipe(gSignalPipe) != 0) return false;
    // A burst of signals must neither block the handler nor the reader.
    for (int fd : gSignalPipe) ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
  }
  struct sigaction action {};
  action.sa_handler = OnTerminationSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  return ::sigaction(SIGINT, &action, nullptr) == 0 && ::sigaction(SIGTERM, &action, nullptr) == 0;
}

}  // namespace

cUnixSignalManager::cUnixSignalManager(QObject* parent) : QObject(parent) {
  Q_ASSERT(QCoreApplication::instance() == nullptr || QThread::currentThread() == qApp->thread());
  if (!InstallHandlers()) {
    EW_REPORT_ERROR("Could not install the handlers of SIGINT and SIGTERM");
    return;
  }
  mNotifier = new QSocketNotifier(gSignalPipe[0], QSocketNotifier::Read, this);
  connect(mNotifier, &QSocketNotifier::activated, this, &cUnixSignalManager::ReadSignal);
  if (QCoreApplication* application = QCoreApplication::instance()) {
    connect(this, &cUnixSignalManager::TerminationRequested, application, &QCoreApplication::quit,
            Qt::QueuedConnection);
  }
}

cUnixSignalManager::~cUnixSignalManager() = default;

void cUnixSignalManager::ReadSignal() {
  char bytes[16];
  bool any = false;
  while (::read(gSignalPipe[0], bytes, sizeof bytes) > 0) any = true;
  if (any) emit TerminationRequested();
}
