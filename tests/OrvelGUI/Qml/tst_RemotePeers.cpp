// What a peer on the object network may and may not do to the program a
// user sits at: the real screens and backends on the program's own
// transport, and a peer speaking the wire format over a real loopback
// socket. It may set units, recall and find; it may not fake what the
// screens show nor make the program write a file. The editor shows and
// switches who may connect.

// The program runs a QGuiApplication without widgets; so does this test.
#undef QT_WIDGETS_LIB

#include <QSettings>
#include <QtTest>
#include <memory>

#include "AES-Standards/Convert.h"
#include "EWNet/Core/RegRoutr.h"
#include "EWNet/QT/TransportFixture.h"
#include "OrvelGUI/Application/EditorProgram.h"
#include "OrvelGUI/Core/AppPaths.h"
#include "OrvelGUI/Core/ControlStripUnit.h"
#include "OrvelGUI/Core/NetworkAccess.h"
#include "OrvelGUI/Core/SavesManager.h"
#include "OrvelGUI/Qml/ScreenSupport.h"
#include "QmlFixture.h"
#include "TestSupport.h"

namespace {

constexpr int kWaitMs = 8000;
constexpr int kLowL = 2;  // strip index of the Low panel's left output

QByteArray Text(const char* text) { return QByteArray(text).append('\0'); }
QByteArray Bytes(std::initializer_list<int> bytes) {
  QByteArray out;
  for (int b : bytes) out.append(char(b));
  return out;
}

// A program elsewhere on the network that knows the wire format.
class cWirePeer {
 public:
  bool Connect(quint16 port) {
    if (!mPeer.Connect(port)) return false;
    mPeer.SendHello();
    return mPeer.AwaitAck() != 0;
  }
  // The handle of a named object, 0xFFFF when not found.
  EW_NET_DATA_SCALE Find(const char* name) {
    const UWORD asker = mNextSource++;
    mPeer.Write(MessagePacket(0, asker, M_REG_FIND_OBJECT, Text(name)));
    const auto* reply = mPeer.AwaitTcp([&](const auto& p) {
      return !p.mUtility && p.mMessage.mDestination == asker &&
             (p.mMessage.mMethod == M_REPLY_OK || p.mMessage.mMethod == M_REPLY_FAIL);
    });
    if (reply == nullptr || reply->mMessage.mMethod != M_REPLY_OK || reply->mMessage.mLength < 2) return 0xFFFF;
    return reply->mMessage.GetUWORD(0);
  }
  void Write(EW_NET_DATA_SCALE handle, UWORD method, const QByteArray& payload, UWORD source = 0x0300) {
    mPeer.Write(MessagePacket(handle, source, method, payload));
  }
  // A message the program sent to one of the peer's handles.
  const cPacketCollector::sPacket* Await(UWORD destination, UWORD method) {
    return mPeer.AwaitTcp([&](const auto& p) {
      return !p.mUtility && p.mMessage.mDestination == destination && p.mMessage.mMethod == method;
    });
  }
  void Close() { mPeer.mTcp.abort(); }

 private:
  cRawPeer mPeer;
  UWORD mNextSource = 0x0100;
};

QString StoredInFile() {
  return QSettings(QSettings::NativeFormat, QSettings::UserScope, "Tessmark", "Orvel Loader")
      .value("network/allow")
      .toString();
}

}  // namespace

class tst_RemotePeers : public QObject {
  Q_OBJECT

 private:
  struct sScreen {
    cLoaderProgram mProgram;
    std::unique_ptr<cQmlScreen> mScreen;

    sScreen(const QString& url, const cOrvelRuntime::tCreateBackends& backends)
        : mProgram(backends), mScreen(std::make_unique<cQmlScreen>(url, mProgram.Backend())) {}
    ~sScreen() { mScreen.reset(); }
    QQuickItem* Find(const char* name) const { return FindItem(mScreen->Window()->contentItem(), name); }
    QString TextOf(const char* name) const { return Find(name)->property("text").toString(); }
  };

