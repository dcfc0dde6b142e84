// The loader window as a user sees it: the program's own main_load_only.qml
// with the real backends on the object network, talking to the device
// simulator on a pseudo-terminal, driven by mouse clicks.

// The program runs a QGuiApplication without widgets; so does this test, or
// the dialogs would be the widget ones instead of those the user gets.
#undef QT_WIDGETS_LIB

#include <QFontInfo>
#include <QJsonDocument>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "DevSim/SimFixture.h"
#include "OrvelGUI/Qml/ScreenSupport.h"
#include "QmlFixture.h"
#include "TestSupport.h"
#include "Tools/ConfigFiles.h"

namespace {

const QString kScreen = QStringLiteral("qrc:/main_load_only.qml");
constexpr int kLinkTimeoutMs = 8000;
const QString kNothingAdopted = QStringLiteral("Read-back not finished: nothing of the processor's settings adopted");
const QString kRefusedUnits =
    QStringLiteral("Kept own values, the processor's were not plausible: Input L fader, Mid high-pass");

}  // namespace

// Notes every value a QML property takes, also one shown only for a moment
// (the link reads a device back in a few beats).
class cPropertyRecorder : public QObject {
  Q_OBJECT

 public:
  cPropertyRecorder(QObject* item, const char* property) : mItem(item), mProperty(property) {
    const QMetaProperty watched = item->metaObject()->property(item->metaObject()->indexOfProperty(property));
    connect(item, watched.notifySignal(), this, metaObject()->method(metaObject()->indexOfSlot("Record()")));
  }
  QStringList Values() const { return mValues; }

 public slots:
  void Record() { mValues << mItem->property(mProperty).toString(); }

 private:
  QObject* mItem;
  const char* mProperty;
  QStringList mValues;
};

class tst_LoaderWindow : public QObject {
  Q_OBJECT

 private:
  // Everything one test needs, made in the program's order and torn down in
  // reverse: the program's object system with its backend, then the screen.
  struct sLoader {
    cLoaderProgram mProgram;
    cOrvelQmlBackend* mBackend = mProgram.Backend();
    std::unique_ptr<cQmlScreen> mScreen = std::make_unique<cQmlScreen>(kScreen, mBackend);

    ~sLoader() { mScreen.reset(); }
    cSerialConnectionBackend* Serial() const { return mBackend->backendSerialConnection(); }
    QString Status() const { return Text("statusLabel"); }
    QString Result() const { return Text("resultLabel"); }
    bool ResultShown() const { return Label("resultLabel")->isVisible(); }
    QQuickItem* Label(const char* name) const {
      return FindItem(mScreen->Window()->contentItem(), QString::fromLatin1(name));
    }
    QString Text(const char* name) const { return Label(name)->property("text").toString(); }
    QString ConnectImage() const { return mScreen->Item("connectButton")->property("source").toString(); }
    bool DialogShown(const char* alias) const { return mScreen->Object(alias)->property("visible").toBool(); }
    void ClickConnect() const { mScreen->Click(mScreen->Item("connectButton")); }
    void ClickRecall() const { mScreen->Click(mScreen->Item("recallButton")); }
    // Picks a file in the recall dialog and accepts it.
    bool ChooseRecallFile(const QString& path) const {
      QObject* dialog = mScreen->Object("recallDialog");
      bool added = false;
      if (!QMetaObject::invokeMethod(dialog, "addSelection", Q_RETURN_ARG(bool, added),
                                     Q_ARG(QUrl, QUrl::fromLocalFile(path))) ||
          !added) {
        return false;
      }
      return QMetaObject::invokeMethod(dialog, "accept");
    }
  };

  std::unique_ptr<cScreenTestScope> mScope;
  // A good configuration file, as the program writes it, and what it holds.
  QTemporaryDir mGoodFolder;
  sConfiguration mGood;
  sConfiguration mDefaults;
  QByteArray mGoodFile;

