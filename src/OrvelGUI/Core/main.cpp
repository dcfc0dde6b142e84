#include <signal.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDebug>
#include <QElapsedTimer>
#include <QSocketNotifier>

#include "EWNet/Core/Syscall.h"
#include "OrvelGUI/Core/ApplicationCore.h"
#include "OrvelGUI/Core/Version.h"

// Until the loader window arrives the program runs its object system without
// a window, until it is closed with SIGINT or SIGTERM.
namespace {

int gSignalPipe[2] = {-1, -1};

void OnTerminationSignal(int) {
  const char byte = 1;
  // Nothing else is safe in a signal handler; the event loop reads the pipe.
  [[maybe_unused]] const ssize_t written = ::write(gSignalPipe[1], &byte, 1);
}

bool InstallTerminationHandlers() {
  if (::pipe(gSignalPipe) != 0) return false;
  struct sigaction action {};
  action.sa_handler = OnTerminationSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  return ::sigaction(SIGINT, &action, nullptr) == 0 && ::sigaction(SIGTERM, &action, nullptr) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  QElapsedTimer boot;
  boot.start();
  QCoreApplication app(argc, argv);
  QCoreApplication::setOrganizationName(kOrvelOrganisationName);
  QCoreApplication::setApplicationName(kOrvelApplicationName);
  qInfo() << "OrvelGUI Main";
  if (!InstallTerminationHandlers()) {
    qCritical() << "Could not install the termination handlers";
    return 1;
  }
  QSocketNotifier terminate(gSignalPipe[0], QSocketNotifier::Read);
  QObject::connect(&terminate, &QSocketNotifier::activated, &app, &QCoreApplication::quit);

  StartEWNet(0, true);
  auto* core = new cApplicationCore;
  core->Start();
  qDebug() << "Booted in: " << boot.elapsed() << "ms";
  qDebug() << "System Started -" << kOrvelVersionText;

  const int result = app.exec();

  core->Stop();
  delete core;
  StopEWNet();
  qDebug() << "cApplication destroyed";
  return result;
}
