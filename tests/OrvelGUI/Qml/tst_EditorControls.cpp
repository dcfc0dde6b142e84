// The editor's faders, value fields and keyboard as a user meets them: the
// program's own main.qml on the real backends and object network, against
// the device simulator on a pseudo-terminal, driven by mouse, wheel and key
// events; what counts is what the simulated processor received.

// The program runs a QGuiApplication without widgets; so does this test.
#undef QT_WIDGETS_LIB

#include <QtTest>
#include <cmath>
#include <memory>

#include "AES-Standards/Convert.h"
#include "DevSim/SimFixture.h"
#include "EWNet/Core/RegRoutr.h"
#include "OrvelGUI/Core/ControlStripUnit.h"
#include "OrvelGUI/Core/ParametricEQUnit.h"
#include "OrvelGUI/Qml/EditorScreen.h"
#include "OrvelGUI/Qml/ScreenSupport.h"
#include "OrvelGUI/QtGUIComponents/FaderControlStripBackend.h"
#include "OrvelGUI/QtGUIComponents/PEQQmlBackEnd2.h"
#include "QmlFixture.h"

namespace {

constexpr int kTimeoutMs = 8000;
constexpr int kInputL = 0;  // strip indexes of the units
constexpr int kLowL = 2;

// Where an item's centre is drawn, in the window.
QPointF Centre(const QQuickItem* item) { return item->mapToScene(QPointF(item->width() / 2, item->height() / 2)); }

// The gain a strip's linear field carries, in fader decibels.
double LinearDecibels(std::int32_t linear) {
  return 20.0 * std::log10(std::fabs(double(linear)) / 2147483647.0) + cControlStripDriver::kFullScaleGain / 256.0;
}

void Wheel(QQuickWindow* window, QPointF at, int angle) {
  QWheelEvent event(at, window->mapToGlobal(at.toPoint()), QPoint(), QPoint(0, angle), Qt::NoButton, Qt::NoModifier,
                    Qt::NoScrollPhase, false);
  QCoreApplication::sendEvent(window, &event);
}

}  // namespace

class tst_EditorControls : public QObject {
  Q_OBJECT