  // Connects through the window to the only port and waits for the version.
  static bool ConnectThroughTheWindow(sLoader& loader) {
    if (!QTest::qWaitFor([&] { return loader.Status() == "Status: Not connected"; }, kLinkTimeoutMs)) return false;
    loader.ClickConnect();
    return QTest::qWaitFor([&] { return loader.Status() == "Status: Connected, V1.4"; }, kLinkTimeoutMs);
  }

 private slots:
  void initTestCase() {
    SetUpOrvelQml();
    {
      cStandaloneAssembly defaults;
      mDefaults = ReadConfiguration(defaults.Core());
      mGood = Distinct(mDefaults);
    }
    mGoodFile = SavedConfiguration(mGood, mGoodFolder.filePath("good.cfg"));
    QVERIFY(!mGoodFile.isEmpty());
  }

  void init() { BeginScreenTest(mScope); }
  void cleanup() { EndScreenTest(mScope); }

  void windowAsBuilt() {
    sLoader loader;
    QVERIFY(loader.mScreen->Show());
    QQuickWindow* window = loader.mScreen->Window();
    QCOMPARE(window->size(), QSize(420, 300));
    QCOMPARE(window->minimumSize(), QSize(420, 300));
    QCOMPARE(window->maximumSize(), QSize(420, 300));
    QCOMPARE(window->title(), QString("Orvel Loader - V1.00"));
    QCOMPARE(loader.mBackend->windowHScale(), 1.0);
    QCOMPARE(loader.mBackend->windowWScale(), 1.0);

    QQuickItem* connect = loader.mScreen->Item("connectButton");
    QCOMPARE(connect->height(), 40.0);
    QCOMPARE(connect->width(), 40.0 * 64 / 56);
    QCOMPARE(loader.mScreen->Item("messageBox")->height(), 50.0);

    // The logo fits its box, which is lower than the logo's 256 pixels,
    // and keeps its square shape.
    QQuickItem* box = loader.mScreen->Item("logoBox");
    QQuickItem* logo = loader.mScreen->Item("logo");
    QCOMPARE(box->height(), 300.0 - (45 + 50 + 2 * 10 + 2 * 10));
    const QSizeF painted(logo->property("paintedWidth").toReal(), logo->property("paintedHeight").toReal());
    QCOMPARE(painted.width(), painted.height());
    QCOMPARE(painted.height(), box->height());
    const QRectF logoArea = logo->mapRectToScene(
        QRectF(QPointF((logo->width() - painted.width()) / 2, (logo->height() - painted.height()) / 2), painted));
    QVERIFY(box->mapRectToScene(QRectF(0, 0, box->width(), box->height())).contains(logoArea));
    QCOMPARE(logo->property("status").toInt(), 1);  // Image.Ready

    // The text is in the program's own font.
    const QFont font = loader.Label("statusLabel")->property("font").value<QFont>();
    QCOMPARE(QFontInfo(font).family(), QString("Spartan"));
    QVERIFY(font.bold());
    QCOMPARE(font.pixelSize(), 14);
  }

  void noDevicesDetected() {
    sLoader loader;
    QVERIFY(loader.mScreen->Show());
    QTRY_COMPARE(loader.Status(), QString("Status: No devices detected"));
    loader.ClickConnect();
    QVERIFY(!loader.Serial()->connectFlag());
    QVERIFY(!loader.mScreen->Object("portPopup")->property("opened").toBool());
    QCOMPARE(loader.Status(), QString("Status: No devices detected"));
  }

