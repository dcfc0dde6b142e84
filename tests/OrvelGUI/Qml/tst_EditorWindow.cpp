// The editor as a user sees it: the program's own main.qml with every panel
// backend on the real object network, talking to the device simulator on a
// pseudo-terminal, driven by mouse presses, moves and releases.

// The program runs a QGuiApplication without widgets; so does this test, or
// the dialogs would be the widget ones instead of those the user gets.
#undef QT_WIDGETS_LIB

#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "AES-Standards/Convert.h"
#include "DevSim/SimFixture.h"
#include "EWNet/Core/RegRoutr.h"
#include "OrvelGUI/Application/EditorProgram.h"
#include "OrvelGUI/Core/ControlStripUnit.h"
#include "OrvelGUI/Core/ParametricEQGangDriver.h"
#include "OrvelGUI/Core/ParametricEQUnit.h"
#include "OrvelGUI/Qml/ScreenSupport.h"
#include "OrvelGUI/QtGUIComponents/PEQQmlBackEnd2.h"
#include "OrvelGUI/QtGUIComponents/PEQQmlBand2.h"
#include "QmlFixture.h"
#include "Tools/ConfigFiles.h"

namespace {

constexpr int kLinkTimeoutMs = 8000;
constexpr int kLowL = 2;  // strip index of the Low panel's left output

template <typename tRead>
auto Locked(tRead read) {
  cRegistryLocker lock;
  return read();
}

// Everything the processor holds, as text, to compare two of them.
QString DeviceState(const devsim::cDeviceModel& model) {
  QStringList lines;
  for (const devsim::sSimStrip& s : model.Strips()) {
    lines << QString("strip %1 %2 %3 %4").arg(s.mLinear).arg(s.mGainWord).arg(s.mPolarity).arg(s.mMute);
  }
  for (std::int32_t delay : model.Delays()) lines << QString("delay %1").arg(delay);
  for (const devsim::sSimFilter& f : model.Filters()) {
    QString line = QString("filter %1 %2 %3 %4").arg(f.mFrequency).arg(f.mWidth).arg(f.mGain).arg(f.mType);
    for (std::int32_t c : f.mCoefficients) line += QString(" %1").arg(c);
    lines << line;
  }
  return lines.join('\n');
}

}  // namespace

class tst_EditorWindow : public QObject {
  Q_OBJECT

 private:
  // The program with the editor's backends, and main.qml on them; torn
  // down screen first.
  struct sEditor {
    cLoaderProgram mProgram;
    std::unique_ptr<cQmlScreen> mScreen;

    explicit sEditor(const std::function<void(cApplicationCore&)>& before = {})
        : mProgram(CreateEditorBackends, before),
          mScreen(std::make_unique<cQmlScreen>(QStringLiteral("qrc:/main.qml"), mProgram.Backend())) {}
    ~sEditor() { mScreen.reset(); }

