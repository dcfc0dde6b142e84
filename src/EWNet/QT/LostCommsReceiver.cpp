#include "EWNet/QT/LostCommsReceiver.h"

#include "EWNet/Core/ErrLog.h"

cLostCommsReceiverWorker::cLostCommsReceiverWorker(cLostCommsHandler* handler, int periodMs)
    : mHandler(handler), mPeriodMs(periodMs) {}

UBYTE cLostCommsReceiverWorker::TimeToLive(UWORD connectionId) const {
  return IsEWNetConnectionId(connectionId) ? mEntries[connectionId - 1].mTimeToLive : 0;
}

void cLostCommsReceiverWorker::InitOnThread() {
  mTimer = new QTimer(this);
  connect(mTimer, &QTimer::timeout, this, &cLostCommsReceiverWorker::TimerFired);
  mTimer->start(mPeriodMs);
}

void cLostCommsReceiverWorker::ReceivedMessageSlot(UWORD LocalConnectionId) {
  if (!IsEWNetConnectionId(LocalConnectionId)) return;
  sEntry& entry = mEntries[LocalConnectionId - 1];
  if (entry.mTimeToLive != 0) entry.mTimeToLive = kFullTimeToLive;
}

void cLostCommsReceiverWorker::NewUDPConnectionSlot(UWORD ConnectionId) {
  if (!IsEWNetConnectionId(ConnectionId)) return;
  sEntry& entry = mEntries[ConnectionId - 1];
  if (entry.mTimeToLive != 0) {
    EW_REPORT_ERROR("Lost Comms Receiver Unit Already in Use, ConnectionId %d", int(ConnectionId));
    return;
  }
  entry.mTimeToLive = kFullTimeToLive;
  entry.mLogging = 1;
}

void cLostCommsReceiverWorker::ConnectionClosedSlot(UWORD ConnectionId) {
  if (IsEWNetConnectionId(ConnectionId)) mEntries[ConnectionId - 1].mTimeToLive = 0;
}

void cLostCommsReceiverWorker::TimerFired() {
  for (UWORD id = 1; id <= kEWNetMaxConnections; ++id) {
    sEntry& entry = mEntries[id - 1];
    if (entry.mTimeToLive == 0) continue;
    --entry.mTimeToLive;
    const bool low = entry.mTimeToLive <= kLowTimeToLive;
    if (low != (entry.mLow != 0)) {
      entry.mLow = low ? 1 : 0;
      emit UnitLowTTLWarning(id, low);
    }
    if (entry.mTimeToLive == 0) LogLostComms(id);
  }
}

void cLostCommsReceiverWorker::LogLostComms(UWORD connectionId) {
  if (mEntries[connectionId - 1].mLogging != 0) {
    EW_REPORT_NOTIFICATION("Communication lost to unit - %s", mHandler->DisplayNameOfConnection(connectionId).c_str());
  }
  mHandler->HandleLostComms(connectionId);
}

cLostCommsReceiverController::cLostCommsReceiverController(cLostCommsHandler* handler, int periodMs)
    : cThreadController(QThread::LowestPriority) {
  auto* worker = new cLostCommsReceiverWorker(handler, periodMs);
  connect(this, &cLostCommsReceiverController::ReceivedMessageSignal, worker,
          &cLostCommsReceiverWorker::ReceivedMessageSlot);
  connect(this, &cLostCommsReceiverController::NewUDPConnectionSignal, worker,
          &cLostCommsReceiverWorker::NewUDPConnectionSlot);
  connect(this, &cLostCommsReceiverController::ConnectionClosedSignal, worker,
          &cLostCommsReceiverWorker::ConnectionClosedSlot);
  connect(worker, &cLostCommsReceiverWorker::UnitLowTTLWarning, this, &cLostCommsReceiverController::UnitLowTTLWarning);
  Start(worker);
}
