#include "EWNet/QT/LostCommsSender.h"

#include "EWNet/Core/ErrLog.h"

bool IsEWNetConnectionId(UWORD connectionId) { return connectionId >= 1 && connectionId <= kEWNetMaxConnections; }

cLostCommsSenderWorker::cLostCommsSenderWorker(cLostCommsHandler* handler, int periodMs)
    : mHandler(handler), mPeriodMs(periodMs) {}

void cLostCommsSenderWorker::InitOnThread() {
  mTimer = new QTimer(this);
  connect(mTimer, &QTimer::timeout, this, &cLostCommsSenderWorker::TimerFired);
  mTimer->start(mPeriodMs);
}

void cLostCommsSenderWorker::NewUDPConnectionSlot(UWORD ConnectionId) {
  if (!IsEWNetConnectionId(ConnectionId)) return;
  UBYTE& active = mActive[ConnectionId - 1];
  if (active != 0) {
    EW_REPORT_ERROR("Lost Comms Sender already active, ConnectionId %d", int(ConnectionId));
    return;
  }
  active = 1;
}

void cLostCommsSenderWorker::ConnectionClosedSlot(UWORD ConnectionId) {
  if (IsEWNetConnectionId(ConnectionId)) mActive[ConnectionId - 1] = 0;
}

void cLostCommsSenderWorker::TimerFired() {
  const UBYTE heartbeat = kHeartbeat;
  for (UWORD id = 1; id <= kEWNetMaxConnections; ++id) {
    if (mActive[id - 1] != 0) mHandler->SendUtilDatagramToConnection(&heartbeat, 1, id);
  }
}

cLostCommsSenderController::cLostCommsSenderController(cLostCommsHandler* handler, int periodMs)
    : cThreadController(QThread::HighPriority) {
  auto* worker = new cLostCommsSenderWorker(handler, periodMs);
  connect(this, &cLostCommsSenderController::NewUDPConnectionSignal, worker,
          &cLostCommsSenderWorker::NewUDPConnectionSlot);
  connect(this, &cLostCommsSenderController::ConnectionClosedSignal, worker,
          &cLostCommsSenderWorker::ConnectionClosedSlot);
  Start(worker);
}