    cApplicationCore& Core() { return mProgram.Core(); }
    QQuickWindow* Window() const { return mScreen->Window(); }
    QObject* TopBar() const { return mScreen->Object("topBar"); }
    QString Status() const { return TopBar()->property("statusText").toString(); }
    QString Result() const { return TopBar()->property("resultText").toString(); }
    QQuickItem* Find(QQuickItem* below, const char* name) const { return FindItem(below, QString::fromLatin1(name)); }
    QQuickItem* Panel(const char* alias) const { return mScreen->Item(alias); }
    void ClickBar(const char* button) const { mScreen->Click(TopBar()->property(button).value<QQuickItem*>()); }
    void ShowTab(const char* name) const { mScreen->Click(Find(Window()->contentItem(), name)); }
    bool Connect() const {
      if (!QTest::qWaitFor([&] { return Status() == "Status: Device Detected"; }, kLinkTimeoutMs)) return false;
      ClickBar("connectButton");
      return QTest::qWaitFor([&] { return Status() == "Status: Connected, V1.4"; }, kLinkTimeoutMs);
    }
    // Presses the item's centre, moves by (dx, dy) in steps, releases.
    void Drag(QQuickItem* item, QPoint by) const {
      const QPoint from = item->mapToScene(QPointF(item->width() / 2, item->height() / 2)).toPoint();
      QTest::mousePress(Window(), Qt::LeftButton, Qt::NoModifier, from);
      constexpr int kSteps = 8;
      for (int step = 1; step <= kSteps; ++step) {
        QTest::mouseMove(Window(), from + by * step / kSteps, 10);
      }
      QTest::mouseRelease(Window(), Qt::LeftButton, Qt::NoModifier, from + by, 10);
    }
    // The equaliser graph of a panel's block ("leftEQ", "rightEQ").
    cPEQQmlBackEnd2* Graph(const char* panel, const char* block) const {
      QObject* peq = Panel(panel)->property(block).value<QObject*>()->property("graph").value<QObject*>();
      return peq->property("graph").value<cPEQQmlBackEnd2*>();
    }
    bool Choose(const char* dialogAlias, const QString& path) const {
      QObject* dialog = mScreen->Object(dialogAlias);
      bool added = false;
      QMetaObject::invokeMethod(dialog, "addSelection", Q_RETURN_ARG(bool, added),
                                Q_ARG(QUrl, QUrl::fromLocalFile(path)));
      return added && QMetaObject::invokeMethod(dialog, "accept");
    }
  };

  std::unique_ptr<cScreenTestScope> mScope;

 private slots:
  void initTestCase() { SetUpOrvelQml(); }

  void init() { BeginScreenTest(mScope); }
  void cleanup() { EndScreenTest(mScope); }

  // The editor recalls with no processor connected: the units take the
  // file, and the result line does not claim the processor holds it.
  void recallWithoutAProcessor() {
    sConfiguration wanted;
    {
      cStandaloneAssembly defaults;
      wanted = Distinct(ReadConfiguration(defaults.Core()));
    }
    const QString path = mScope->FilePath("offline.cfg");
    QVERIFY(!SavedConfiguration(wanted, path).isEmpty());
    sEditor editor;
    QVERIFY(editor.mScreen->Show());
    QTRY_COMPARE(editor.Status(), QString("Status: No devices detected"));
    editor.ClickBar("recallButton");
    QTRY_VERIFY(editor.mScreen->Object("recallDialog")->property("visible").toBool());
    QVERIFY(editor.Choose("recallDialog", path));
    QTRY_COMPARE_WITH_TIMEOUT(editor.Result(), QString("Recall offline.cfg Loaded, not sent: no processor connected"),
                              kLinkTimeoutMs);
    QCOMPARE(Json(ReadConfiguration(editor.Core())), Json(wanted));
  }

