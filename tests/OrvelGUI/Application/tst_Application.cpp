// cApplication and the runtime around it, in-process: the order in which
// the program's objects come, what exists while it runs, that everything is
// gone after the ordered shutdown, and many starts and ends of the whole
// with the loader screen, and with the editor, loaded while the threads run.

#include <QTcpSocket>
#include <QtTest>

#include "EWNet/Core/RegRoutr.h"
#include "EWNet/QT/EWNetTCPServer.h"
#include "EWNet/QT/NetworkConnection.h"
#include "OrvelGUI/Application/EditorProgram.h"
#include "QmlFixture.h"
#include "TestSupport.h"

class tst_Application : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { SetUpOrvelQml(); }

  void assemblyWhileRunningAndAfter() {
    cReportCapture reports;
    {
      cLoaderProgram program;
      // The front end's process-wide objects exist before the screens need them.
      QVERIFY(cThemeColours::Instance() && cDrawingUtility::Instance() && cFontStyles::Instance() &&
              cUISettings::Instance() && cQmlValueInterpreterSingleton::Instance());
      cRegistryRouter& router = *GetRegistryRouter();
      EW_NET_DATA_SCALE previous = 0;
      for (const char* name :
           {"Action Tick Driver", "Serial Connection Driver NetObject", "Metering Sources NetObject",
            "Saves Manager NetObject", "InOutFader:Input L Control Strip Unit", "LMH 1:  HPF Unit",
            "LMH 3:  Parametric EQ Gang", "Serial Connection Backend NetObject", "Saves Dialog Backend NetObject"}) {
        const EW_NET_DATA_SCALE handle = router.FindHandle(name);
        QVERIFY2(handle != EW_INVALID_HANDLE && handle > previous, name);
        previous = handle;
      }
      const std::uint64_t ticks = program.Core().GetTickCount();
      QTRY_VERIFY(program.Core().GetTickCount() >= ticks + 3);

      // The object network takes connections while the program runs.
      QTcpSocket peer;
      peer.connectToHost(QHostAddress::LocalHost, program.NetworkPort());
      QVERIFY(peer.waitForConnected(5000));
      QTRY_COMPARE(int(cNetworkConnection::Instance()->NumberOfConnections()), 1);
    }
    QVERIFY(GetRegistryRouter() == nullptr);
    QVERIFY(GetSystemBuilder() == nullptr);
    QVERIFY2(reports.Lines().empty(), qPrintable(reports.Dump()));
    QVERIFY(cThemeColours::Instance() == nullptr);
    QVERIFY(reports.Contains("gThemeColours is NULL"));
  }

  // Start, load the screen, end, many times over, while the dispatch and
  // tick threads run: nothing is left behind for the next start. The editor
  // makes several hundred drivers, each with its net object, every time.
  void manyStartsAndEnds_data() {
    QTest::addColumn<bool>("editor");
    QTest::addColumn<int>("starts");
    QTest::newRow("loader") << false << 200;
    QTest::newRow("editor") << true << 30;
  }
  void manyStartsAndEnds() {
    QFETCH(bool, editor);
    QFETCH(int, starts);
    cQtWarningCapture warnings;
    warnings.Expect("This plugin does not support propagateSizeHints");
    for (int i = 0; i < starts; ++i) {
      cLoaderProgram program(editor ? CreateEditorBackends : cOrvelRuntime::tCreateBackends());
      cQmlScreen screen(editor ? QStringLiteral("qrc:/main.qml") : QStringLiteral("qrc:/main_load_only.qml"),
                        program.Backend());
      QVERIFY(screen.Show());
      if (i % 10 == 0)
        QTRY_COMPARE(FindItem(screen.Window()->contentItem(), "statusLabel")->property("text").toString(),
                     QString("Status: No devices detected"));
    }
    QVERIFY2(warnings.Unexpected().isEmpty(), qPrintable(warnings.Unexpected().join('\n')));
  }

  void networkPortFromTheEnvironment_data() {
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<int>("port");
    QTest::addColumn<bool>("reported");
    QTest::newRow("unset") << QByteArray() << 51321 << false;
    QTest::newRow("a port") << QByteArray("51400") << 51400 << false;
    QTest::newRow("the system's choice") << QByteArray("0") << 0 << false;
    QTest::newRow("too large") << QByteArray("65536") << 51321 << true;
    QTest::newRow("negative") << QByteArray("-1") << 51321 << true;
    QTest::newRow("no number") << QByteArray("port") << 51321 << true;
  }
  void networkPortFromTheEnvironment() {
    QFETCH(QByteArray, value);
    QFETCH(int, port);
    QFETCH(bool, reported);
    if (value.isNull()) {
      qunsetenv("ORVEL_NETWORK_PORT");
    } else {
      qputenv("ORVEL_NETWORK_PORT", value);
    }
    cReportCapture reports;
    QCOMPARE(int(OrvelNetworkPort()), port);
    QCOMPARE(reports.Contains("is no TCP port"), reported);
    qunsetenv("ORVEL_NETWORK_PORT");
  }
};

QTEST_MAIN(tst_Application)
#include "tst_Application.moc"