  void connectAndDisconnectWithOnePort() {
    auto device = mScope->OnlyDevice();
    QVERIFY(device);
    sLoader loader;
    QVERIFY(loader.mScreen->Show());
    QTRY_COMPARE(loader.Status(), QString("Status: Not connected"));
    QCOMPARE(loader.ConnectImage(), QString("qrc:/Connect.svg"));

    loader.ClickConnect();
    QCOMPARE(loader.Status(), QString("Status: Attempting to connect"));
    QTRY_COMPARE_WITH_TIMEOUT(loader.Status(), QString("Status: Connected, V1.4"), kLinkTimeoutMs);
    QCOMPARE(loader.ConnectImage(), QString("qrc:/Connected.svg"));

    loader.ClickConnect();
    QTRY_COMPARE_WITH_TIMEOUT(loader.Status(), QString("Status: Not connected"), kLinkTimeoutMs);
    QCOMPARE(loader.ConnectImage(), QString("qrc:/Connect.svg"));
    QCOMPARE(ReceivedTypes(*device).section(',', -1), QString("15"));  // the disconnect packet
  }

  // Ports whose names share their first seven characters (and more), as the
  // 8-byte slots of the older port list could not tell apart: each button
  // shows the whole name and opens its own port.
  void portsSharingALongPrefix_data() {
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::newRow("left and right") << "ttyOrvelLeft"
                                    << "ttyOrvelRight";
    QTest::newRow("USB modems") << "cu.usbmodem14101"
                                << "cu.usbmodem14201";
  }
  void portsSharingALongPrefix() {
    QFETCH(QString, first);
    QFETCH(QString, second);
    auto one = mScope->Simulator(first);
    auto other = mScope->Simulator(second);
    QVERIFY(one && other);
    UseDevicePorts({QString::fromStdString(one->DevicePath()), QString::fromStdString(other->DevicePath())});
    sLoader loader;
    QVERIFY(loader.mScreen->Show());
    QTRY_COMPARE(loader.Serial()->portNames(), QStringList({first, second}));
    for (int pick : {1, 0}) {
      devsim::cDeviceSimulator& chosen = pick == 1 ? *other : *one;
      devsim::cDeviceSimulator& notChosen = pick == 1 ? *one : *other;
      chosen.ClearReceived();
      notChosen.ClearReceived();
      loader.ClickConnect();
      QObject* popup = loader.mScreen->Object("portPopup");
      QTRY_VERIFY(popup->property("opened").toBool());
      QQuickItem* button = FindItem(loader.mScreen->Window()->contentItem(), "portButton" + QString::number(pick));
      QVERIFY(button != nullptr);
      QCOMPARE(button->property("text").toString(), pick == 1 ? second : first);
      QVERIFY(button->width() >= 150.0);
      loader.mScreen->Click(button);
      QTRY_COMPARE_WITH_TIMEOUT(loader.Status(), QString("Status: Connected, V1.4"), kLinkTimeoutMs);
      QVERIFY(chosen.ReceivedCount() > 0);
      QCOMPARE(notChosen.ReceivedCount(), std::size_t(0));
      loader.ClickConnect();
      QTRY_COMPARE_WITH_TIMEOUT(loader.Status(), QString("Status: Not connected"), kLinkTimeoutMs);
    }
  }

  void portPopupWithTwoPorts() {
    auto first = mScope->Simulator("ttyORVA");
    auto second = mScope->Simulator("ttyORVB");
    QVERIFY(first && second);
    UseDevicePorts({QString::fromStdString(first->DevicePath()), QString::fromStdString(second->DevicePath())});
    sLoader loader;
    QVERIFY(loader.mScreen->Show());
    QTRY_COMPARE(loader.Serial()->portNames(), QStringList({"ttyORVA", "ttyORVB"}));

    loader.ClickConnect();
    QObject* popup = loader.mScreen->Object("portPopup");
    QTRY_VERIFY(popup->property("opened").toBool());
    QVERIFY(!loader.Serial()->connectFlag());
    QQuickItem* choice = FindItem(loader.mScreen->Window()->contentItem(), "portButton1");
    QVERIFY(choice != nullptr);
    QCOMPARE(choice->property("text").toString(), QString("ttyORVB"));
    QCOMPARE(choice->width(), 150.0);
    loader.mScreen->Click(choice);
    QTRY_VERIFY(!popup->property("visible").toBool());
    QTRY_COMPARE_WITH_TIMEOUT(loader.Status(), QString("Status: Connected, V1.4"), kLinkTimeoutMs);
    QCOMPARE(first->ReceivedCount(), std::size_t(0));
    QVERIFY(second->ReceivedCount() > 0);
  }

