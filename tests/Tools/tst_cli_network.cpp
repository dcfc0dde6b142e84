// orvel-cli network allow: the setting the editor's switch changes, changed
// and shown from the command line, and kept for the next run.

#include <QSettings>
#include <QtTest>

#include "OrvelGUI/Core/NetworkAccess.h"
#include "Tools/CliSupport.h"

namespace {

sRun Network(const QStringList& arguments) {
  QProcess cli;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.remove("ORVEL_NETWORK_ALLOW");
  cli.setProcessEnvironment(env);
  cli.start(kBin + "/orvel-cli", QStringList{"network"} + arguments);
  return FinishCli(cli);
}

// Read from the file, as the next start reads it.
QString Stored() {
  QSettings settings(QSettings::NativeFormat, QSettings::UserScope, "Tessmark", "Orvel Loader");
  return settings.value("network/allow").toString();
}

}  // namespace

class tst_cli_network : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    // Below the test's own HOME: never the user's settings.
    QVERIFY(QSettings(QSettings::NativeFormat, QSettings::UserScope, "Tessmark", "Orvel Loader")
                .fileName()
                .startsWith(QDir::homePath()));
    QSettings(QSettings::NativeFormat, QSettings::UserScope, "Tessmark", "Orvel Loader").clear();
  }

  void showsTheDefaultChangesAndKeepsTheSetting() {
    sRun run = Network({"allow", "show"});
    QCOMPARE(run.mExit, 0);
    QVERIFY2(run.mOut.contains("network/allow: (not set)\nAllowed peers: 127.0.0.0/8, ::1/128\nRemote peers: off\n"),
             qPrintable(run.mOut));

    run = Network({"allow", "192.168.1.0/24, 127.0.0.1"});
    QCOMPARE(run.mExit, 0);
    QCOMPARE(Stored(), QString("192.168.1.0/24, 127.0.0.1"));
    QVERIFY2(run.mOut.contains("Allowed peers: 192.168.1.0/24, 127.0.0.1/32\nRemote peers: on\n"),
             qPrintable(run.mOut));
    QVERIFY(!run.mOut.contains("Note:"));
    QCOMPARE(networkaccess::StoredText(), QString("192.168.1.0/24, 127.0.0.1"));

    // A list without this machine warns that local tools are refused too.
    run = Network({"allow", "10.1.2.3"});
    QCOMPARE(run.mExit, 0);
    QVERIFY2(run.mOut.contains("Note: 127.0.0.1 is not in the list"), qPrintable(run.mOut));

    run = Network({"allow", "off"});
    QCOMPARE(run.mExit, 0);
    QCOMPARE(Stored(), QString("off"));
    QVERIFY2(run.mOut.contains("Remote peers: off"), qPrintable(run.mOut));
  }

  void anInvalidEntryChangesNothing() {
    QCOMPARE(Network({"allow", "any"}).mExit, 0);
    const sRun run = Network({"allow", "10.0.0.1, 10.0.0.300"});
    QCOMPARE(run.mExit, 2);
    QVERIFY2(run.mErr.contains("orvel-cli: 10.0.0.300: neither an address nor a CIDR range; nothing changed"),
             qPrintable(run.mErr));
    QCOMPARE(Stored(), QString("any"));
    QCOMPARE(Network({"allow"}).mExit, 2);
    QCOMPARE(Network({"permit", "any"}).mExit, 2);
  }
};

QTEST_GUILESS_MAIN(tst_cli_network)
#include "tst_cli_network.moc"