  // What the units hold before the editor opens is what it shows.
  void opensWithTheModelsValues() {
    sConfiguration model;
    sEditor editor([&model](cApplicationCore& core) {
      model = Distinct(ReadConfiguration(core));
      model.mStrips[kLowL].mMute = true;
      QVERIFY(ApplyConfiguration(core, model));
    });
    QVERIFY(editor.mScreen->Show());
    QCOMPARE(editor.Window()->title(), QString("Orvel GUI - V1.00"));
    QCOMPARE(editor.Status(), QString("Status: No devices detected"));

    QQuickItem* lowBlock = editor.Find(editor.Panel("faderPanel"), "lowBlock");
    QQuickItem* leftStrip = editor.Find(lowBlock, "leftStrip");
    QTRY_COMPARE_WITH_TIMEOUT(editor.Find(leftStrip, "valueText")->property("text").toString(), QString("-3.0"),
                              kLinkTimeoutMs);
    QTRY_COMPARE(editor.Find(editor.Find(lowBlock, "rightStrip"), "valueText")->property("text").toString(),
                 QString("-4.0"));
    QTRY_COMPARE(editor.Find(leftStrip, "muteButton")->property("imageSource").toString(),
                 QString("qrc:/MuteOn-V2.svg"));
    QCOMPARE(editor.Find(editor.Find(editor.Panel("faderPanel"), "inputBlock"), "valueText")->property("text"),
             QVariant("-1.0"));

    // Every graph and value widget of the High panel holds the units' bands.
    editor.ShowTab("tabHigh");
    const sPanelConfiguration& high = model.mPanels[2];
    for (const char* block : {"leftEQ", "rightEQ"}) {
      const sEQConfiguration& eq = high.mEQ[std::strcmp(block, "leftEQ") == 0 ? 0 : 1];
      QTRY_VERIFY(editor.Graph("highPanel", block) != nullptr);
      for (int b = 0; b < 6; ++b) {
        QTRY_COMPARE_WITH_TIMEOUT(editor.Graph("highPanel", block)->Band(b)->Frequency(), eq.mBands[b].mFrequency,
                                  kLinkTimeoutMs);
        QCOMPARE(editor.Graph("highPanel", block)->Band(b)->Gain(), eq.mBands[b].mGain);
      }
    }
    // The device's curves, switched on from the block.
    QQuickItem* leftEQ = editor.Find(editor.Panel("highPanel"), "leftEQ");
    editor.mScreen->Click(editor.Find(leftEQ, "deviceCurveButton"));
    QVERIFY(editor.Graph("highPanel", "leftEQ")->showQuantised());
    QVERIFY(!editor.Graph("highPanel", "rightEQ")->showQuantised());
    QTRY_VERIFY(!editor.Graph("highPanel", "leftEQ")->quantisedCombinedPathLine()->painterPath().isEmpty());
    QTRY_VERIFY(!editor.Find(editor.Find(editor.Panel("highPanel"), "leftEQ"), "gain0")
                     ->property("valueText")
                     .toString()
                     .isEmpty());
  }

