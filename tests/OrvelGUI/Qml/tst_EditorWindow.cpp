// The editor as a user sees it: the program's own main.qml with every panel
// backend on the real object network, talking to the device simulator on a
// pseudo-terminal, driven by mouse presses, moves and releases, wheel and
// keys. Like the program, a QApplication: the file and message dialogs are
// the desktop's (Qt's widget ones offscreen), with a box to type a name in.

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>
#include <memory>

#include "AES-Standards/Convert.h"
#include "DevSim/SimFixture.h"
#include "EWNet/Core/RegRoutr.h"
#include "OrvelGUI/Application/EditorProgram.h"
#include "OrvelGUI/Core/AppPaths.h"
#include "OrvelGUI/Core/ControlStripUnit.h"
#include "OrvelGUI/Core/ParametricEQGangDriver.h"
#include "OrvelGUI/Core/ParametricEQUnit.h"
#include "OrvelGUI/Qml/EditorScreen.h"
#include "OrvelGUI/Qml/ScreenSupport.h"
#include "OrvelGUI/QtGUIComponents/PEQQmlBackEnd2.h"
#include "OrvelGUI/QtGUIComponents/PEQQmlBand2.h"
#include "QmlFixture.h"
#include "Tools/ConfigFiles.h"

namespace {

constexpr int kLinkTimeoutMs = 8000;
constexpr int kLowL = 2;  // strip index of the Low panel's left output

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

// The dialog of that kind on screen, if one is.
template <typename tDialog>
tDialog* OpenDialog() {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    auto* dialog = qobject_cast<tDialog*>(widget);
    if (dialog != nullptr && dialog->isVisible()) return dialog;
  }
  return nullptr;
}

// Types a name (or a whole path) into the file dialog's name box, then Enter.
bool TypeFileName(const QString& name) {
  QFileDialog* dialog = nullptr;
  if (!QTest::qWaitFor([&] { return (dialog = OpenDialog<QFileDialog>()) != nullptr; }, 5000)) return false;
  auto* box = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
  if (box == nullptr) return false;
  box->selectAll();
  QTest::keyClicks(box, name);
  QTest::keyClick(box, Qt::Key_Return);
  return QTest::qWaitFor([&] { return OpenDialog<QFileDialog>() == nullptr; }, 5000);
}

// Clicks a button of the message box that shows `text`.
bool AnswerMessage(const QString& text, QMessageBox::StandardButton answer) {
  QMessageBox* box = nullptr;
  if (!QTest::qWaitFor([&] { return (box = OpenDialog<QMessageBox>()) != nullptr && box->text() == text; }, 5000)) {
    return false;
  }
  QAbstractButton* button = box->button(answer);
  if (button == nullptr) return false;
  QTest::mouseClick(button, Qt::LeftButton);
  return QTest::qWaitFor([&] { return OpenDialog<QMessageBox>() == nullptr; }, 5000);
}

// The coefficients of a device filter record, back in design order.
biquad::tQuantised DesignOrder(const devsim::sSimFilter& record) {
  const auto& c = record.mCoefficients;
  return {c[0], c[2], c[4], c[1], c[3]};
}

// The y of a line path at x, between the points around it.
double PathY(const QPainterPath& path, double x) {
  for (int i = 1; i < path.elementCount(); ++i) {
    const QPointF a = path.elementAt(i - 1);
    const QPointF b = path.elementAt(i);
    if (a.x() <= x && x <= b.x())
      return b.x() == a.x() ? a.y() : a.y() + (b.y() - a.y()) * (x - a.x()) / (b.x() - a.x());
  }
  return std::nan("");
}

}  // namespace

class tst_EditorWindow : public QObject {
  Q_OBJECT

 private:
  // The editor's screen with the steps these tests take on it.
  struct sEditor : sEditorScreen {
    using sEditorScreen::sEditorScreen;