  std::unique_ptr<cScreenTestScope> mScope;

 private slots:
  void initTestCase() { SetUpOrvelQml(); }
  void init() {
    BeginScreenTest(mScope);
    qunsetenv(networkaccess::kEnvironmentVariable);
    QString error;
    QVERIFY2(networkaccess::Store(QString(), error), qPrintable(error));
  }
  void cleanup() { EndScreenTest(mScope); }

  // "Status: Connected, HACKED" and an enabled Recall, without a device:
  // every write to the loader's backends is refused once per source and
  // nothing on the window changes.
  void theLoaderCannotBeFaked() {
    cReportCapture reports;
    sScreen loader(QStringLiteral("qrc:/main_load_only.qml"), {});
    QVERIFY(loader.mScreen->Show());
    const QString status = QStringLiteral("Status: No devices detected");
    QTRY_COMPARE_WITH_TIMEOUT(loader.TextOf("statusLabel"), status, kWaitMs);

    cWirePeer peer;
    QVERIFY(peer.Connect(loader.mProgram.NetworkPort()));
    const EW_NET_DATA_SCALE serial = peer.Find(cSerialConnectionBackend::kObjectName);
    const EW_NET_DATA_SCALE saves = peer.Find(cSavesDialogBackend::kObjectName);
    QVERIFY(serial != 0xFFFF && saves != 0xFFFF);
    peer.Write(serial, 4097, Bytes({1, 't', 't', 'y', 'F', 'A', 'K', 0}));
    peer.Write(serial, 4098, Text("HACKED"));
    peer.Write(serial, 4099, Bytes({2, 0}));
    peer.Write(serial, 4096, Bytes({2}));
    peer.Write(saves, 4097, Bytes({1}), 0x0301);
    // Delivered and refused, each source reported once.
    QTRY_COMPARE_WITH_TIMEOUT(reports.Count("\"Serial Connection Backend NetObject\" refused method 0x10"), 1, kWaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(reports.Count("\"Saves Dialog Backend NetObject\" refused method 0x1001"), 1, kWaitMs);
    QVERIFY(reports.Contains("from connection 1, object 0x300: it takes values only from the object it is linked to"));
    QCoreApplication::processEvents();

    cSerialConnectionBackend* backend = loader.mProgram.Backend()->backendSerialConnection();
    QCOMPARE(backend->version(), QString());
    QCOMPARE(int(backend->state()), int(cSerialConnectionBackend::DISCONNECTED));
    QVERIFY(!backend->connectFlag());
    QVERIFY(backend->portNames().isEmpty());
    QCOMPARE(loader.TextOf("statusLabel"), status);
    QCOMPARE(loader.Find("connectButton")->property("source").toString(), QString("qrc:/Connect.svg"));
    loader.mScreen->Click(loader.Find("recallButton"));
    QVERIFY(!loader.mScreen->Object("recallDialog")->property("visible").toBool());
    QVERIFY(!loader.Find("resultLabel")->isVisible());
  }

  // A fader shows its strip's gain: a peer that sets the strip moves it,
  // one that writes to the fader's own control is refused.
  void aFaderFollowsItsStripOnly() {
    cReportCapture reports;
    sScreen editor(QStringLiteral("qrc:/main.qml"), CreateEditorBackends);
    QVERIFY(editor.mScreen->Show());
    cFaderControlStripBackend* strip = editor.mProgram.Backend()->backendInOutFader()->lowL();
    QQuickItem* cap =
        FindItem(FindItem(FindItem(editor.mScreen->Item("faderPanel"), "lowBlock"), "leftStrip"), "faderCap");
    QVERIFY(cap != nullptr);
    const int before = strip->faderDriver()->networkValue();
    const qreal capBefore = cap->y();
    const GAIN unitBefore =
        Locked([&] { return editor.mProgram.Core().GetInOutFader()->GetStrip(kLowL)->GetUnit()->GetGain(); });

    cWirePeer peer;
    QVERIFY(peer.Connect(editor.mProgram.NetworkPort()));
    const EW_NET_DATA_SCALE control = peer.Find(strip->faderDriver()->netObjectName().toLatin1().constData());
    const EW_NET_DATA_SCALE unit = peer.Find("InOutFader:L Control Strip Unit1");
    QVERIFY(control != 0xFFFF && unit != 0xFFFF);
    const UWORD faked = 0x8800;
    peer.Write(control, 4096, Bytes({faked >> 8, faked & 0xFF}));
    QTRY_VERIFY_WITH_TIMEOUT(reports.Contains("Fader Widget\" refused method 0x1000 from connection 1"), kWaitMs);
    QCoreApplication::processEvents();
    QCOMPARE(strip->faderDriver()->networkValue(), before);
    QCOMPARE(cap->y(), capBefore);
    QCOMPARE(Locked([&] { return editor.mProgram.Core().GetInOutFader()->GetStrip(kLowL)->GetUnit()->GetGain(); }),
             unitBefore);

    // The permitted peer's own business: the strip itself.
    const UWORD set = GainToUWORD(GAIN(-6 * 256));
    peer.Write(unit, 4098, Bytes({set >> 8, set & 0xFF}));
    QTRY_COMPARE_WITH_TIMEOUT(strip->faderDriver()->networkValue(), int(set), kWaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(cap->y() != capBefore, kWaitMs);
  }

  // A remote save is answered with 0 and writes nothing; a remote recall of
  // the default file still reaches every unit.
  void aPeerRecallsButDoesNotSave() {
    cReportCapture reports;
    sConfiguration good;
    {
      cStandaloneAssembly defaults;
      good = Distinct(ReadConfiguration(defaults.Core()));
    }
    const QString saveFile = orvelpaths::DefaultSaveFile();
    QVERIFY(saveFile.startsWith(QDir::homePath()));
    // Written before the program runs, as a user's earlier save.
    const QByteArray bytes = SavedConfiguration(good, saveFile);
    QVERIFY(!bytes.isEmpty());
    cLoaderProgram program;

    cWirePeer peer;
    QVERIFY(peer.Connect(program.NetworkPort()));
    const EW_NET_DATA_SCALE manager = peer.Find(cSavesManager::kName);
    QVERIFY(manager != 0xFFFF);
    const QString elsewhere = mScope->FilePath("elsewhere.cfg");
    peer.Write(manager, cSavesManager::kMethodSave, QByteArray(), 0x0400);
    peer.Write(manager, cSavesManager::kMethodSave, Text(elsewhere.toLocal8Bit().constData()), 0x0401);
    for (UWORD asker : {UWORD(0x0400), UWORD(0x0401)}) {
      const auto* answer = peer.Await(asker, cSavesManager::kMethodSave);
      QVERIFY(answer != nullptr);
      QCOMPARE(answer->mMessage.mLength, UWORD(1));
      QCOMPARE(int(answer->mMessage.GetUBYTE(0)), 0);
    }
    QCOMPARE(reports.Count("Save request from connection 1 refused"), 2);
    QFile file(saveFile);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), bytes);
    QVERIFY(!QFile::exists(elsewhere));

    peer.Write(manager, cSavesManager::kMethodRecall, QByteArray(), 0x0402);
    QTRY_COMPARE_WITH_TIMEOUT(Locked([&] { return Json(ReadConfiguration(program.Core())); }), Json(good), kWaitMs);
  }

