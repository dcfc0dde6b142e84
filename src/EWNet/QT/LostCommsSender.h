#pragma once

#include <QTimer>
#include <array>

#include "EWNet/QT/LostCommsHandler.h"
#include "EWNet/QT/ThreadController.h"
#include "EWNet/QT/TransportSettings.h"

// Sends a one-byte heartbeat over UDP to every supervised connection once a
// period. Its flags are touched only on its own thread.
class cLostCommsSenderWorker : public cThreadWorker {
  Q_OBJECT
 public:
  static constexpr UBYTE kHeartbeat = 0x03;

  cLostCommsSenderWorker(cLostCommsHandler* handler, int periodMs);

 public slots:
  void InitOnThread() override;
  void NewUDPConnectionSlot(UWORD ConnectionId);
  void ConnectionClosedSlot(UWORD ConnectionId);
  void TimerFired();

 private:
  cLostCommsHandler* const mHandler;
  const int mPeriodMs;
  std::array<UBYTE, kEWNetMaxConnections> mActive{};
  QTimer* mTimer = nullptr;
};

class cLostCommsSenderController : public cThreadController {
  Q_OBJECT
 public:
  cLostCommsSenderController(cLostCommsHandler* handler, int periodMs);

 signals:
  void NewUDPConnectionSignal(UWORD ConnectionId);
  void ConnectionClosedSignal(UWORD ConnectionId);
};
