// Work handed from another thread to the GUI thread: in order, on the
// owner's thread, with what it carries handed over in a way a thread checker
// can follow, and dropped with its owner.

#include <QtTest>
#include <atomic>
#include <memory>
#include <thread>

#include "QtGUIComponents/EWNetDrivers/SignalSlotDrivers/GuiThreadHandoff.h"

class tst_GuiThreadHandoff : public QObject {
  Q_OBJECT

 private slots:
  void inOrderOnTheOwnersThread() {
    QObject owner;
    auto* handoff = new cGuiThreadHandoff(&owner);
    constexpr int kCount = 2000;
    QStringList received;
    bool allOnOwnerThread = true;
    std::thread poster([&] {
      for (int i = 0; i < kCount; ++i) {
        // Carries data made on this thread, as the backends' messages do.
        const QStringList names{QString::number(i), QString(40, QChar('a' + i % 26))};
        handoff->Post([&, names] {
          allOnOwnerThread = allOnOwnerThread && QThread::currentThread() == owner.thread();
          received << names.first();
        });
      }
    });
    // Taken while the poster still runs: joining it first would order
    // everything it did before the work runs, and hide a hand-over that
    // only Qt's own locks order.
    QTRY_COMPARE(received.size(), kCount);
    poster.join();
    QVERIFY(allOnOwnerThread);
    for (int i = 0; i < kCount; ++i) QCOMPARE(received[i], QString::number(i));
  }

  void droppedWithItsOwner() {
    auto ran = std::make_shared<std::atomic<int>>(0);
    {
      QObject owner;
      auto* handoff = new cGuiThreadHandoff(&owner);
      std::thread poster([&] {
        for (int i = 0; i < 10; ++i) handoff->Post([ran] { ++*ran; });
      });
      poster.join();
    }
    QCoreApplication::processEvents();
    QTest::qWait(20);
    QCOMPARE(ran->load(), 0);
  }
};

QTEST_GUILESS_MAIN(tst_GuiThreadHandoff)
#include "tst_GuiThreadHandoff.moc"
