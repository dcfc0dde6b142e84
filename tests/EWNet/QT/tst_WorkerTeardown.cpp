// A connection worker taken down after its peer has gone: the orderly close
// writes its "BYE" into a reset connection, and the socket's error must not
// reach the worker's derived part, which is already destroyed.

#include <sys/socket.h>

#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include "EWNet/QT/ServerConnectionThreadWorker.h"

namespace {

// Keeps the accepted descriptor for a worker, as the program's server does.
class cDescriptorServer : public QTcpServer {
 public:
  qintptr mDescriptor = -1;

 protected:
  void incomingConnection(qintptr descriptor) override { mDescriptor = descriptor; }
};

}  // namespace

class tst_WorkerTeardown : public QObject {
  Q_OBJECT

 private slots:
  void closeAfterThePeerReset() {
    cDescriptorServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    QTcpSocket peer;
    peer.connectToHost(QHostAddress::LocalHost, server.serverPort());
    QVERIFY(peer.waitForConnected(5000));
    QTRY_VERIFY(server.mDescriptor >= 0);

    sEWNetTransportSettings settings;
    settings.mByeWaitMs = 2000;
    auto* worker = new cServerConnectionThreadWorker(1, server.mDescriptor, settings, nullptr);
    worker->InitOnThread();

    // The peer resets the connection; the worker's side has not seen it yet.
    const linger reset{1, 0};
    QCOMPARE(::setsockopt(int(peer.socketDescriptor()), SOL_SOCKET, SO_LINGER, &reset, sizeof reset), 0);
    peer.abort();
    QThread::msleep(50);
    delete worker;
  }
};

QTEST_GUILESS_MAIN(tst_WorkerTeardown)
#include "tst_WorkerTeardown.moc"