  // The editor's network line and switch, driven with the mouse; the
  // choice is in force for the next peer and kept for the next start.
  void theEditorShowsAndSwitchesNetworkControl() {
    {
      sScreen editor(QStringLiteral("qrc:/main.qml"), CreateEditorBackends);
      QVERIFY(editor.mScreen->Show());
      QTRY_COMPARE_WITH_TIMEOUT(editor.TextOf("networkLabel"), QString("Network: off"), kWaitMs);
      QCOMPARE(editor.TextOf("networkSwitch"), QString("REMOTE OFF"));

      cWirePeer peer;
      QVERIFY(peer.Connect(editor.mProgram.NetworkPort()));
      QTRY_COMPARE_WITH_TIMEOUT(editor.TextOf("networkLabel"), QString("Network: off, 1 peer"), kWaitMs);

      editor.mScreen->Click(editor.Find("networkSwitch"));
      QTRY_COMPARE_WITH_TIMEOUT(editor.TextOf("networkLabel"), QString("Network: 1 peer"), kWaitMs);
      QCOMPARE(editor.TextOf("networkSwitch"), QString("REMOTE ON"));
      QCOMPARE(StoredInFile(), QString("local"));
      cNetworkConnection* manager = cNetworkConnection::Instance();
      QVERIFY(manager->AllowedPeers()->AdmitsRemotePeers());
      for (const auto& subnet : cPeerAllowList::LocalSubnets()) QVERIFY(manager->AllowedPeers()->Admits(subnet.first));

      peer.Close();
      QTRY_COMPARE_WITH_TIMEOUT(editor.TextOf("networkLabel"), QString("Network: 0 peers"), kWaitMs);
    }
    // The next start, from the same settings file.
    sScreen editor(QStringLiteral("qrc:/main.qml"), CreateEditorBackends);
    QVERIFY(editor.mScreen->Show());
    QTRY_COMPARE_WITH_TIMEOUT(editor.TextOf("networkLabel"), QString("Network: 0 peers"), kWaitMs);
    QCOMPARE(editor.TextOf("networkSwitch"), QString("REMOTE ON"));
    editor.mScreen->Click(editor.Find("networkSwitch"));
    QTRY_COMPARE_WITH_TIMEOUT(editor.TextOf("networkLabel"), QString("Network: off"), kWaitMs);
    QCOMPARE(StoredInFile(), QString("off"));
    QVERIFY(!cNetworkConnection::Instance()->AllowedPeers()->AdmitsRemotePeers());
  }

