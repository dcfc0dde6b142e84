#pragma once

#include <QByteArray>
#include <QObject>
#include <deque>
#include <mutex>

#include "EWNet/Core/Syscall.h"
#include "EWNet/QT/ConnectionBase.h"

// Receivers stop reading their sockets while the router holds this many queued
// messages and resume below it, so a flooding peer is read no faster than the
// router delivers. It stays below the tick driver's limit so that ticks keep
// flowing; when the router gains a buffer limit of its own, this belongs just
// below that limit too.
constexpr ULONG kEWNetReadPauseQueuedMessages = cActionTickDriver::kMaxQueuedForTick - 1000;
// How soon a paused receiver looks at the router's buffer again.
constexpr int kEWNetReadPauseRetryMs = 5;

// Answers a find that will not be forwarded with a failure, over the given
// connection (0: to a local asker), so that its asker does not wait for ever.
void EWNetAnswerFindFailed(const cEWNetMessage& find, UWORD viaConnection);

// A connection with a send queue: packets are queued from any thread and
// written by Transmit() on the thread that owns the connection object.
class cConnectionBaseQt : public QObject, public cConnectionBase {
  Q_OBJECT
 public:
  cConnectionBaseQt(UWORD connectionId, ULONG queueCapBytes, QObject* parent = nullptr);
  ~cConnectionBaseQt() override;

  // Both return false when the packet was not queued: transmitting has
  // stopped, or the queue is at its cap (reported once, with SendQueueOverflow).
  bool QueueEWNetMessage(const cEWNetMessage& message, bool version2);
  bool QueueUtilMessage(const UBYTE* payload, UWORD count);

  ULONG QueuedBytes();

 signals:
  void Send();
  void SendQueueOverflow();

 public slots:
  virtual void Transmit() = 0;

 protected:
  // The oldest queued packet, or false when there is none.
  bool TakeNextPacket(QByteArray& packet);
  // Refuses all further packets and frees the queued ones.
  void StopQueueing();
  // The delivery both transports share: stamps the connection, rewrites the
  // links that inform-list messages ask for, refuses what a remote peer may
  // not ask, and posts the rest to the router.
  void DeliverRemoteMessage(cEWNetMessage& message);
  // Whether the router is too far behind to take more input now.
  static bool RouterIsBehind();

 private:
  bool Enqueue(QByteArray&& packet);

  std::mutex mQueueLock;
  std::deque<QByteArray> mQueue;
  ULONG mQueuedBytes = 0;
  bool mQueueingStopped = false;
  const ULONG mQueueCapBytes;
};
