// The /dev/orvel-* links that name a port, found in a folder of the test's
// own: plain files stand in for the device nodes.

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "OrvelGUI/Core/PortAliases.h"

class tst_PortAliases : public QObject {
  Q_OBJECT

  QTemporaryDir mDir;
  QString mDev;
  QString mLinks;

  QString Node(const QString& name) const { return mDev + "/" + name; }
  QString Link(const QString& name) const { return mLinks + "/" + name; }

 private slots:
  void initTestCase() {
    QVERIFY(mDir.isValid());
    mDev = mDir.filePath("dev");
    mLinks = mDir.filePath("links");
    QVERIFY(QDir().mkpath(mDev + "/serial/by-id"));
    QVERIFY(QDir().mkpath(mLinks));
    for (const char* node : {"ttyACM0", "ttyACM1"}) {
      QFile file(Node(node));
      QVERIFY(file.open(QIODevice::WriteOnly));
    }
    QVERIFY(QFile::link(Node("ttyACM0"), Node("serial/by-id/usb-Orvel-if00")));
    // Two names of ttyACM0, one of them through a second link, as udev makes
    // /dev/orvel-* beside /dev/serial/by-id/*.
    QVERIFY(QFile::link(Node("ttyACM0"), Link("orvel-206C38A35748")));
    QVERIFY(QFile::link(Node("serial/by-id/usb-Orvel-if00"), Link("orvel-ttyACM0")));
    QVERIFY(QFile::link(Node("ttyACM1"), Link("orvel-31A0")));
    // Leads to the port, but is not one of the rule's names.
    QVERIFY(QFile::link(Node("ttyACM0"), Link("modem-ttyACM0")));
    // Leads nowhere: a processor unplugged, its port gone.
    QVERIFY(QFile::link(Node("ttyACM9"), Link("orvel-gone")));
    QFile plain(Link("orvel-notalink"));
    QVERIFY(plain.open(QIODevice::WriteOnly));
  }

  void aliasesOfAPort_data() {
    QTest::addColumn<QString>("port");
    QTest::addColumn<QStringList>("aliases");
    QTest::newRow("kernel name: both links, sorted")
        << Node("ttyACM0") << QStringList{Link("orvel-206C38A35748"), Link("orvel-ttyACM0")};
    QTest::newRow("other port: its own link only") << Node("ttyACM1") << QStringList{Link("orvel-31A0")};
    QTest::newRow("reached by its by-id name")
        << Node("serial/by-id/usb-Orvel-if00") << QStringList{Link("orvel-206C38A35748"), Link("orvel-ttyACM0")};
    QTest::newRow("reached by one alias: the other one")
        << Link("orvel-206C38A35748") << QStringList{Link("orvel-ttyACM0")};
    QTest::newRow("same alias written untidily") << mLinks + "/./orvel-31A0" << QStringList();
    // Neither the missing port nor the dangling link has a canonical path:
    // an empty match would call them the same.
    QTest::newRow("missing port, dangling link to it") << Node("ttyACM9") << QStringList();
    QTest::newRow("empty path") << QString() << QStringList();
  }
  void aliasesOfAPort() {
    QFETCH(QString, port);
    QFETCH(QStringList, aliases);
    QCOMPARE(cPortAliases::AliasesOf(port, mLinks), aliases);
  }

  void missingFolderHasNoAliases() {
    QCOMPARE(cPortAliases::AliasesOf(Node("ttyACM0"), mDir.filePath("no-such-folder")), QStringList());
  }

  void folderFromTheEnvironment() {
    qunsetenv(cPortAliases::kFolderVariable);
    QCOMPARE(cPortAliases::Folder(), QString("/dev"));
    qputenv(cPortAliases::kFolderVariable, mLinks.toLocal8Bit());
    QCOMPARE(cPortAliases::Folder(), mLinks);
    qputenv(cPortAliases::kFolderVariable, "");
    QCOMPARE(cPortAliases::Folder(), QString("/dev"));
    qunsetenv(cPortAliases::kFolderVariable);
  }
};

QTEST_GUILESS_MAIN(tst_PortAliases)
#include "tst_PortAliases.moc"