  // ORVEL_NETWORK_ALLOW holds for the run over the setting; the switch, once
  // used, holds over both.
  void theVariableHoldsUntilTheSwitchIsUsed() {
    cReportCapture reports;
    QString error;
    QVERIFY(networkaccess::Store("any", error));
    QVERIFY(!networkaccess::Store("any, everyone", error));
    qputenv(networkaccess::kEnvironmentVariable, "127.0.0.1, 127.0.0.300");
    sScreen editor(QStringLiteral("qrc:/main.qml"), CreateEditorBackends);
    QVERIFY(editor.mScreen->Show());
    QTRY_COMPARE_WITH_TIMEOUT(editor.TextOf("networkLabel"), QString("Network: off"), kWaitMs);
    QVERIFY(!cNetworkConnection::Instance()->AllowedPeers()->Admits(QHostAddress("127.0.0.2")));
    QCOMPARE(reports.Count("ORVEL_NETWORK_ALLOW: \"127.0.0.300\" is neither an address nor a CIDR range"), 1);
    editor.mScreen->Click(editor.Find("networkSwitch"));
    QTRY_COMPARE_WITH_TIMEOUT(editor.TextOf("networkLabel"), QString("Network: 0 peers"), kWaitMs);
    QVERIFY(qEnvironmentVariableIsEmpty(networkaccess::kEnvironmentVariable));
    QVERIFY(cNetworkConnection::Instance()->AllowedPeers()->Admits(QHostAddress("127.0.0.2")));
  }
};

QTEST_MAIN(tst_RemotePeers)
#include "tst_RemotePeers.moc"