  // Connecting shows what the processor holds: the link reads it back, the
  // faders and every equaliser graph show the processor's values, a save
  // writes them, and a fader moved afterwards sends only its strip.
  void connectShowsTheProcessorsSettings() {
    sConfiguration defaults;
    {
      cStandaloneAssembly fresh;
      defaults = ReadConfiguration(fresh.Core());
    }
    QRandomGenerator random(1922);
    const sConfiguration held = ReadBackPart(RandomConfiguration(random), defaults);
    auto device = mScope->OnlyDeviceHolding(held);
    QVERIFY(device);
    const QString saved = mScope->FilePath("saved.cfg");
    {
      sEditor editor;
      QVERIFY(editor.mScreen->Show());
      cSerialConnectionBackend* serial = editor.mProgram.Backend()->backendSerialConnection();
      QList<int> states;
      QObject::connect(serial, &cSerialConnectionBackend::stateChanged, serial,
                       [&] { states << int(serial->state()); });
      QVERIFY(editor.Connect());
      QVERIFY2(states.indexOf(3) >= 0 && states.indexOf(4) > states.indexOf(3),
               qPrintable(QString::number(states.size()) + " states, last " +
                          QString::number(states.value(states.size() - 1))));
      QCOMPARE(editor.Result(), QString());
      QVERIFY(!editor.mScreen->Item("overlay")->isVisible());
      EXPECT_CONFIGURATION(ReadConfiguration(editor.Core()), held);

      cInOutFaderPanelBackend* faders = editor.mProgram.Backend()->backendInOutFader();
      const cFaderControlStripBackend* strips[8] = {faders->inputL(), faders->inputR(), faders->lowL(),
                                                    faders->lowR(),   faders->midL(),   faders->midR(),
                                                    faders->highL(),  faders->highR()};
      for (std::size_t i = 0; i < 8; ++i) {
        QTRY_COMPARE_WITH_TIMEOUT(strips[i]->faderDriver()->networkValue(), int(GainToUWORD(held.mStrips[i].mGain)),
                                  kLinkTimeoutMs);
        QCOMPARE(strips[i]->mute()->value(), held.mStrips[i].mMute);
      }
      const char* tabs[3] = {"tabLow", "tabMid", "tabHigh"};
      const char* panels[3] = {"lowPanel", "midPanel", "highPanel"};
      for (int p = 0; p < 3; ++p) {
        editor.ShowTab(tabs[p]);
        for (int side = 0; side < 2; ++side) {
          const char* block = side == 0 ? "leftEQ" : "rightEQ";
          const sEQConfiguration& eq = held.mPanels[std::size_t(p)].mEQ[std::size_t(side)];
          QTRY_VERIFY(editor.Graph(panels[p], block) != nullptr);
          for (std::size_t b = 0; b < eq.mBands.size(); ++b) {
            QTRY_COMPARE_WITH_TIMEOUT(editor.Graph(panels[p], block)->Band(int(b))->Frequency(),
                                      eq.mBands[b].mFrequency, kLinkTimeoutMs);
            QCOMPARE(editor.Graph(panels[p], block)->Band(int(b))->Gain(), eq.mBands[b].mGain);
          }
        }
      }

      editor.ClickBar("saveButton");
      QTRY_VERIFY(editor.mScreen->Object("saveDialog")->property("visible").toBool());
      QVERIFY(editor.Choose("saveDialog", mScope->FilePath("saved")));
      QTRY_COMPARE_WITH_TIMEOUT(editor.Result(), QString("Save saved.cfg Successful"), kLinkTimeoutMs);

      // A change afterwards sends its own strip and nothing else.
      device->ClearReceived();
      editor.ShowTab("tabFaders");
      QQuickItem* cap =
          editor.Find(editor.Find(editor.Find(editor.Panel("faderPanel"), "lowBlock"), "leftStrip"), "faderCap");
      editor.Drag(cap, QPoint(0, held.mStrips[kLowL].mGain > 0 ? 60 : -60));
      QVERIFY(editor.Core().WaitUntilAllSent(kLinkTimeoutMs, [] { QCoreApplication::processEvents(); }));
      // Meter requests (4) go on as they always do.
      QStringList types = ReceivedTypes(*device).split(',', Qt::SkipEmptyParts);
      types.removeAll("4");
      QVERIFY2(!types.isEmpty() && types.count("6") == types.size(), qPrintable(types.join(',')));
      for (const devsim::sWirePacket& packet : device->Received()) {
        if (packet.mType == 6) QCOMPARE(int(packet.mBytes.at(8)), kLowL);
      }
    }
    cStandaloneAssembly reader(false);
    QVERIFY(reader.Core().RecallConfiguration(saved, kLinkTimeoutMs));
    EXPECT_CONFIGURATION(ReadConfiguration(reader.Core()), held);
  }

  // A fader dragged up reaches the processor as the strip's packet with the
  // new gain.
  void faderDragReachesTheDevice() {
    auto device = mScope->OnlyDevice();
    QVERIFY(device);
    sEditor editor;
    QVERIFY(editor.mScreen->Show());
    QVERIFY(editor.Connect());
    QVERIFY(editor.Core().WaitUntilAllSent(kLinkTimeoutMs, [] { QCoreApplication::processEvents(); }));
    device->ClearReceived();

    cFaderControlStripBackend* strip = editor.mProgram.Backend()->backendInOutFader()->lowL();
    const int before = strip->faderDriver()->networkValue();
    QQuickItem* cap =
        editor.Find(editor.Find(editor.Find(editor.Panel("faderPanel"), "lowBlock"), "leftStrip"), "faderCap");
    editor.Drag(cap, QPoint(0, -120));
    const int after = strip->faderDriver()->networkValue();
    QVERIFY2(after > before && after > 0x5800, qPrintable(QString("%1 -> %2").arg(before).arg(after)));
    const GAIN gain = UWORDToGain(UWORD(after));
    QTRY_COMPARE_WITH_TIMEOUT(
        Locked([&] { return editor.Core().GetInOutFader()->GetStrip(kLowL)->GetUnit()->GetGain(); }), gain,
        kLinkTimeoutMs);
    QTRY_COMPARE_WITH_TIMEOUT(device->Model().Strips()[kLowL].mGainWord, UWORD(gain), kLinkTimeoutMs);
    QVERIFY(ReceivedTypes(*device).split(',').contains("6"));
  }

