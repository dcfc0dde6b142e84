#include "EWNet/QT/ThreadController.h"

cThreadController::cThreadController(QThread::Priority priority, QObject* parent)
    : QObject(parent), mPriority(priority) {}

cThreadController::~cThreadController() {
  mThread.quit();
  mThread.wait();
}

void cThreadController::Start(cThreadWorker* worker) {
  worker->moveToThread(&mThread);
  connect(&mThread, &QThread::started, worker, &cThreadWorker::InitOnThread);
  connect(&mThread, &QThread::finished, worker, &QObject::deleteLater);
  mThread.start(mPriority);
}