  // A recall goes to the processor: the button works only while one is
  // connected (a lost link disables it again: hangUpDuringARecall).
  void recallOnlyWhileConnected() {
    auto device = mScope->OnlyDevice();
    QVERIFY(device);
    sLoader loader;
    QVERIFY(loader.mScreen->Show());
    QQuickItem* recall = loader.mScreen->Item("recallButton");
    QTRY_COMPARE(loader.Status(), QString("Status: Not connected"));
    QVERIFY(!recall->isEnabled());
    loader.ClickRecall();
    QTest::qWait(50);
    QVERIFY(!loader.DialogShown("recallDialog"));
    QVERIFY(!loader.mScreen->Item("overlay")->isVisible());
    QVERIFY(!loader.mBackend->backendSavesDialog()->buttonRecall());
    QVERIFY(ConnectThroughTheWindow(loader));
    QVERIFY(recall->isEnabled());
  }

  // The processor hangs up half-way through a recall: the result says it
  // failed and the status line shows the lost link at once.
  void hangUpDuringARecall() {
    const QString path = mScope->FilePath("halfway.cfg");
    QVERIFY(WriteFile(path, mGoodFile));
    auto device = mScope->OnlyDevice();
    QVERIFY(device);
    sLoader loader;
    QVERIFY(loader.mScreen->Show());
    QVERIFY(ConnectThroughTheWindow(loader));
    devsim::sFaultModes faults;
    faults.mHangUpAfter = int(device->ReceivedCount()) + 12;  // in the middle of the recall's 50 packets
    device->SetFaults(faults);
    loader.ClickRecall();
    QTRY_VERIFY(loader.DialogShown("recallDialog"));
    QVERIFY(loader.ChooseRecallFile(path));
    QVERIFY(device->WaitForHangUp(kLinkTimeoutMs));
    QElapsedTimer sinceHangUp;
    sinceHangUp.start();
    QTRY_COMPARE_WITH_TIMEOUT(loader.Status(), QString("Status: No Reply"), kLinkTimeoutMs);
    const qint64 shownAfter = sinceHangUp.elapsed();
    QTRY_COMPARE_WITH_TIMEOUT(loader.Result(), QString("Recall halfway.cfg Failed"), kLinkTimeoutMs);
    QVERIFY(loader.ResultShown());
    QCOMPARE(loader.Status(), QString("Status: No Reply"));
    // From the lost port itself, not from the ten seconds of silence after
    // which the link gives a device up (a loose bound for a loaded machine).
    QVERIFY2(shownAfter < 5000, qPrintable(QString("%1 ms").arg(shownAfter)));
    QCOMPARE(loader.ConnectImage(), QString("qrc:/Connect.svg"));
    QVERIFY(!loader.mScreen->Item("recallButton")->isEnabled());
  }

  // A recall that another object asks the saves manager for (another
  // screen, a tool, a peer on the network) changes the units, but its
  // result is not the user's and does not appear on the result line.
  void recallOfAnotherObjectIsNotShown() {
    const QString theirs = mScope->FilePath("theirs.cfg");
    const QString mine = mScope->FilePath("mine.cfg");
    QVERIFY(WriteFile(theirs, mGoodFile) && WriteFile(mine, mGoodFile));
    auto device = mScope->OnlyDevice();
    QVERIFY(device);
    sLoader loader;
    QVERIFY(loader.mScreen->Show());
    QVERIFY(ConnectThroughTheWindow(loader));
    QSignalSpy results(loader.mBackend->backendSavesDialog(), &cSavesDialogBackend::operationSuccessChanged);
    QVERIFY(results.isValid());
    // "Saves Client NetObject", linked both ways to the manager as a peer is.
    QVERIFY(loader.mProgram.Core().RecallConfiguration(theirs, kLinkTimeoutMs));
    QCOMPARE(Json(ReadConfiguration(loader.mProgram.Core())), Json(mGood));
    loader.ClickRecall();
    QTRY_VERIFY(loader.DialogShown("recallDialog"));
    QVERIFY(loader.ChooseRecallFile(mine));
    QTRY_COMPARE_WITH_TIMEOUT(loader.Result(), QString("Recall mine.cfg Successful"), kLinkTimeoutMs);
    // Answers reach the screen in order: the other recall's would have come first.
    QCOMPARE(results.count(), 1);
  }

