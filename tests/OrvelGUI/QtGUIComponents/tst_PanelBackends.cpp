// The editor's panel backends: what they are made of and named, the list
// box's edge cases, and their links to the program's real units with the
// dispatch and tick threads running: the screen opens with the units'
// values, a unit change reaches its driver, a driver change reaches its unit,
// and the root backend's shutdown takes every control off the network.

#include <QtTest>
#include <memory>

#include "AES-Standards/Convert.h"
#include "EWNet/Core/RegRoutr.h"
#include "EWNet/Core/SysBuild.h"
#include "NetTestObjects.h"
#include "OrvelGUI/Application/EditorProgram.h"
#include "OrvelGUI/Core/ControlStripUnit.h"
#include "OrvelGUI/Core/ParametricEQGangDriver.h"
#include "OrvelGUI/Core/ParametricEQUnit.h"
#include "OrvelGUI/Qml/ScreenSupport.h"
#include "OrvelGUI/QtGUIComponents/EditHistoryBackend.h"
#include "QmlFixture.h"
#include "TestSupport.h"

namespace {

constexpr int kTimeoutMs = 10000;

EW_NET_DATA_SCALE HandleOf(const QString& name) {
  cRegistryLocker lock;
  return GetRegistryRouter()->FindHandle(name.toLocal8Bit().constData());
}

}  // namespace

