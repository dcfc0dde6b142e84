#pragma once

#include <QTimer>
#include <array>

#include "EWNet/QT/LostCommsHandler.h"
#include "EWNet/QT/ThreadController.h"
#include "EWNet/QT/TransportSettings.h"

// Keeps a time-to-live counter per supervised connection: every heartbeat
// refills it, every period lowers it; low gives a warning, zero a loss. Its
// entries are touched only on its own thread.
class cLostCommsReceiverWorker : public cThreadWorker {
  Q_OBJECT
 public:
  static constexpr UBYTE kFullTimeToLive = 30;
  static constexpr UBYTE kLowTimeToLive = 25;

  cLostCommsReceiverWorker(cLostCommsHandler* handler, int periodMs);

  UBYTE TimeToLive(UWORD connectionId) const;

 signals:
  void UnitLowTTLWarning(UWORD ConnectionId, bool Low);

 public slots:
  void InitOnThread() override;
  void ReceivedMessageSlot(UWORD LocalConnectionId);
  void NewUDPConnectionSlot(UWORD ConnectionId);
  void ConnectionClosedSlot(UWORD ConnectionId);
  void TimerFired();

 private:
  struct sEntry {
    UBYTE mTimeToLive = 0;  // 0: not supervised
    UBYTE mLogging = 1;
    UBYTE mLow = 0;
  };
  void LogLostComms(UWORD connectionId);

  cLostCommsHandler* const mHandler;
  const int mPeriodMs;
  std::array<sEntry, kEWNetMaxConnections> mEntries{};
  QTimer* mTimer = nullptr;
};

class cLostCommsReceiverController : public cThreadController {
  Q_OBJECT
 public:
  cLostCommsReceiverController(cLostCommsHandler* handler, int periodMs);

 signals:
  void ReceivedMessageSignal(UWORD LocalConnectionId);
  void NewUDPConnectionSignal(UWORD ConnectionId);
  void ConnectionClosedSignal(UWORD ConnectionId);
  void UnitLowTTLWarning(UWORD ConnectionId, bool Low);
};