  void recallResults_data() {
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QString>("result");
    const QByteArray good = mGoodFile;
    QTest::newRow("good file") << "My Setup #1.cfg" << good << "Recall My Setup #1.cfg Successful";
    QTest::newRow("foreign file") << "other.cfg" << QByteArray(64, 'x') << "Recall other.cfg Failed";
    QTest::newRow("cut short") << "short.cfg" << good.left(7) << "Recall short.cfg Failed";
    QByteArray tampered = good;
    tampered[3] = char(tampered[3] ^ 0x40);
    QTest::newRow("damaged") << "damaged.cfg" << tampered << "Recall damaged.cfg Failed";
    QTest::newRow("with a block too many") << "long.cfg" << good + good << "Recall long.cfg Failed";
  }
  void recallResults() {
    QFETCH(QString, fileName);
    QFETCH(QByteArray, contents);
    QFETCH(QString, result);
    const QString path = mScope->FilePath(fileName);
    QVERIFY(WriteFile(path, contents));
    auto device = mScope->OnlyDevice();
    QVERIFY(device);
    sLoader loader;
    QVERIFY(loader.mScreen->Show());
    QVERIFY(ConnectThroughTheWindow(loader));

    loader.ClickRecall();
    QTRY_VERIFY(loader.DialogShown("recallDialog"));
    QVERIFY(loader.mScreen->Item("overlay")->isVisible());
    QVERIFY(loader.mBackend->backendSavesDialog()->buttonRecall());
    QVERIFY(loader.ChooseRecallFile(path));
    QTRY_COMPARE_WITH_TIMEOUT(loader.Result(), result, kLinkTimeoutMs);
    QVERIFY(loader.ResultShown());
    QVERIFY(!loader.DialogShown("recallDialog"));
    QVERIFY(!loader.mScreen->Item("overlay")->isVisible());
    QVERIFY(!loader.mBackend->backendSavesDialog()->buttonRecall());
    if (result.endsWith(" Successful")) {
      // The units hold the file's values, and so does the processor once
      // everything has gone out.
      QCOMPARE(Json(ReadConfiguration(loader.mProgram.Core())), Json(mGood));
      QVERIFY(loader.mProgram.Core().WaitUntilAllSent(kLinkTimeoutMs, [] { QCoreApplication::processEvents(); }));
      ExpectDeviceHolds(loader.mProgram.Core(), device->Model());
    }

    // The next change of the status line clears the result.
    loader.ClickConnect();
    QTRY_COMPARE_WITH_TIMEOUT(loader.Status(), QString("Status: Not connected"), kLinkTimeoutMs);
    QCOMPARE(loader.Result(), QString());
    QVERIFY(!loader.ResultShown());
  }