    QString Result() const { return TopBar()->property("resultText").toString(); }
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
    // The window active, so that keys reach it and its shortcuts.
    bool Activate() const {
      Window()->requestActivate();
      return QTest::qWaitForWindowActive(Window());
    }
    void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) const {
      QTest::keyClick(Window(), key, modifiers);
    }
    // Clicks a value field, types into it and presses Enter.
    void Type(QQuickItem* field, const QString& text) const {
      mScreen->Click(field);
      for (const QChar c : text) QTest::keyClick(Window(), c.toLatin1());
      Key(Qt::Key_Return);
    }
    QQuickItem* Field(const char* panel, const char* block, const char* name) const {
      return Find(Find(Panel(panel), block), name);
    }
    cEditHistoryBackend* History() const { return mProgram.Backend()->backendEditHistory(); }
  };

  std::unique_ptr<cScreenTestScope> mScope;

 private slots:
  void initTestCase() { SetUpOrvelQml(); }

  void init() {
    BeginScreenTest(mScope);
    // The offscreen platform's notes as the widget dialogs open.
    mScope->ExpectWarning("This plugin does not support raise");
    mScope->ExpectWarning("This plugin does not support grabbing the keyboard");
    // A closed window must not end the test's application.
    QGuiApplication::setQuitOnLastWindowClosed(false);
  }
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
    QVERIFY(TypeFileName(path));
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
      QVERIFY(TypeFileName(mScope->FilePath("saved")));
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
      QVERIFY(TypeFileName(mScope->FilePath("from editor")));
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
    QVERIFY(TypeFileName(path));
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

  // With the equaliser OUT the device gets every band flat, and so the
  // graph draws it: every band out, the combined curve flat, "EQ OUT".
  void equaliserOutDrawsFlat() {
    auto device = mScope->OnlyDevice();
    QVERIFY(device);
    sEditor editor;
    QVERIFY(editor.mScreen->Show());
    QVERIFY(editor.Connect());
    editor.ShowTab("tabLow");
    QQuickItem* leftEQ = editor.Find(editor.Panel("lowPanel"), "leftEQ");
    cPEQQmlBackEnd2* graph = editor.Graph("lowPanel", "leftEQ");
    editor.Drag(editor.Find(leftEQ, "bandHandle0"), QPoint(0, -50));
    QTRY_VERIFY(graph->Band(0)->Gain() > 256);
    const auto flat = [graph] {
      const QPainterPath line = graph->combinedPathLine()->painterPath();
      for (int i = 0; i < line.elementCount(); ++i) {
        if (std::abs(line.elementAt(i).y - graph->zeroYPos()) > 1.0) return false;
      }
      return line.elementCount() > 0;
    };
    QTRY_VERIFY(!flat());
    QVERIFY(!editor.Find(leftEQ, "eqOutLabel")->isVisible());

    editor.mScreen->Click(editor.Find(leftEQ, "inOutButton"));
    const cParametricEQDriver& eq = *editor.Core().GetPanel(0)->GetEQ(0);
    for (UBYTE band = 0; band < 2; ++band) {
      const std::size_t record = std::size_t(devsim::FilterRecordIndex(eq.DeviceAddress(band)));
      QTRY_COMPARE_WITH_TIMEOUT(device->Model().Filters()[record].mCoefficients,
                                (std::array<std::int32_t, 5>{0x10000000, 0, 0, 0, 0}), kLinkTimeoutMs);
    }
    QTRY_VERIFY(graph->fullyBypassed());
    QTRY_VERIFY(flat());
    QVERIFY(graph->Band(0)->bandOut() && graph->Band(1)->bandOut());
    QVERIFY(editor.Find(leftEQ, "eqOutLabel")->isVisible());

    editor.mScreen->Click(editor.Find(leftEQ, "inOutButton"));
    QTRY_VERIFY(!flat());
    QVERIFY(!graph->Band(0)->bandOut());
  }

  // A bell's width reads as the Q its curve has, and a typed Q is taken in
  // the same sense: Q 1 is table Q 3.194 (0x1F00) on the device.
  void widthIsTheRealisedQ() {
    auto device = mScope->OnlyDevice();
    QVERIFY(device);
    sEditor editor;
    QVERIFY(editor.mScreen->Show());
    QVERIFY(editor.Activate());
    QVERIFY(editor.Connect());
    editor.ShowTab("tabLow");
    QQuickItem* width = editor.Field("lowPanel", "leftEQ", "width0");
    QTRY_COMPARE(width->property("valueText").toString(), QString("Q 0.242"));
    editor.Type(width, "1");
    const cParametricEQDriver& eq = *editor.Core().GetPanel(0)->GetEQ(0);
    const std::size_t record = std::size_t(devsim::FilterRecordIndex(eq.DeviceAddress(0)));
    QTRY_COMPARE_WITH_TIMEOUT(device->Model().Filters()[record].mWidth, std::uint16_t(0x1F00), kLinkTimeoutMs);
    QTRY_COMPARE(width->property("valueText").toString(), QString("Q 0.966"));
    // The same width at +6 dB is a narrower curve.
    editor.Type(editor.Field("lowPanel", "leftEQ", "gain0"), "6");
    QTRY_COMPARE_WITH_TIMEOUT(width->property("valueText").toString(), QString("Q 1.02"), kLinkTimeoutMs);
  }

  // A drag straight up keeps the band's frequency to the code, on screen
  // and on the processor; the gain follows the pointer.
  void verticalDragKeepsTheFrequency() {
    auto device = mScope->OnlyDevice();
    QVERIFY(device);
    sEditor editor;
    QVERIFY(editor.mScreen->Show());
    QVERIFY(editor.Connect());
    editor.ShowTab("tabHigh");
    cPEQQmlBand2* band = qobject_cast<cPEQQmlBand2*>(editor.Graph("highPanel", "leftEQ")->Band(4));
    QVERIFY(band != nullptr);
    const UWORD frequency = band->Frequency();
    editor.Drag(editor.Field("highPanel", "leftEQ", "bandHandle4"), QPoint(0, -60));
    QVERIFY(band->Gain() > 512);
    QCOMPARE(band->Frequency(), frequency);
    const cParametricEQDriver& eq = *editor.Core().GetPanel(2)->GetEQ(0);
    const std::size_t record = std::size_t(devsim::FilterRecordIndex(eq.DeviceAddress(4)));
    QTRY_COMPARE_WITH_TIMEOUT(device->Model().Filters()[record].mGain, band->Gain(), kLinkTimeoutMs);
    QCOMPARE(device->Model().Filters()[record].mFrequency, frequency);
    // Sideways, it moves.
    editor.Drag(editor.Field("highPanel", "leftEQ", "bandHandle4"), QPoint(-30, 0));
    QVERIFY(band->Frequency() < frequency);
  }

  // High's default bands lie in pairs on one point: their handles stand
  // side by side, each drags its own band; level lines every 5 dB.
  void overlappingHandlesAndLevelLines() {
    sEditor editor;
    QVERIFY(editor.mScreen->Show());
    editor.ShowTab("tabHigh");
    cPEQQmlBackEnd2* graph = editor.Graph("highPanel", "leftEQ");
    QTRY_VERIFY(graph != nullptr);
    QCOMPARE(graph->Band(0)->graphDragPoint(), graph->Band(1)->graphDragPoint());
    const auto centre = [&](int band) {
      QQuickItem* handle = editor.Field("highPanel", "leftEQ", qPrintable(QString("bandHandle%1").arg(band)));
      // In the graph's own pixels, those of its spacing, whatever the
      // window's scale.
      return handle->mapToItem(handle->parentItem(), QPointF(handle->width() / 2, handle->height() / 2));
    };
    for (int pair = 0; pair < 6; pair += 2) {
      QTRY_VERIFY(QLineF(centre(pair), centre(pair + 1)).length() >= graph->handleSpacing() - 0.5);
    }
    QVERIFY(graph->handleSpacing() >= 12.0);
    const UWORD second = graph->Band(1)->Frequency();
    editor.Drag(editor.Field("highPanel", "leftEQ", "bandHandle0"), QPoint(-40, -30));
    QVERIFY(graph->Band(0)->Frequency() < second);
    QCOMPARE(graph->Band(1)->Frequency(), second);
    QCOMPARE(graph->Band(1)->Gain(), GAIN(0));
    // Apart now: each at its own point.
    QTRY_COMPARE(graph->Band(1)->handleOffset(), QPointF());

    // -15 .. +15 dB without 0, which has its own line.
    const QPainterPath levels = graph->gainGridPath()->painterPath();
    QCOMPARE(levels.elementCount(), 12);
    QSet<int> ys;
    for (int i = 0; i < levels.elementCount(); ++i) ys.insert(int(levels.elementAt(i).y));
    QCOMPARE(ys.size(), 6);
    QVERIFY(!ys.contains(int(graph->zeroYPos())));
  }

  // "Output" draws what the whole output plays: a Mid output with 300 Hz and
  // 3 kHz pass filters, a bell and the fader at -3 dB, recalled, then the
  // high-pass typed to 250 Hz: as the processor's own integers say, across
  // the graph.
  void wholeOutputResponse() {
    sConfiguration shaped;
    {
      cStandaloneAssembly defaults;
      shaped = ReadConfiguration(defaults.Core());
    }
    shaped.mPanels[1].mHighPass = {FrequencyToUWORD(300.0), 0, false};
    shaped.mPanels[1].mLowPass = {FrequencyToUWORD(3000.0), 0, false};
    shaped.mPanels[1].mEQ[0].mBands[1] = {FrequencyToUWORD(1000.0), 20 << 8, 6 * 256, 0, 0, false};
    shaped.mStrips[4].mGain = -3 * 256;
    const QString file = mScope->FilePath("shaped.cfg");
    QVERIFY(WriteFile(file, SavedConfiguration(shaped, mScope->FilePath("saving.cfg"))));
    auto device = mScope->OnlyDevice();
    QVERIFY(device);
    sEditor editor;
    QVERIFY(editor.mScreen->Show());
    QVERIFY(editor.Activate());
    QVERIFY(editor.Connect());
    editor.ClickBar("recallButton");
    QVERIFY(TypeFileName(file));
    QTRY_COMPARE_WITH_TIMEOUT(editor.Result(), QString("Recall shaped.cfg Successful"), kLinkTimeoutMs);
    QVERIFY(editor.Activate());
    editor.ShowTab("tabMid");
    editor.Type(editor.Find(editor.Panel("midPanel"), "highPassFrequency"), "250");
    const cLowMidHigh& mid = *editor.Core().GetPanel(1);
    QTRY_COMPARE_WITH_TIMEOUT(Locked([&] { return mid.GetHighPass()->GetUnit()->GetFrequency(); }),
                              FrequencyToUWORD(250.0), kLinkTimeoutMs);
    QVERIFY(editor.Core().WaitUntilAllSent(kLinkTimeoutMs, [] { QCoreApplication::processEvents(); }));

    cPEQQmlBackEnd2* graph = editor.Graph("midPanel", "leftEQ");
    QVERIFY(graph->outputPathLine()->painterPath().isEmpty());
    editor.mScreen->Click(editor.Find(editor.Find(editor.Panel("midPanel"), "leftEQ"), "outputCurveButton"));
    QTRY_VERIFY(!graph->outputPathLine()->painterPath().isEmpty());
    QTRY_COMPARE(graph->property("outputHighPassFrequency").toInt(), int(FrequencyToUWORD(250.0)));
    QCoreApplication::processEvents();

    const devsim::cDeviceModel model = device->Model();
    const auto record = [&](ULONG address) { return model.Filters()[std::size_t(devsim::FilterRecordIndex(address))]; };
    // What the processor plays at f: its pass filters, bands and strip.
    const auto deviceDb = [&](double f) {
      double db = 0.0;
      for (const cPassFilterDriver* pass : {static_cast<const cPassFilterDriver*>(mid.GetHighPass()),
                                            static_cast<const cPassFilterDriver*>(mid.GetLowPass())}) {
        db += biquad::QuantisedMagnitudeDb(DesignOrder(record(pass->DeviceAddress(0, 0))), biquad::kPassScale, f);
      }
      for (UBYTE band = 0; band < 4; ++band) {
        db += biquad::QuantisedMagnitudeDb(DesignOrder(record(mid.GetEQ(0)->DeviceAddress(band))), biquad::kEQScale, f);
      }
      const std::int32_t linear = model.Strips()[4].mLinear;
      return db + 20.0 * std::log10(std::abs(linear) / 2147483647.0) + 3082 / 256.0;
    };
    const peqgraph::sPlot& plot = graph->Plot();
    int compared = 0;
    for (int x = 0; x <= plot.mWidth; x += 7) {
      const double expected = deviceDb(UWORDToFrequency(peqgraph::CodeAtPixel(x, plot.mWidth)));
      if (expected < plot.mGainMin + 0.5 || expected > plot.mGainMax - 0.5) continue;
      const double drawn =
          plot.mGainMax - (PathY(graph->outputPathLine()->painterPath(), x) - 0.5) / plot.PixelsPerDb();
      QVERIFY2(std::abs(drawn - expected) < 0.1,
               qPrintable(QString("x %1: %2 dB drawn, %3 dB").arg(x).arg(drawn).arg(expected)));
      ++compared;
    }
    QVERIFY2(compared > 20, qPrintable(QString::number(compared)));
    // Through the band the bell lifts it; beyond, it falls away.
    QVERIFY(deviceDb(1000.0) > 0.0);
    QVERIFY(deviceDb(60.0) < -15.0 && deviceDb(15000.0) < -15.0);
  }

  // Undo and redo on the keys: a drag is one step, and what it undoes
  // reaches the processor; the fader's too.
  void undoAndRedoADrag() {
    auto device = mScope->OnlyDevice();
    QVERIFY(device);
    sEditor editor;
    QVERIFY(editor.mScreen->Show());
    QVERIFY(editor.Activate());
    QVERIFY(editor.Connect());
    editor.ShowTab("tabLow");
    cPEQQmlBackEnd2* graph = editor.Graph("lowPanel", "leftEQ");
    QTRY_VERIFY(graph != nullptr && graph->Band(1) != nullptr);
    const UWORD frequency = graph->Band(1)->Frequency();
    const GAIN gain = graph->Band(1)->Gain();
    QVERIFY(!editor.History()->unsavedChanges());
    editor.Drag(editor.Field("lowPanel", "leftEQ", "bandHandle1"), QPoint(-80, -40));
    const UWORD draggedFrequency = graph->Band(1)->Frequency();
    const GAIN draggedGain = graph->Band(1)->Gain();
    QVERIFY(draggedFrequency != frequency && draggedGain != gain);
    QCOMPARE(editor.History()->StepCount(), 1);
    QVERIFY(editor.History()->unsavedChanges());

    const cParametricEQDriver& eq = *editor.Core().GetPanel(0)->GetEQ(0);
    const std::size_t record = std::size_t(devsim::FilterRecordIndex(eq.DeviceAddress(1)));
    const auto deviceHolds = [&](UWORD f, GAIN g) {
      const devsim::sSimFilter filter = device->Model().Filters()[record];
      return filter.mFrequency == f && filter.mGain == g;
    };
    QTRY_VERIFY_WITH_TIMEOUT(deviceHolds(draggedFrequency, draggedGain), kLinkTimeoutMs);
    editor.Key(Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(graph->Band(1)->Frequency(), frequency);
    QCOMPARE(graph->Band(1)->Gain(), gain);
    QTRY_VERIFY_WITH_TIMEOUT(deviceHolds(frequency, gain), kLinkTimeoutMs);
    QVERIFY(!editor.History()->unsavedChanges());
    // The band's fields follow.
    QTRY_COMPARE(
        editor.mProgram.Backend()->backendLow()->peqBlockL()->bands()->at(1)->frequencyDriver()->networkValue(),
        int(frequency));
    editor.Key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(graph->Band(1)->Frequency(), draggedFrequency);
    QTRY_VERIFY_WITH_TIMEOUT(deviceHolds(draggedFrequency, draggedGain), kLinkTimeoutMs);

    // A fader: one drag, one step.
    editor.ShowTab("tabFaders");
    cFaderControlStripBackend* strip = editor.mProgram.Backend()->backendInOutFader()->lowL();
    const int before = strip->faderDriver()->networkValue();
    editor.Drag(editor.Find(editor.Find(editor.Find(editor.Panel("faderPanel"), "lowBlock"), "leftStrip"), "faderCap"),
                QPoint(0, -100));
    QVERIFY(strip->faderDriver()->networkValue() != before);
    QCOMPARE(editor.History()->StepCount(), 2);
    QTRY_COMPARE_WITH_TIMEOUT(device->Model().Strips()[kLowL].mGainWord,
                              UWORD(UWORDToGain(UWORD(strip->faderDriver()->networkValue()))), kLinkTimeoutMs);
    editor.Key(Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(strip->faderDriver()->networkValue(), before);
    QTRY_COMPARE_WITH_TIMEOUT(device->Model().Strips()[kLowL].mGainWord, UWORD(UWORDToGain(UWORD(before))),
                              kLinkTimeoutMs);
  }

  // Closing with unsaved changes asks "Save changes?": Cancel stays, Save
  // saves where the user types and then closes, Discard closes; a save,
  // or nothing changed, closes without a word.
  void unsavedChangesPrompt() {
    sEditor editor;
    QVERIFY(editor.mScreen->Show());
    editor.Window()->close();
    QTRY_VERIFY(!editor.Window()->isVisible());
    QVERIFY(OpenDialog<QMessageBox>() == nullptr);

    QVERIFY(editor.mScreen->Show());
    QQuickItem* lowBlock = editor.Find(editor.Panel("faderPanel"), "lowBlock");
    editor.mScreen->Click(editor.Find(editor.Find(lowBlock, "leftStrip"), "muteButton"));
    QVERIFY(editor.History()->unsavedChanges());
    editor.Window()->close();
    QVERIFY(AnswerMessage("Save changes?", QMessageBox::Cancel));
    QVERIFY(editor.Window()->isVisible());

    editor.Window()->close();
    QVERIFY(AnswerMessage("Save changes?", QMessageBox::Save));
    QVERIFY(TypeFileName("before closing"));
    const QString saved = QDir(orvelpaths::SaveFolder()).filePath("before closing.cfg");
    QTRY_VERIFY_WITH_TIMEOUT(!editor.Window()->isVisible(), kLinkTimeoutMs);
    QVERIFY(QFileInfo::exists(saved));
    QVERIFY(!editor.History()->unsavedChanges());

    QVERIFY(editor.mScreen->Show());
    editor.mScreen->Click(editor.Find(editor.Find(lowBlock, "leftStrip"), "muteButton"));
    editor.Window()->close();
    QVERIFY(AnswerMessage("Save changes?", QMessageBox::Discard));
    QTRY_VERIFY(!editor.Window()->isVisible());
    QVERIFY(QFile::remove(saved));
  }

  // After "No Reply" one click on Connect connects again.
  void reconnectInOneClick() {
    devsim::sFaultModes silent;
    silent.mNoReply = true;
    auto device = mScope->OnlyDevice(QStringLiteral("ttyORV0"), silent);
    QVERIFY(device);
    sEditor editor;
    QVERIFY(editor.mScreen->Show());
    QTRY_COMPARE_WITH_TIMEOUT(editor.Status(), QString("Status: Device Detected"), kLinkTimeoutMs);
    editor.ClickBar("connectButton");
    QTRY_COMPARE_WITH_TIMEOUT(editor.Status(), QString("Status: No Reply"), kLinkTimeoutMs);
    QVERIFY(AnswerMessage("Timeout occured. Please try again.", QMessageBox::Ok));
    device->SetFaults({});
    editor.ClickBar("connectButton");
    QTRY_COMPARE_WITH_TIMEOUT(editor.Status(), QString("Status: Connected, V1.4"), kLinkTimeoutMs);
  }

  // The dialogs open in a folder that exists (the default save folder at
  // first, then the last one used, also after a restart), take a typed
  // name, and a failed save says why.
  void dialogsOpenWhereTheyCanAndSayWhy() {
    const QString folder = mScope->FilePath("configurations");
    QVERIFY(QDir().mkpath(folder));
    QSettings().remove(QLatin1String(cSavesDialogBackend::kFolderSetting));
    {
      sEditor editor;
      QVERIFY(editor.mScreen->Show());
      editor.ClickBar("saveButton");
      QTRY_VERIFY(OpenDialog<QFileDialog>() != nullptr);
      QTRY_COMPARE(OpenDialog<QFileDialog>()->directory().canonicalPath(),
                   QDir(orvelpaths::SaveFolder()).canonicalPath());
      QVERIFY(TypeFileName(QDir(folder).filePath("xo1")));
      QTRY_COMPARE_WITH_TIMEOUT(editor.Result(), QString("Save xo1.cfg Successful"), kLinkTimeoutMs);
      QVERIFY(QFileInfo::exists(QDir(folder).filePath("xo1.cfg")));

      editor.ClickBar("recallButton");
      QTRY_VERIFY(OpenDialog<QFileDialog>() != nullptr);
      QTRY_COMPARE(OpenDialog<QFileDialog>()->directory().canonicalPath(), QDir(folder).canonicalPath());
      OpenDialog<QFileDialog>()->reject();
      QTRY_VERIFY(OpenDialog<QFileDialog>() == nullptr);

      // The folder goes while the dialog is open: the save fails, and says why.
      const QString gone = mScope->FilePath("gone");
      QVERIFY(QDir().mkpath(gone));
      editor.ClickBar("saveButton");
      QTRY_VERIFY(OpenDialog<QFileDialog>() != nullptr);
      OpenDialog<QFileDialog>()->setDirectory(gone);
      QVERIFY(QDir(gone).removeRecursively());
      QVERIFY(TypeFileName(QDir(gone).filePath("xo2")));
      QTRY_COMPARE_WITH_TIMEOUT(
          editor.Result(),
          QString("Save xo2.cfg Failed: the folder %1 does not exist").arg(QDir::toNativeSeparators(gone)),
          kLinkTimeoutMs);
    }
    // Next start: the last folder a file was saved in or recalled from; once
    // that is gone, the default save folder.
    {
      sEditor editor;
      QVERIFY(editor.mScreen->Show());
      editor.ClickBar("recallButton");
      QTRY_VERIFY(OpenDialog<QFileDialog>() != nullptr);
      QTRY_COMPARE(OpenDialog<QFileDialog>()->directory().canonicalPath(), QDir(folder).canonicalPath());
      QVERIFY(TypeFileName("xo1.cfg"));
      QTRY_COMPARE_WITH_TIMEOUT(editor.Result(), QString("Recall xo1.cfg Loaded, not sent: no processor connected"),
                                kLinkTimeoutMs);
    }
    QVERIFY(QDir(folder).removeRecursively());
    sEditor editor;
    QVERIFY(editor.mScreen->Show());
    editor.ClickBar("saveButton");
    QTRY_VERIFY(OpenDialog<QFileDialog>() != nullptr);
    QTRY_COMPARE(OpenDialog<QFileDialog>()->directory().canonicalPath(),
                 QDir(orvelpaths::SaveFolder()).canonicalPath());
    OpenDialog<QFileDialog>()->reject();
  }
};

QTEST_MAIN(tst_EditorWindow)
#include "tst_EditorWindow.moc"
