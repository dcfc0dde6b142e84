#include <QFile>
#include <QSignalSpy>
#include <QtTest>
#include <atomic>

#include "EWNet/QT/ConnectionBaseQt.h"
#include "TestSupport.h"
#include "TransportFixture.h"

namespace {

long ResidentKiB() {
  QFile status("/proc/self/status");
  if (!status.open(QIODevice::ReadOnly)) return 0;
  for (const QByteArray& line : status.readAll().split('\n')) {
    if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').value(0).toLong();
  }
  return 0;
}

// Takes its time over every message, so that a flood outruns it.
class cSlowObject : public cNetObject {
 public:
  cSlowObject() : cNetObject("Slow", 1, true, false) {}
  ~cSlowObject() override { Unregister(); }
  void EntrypointMessage(cEWNetMessage& message) override {
    if (message.mMethod != PARAMETER_BASE) return cNetObject::EntrypointMessage(message);
    QElapsedTimer spin;
    spin.start();
    while (spin.nsecsElapsed() < 20000) {
    }
    mReceived.fetch_add(1);
  }
  void ActionTick() override { mTicks.fetch_add(1); }
  std::atomic<int> mReceived{0};
  std::atomic<int> mTicks{0};
};

class cNoTickHook : public cActionTickParent {
 public:
  void ActionTickHook() override {}
};

}  // namespace

class tst_TransportLoad : public QObject {
  Q_OBJECT

 private slots:
  // The peer writes as fast as loopback takes it; the program reads no faster
  // than its router delivers, so its buffer and memory stay bounded and ticks
  // keep coming.
  void aFloodingPeerIsReadNoFasterThanTheRouterDelivers() {
    cRunningTransport transport;
    auto slow = MakeObject<cSlowObject>();
    cNoTickHook hook;
    auto ticks = MakeObject<cActionTickDriver>(&hook);
    ticks->start();
    cRawPeer peer;
    QVERIFY(peer.Connect(transport.Port()));
    QByteArray burst;
    for (int i = 0; i < 2000; ++i) burst += MessagePacket(slow->GetHandle(), 1, PARAMETER_BASE, "0123456789");
    const long residentBefore = ResidentKiB();
    ULONG mostQueued = 0;
    qint64 written = 0;
    QElapsedTimer elapsed;
    elapsed.start();
    int ticksAtHalfTime = -1;
    while (elapsed.elapsed() < 2500) {
      if (peer.mTcp.bytesToWrite() < (1 << 20)) {
        peer.mTcp.write(burst);
        written += burst.size();
      }
      QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
      mostQueued = std::max(mostQueued, GetNumberOfQueuedMessages());
      if (ticksAtHalfTime < 0 && elapsed.elapsed() > 1250) ticksAtHalfTime = slow->mTicks.load();
    }
    const long grownKiB = ResidentKiB() - residentBefore;
    const int ticksAtEnd = slow->mTicks.load();
    qInfo(
        "flood: %lld bytes offered, %d messages delivered, at most %lu queued, resident memory grew %ld KiB, ticks %d "
        "then %d",
        static_cast<long long>(written), slow->mReceived.load(), static_cast<unsigned long>(mostQueued), grownKiB,
        ticksAtHalfTime, ticksAtEnd);
    // Far more was offered than delivered: the rest waited in the peer's socket.
    QVERIFY(written / 22 > 2 * slow->mReceived.load());
    QVERIFY(mostQueued < kEWNetReadPauseQueuedMessages + 200);
    QVERIFY(grownKiB < 64 * 1024);
    // Ticks wait behind the queued messages, but they do not stop.
    QVERIFY(ticksAtHalfTime > 0);
    QVERIFY(ticksAtEnd > ticksAtHalfTime);
    SetSystemRunning(false);
    ticks.reset();
    peer.mTcp.abort();
  }

  // A peer that reads nothing fills the kernel's buffers, then the socket's,
  // then the connection's queue; at the queue's cap it is dropped.
  void aPeerThatNeverReadsIsDisconnectedAtItsQueueCap() {
    sEWNetTransportSettings settings = cRunningTransport::TestSettings();
    settings.mSendQueueCapBytes = 256 * 1024;
    cRunningTransport transport(settings);
    cReportCapture reports;
    QSignalSpy disconnected(transport.mManager, &cNetworkConnection::ConnectionDisconnected);
    cRawPeer peer;
    peer.mTcp.setReadBufferSize(4096);
    QVERIFY(peer.Connect(transport.Port()));
    QVERIFY(WaitUntil([&] { return transport.mManager->NumberOfConnections() == 1; }));
    cEWNetMessage message(1000);
    message.mConnectionId = 1;
    message.mDestination = 5;
    message.mSource = 6;
    message.mMethod = PARAMETER_BASE;
    qint64 sent = 0;
    QVERIFY(WaitUntil(
        [&] {
          for (int i = 0; i < 200 && sent < (256ll << 20); ++i, sent += 1012) SendMessage(message);
          return transport.mManager->NumberOfConnections() == 0;
        },
        20000));
    QVERIFY(reports.Contains("Send queue of connection 1 reached its cap of 262144 bytes"));
    QCOMPARE(disconnected.size(), 1);
    QCOMPARE(disconnected.at(0).at(2).toBool(), true);
    qInfo("slow peer dropped after %lld bytes were sent to it", static_cast<long long>(sent));
    // Dropped without a "BYE": it would not have read it.
    peer.mTcp.setReadBufferSize(0);
    QVERIFY(WaitUntil([&] {
      peer.Pump();
      return peer.mTcp.state() == QAbstractSocket::UnconnectedState;
    }));
    QCOMPARE(peer.CountTcpUtil("BYE"), 0);
  }
};

QTEST_GUILESS_MAIN(tst_TransportLoad)
#include "tst_TransportLoad.moc"