 private:
  // The program with the editor's backends and main.qml on them, shown and
  // active (keys go to the focused control); torn down screen first.
  struct sEditor : sEditorScreen {
    bool Show() {
      if (!mScreen->Show()) return false;
      Window()->requestActivate();
      return QTest::qWaitForWindowActive(Window());
    }
    // A strip of a fader block ("inputBlock", ...) of the fader panel, or of
    // a panel's output faders.
    QQuickItem* Strip(const char* panel, const char* block, const char* side) const {
      return Find(Find(Panel(panel), block), side);
    }
    // Presses the item's centre, moves by `by` in steps, releases.
    void Drag(QQuickItem* item, QPoint by) const {
      const QPoint from = Centre(item).toPoint();
      QTest::mousePress(Window(), Qt::LeftButton, Qt::NoModifier, from);
      for (int step = 1; step <= 8; ++step) QTest::mouseMove(Window(), from + by * step / 8, 10);
      QTest::mouseRelease(Window(), Qt::LeftButton, Qt::NoModifier, from + by, 10);
    }
    void ShowTab(const char* name) const { Click(Find(Window()->contentItem(), name)); }
    void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) const {
      QTest::keyClick(Window(), Qt::Key(key), modifiers);
    }
    void Type(const QString& text) const {
      for (QChar c : text) QTest::keyClick(Window(), c.toLatin1());
    }
    bool Connect() {
      if (!QTest::qWaitFor([&] { return Status() == "Status: Device Detected"; }, kTimeoutMs)) return false;
      mScreen->Click(mScreen->Object("topBar")->property("connectButton").value<QQuickItem*>());
      if (!QTest::qWaitFor([&] { return Status() == "Status: Connected, V1.4"; }, kTimeoutMs)) return false;
      return mProgram.Core().WaitUntilAllSent(kTimeoutMs, [] { QCoreApplication::processEvents(); });
    }
    GAIN UnitGain(int strip) {
      return Locked([&] { return Core().GetInOutFader()->GetStrip(strip)->GetUnit()->GetGain(); });
    }
    // The item with the keyboard's focus.
    QQuickItem* Focused() const { return Window()->activeFocusItem(); }
  };

  std::unique_ptr<cScreenTestScope> mScope;

 private slots:
  void initTestCase() { SetUpOrvelQml(); }
  void init() { BeginScreenTest(mScope); }
  void cleanup() { EndScreenTest(mScope); }

  // Each label of a strip's scale (its meter's, -40 to +18) stands where the
  // cap stands when the fader is at that gain, on inputs (which reach 0 dB)
  // and outputs (+12 dB); above its top the fader does not go.
  void scaleLabelsStandWhereTheFaderIs_data() {
    QTest::addColumn<QByteArray>("panel");
    QTest::addColumn<QByteArray>("block");
    QTest::addColumn<int>("reached");
    QTest::newRow("input") << QByteArray("faderPanel") << QByteArray("inputBlock") << 8;
    QTest::newRow("output") << QByteArray("faderPanel") << QByteArray("highBlock") << 10;
    QTest::newRow("panel's output") << QByteArray("midPanel") << QByteArray("outputFaders") << 10;
  }
  void scaleLabelsStandWhereTheFaderIs() {
    QFETCH(QByteArray, panel);
    QFETCH(QByteArray, block);
    QFETCH(int, reached);
    sEditor editor;
    QVERIFY(editor.Show());
    if (panel == "midPanel") editor.ShowTab("tabMid");
    QQuickItem* faders = editor.Find(editor.Panel(panel.constData()), block.constData());
    QQuickItem* strip = editor.Find(faders, "rightStrip");
    cQtSignalSlotContinuousControllerDriver* driver =
        strip->property("backend").value<cFaderControlStripBackend*>()->faderDriver();
    QQuickItem* cap = editor.Find(strip, "faderCap");
    QCOMPARE(editor.Find(faders, "label0")->property("text").toString(), QString("+18"));
    int checked = 0;
    for (int i = 0;; ++i) {
      QQuickItem* label = editor.Find(faders, qPrintable(QString("label%1").arg(i)));
      if (label == nullptr) break;
      const int gain = label->property("gain").toInt();
      if (gain + 0x8000 > driver->max()) continue;
      const bool bottom = label->property("text").toString() == "-Inf";
      driver->setNetworkValue(bottom ? 0 : gain + 0x8000);
      QTRY_VERIFY2(std::fabs(Centre(cap).y() - Centre(label).y()) <= 1.0,
                   qPrintable(QString("%1: cap %2, label %3")
                                  .arg(label->property("text").toString())
                                  .arg(Centre(cap).y())
                                  .arg(Centre(label).y())));
      ++checked;
    }
    QCOMPARE(checked, reached);
    // A drag cannot take the cap above the fader's top.
    editor.Drag(cap, QPoint(0, -600));
    QCOMPARE(driver->networkValue(), driver->max());
    QVERIFY(std::fabs(Centre(cap).y() - Centre(editor.Find(faders, reached == 8 ? "label3" : "label1")).y()) <= 1.0);
  }

  // A meter's bar reaches the label of the level it shows.
  void meterBarsStandAtTheirLabels() {
    cLoaderProgram program;  // the singletons the block needs
    QQmlEngine engine;
    SetUpOrvelQmlEngine(engine, program.Backend());
    QQmlComponent component(&engine);
    component.setData(
        "import QtQuick 2.15\nimport QtQuick.Window 2.15\nimport OrvelGUI 1.0\n"
        "Window { width: 340; height: 610; visible: true\n"
        "  property alias block: block\n"
        "  FaderBlock { id: block; anchors.fill: parent } }",
        QUrl("qrc:/MeterTest.qml"));
    QScopedPointer<QQuickWindow> window(qobject_cast<QQuickWindow*>(component.create()));
    QVERIFY2(window, qPrintable(component.errorString()));
    QVERIFY(QTest::qWaitForWindowExposed(window.data()));
    cFaderControlStripBackend input(QString(), cFaderControlStripBackend::kInputMinimum,
                                    cFaderControlStripBackend::kInputMaximum, true);
    cFaderControlStripBackend output;
    QQuickItem* block = window->property("block").value<QQuickItem*>();
    for (cFaderControlStripBackend* backend : {&input, &output}) {
      block->setProperty("leftBackend", QVariant::fromValue(backend));
      block->setProperty("rightBackend", QVariant::fromValue(backend));
      QQuickItem* lit = FindItem(FindItem(block, "leftStrip"), "meterLit");
      for (int i = 0;; ++i) {
        QQuickItem* label = FindItem(block, QString("label%1").arg(i));
        if (label == nullptr) break;
        const GAIN level = GAIN(label->property("gain").toInt());
        backend->meterDriver()->SetLevels(level, level);
        QTRY_COMPARE(backend->meterDriver()->gainValue(), level);
        QTRY_VERIFY2(std::fabs(lit->mapToScene(QPointF(0, 0)).y() - Centre(label).y()) <= 1.0,
                     qPrintable(label->property("text").toString()));
      }
    }
  }

  // A gain typed into a fader's field is what the processor gets: the gain
  // word its nearest code, the linear field within 0.05 dB of it; above the
  // input fader's top the field holds at 0 dB and says why.
  void typedGainsReachTheProcessor_data() {
    QTest::addColumn<QByteArray>("block");
    QTest::addColumn<int>("strip");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("word");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("notice");
    QTest::newRow("-9.5 dB") << QByteArray("lowBlock") << kLowL << "-9.5" << -2432 << "-9.5"
                             << "";
    QTest::newRow("6 dB") << QByteArray("lowBlock") << kLowL << "6" << 1536 << "6.0"
                          << "";
    QTest::newRow("+0.1 dB") << QByteArray("lowBlock") << kLowL << "+0.1" << 26 << "0.1"
                             << "";
    QTest::newRow("-0.5 dB") << QByteArray("lowBlock") << kLowL << "-0.5" << -128 << "-0.5"
                             << "";
    QTest::newRow("+6 dB on an input") << QByteArray("inputBlock") << kInputL << "+6" << 0 << "0.0"
                                       << "The highest is 0.0\u2009dB";
  }
  void typedGainsReachTheProcessor() {
    QFETCH(QByteArray, block);
    QFETCH(int, strip);
    QFETCH(QString, typed);
    QFETCH(int, word);
    QFETCH(QString, shown);
    QFETCH(QString, notice);
    auto device = mScope->OnlyDevice();
    QVERIFY(device);
    sEditor editor;
    QVERIFY(editor.Show());
    QVERIFY(editor.Connect());
    QQuickItem* field = editor.Find(editor.Strip("faderPanel", block.constData(), "leftStrip"), "gainText");
    // From -3 dB, so that the processor gets a new gain in every row.
    editor.Click(field);
    editor.Type("-3");
    editor.Key(Qt::Key_Return);
    QTRY_COMPARE_WITH_TIMEOUT(int(device->Model().Strips()[std::size_t(strip)].mGainWord), -768 & 0xFFFF, kTimeoutMs);
    editor.Click(field);
    QVERIFY(field->property("editing").toBool());
    editor.Type(typed);
    editor.Key(Qt::Key_Return);
    QTRY_COMPARE_WITH_TIMEOUT(int(device->Model().Strips()[std::size_t(strip)].mGainWord), word & 0xFFFF, kTimeoutMs);
    const double decibels = word / 256.0;
    QVERIFY2(std::fabs(LinearDecibels(device->Model().Strips()[std::size_t(strip)].mLinear) - decibels) < 0.05,
             qPrintable(QString::number(LinearDecibels(device->Model().Strips()[std::size_t(strip)].mLinear))));
    QCOMPARE(editor.Find(field, "valueText")->property("text").toString(), shown);
    QCOMPARE(field->property("notice").toString(), notice);
    QCOMPARE(editor.Find(field, "noticeLabel")->isVisible(), !notice.isEmpty());
  }

  // The wheel, the arrow and Page keys and typing on an output fader, each
  // as the processor gets it; the focus stays with the fader.
  void faderWheelKeysAndTyping() {
    auto device = mScope->OnlyDevice();
    QVERIFY(device);
    sEditor editor;
    QVERIFY(editor.Show());
    QVERIFY(editor.Connect());
    QQuickItem* strip = editor.Strip("faderPanel", "lowBlock", "leftStrip");
    QQuickItem* fader = editor.Find(strip, "fader");
    const auto deviceWord = [&] { return int(GAIN(device->Model().Strips()[kLowL].mGainWord)); };
    editor.Click(editor.Find(strip, "gainText"));
    editor.Type("-10");
    editor.Key(Qt::Key_Return);
    QTRY_COMPARE_WITH_TIMEOUT(deviceWord(), -2560, kTimeoutMs);

    Wheel(editor.Window(), Centre(fader), 240);
    QTRY_COMPARE_WITH_TIMEOUT(deviceWord(), -2304, kTimeoutMs);  // two notches: +1 dB
    editor.Click(editor.Find(strip, "faderCap"));
    QVERIFY(fader->hasActiveFocus());
    QVERIFY(editor.Find(fader, "focusFrame")->isVisible());
    editor.Key(Qt::Key_Up);
    editor.Key(Qt::Key_Up, Qt::ShiftModifier);
    QTRY_COMPARE_WITH_TIMEOUT(editor.UnitGain(kLowL), GAIN(-2150), kTimeoutMs);  // -8.4 dB
    editor.Key(Qt::Key_PageDown);
    QTRY_COMPARE_WITH_TIMEOUT(deviceWord(), -3328, kTimeoutMs);  // -13 dB: to the grid, then nine steps

    // Typing on the focused fader opens its field with what was typed.
    editor.Type("-3");
    QQuickItem* field = editor.Find(strip, "gainText");
    QVERIFY(field->property("editing").toBool());
    editor.Key(Qt::Key_Return);
    QTRY_COMPARE_WITH_TIMEOUT(deviceWord(), -768, kTimeoutMs);
    QVERIFY(fader->hasActiveFocus());
    // A double click opens it with the value selected.
    const QPoint on = Centre(editor.Find(strip, "faderCap")).toPoint();
    QTest::mouseClick(editor.Window(), Qt::LeftButton, Qt::NoModifier, on);
    QTest::mouseClick(editor.Window(), Qt::LeftButton, Qt::NoModifier, on);
    QVERIFY(field->property("editing").toBool());
    QCOMPARE(editor.Find(field, "valueEntry")->property("selectedText").toString(), QString("-3.0"));
    editor.Key(Qt::Key_Escape);
    QVERIFY(!field->property("editing").toBool());
    QCOMPARE(deviceWord(), -768);
  }

  // An equaliser's fields as the issue met them: "100" and Tab moves the
  // band; a second click does not blank the first field; refused text
  // restores the value; nothing stale survives a change of tab.
  void fieldsApplyOrRestoreWhenLeft() {
    auto device = mScope->OnlyDevice();
    QVERIFY(device);
    sEditor editor;
    QVERIFY(editor.Show());
    QVERIFY(editor.Connect());
    editor.ShowTab("tabLow");
    QQuickItem* eq = editor.Find(editor.Panel("lowPanel"), "leftEQ");
    QQuickItem* frequency = editor.Find(eq, "frequency0");
    QQuickItem* handle = editor.Find(eq, "bandHandle0");
    const double handleX = Centre(handle).x();
    editor.Click(frequency);
    editor.Type("100");
    editor.Key(Qt::Key_Tab);
    QVERIFY(!frequency->property("editing").toBool());
    QCOMPARE(editor.Find(frequency, "valueText")->property("text").toString(), QString("100\u2009Hz"));
    const cParametricEQUnit* unit = editor.Core().GetPanel(0)->GetEQ(0)->GetUnit();
    QTRY_COMPARE_WITH_TIMEOUT(Locked([&] { return unit->GetBand(0).mFrequency; }), UWORD(21399), kTimeoutMs);
    QTRY_VERIFY(Centre(handle).x() != handleX);
    const std::size_t record =
        std::size_t(devsim::FilterRecordIndex(editor.Core().GetPanel(0)->GetEQ(0)->DeviceAddress(0)));
    QTRY_COMPARE_WITH_TIMEOUT(device->Model().Filters()[record].mFrequency, UWORD(21399), kTimeoutMs);

    QQuickItem* gain = editor.Find(eq, "gain1");
    const QString gainText = editor.Find(gain, "valueText")->property("text").toString();
    editor.Click(gain);
    editor.Type("zz");
    QQuickItem* other = editor.Find(eq, "frequency1");
    editor.Click(other);
    QVERIFY(!gain->property("editing").toBool());
    QCOMPARE(editor.Find(gain, "valueText")->property("text").toString(), gainText);
    QCOMPARE(gain->property("notice").toString(), QString("zz: not a gain"));
    QVERIFY(other->property("editing").toBool());
    editor.Type("2k");
    editor.ShowTab("tabMid");
    editor.ShowTab("tabLow");
    QVERIFY(!other->property("editing").toBool());
    QCOMPARE(editor.Find(other, "valueText")->property("text").toString(), QString("2.00\u2009kHz"));
    QTRY_COMPARE_WITH_TIMEOUT(Locked([&] { return unit->GetBand(1).mFrequency; }), UWORD(41314), kTimeoutMs);
  }

  // Tab walks the controls in reading order, each showing its frame while
  // it has the focus; Space acts only on the control that shows it. A
  // shelf's width takes no part.
  void tabShowsWhereTheFocusIs() {
    sEditor editor;
    QVERIFY(editor.Show());
    QStringList order;
    for (int i = 0; i < 16; ++i) {
      editor.Key(Qt::Key_Tab);
      QQuickItem* focused = editor.Focused();
      QVERIFY(focused != nullptr);
      QQuickItem* frame = editor.Find(focused, "focusFrame");
      QVERIFY2(frame != nullptr && frame->isVisible(), qPrintable(focused->objectName()));
      order << focused->objectName();
    }
    QCOMPARE(order.mid(0, 4), (QStringList{"tabFaders", "tabLow", "tabMid", "tabHigh"}));
    const int first = order.indexOf("gainText");
    QVERIFY2(first > 0, qPrintable(order.join(',')));
    QCOMPARE(order.mid(first, 4), (QStringList{"gainText", "fader", "polarityButton", "muteButton"}));
    QVERIFY(order.mid(4, first - 4).contains("saveButton"));
    // The sixteenth stop is the right input's mute button: Space mutes that
    // strip and no other.
    QCOMPARE(order.mid(first + 4, 4), (QStringList{"gainText", "fader", "polarityButton", "muteButton"}));
    QCOMPARE(editor.Focused(), editor.Find(editor.Strip("faderPanel", "inputBlock", "rightStrip"), "muteButton"));
    editor.Key(Qt::Key_Space);
    constexpr int kInputR = 1;
    QTRY_VERIFY(Locked([&] { return editor.Core().GetInOutFader()->GetStrip(kInputR)->GetUnit()->GetMute(); }));
    for (int i = 0; i < 8; ++i) {
      if (i != kInputR)
        QVERIFY(!Locked([&] { return editor.Core().GetInOutFader()->GetStrip(i)->GetUnit()->GetMute(); }));
    }

    // A shelf has no width: its field is disabled and Tab passes it by.
    editor.ShowTab("tabLow");
    QQuickItem* eq = editor.Find(editor.Panel("lowPanel"), "leftEQ");
    QQuickItem* width = editor.Find(eq, "width0");
    QVERIFY(width->isEnabled());
    editor.Click(editor.Find(eq, "bandType0"));
    QTRY_VERIFY(!width->isEnabled());
    editor.Click(editor.Find(eq, "gain0"));
    editor.Key(Qt::Key_Escape);
    editor.Key(Qt::Key_Tab);
    QCOMPARE(editor.Focused()->objectName(), QString("bandType0"));
  }
};

QTEST_MAIN(tst_EditorControls)
#include "tst_EditorControls.moc"