  void errorDialogs_data() {
    QTest::addColumn<int>("error");
    QTest::addColumn<QString>("text");
    QTest::newRow("in use") << 1 << "Device already in use.\nClose all other apps connected to your Orvel device.";
    QTest::newRow("not found") << 2 << "Device connection failure.\nEnsure your cable is securely fitted.";
    QTest::newRow("time-out") << 3 << "Timeout occured. Please try again.";
  }
  void errorDialogs() {
    QFETCH(int, error);
    QFETCH(QString, text);
    devsim::sFaultModes faults;
    faults.mNoReply = error == 3;
    auto device = mScope->Simulator("ttyORV0", faults);
    QVERIFY(device);
    QSerialPort otherApp(QString::fromStdString(device->DevicePath()));
    if (error == 1) QVERIFY(otherApp.open(QIODevice::ReadWrite));
    UseDevicePorts({error == 2 ? mScope->FilePath("ttyGONE") : QString::fromStdString(device->DevicePath())});
    sLoader loader;
    QVERIFY(loader.mScreen->Show());
    QTRY_VERIFY(!loader.Serial()->portNames().isEmpty());
    loader.ClickConnect();
    if (error == 3) {
      // The port opens and the device never tells its version.
      QTRY_COMPARE_WITH_TIMEOUT(loader.Status(), QString("Status: Port Open"), kLinkTimeoutMs);
    }
    QTRY_VERIFY_WITH_TIMEOUT(loader.DialogShown("errorDialog"), kLinkTimeoutMs);
    QCOMPARE(loader.mScreen->Object("errorDialog")->property("text").toString(), text);
    QTRY_COMPARE_WITH_TIMEOUT(loader.Status(), QString(error == 3 ? "Status: No Reply" : "Status: Not connected"),
                              kLinkTimeoutMs);
    QMetaObject::invokeMethod(loader.mScreen->Object("errorDialog"), "close");
    QTRY_VERIFY(!loader.DialogShown("errorDialog"));
  }

  void statusWhileReadingTheDevice() {
    auto device = mScope->OnlyDevice();
    QVERIFY(device);
    sLoader loader;
    QVERIFY(loader.mScreen->Show());
    QVERIFY(ConnectThroughTheWindow(loader));
    cPropertyRecorder shown(loader.mScreen->Object("messageBox"), "statusText");
    QVERIFY(loader.mProgram.Link().StartSync());
    // Synced: the window takes the settings over and returns to connected.
    QTRY_VERIFY_WITH_TIMEOUT(shown.Values().contains("Status: Syncing"), kLinkTimeoutMs);
    QTRY_COMPARE_WITH_TIMEOUT(loader.Status(), QString("Status: Connected, V1.4"), kLinkTimeoutMs);
    QVERIFY(!loader.mScreen->Item("overlay")->isVisible());
    QCOMPARE(loader.Result(), QString());

    // A device that stops answering half-way is given up on: no reply, and
    // the window says nothing was adopted.
    devsim::sFaultModes silent;
    silent.mNoReply = true;
    device->SetFaults(silent);
    QVERIFY(loader.mProgram.Link().StartSync());
    QTRY_COMPARE_WITH_TIMEOUT(loader.Status(), QString("Status: Getting Sync"), kLinkTimeoutMs);
    QTRY_COMPARE_WITH_TIMEOUT(loader.Status(), QString("Status: No Reply"), kLinkTimeoutMs);
    QCOMPARE(loader.Result(), kNothingAdopted);
    QVERIFY(!loader.mScreen->Item("overlay")->isVisible());
  }

  // Connecting shows what the processor holds: the status passes through
  // the read-back, the units take the processor's settings, and saving
  // them writes what the processor holds. The processor then gets only
  // what changes.
  void connectReadsTheProcessorBack() {
    QRandomGenerator random(1919);
    const sConfiguration held = ReadBackPart(RandomConfiguration(random), mDefaults);
    auto device = mScope->OnlyDeviceHolding(held);
    QVERIFY(device);
    const QString pulled = mScope->FilePath("pulled.cfg");
    {
      sLoader loader;
      QVERIFY(loader.mScreen->Show());
      cPropertyRecorder shown(loader.mScreen->Object("messageBox"), "statusText");
      QVERIFY(ConnectThroughTheWindow(loader));
      const QStringList states = shown.Values();
      const int getting = states.indexOf("Status: Getting Sync");
      const int syncing = states.indexOf("Status: Syncing");
      QVERIFY2(getting >= 0 && syncing > getting && states.indexOf("Status: Connected, V1.4") > syncing,
               qPrintable(states.join(" | ")));
      QCOMPARE(loader.Result(), QString());
      QVERIFY(!loader.mScreen->Item("overlay")->isVisible());
      EXPECT_CONFIGURATION(ReadConfiguration(loader.mProgram.Core()), held);
      // Nothing was sent back: the processor had it all.
      QCOMPARE(ReceivedTypes(*device), QString("0,7,9,3"));
      QVERIFY(loader.mProgram.Core().SaveConfiguration(pulled, kLinkTimeoutMs));
    }
    cStandaloneAssembly reader(false);
    QVERIFY(reader.Core().RecallConfiguration(pulled, kLinkTimeoutMs));
    EXPECT_CONFIGURATION(ReadConfiguration(reader.Core()), held);
  }