class tst_PanelBackends : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { SetUpOrvelQml(); }

  void shapesAndNames() {
    cNetworkScope net;
    cInOutFaderPanelBackend faders;
    QCOMPARE(faders.inputL()->faderDriver()->netObjectName(),
             QString("InOutFader:Input L Fader Control Strip Fader Widget"));
    QCOMPARE(faders.highR()->mute()->netObjectName(), QString("InOutFader:High R Fader Control Strip Mute Switch"));
    QVERIFY(faders.inputR()->inputFader() && !faders.lowL()->inputFader());
    QCOMPARE(faders.inputL()->faderDriver()->max(), 0x8000);
    QCOMPARE(faders.midL()->faderDriver()->max(), 0x8C00);
    QCOMPARE(faders.midL()->faderDriver()->min(), 0x5800);
    // Level type: the bottom of the fader is "off", minus infinity.
    faders.midL()->faderDriver()->setNetworkValue(0x5800);
    QCOMPARE(faders.midL()->faderDriver()->networkValue(), 0);
    cQtSignalSlotMeterDriver* meter = faders.lowR()->meterDriver();
    QCOMPARE(meter->bottomOfMeter(), GAIN(-10240));
    QCOMPARE(meter->topOfMeter(), GAIN(4608));
    QCOMPARE(meter->decayStep(), GAIN(-768));
    QCOMPARE(meter->gainValue(), GAIN(-32767));
    QVERIFY(!meter->noBallistics());
    const QList<QByteArray> units{"InOutFader:Input L Control Strip Unit", "InOutFader:L Control Strip Unit1",
                                  "InOutFader:L Control Strip Unit2",      "InOutFader:L Control Strip Unit3",
                                  "InOutFader:Input R Control Strip Unit", "InOutFader:R Control Strip Unit1",
                                  "InOutFader:R Control Strip Unit2",      "InOutFader:R Control Strip Unit3"};
    const QList<int> meters{4097, 4099, 4101, 4103, 4098, 4100, 4102, 4104};
    for (int i = 0; i < cInOutFaderPanelBackend::kStripCount; ++i) {
      QCOMPARE(cInOutFaderPanelBackend::UnitName(i), units[i]);
      QCOMPARE(int(cInOutFaderPanelBackend::MeterParameter(i)), meters[i]);
    }

    cLowMidHighPanelBackend low(1);
    cLowMidHighPanelBackend high(3);
    QCOMPARE(low.bypassDriverLF()->netObjectName(), QString("LMH 1: LF Bypass Switch"));
    QCOMPARE(low.ganged()->netObjectName(), QString("LMH 1:  Ganged Switch"));
    QCOMPARE(low.delayR()->netObjectName(), QString("LMH 1: Right Delay Value Widget"));
    QCOMPARE(low.outFadersL()->polarity()->netObjectName(), QString("LMH 1: Left Fader Control Strip Polarity Switch"));
    QCOMPARE(high.slopeHF()->Driver()->netObjectName(), QString("LMH 3: HF Slope ListBox"));
    QCOMPARE(low.peqBlockL()->bands()->count(), 2);
    QCOMPARE(high.peqBlockR()->bands()->count(), 6);
    QCOMPARE(low.slopeLF()->descriptionsStringList(), QStringList{"12dB Butterworth"});
    QCOMPARE(high.slopeLF()->descriptionsStringList(),
             (QStringList{"12dB Butterworth", "18dB Butterworth", "24dB Butterworth", "18dB Bessel"}));
    QCOMPARE(high.slopeLF()->descriptions()->count(), 4);
    QCOMPARE(high.delayL()->max(), 23832);
    QCOMPARE(high.valueHF()->min(), 10699);

    high.RemoveFromNetwork();
    for (const char* name :
         {"LMH 3: HF Slope ListBox", "LMH 3: Left Fader Control Strip Meter Widget",
          "LMH 3: Right PEQ BlockChannel PEQ HM2 Gain TFT Edit Box", "LMH 3:  Delay Ganged Switch"}) {
      QCOMPARE(HandleOf(name), EW_INVALID_HANDLE);
    }
    QVERIFY(HandleOf("LMH 1: LF Bypass Switch") != EW_INVALID_HANDLE);
  }

  // A value the list does not hold reads as no index and no description.
  void listBox() {
    cNetworkScope net;
    cReportCapture reports;
    cQtListBoxBackend list("Slopes", {"ten", "twenty", "thirty"}, {10, 20, 30});
    QSignalSpy index(&list, &cQtListBoxBackend::currentIndexChanged);
    QSignalSpy description(&list, &cQtListBoxBackend::currentDescriptionChanged);
    QVERIFY(index.isValid() && description.isValid());
    QCOMPARE(list.currentDescription(), QString("ten"));
    list.setCurrentIndex(2);
    QCOMPARE(list.value(), 30);
    QCOMPARE(list.currentIndex(), 2);
    QCOMPARE(description.takeLast().at(0).toString(), QString("thirty"));
    list.setValue(25);
    QCOMPARE(list.value(), 30);
    list.setValue(20);
    QCOMPARE(index.takeLast().at(0).toInt(), 1);
    QCOMPARE(list.descriptions()->get(1).toString(), QString("twenty"));

    list.Driver()->WriteValue(25);
    QTRY_COMPARE(list.value(), 25);
    QCOMPARE(list.currentIndex(), -1);
    QCOMPARE(list.currentDescription(), QString());
    QVERIFY(reports.Contains("List box index out of range"));
  }

  // The controls on the program's own units: the editor opens with what the
  // units hold, follows them, and changes them.
  void linksToTheUnits() {
    sConfiguration distinct;
    cLoaderProgram program(CreateEditorBackends, [&distinct](cApplicationCore& core) {
      distinct = Distinct(ReadConfiguration(core));
      distinct.mStrips[3].mMute = true;
      distinct.mPanels[2].mHighPass.mSlope = 3;
      QVERIFY(ApplyConfiguration(core, distinct));
    });
    cOrvelQmlBackend& root = *program.Backend();
    cApplicationCore& core = program.Core();

    // Opened with the units' values.
    cInOutFaderPanelBackend& faders = *root.backendInOutFader();
    for (int i = 0; i < cInOutFaderPanelBackend::kStripCount; ++i) {
      const int unitIndex = i < 4 ? (i == 0 ? 0 : 2 * i) : (i == 4 ? 1 : 2 * (i - 4) + 1);
      QTRY_COMPARE_WITH_TIMEOUT(faders.Strip(i)->faderDriver()->networkValue(),
                                int(GainToUWORD(distinct.mStrips[std::size_t(unitIndex)].mGain)), kTimeoutMs);
    }
    QTRY_VERIFY_WITH_TIMEOUT(faders.lowR()->mute()->value(), kTimeoutMs);
    cLowMidHighPanelBackend& high = *root.backendHigh();
    const sPanelConfiguration& highModel = distinct.mPanels[2];
    QTRY_COMPARE_WITH_TIMEOUT(high.valueLF()->networkValue(), int(highModel.mHighPass.mFrequency), kTimeoutMs);
    QTRY_COMPARE_WITH_TIMEOUT(high.slopeLF()->currentDescription(), QString("18dB Bessel"), kTimeoutMs);
    QTRY_COMPARE_WITH_TIMEOUT(high.delayR()->networkValue(), int(highModel.mDelay.mRight), kTimeoutMs);
    QTRY_COMPARE_WITH_TIMEOUT(high.peqBlockR()->bands()->at(4)->frequencyDriver()->networkValue(),
                              int(highModel.mEQ[1].mBands[4].mFrequency), kTimeoutMs);
    QTRY_COMPARE_WITH_TIMEOUT(high.peqBlockR()->peqDriver()->GetBandGain(4), highModel.mEQ[1].mBands[4].mGain,
                              kTimeoutMs);
    cLowMidHighPanelBackend& mid = *root.backendMid();
    QTRY_COMPARE_WITH_TIMEOUT(mid.valueHF()->networkValue(), int(distinct.mPanels[1].mLowPass.mFrequency), kTimeoutMs);
    QTRY_COMPARE_WITH_TIMEOUT(mid.outFadersR()->faderDriver()->networkValue(),
                              int(GainToUWORD(distinct.mStrips[5].mGain)), kTimeoutMs);
    QTRY_VERIFY_WITH_TIMEOUT(!GetSystemBuilder()->IsBusy(), kTimeoutMs);

    // A unit changes: its controls follow, on both panels that show it.
    sConfiguration changed = distinct;
    changed.mStrips[4].mGain = GAIN(-10 * 256);
    changed.mPanels[0].mLowPass.mBypass = true;
    changed.mPanels[1].mDelay.mLeft = 12000;
    QVERIFY(Locked([&] { return ApplyConfiguration(core, changed); }));
    QTRY_COMPARE_WITH_TIMEOUT(mid.outFadersL()->faderDriver()->networkValue(), int(GainToUWORD(GAIN(-2560))),
                              kTimeoutMs);
    QTRY_COMPARE_WITH_TIMEOUT(faders.midL()->faderDriver()->networkValue(), int(GainToUWORD(GAIN(-2560))), kTimeoutMs);
    QTRY_VERIFY_WITH_TIMEOUT(root.backendLow()->bypassDriverHF()->value(), kTimeoutMs);
    QTRY_COMPARE_WITH_TIMEOUT(mid.delayL()->networkValue(), 12000, kTimeoutMs);

    // Controls change: the units follow, and so does the other view of the
    // same unit.
    cLowMidHighPanelBackend& low = *root.backendLow();
    const cLowMidHigh& highPanel = *core.GetPanel(2);
    const cLowMidHigh& lowPanel = *core.GetPanel(0);
    faders.highL()->faderDriver()->setNetworkValue(0x7A00);
    faders.inputL()->polarity()->setValue(true);
    high.valueLF()->setNetworkValue(30000);
    high.slopeLF()->setCurrentIndex(1);
    high.peqBlockL()->bands()->at(2)->gainDriver()->setNetworkValue(0x8300);
    low.delayGanged()->setValue(true);
    low.ganged()->setValue(true);
    QTRY_COMPARE_WITH_TIMEOUT(Locked([&] { return core.GetInOutFader()->GetStrip(6)->GetUnit()->GetGain(); }),
                              GAIN(-1536), kTimeoutMs);
    QTRY_COMPARE_WITH_TIMEOUT(high.outFadersL()->faderDriver()->networkValue(), 0x7A00, kTimeoutMs);
    QTRY_VERIFY_WITH_TIMEOUT(Locked([&] { return core.GetInOutFader()->GetStrip(0)->GetUnit()->GetPolarity(); }),
                             kTimeoutMs);
    QTRY_COMPARE_WITH_TIMEOUT(Locked([&] { return highPanel.GetHighPass()->GetUnit()->GetFrequency(); }), UWORD(30000),
                              kTimeoutMs);
    QTRY_COMPARE_WITH_TIMEOUT(Locked([&] { return highPanel.GetHighPass()->GetUnit()->GetSlope(); }), ULONG(1),
                              kTimeoutMs);
    QTRY_COMPARE_WITH_TIMEOUT(Locked([&] { return highPanel.GetEQ(0)->GetUnit()->GetBand(2).mGain; }), GAIN(0x300),
                              kTimeoutMs);
    QTRY_COMPARE_WITH_TIMEOUT(high.peqBlockL()->peqDriver()->GetBandGain(2), GAIN(0x300), kTimeoutMs);
    QTRY_VERIFY_WITH_TIMEOUT(Locked([&] { return lowPanel.GetGang()->GetGang(); }), kTimeoutMs);
    QTRY_VERIFY_WITH_TIMEOUT(Locked([&] { return lowPanel.GetDelay()->GetUnit()->GetGang(); }), kTimeoutMs);
    // Ganged delays: the unit copies left to right, and the right control
    // shows it.
    low.delayL()->setNetworkValue(15000);
    QTRY_COMPARE_WITH_TIMEOUT(Locked([&] { return lowPanel.GetDelay()->GetUnit()->GetDelay(1); }), UWORD(15000),
                              kTimeoutMs);
    QTRY_COMPARE_WITH_TIMEOUT(low.delayR()->networkValue(), 15000, kTimeoutMs);

    // The root's shutdown takes every control off the network, once.
    cReportCapture reports;
    root.Shutdown();
    root.Shutdown();
    for (const char* name :
         {"LMH 2: LF Bypass Switch", "InOutFader:Input L Fader Control Strip Fader Widget",
          "LMH 1: Left PEQ Block Channel Parametric EQ Graph", "LMH 3: Right Fader Control Strip Meter Widget"}) {
      QCOMPARE(HandleOf(name), EW_INVALID_HANDLE);
    }
    root.SetEditorBackends({});
    QVERIFY(reports.Contains("Editor backends are already set"));
  }

  // One step per value set without a button held, one for all a press
  // moves until its release; a gesture that ends where it began is none;
  // undoing back to the saved step is clean; a new edit drops what could be
  // redone; a recall empties the history.
  void editHistory() {
    QObject panel;
    auto* fader = new cQtSignalSlotContinuousControllerDriver(QString(), 0, 1000, false, 50, &panel);
    auto* mute = new cQtBooleanSwitchDriver(QString(), 50, true, &panel);
    cEditHistoryBackend history;
    history.Track(&panel);
    const auto press = [&panel] {
      QMouseEvent event(QEvent::MouseButtonPress, QPointF(1, 1), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
      QCoreApplication::sendEvent(&panel, &event);
    };
    const auto release = [&panel] {
      QMouseEvent event(QEvent::MouseButtonRelease, QPointF(1, 1), Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
      QCoreApplication::sendEvent(&panel, &event);
    };
    fader->setNetworkValue(100);
    fader->setNetworkValue(200);
    QCOMPARE(history.StepCount(), 2);
    press();
    fader->setNetworkValue(300);
    mute->setValue(true);
    fader->setNetworkValue(400);
    release();
    // What the release itself sets still belongs to it.
    fader->setNetworkValue(450);
    QCoreApplication::processEvents();
    fader->setNetworkValue(500);
    QCOMPARE(history.StepCount(), 4);

    history.undo();
    QCOMPARE(fader->networkValue(), 450);
    history.undo();
    QCOMPARE(fader->networkValue(), 200);
    QVERIFY(!mute->value());
    QVERIFY(history.canUndo() && history.canRedo());
    history.markSaved();
    QVERIFY(!history.unsavedChanges());
    history.redo();
    QCOMPARE(fader->networkValue(), 450);
    QVERIFY(mute->value());
    QVERIFY(history.unsavedChanges());
    history.undo();
    QVERIFY(!history.unsavedChanges());
    // Undoing set the values, but made no steps of its own.
    QCOMPARE(history.StepCount(), 4);

    fader->setNetworkValue(700);
    QVERIFY(!history.canRedo());
    QCOMPARE(history.StepCount(), 3);
    press();
    fader->setNetworkValue(800);
    fader->setNetworkValue(700);
    release();
    QCoreApplication::processEvents();
    QCOMPARE(history.StepCount(), 3);

    history.markReplaced();
    QCOMPARE(history.StepCount(), 0);
    QVERIFY(!history.unsavedChanges() && !history.canUndo());
  }
};

QTEST_MAIN(tst_PanelBackends)
#include "tst_PanelBackends.moc"