  // A band dragged on the graph reaches the processor as that band's filter
  // (command 2 to its address) with the dragged frequency and gain; with the
  // gang on, the right equaliser follows.
  void graphDragReachesTheDevice_data() {
    QTest::addColumn<bool>("ganged");
    QTest::newRow("left alone") << false;
    QTest::newRow("ganged") << true;
  }
  void graphDragReachesTheDevice() {
    QFETCH(bool, ganged);
    auto device = mScope->OnlyDevice();
    QVERIFY(device);
    sEditor editor;
    QVERIFY(editor.mScreen->Show());
    QVERIFY(editor.Connect());
    editor.ShowTab("tabLow");
    QQuickItem* leftEQ = editor.Find(editor.Panel("lowPanel"), "leftEQ");
    const cLowMidHigh& low = *editor.Core().GetPanel(0);
    if (ganged) {
      editor.mScreen->Click(editor.Find(leftEQ, "gangButton"));
      QTRY_VERIFY_WITH_TIMEOUT(Locked([&] { return low.GetGang()->GetGang(); }), kLinkTimeoutMs);
      QTRY_VERIFY(!editor.Find(editor.Panel("lowPanel"), "rightEQ")->isVisible());
    }
    QVERIFY(editor.Core().WaitUntilAllSent(kLinkTimeoutMs, [] { QCoreApplication::processEvents(); }));
    device->ClearReceived();

    cPEQQmlBand2* band = qobject_cast<cPEQQmlBand2*>(editor.Graph("lowPanel", "leftEQ")->Band(1));
    QVERIFY(band != nullptr);
    const UWORD fromFrequency = band->Frequency();
    editor.Drag(editor.Find(leftEQ, "bandHandle1"), QPoint(-90, -40));
    QVERIFY(band->Frequency() < fromFrequency);
    QVERIFY(band->Gain() > 0);
    const UWORD frequency = band->Frequency();
    const GAIN gain = band->Gain();
    for (int side = 0; side < (ganged ? 2 : 1); ++side) {
      const cParametricEQDriver& eq = *low.GetEQ(side);
      QTRY_COMPARE_WITH_TIMEOUT(Locked([&] { return eq.GetUnit()->GetBand(1).mFrequency; }), frequency, kLinkTimeoutMs);
      QTRY_COMPARE_WITH_TIMEOUT(Locked([&] { return eq.GetUnit()->GetBand(1).mGain; }), gain, kLinkTimeoutMs);
      const std::size_t record = std::size_t(devsim::FilterRecordIndex(eq.DeviceAddress(1)));
      QTRY_COMPARE_WITH_TIMEOUT(device->Model().Filters()[record].mFrequency, frequency, kLinkTimeoutMs);
      QCOMPARE(device->Model().Filters()[record].mGain, gain);
    }
    cPEQBlockBackend* right = editor.mProgram.Backend()->backendLow()->peqBlockR();
    if (ganged) QTRY_COMPARE(right->bands()->at(1)->frequencyDriver()->networkValue(), int(frequency));
    if (!ganged) QVERIFY(Locked([&] { return low.GetEQ(1)->GetUnit()->GetBand(1).mFrequency; }) != frequency);
    QVERIFY(ReceivedTypes(*device).split(',').contains("2"));
  }

