#include <QCoreApplication>
#include <QDebug>

#include "EWNet/Core/NetFactory.h"
#include "EWNet/Core/RegRoutr.h"
#include "EWNet/Core/Syscall.h"
#include "OrvelGUI/Core/Version.h"

// Until the application shell and the loader window exist, the program starts
// the object network with its dispatch and tick threads, lets it run briefly,
// and shuts it down in order.
namespace {
class cIdleTickParent : public cActionTickParent {
 public:
  void ActionTickHook() override {}
};
}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QCoreApplication::setOrganizationName(kOrvelOrganisationName);
  QCoreApplication::setApplicationName(kOrvelApplicationName);
  qInfo() << "OrvelGUI Main";

  StartEWNet(0, true);
  cIdleTickParent tickParent;
  auto* syscall = new cSyscallThread;
  auto ticks = MakeNetObject<cActionTickDriver>(&tickParent);
  syscall->Start();
  ticks->start();
  SetSystemRunning(true);
  qDebug() << "System Started -" << kOrvelVersionText;
  qInfo() << "The loader window arrives with the application shell; the object network ran for one second.";
  QThread::msleep(1000);

  SetSystemRunning(false);
  syscall->Stop();
  ticks->StopBeats();
  ticks.reset();
  delete syscall;
  StopEWNet();
  qDebug() << "cApplication destroyed";
  return 0;
}