  // A processor that falls silent during the read-back: "No Reply", and
  // the units keep their own settings; nothing is adopted half-way.
  void silentDuringTheReadBack() {
    QRandomGenerator random(2020);
    const sConfiguration held = RandomConfiguration(random);
    devsim::sFaultModes faults;
    faults.mSilentAfter = 3;  // the version, the strips and the delays
    auto device = mScope->OnlyDeviceHolding(held, faults);
    QVERIFY(device);
    sLoader loader;
    QVERIFY(loader.mScreen->Show());
    QTRY_COMPARE(loader.Status(), QString("Status: Not connected"));
    loader.ClickConnect();
    QTRY_COMPARE_WITH_TIMEOUT(loader.Status(), QString("Status: No Reply"), kLinkTimeoutMs);
    QCOMPARE(loader.Result(), kNothingAdopted);
    QCOMPARE(Json(ReadConfiguration(loader.mProgram.Core())), Json(mDefaults));
    QVERIFY(!loader.mScreen->Item("overlay")->isVisible());
    QVERIFY(!loader.mScreen->Item("recallButton")->isEnabled());
  }

  // Records the processor could not hold are not adopted: the window names
  // the units that kept their own values, the others take the processor's.
  void implausibleRecordsAreRefused() {
    QRandomGenerator random(2121);
    const sConfiguration held = ReadBackPart(RandomConfiguration(random), mDefaults);
    devsim::sFaultModes faults;
    faults.mImplausibleRecords = true;
    auto device = mScope->OnlyDeviceHolding(held, faults);
    QVERIFY(device);
    sLoader loader;
    QVERIFY(loader.mScreen->Show());
    QVERIFY(ConnectThroughTheWindow(loader));
    QTRY_COMPARE_WITH_TIMEOUT(loader.Result(), kRefusedUnits, kLinkTimeoutMs);
    // The refused units have their own (default) values, every other unit
    // the processor's.
    sConfiguration expected = held;
    expected.mStrips[devsim::kSpoiltStrip] = mDefaults.mStrips[devsim::kSpoiltStrip];
    expected.mPanels[1].mHighPass = mDefaults.mPanels[1].mHighPass;
    EXPECT_CONFIGURATION(ReadConfiguration(loader.mProgram.Core()), expected);
  }

  // Closing the window while a recall is on its way leaves nothing behind
  // that the answer could reach.
  void closeWithARecallInFlight() {
    const QString path = mScope->FilePath("inflight.cfg");
    QVERIFY(WriteFile(path, mGoodFile));
    auto device = mScope->OnlyDevice();
    QVERIFY(device);
    auto loader = std::make_unique<sLoader>();
    QVERIFY(loader->mScreen->Show());
    QVERIFY(ConnectThroughTheWindow(*loader));
    loader->ClickRecall();
    QTRY_VERIFY(loader->DialogShown("recallDialog"));
    QVERIFY(loader->ChooseRecallFile(path));
    loader.reset();
    QTest::qWait(50);
  }
};

QTEST_MAIN(tst_LoaderWindow)
#include "tst_LoaderWindow.moc"