  // Saved from the editor, recalled by the loader on another processor: the
  // same settings, the second processor holds them, and it holds what the
  // editor had sent to the first.
  void saveInTheEditorRecallInTheLoader() {
    const QString path = mScope->FilePath("from editor.cfg");
    QByteArray saved;
    QString deviceState;
    {
      auto device = mScope->OnlyDevice("ttyEDIT");
      QVERIFY(device);
      sEditor editor;
      QVERIFY(editor.mScreen->Show());
      QVERIFY(editor.Connect());
      QQuickItem* midBlock = editor.Find(editor.Panel("faderPanel"), "midBlock");
      editor.Drag(editor.Find(editor.Find(midBlock, "rightStrip"), "faderCap"), QPoint(0, -150));
      editor.mScreen->Click(editor.Find(editor.Find(midBlock, "leftStrip"), "polarityButton"));
      editor.ShowTab("tabHigh");
      editor.Drag(editor.Find(editor.Find(editor.Panel("highPanel"), "rightEQ"), "bandHandle5"), QPoint(-40, 50));
      QTRY_VERIFY_WITH_TIMEOUT(
          Locked([&] { return editor.Core().GetPanel(2)->GetEQ(1)->GetUnit()->GetBand(5).mGain; }) < 0, kLinkTimeoutMs);

      editor.ClickBar("saveButton");
      QTRY_VERIFY(editor.mScreen->Object("saveDialog")->property("visible").toBool());
      QVERIFY(editor.Choose("saveDialog", mScope->FilePath("from editor")));
      QTRY_COMPARE_WITH_TIMEOUT(editor.Result(), QString("Save from editor.cfg Successful"), kLinkTimeoutMs);
      QVERIFY(QFileInfo::exists(path));
      QVERIFY(editor.Core().WaitUntilAllSent(kLinkTimeoutMs, [] { QCoreApplication::processEvents(); }));
      saved = Json(ReadConfiguration(editor.Core()));
      deviceState = DeviceState(device->Model());
    }

    auto device = mScope->OnlyDevice("ttyLOAD");
    QVERIFY(device);
    cLoaderProgram loader;
    cQmlScreen screen(QStringLiteral("qrc:/main_load_only.qml"), loader.Backend());
    QVERIFY(screen.Show());
    QObject* messageBox = screen.Object("messageBox");
    QTRY_COMPARE_WITH_TIMEOUT(messageBox->property("statusText").toString(), QString("Status: Not connected"),
                              kLinkTimeoutMs);
    screen.Click(screen.Item("connectButton"));
    QTRY_COMPARE_WITH_TIMEOUT(messageBox->property("statusText").toString(), QString("Status: Connected, V1.4"),
                              kLinkTimeoutMs);
    screen.Click(screen.Item("recallButton"));
    QTRY_VERIFY(screen.Object("recallDialog")->property("visible").toBool());
    QMetaObject::invokeMethod(screen.Object("recallDialog"), "addSelection", Q_ARG(QUrl, QUrl::fromLocalFile(path)));
    QMetaObject::invokeMethod(screen.Object("recallDialog"), "accept");
    QTRY_COMPARE_WITH_TIMEOUT(screen.Window()->property("resultText").toString(),
                              QString("Recall from editor.cfg Successful"), kLinkTimeoutMs);
    QCOMPARE(Json(ReadConfiguration(loader.Core())), saved);
    QVERIFY(loader.Core().WaitUntilAllSent(kLinkTimeoutMs, [] { QCoreApplication::processEvents(); }));
    ExpectDeviceHolds(loader.Core(), device->Model());
    // Everything the editor had sent to the first processor, the second
    // holds too (it holds more: a recall sends every unit).
    const QStringList before = deviceState.split('\n');
    const QStringList after = DeviceState(device->Model()).split('\n');
    QCOMPARE(after.size(), before.size());
    int compared = 0;
    for (int i = 0; i < before.size(); ++i) {
      if (QRegularExpression("^\\w+( 0)+$").match(before[i]).hasMatch()) continue;  // never sent
      QCOMPARE(after[i], before[i]);
      ++compared;
    }
    QVERIFY(compared >= 3);
  }
};

QTEST_MAIN(tst_EditorWindow)
#include "tst_EditorWindow.moc"
