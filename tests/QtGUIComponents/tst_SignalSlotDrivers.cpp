// The signal-slot drivers against a real router: values both ways, the read
// signals, the list box and meter rules, the delta arithmetic, and their
// making and unmaking while the dispatch and tick threads run.

#include <QtTest>
#include <cmath>
#include <limits>
#include <memory>

#include "EWNet/Core/ContCtrl.h"
#include "EWNet/Core/MeterNet.h"
#include "EWNet/Core/NetFactory.h"
#include "EWNet/Core/NetProbe.h"
#include "EWNet/Core/RegRoutr.h"
#include "EWNet/Core/Syscall.h"
#include "QtGUIComponents/EWNetDrivers/SignalSlotDrivers/ControllerDelta.h"
#include "QtGUIComponents/EWNetDrivers/SignalSlotDrivers/LinkedSourceGuard.h"
#include "QtGUIComponents/EWNetDrivers/SignalSlotDrivers/QtBooleanSwitchDriver.h"
#include "QtGUIComponents/EWNetDrivers/SignalSlotDrivers/QtIntegerSwitchDriver.h"
#include "QtGUIComponents/EWNetDrivers/SignalSlotDrivers/QtSignalSlotContinuousControllerDriver.h"
#include "QtGUIComponents/EWNetDrivers/SignalSlotDrivers/QtSignalSlotListBoxDriver.h"
#include "QtGUIComponents/EWNetDrivers/SignalSlotDrivers/QtSignalSlotMeterDriver.h"
#include "TestSupport.h"

namespace {

// Delivers everything posted, then runs what the drivers queued to this thread.
void Settle() {
  Deliver();
  QCoreApplication::processEvents();
}

EW_NET_DATA_SCALE HandleOf(const char* name) {
  cRegistryLocker lock;
  return GetRegistryRouter()->FindHandle(name);
}

// Sends as the unit a control mirrors: a local object linked to the
// control, the only source a control takes values from.
class cMirroredUnit {
 public:
  void Send(EW_NET_DATA_SCALE control, UWORD method, const tPayload& payload) {
    LinkParameter(mProbe, PARAMETER_BASE, *GetRegistryRouter()->GetObject(control), PARAMETER_BASE);
    mProbe.SendTo(control, method, payload);
  }
  void Send(const char* control, UWORD method, const tPayload& payload) { Send(HandleOf(control), method, payload); }
  EW_NET_DATA_SCALE Handle() const { return mProbe.GetHandle(); }

 private:
  cNetProbe mProbe{"Mirrored Unit"};
};

}  // namespace

class tst_SignalSlotDrivers : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { qRegisterMetaType<GAIN>("GAIN"); }
  void init() { StartEWNet(0, true); }
  void cleanup() { StopEWNet(); }

  void booleanValueBothWays() {
    cQtBooleanSwitchDriver driver("Mute Switch");
    QSignalSpy changed(&driver, &cQtBooleanSwitchDriver::valueChanged);
    QSignalSpy property(&driver, &cQtBooleanSwitchDriver::ValuePropertyChanged);
    QVERIFY(changed.isValid() && property.isValid());
    driver.setValue(false);
    QCOMPARE(changed.count(), 0);
    driver.setValue(true);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(property.count(), 1);

    cMirroredUnit unit;
    unit.Send("Mute Switch", M_SWITCH_VALUE, {0});
    Settle();
    QCOMPARE(driver.value(), false);
    QCOMPARE(changed.count(), 2);
    QCOMPARE(changed.last().at(0).toBool(), false);
    // The same byte again changes nothing.
    unit.Send("Mute Switch", M_SWITCH_VALUE, {0});
    Settle();
    QCOMPARE(changed.count(), 2);
  }

  // A control takes values from the unit it mirrors and from itself; one
  // from any other source, on this machine or over a connection, is refused
  // and changes nothing, with one report per source and a bounded number
  // of reports in all.
  void controlsTakeValuesOnlyFromWhatTheyMirror() {
    cReportCapture reports;
    cQtBooleanSwitchDriver driver("Guarded Switch");
    const EW_NET_DATA_SCALE handle = HandleOf("Guarded Switch");
    cMirroredUnit unit;
    unit.Send(handle, M_SWITCH_VALUE, {1});
    Settle();
    QCOMPARE(driver.value(), true);
    Post(0x0077, handle, M_SWITCH_VALUE, {0});
    Post(unit.Handle(), handle, M_SWITCH_VALUE, {0}, 3);
    Post(unit.Handle(), handle, M_SWITCH_VALUE, {0}, 3);
    Settle();
    QCOMPARE(driver.value(), true);
    QCOMPARE(reports.Count("\"Guarded Switch\" refused method 0x1000"), 2);
    QVERIFY(reports.Contains("from connection 3, object 0x" + QByteArray::number(unit.Handle(), 16).toStdString()));
    for (UWORD source = 0x100; source < 0x100 + 20; ++source) Post(source, handle, M_SWITCH_VALUE, {0}, 5);
    Settle();
    QCOMPARE(driver.value(), true);
    QCOMPARE(reports.Count("refused method"), int(cLinkedSourceGuard::kMaxReportedSources));
    QCOMPARE(reports.Count("further ones are not reported"), 1);
    unit.Send(handle, M_SWITCH_VALUE, {0});
    Settle();
    QCOMPARE(driver.value(), false);
  }

  void readSignalsEveryFiftiethPoll() {
    cQtIntegerSwitchDriver switchDriver("Type Switch", 50);
    cQtSignalSlotContinuousControllerDriver controller("Fader", 0, 1000, false, 50);
    controller.SetNetworkValue(700);
    QSignalSpy switchReads(&switchDriver, &cQtIntegerSwitchDriver::SwitchRead);
    QSignalSpy controllerReads(&controller, &cQtSignalSlotContinuousControllerDriver::ControllerValueRead);
    QVERIFY(switchReads.isValid() && controllerReads.isValid());
    for (int tick = 1; tick <= 100; ++tick) {
      TickNetwork();
      QCoreApplication::processEvents();
      const int expected = tick / 50;
      QVERIFY2(switchReads.count() == expected && controllerReads.count() == expected,
               qPrintable(QString::number(tick)));
    }
    QCOMPARE(controllerReads.last().at(0).toInt(), 700);
  }

  // The net objects take their first poll as what the network already has;
  // a change made on screen before it used to be lost.
  void changeBeforeTheFirstPollIsSent() {
    cQtSignalSlotContinuousControllerDriver fader("Early Fader", 0, 1000, false);
    cQtBooleanSwitchDriver mute("Early Mute");
    cQtBooleanSwitchDriver untouched("Untouched Switch");
    cNetProbe unit("Early Unit");
    LinkParameter(*fader.GetAudioObject(), M_CONTINUOUS_CONTROLLER_VALUE, unit, PARAMETER_BASE);
    LinkParameter(*mute.GetAudioObject(), M_SWITCH_VALUE, unit, PARAMETER_BASE + 1);
    LinkParameter(*untouched.GetAudioObject(), M_SWITCH_VALUE, unit, PARAMETER_BASE + 2);
    fader.SetNetworkValue(600);
    mute.setValue(true);
    TickNetwork();
    TickNetwork();
    TickNetwork();
    QCOMPARE(int(unit.Received(PARAMETER_BASE).size()), 1);
    QCOMPARE(Word(unit.Received(PARAMETER_BASE)[0]), UWORD(600));
    QCOMPARE(int(unit.Received(PARAMETER_BASE + 1).size()), 1);
    QCOMPARE(unit.Received(PARAMETER_BASE + 1)[0].mPayload, tPayload{1});
    QCOMPARE(int(unit.Received(PARAMETER_BASE + 2).size()), 0);  // defaults are never broadcast
  }

  void integerRefusesValuesBeyondAByte() {
    cReportCapture reports;
    cQtIntegerSwitchDriver driver;
    driver.setValue(3);
    driver.setValue(300);
    driver.setValue(-1);
    QCOMPARE(driver.value(), 3);
    QCOMPARE(reports.Count("does not fit in a byte"), 2);
  }

  void secondNameReplacesTheFirstObject() {
    cReportCapture reports;
    cQtBooleanSwitchDriver driver("First Switch");
    QSignalSpy named(&driver, &cQtBooleanSwitchDriver::netObjectNameChanged);
    driver.setNetObjectName("Second Switch");
    QCOMPARE(named.count(), 1);
    QCOMPARE(driver.netObjectName(), QString("Second Switch"));
    QCOMPARE(HandleOf("First Switch"), EW_INVALID_HANDLE);
    QVERIFY(HandleOf("Second Switch") != EW_INVALID_HANDLE);
    QVERIFY2(reports.Count("Driver already has a net object\t(file:///"
                           "QtGUIComponents/EWNetDrivers/SignalSlotDrivers/QtBooleanSwitchDriver:") == 1,
             qPrintable(reports.Dump()));
    // An empty name changes nothing.
    driver.setNetObjectName(QString());
    QCOMPARE(driver.netObjectName(), QString("Second Switch"));
  }

  void controllerValues_data() {
    QTest::addColumn<int>("minimum");
    QTest::addColumn<int>("maximum");
    QTest::addColumn<bool>("levelType");
    QTest::addColumn<bool>("normalised");
    QTest::addColumn<double>("input");
    QTest::addColumn<int>("stored");
    QTest::addColumn<float>("value");
    QTest::newRow("level minimum is off") << 100 << 1000 << true << false << 100.0 << 0 << 0.0f;
    QTest::newRow("level position 0 is off") << 100 << 1000 << true << true << 0.0 << 0 << 0.0f;
    QTest::newRow("level below 0 is off") << 100 << 1000 << true << true << -0.5 << 0 << 0.0f;
    QTest::newRow("above 1 is the maximum") << 0 << 1000 << false << true << 1.5 << 1000 << 1.0f;
    QTest::newRow("half of 100") << 0 << 100 << false << true << 0.5 << 50 << 0.5f;
    QTest::newRow("half of 101 rounds away") << 0 << 101 << false << true << 0.5 << 51 << float(51.0 / 101.0);
    QTest::newRow("raw above clamps") << 0 << 1000 << false << false << 70000.0 << 1000 << 1.0f;
    QTest::newRow("raw below clamps") << 10 << 20 << false << false << -5.0 << 10 << 0.0f;
  }

  void controllerValues() {
    QFETCH(int, minimum);
    QFETCH(int, maximum);
    QFETCH(bool, levelType);
    QFETCH(bool, normalised);
    QFETCH(double, input);
    QFETCH(int, stored);
    QFETCH(float, value);
    cQtSignalSlotContinuousControllerDriver driver(QString(), UWORD(minimum), UWORD(maximum), levelType);
    driver.SetNetworkValue((minimum + maximum) / 2);
    if (normalised) {
      driver.SetValue(float(input));
    } else {
      driver.setNetworkValue(int(input));
    }
    QCOMPARE(driver.networkValue(), stored);
    QCOMPARE(driver.value(), value);
  }

  void controllerMends() {
    cReportCapture reports;
    cQtSignalSlotContinuousControllerDriver driver("Gain Box", 100, 1000, true);
    driver.SetNetworkValue(500);
    QSignalSpy changed(&driver, &cQtSignalSlotContinuousControllerDriver::ValuePropertyChanged);
    QSignalSpy range(&driver, &cQtSignalSlotContinuousControllerDriver::rangeChanged);
    driver.SetValue(std::numeric_limits<float>::quiet_NaN());
    QCOMPARE(driver.networkValue(), 500);
    driver.setRange(900, 200, false);
    QCOMPARE(driver.min(), 100);
    QCOMPARE(driver.max(), 1000);
    QCOMPARE(range.count(), 0);
    QVERIFY(reports.Contains("Range refused: minimum 900 above maximum 200"));
    QCOMPARE(changed.count(), 0);
    driver.setRange(200, 200, false);
    QCOMPARE(range.count(), 1);
    QCOMPARE(driver.range(), 0);
    QCOMPARE(driver.valueFromNetworkValue(200), 0.0f);
  }

  void controllerLevelTypeOffReadsZeroOnTheNetwork() {
    cQtSignalSlotContinuousControllerDriver driver("Fader Widget", 0x5800, 0x8000, true);
    cNetProbe unit("Strip Unit");
    LinkParameter(*driver.GetAudioObject(), M_CONTINUOUS_CONTROLLER_VALUE, unit, PARAMETER_BASE + 2);
    TickNetwork();  // the first tick only takes note
    driver.SetNetworkValue(0x6000);
    TickNetwork();
    driver.SetNetworkValue(0x5800);
    QCOMPARE(driver.networkValue(), 0);
    TickNetwork();
    const auto received = unit.Received(PARAMETER_BASE + 2);
    QCOMPARE(int(received.size()), 2);
    QCOMPARE(Word(received[0]), UWORD(0x6000));
    QCOMPARE(Word(received[1]), UWORD(0));
  }

  void controllerRangeAndValueFromTheNetwork() {
    cQtSignalSlotContinuousControllerDriver driver("Freq Box", 0, 1000, false);
    QSignalSpy range(&driver, &cQtSignalSlotContinuousControllerDriver::rangeChanged);
    QSignalSpy rawChanged(&driver, qOverload<int>(&cQtSignalSlotContinuousControllerDriver::ValueChanged));
    cMirroredUnit unit;
    unit.Send("Freq Box", ContinuousControllerRange, {0x29, 0xCB, 0xDD, 0x2E, 0x00});  // 10699..56622
    unit.Send("Freq Box", M_CONTINUOUS_CONTROLLER_VALUE, UWORDBytes(26007));
    Settle();
    QCOMPARE(range.count(), 1);
    QCOMPARE(driver.min(), 10699);
    QCOMPARE(driver.max(), 56622);
    QCOMPARE(driver.networkValue(), 26007);
    // The range message's clamped value was overtaken before it was shown.
    QCOMPARE(rawChanged.count(), 1);
    QCOMPARE(rawChanged.last().at(0).toInt(), 26007);
  }

  void controllerDeltaFromTheNetwork() {
    cQtSignalSlotContinuousControllerDriver driver("Delay Box", 0, 1000, false);
    driver.SetNetworkValue(995);
    cMirroredUnit unit;
    unit.Send("Delay Box", M_CONTINUOUS_CONTROLLER_DELTA, UWORDBytes(UWORD(8)));
    Settle();
    QCOMPARE(driver.networkValue(), 1000);  // 20 steps, stopped at the end
    unit.Send("Delay Box", M_CONTINUOUS_CONTROLLER_DELTA, UWORDBytes(UWORD(-2)));
    Settle();
    QCOMPARE(driver.networkValue(), 998);
  }

  void deltaSteps_data() {
    QTest::addColumn<int>("range");
    QTest::addColumn<QList<int>>("deltas");
    QTest::addColumn<QList<int>>("steps");
    QTest::addColumn<int>("remainder");
    QTest::newRow("no range") << 0 << QList<int>{5} << QList<int>{0} << 0;
    QTest::newRow("threshold 2 collects") << 50 << QList<int>{1, 1, -3} << QList<int>{0, 1, 1} << -1;
    QTest::newRow("threshold capped at 10") << 10 << QList<int>{9, 2} << QList<int>{0, 1} << 1;
    QTest::newRow("small steps unaccelerated") << 1000 << QList<int>{2, -1} << QList<int>{2, 1} << 0;
    QTest::newRow("accelerated by fraction") << 1000 << QList<int>{8, -8} << QList<int>{20, 20} << 0;
    QTest::newRow("share of range beyond fraction") << 136 << QList<int>{27} << QList<int>{27} << 0;
    QTest::newRow("huge step stops at the range") << 1000 << QList<int>{32767} << QList<int>{1000} << 0;
    QTest::newRow("remainder beyond 16 bits") << 20 << QList<int>{32767, 32767} << QList<int>{5461, 5461} << 2;
  }

  void deltaSteps() {
    QFETCH(int, range);
    QFETCH(QList<int>, deltas);
    QFETCH(QList<int>, steps);
    QFETCH(int, remainder);
    std::int16_t kept = 0;
    for (int i = 0; i < deltas.size(); ++i) {
      QCOMPARE(ControllerDeltaSteps(range, deltas[i], kept, {}), steps[i]);
    }
    QCOMPARE(int(kept), remainder);
  }

  void deltaOptions() {
    std::int16_t kept = 0;
    sControllerDeltaOptions fine;
    fine.mFineSmallRanges = true;
    // Range 100: 136/100 = 1, so small steps need 3 before they move.
    QCOMPARE(ControllerDeltaSteps(100, 2, kept, fine), 0);
    QCOMPARE(ControllerDeltaSteps(100, 1, kept, fine), 1);
    sControllerDeltaOptions medium;
    medium.mCollectMediumRanges = true;
    kept = 0;
    // Range 200: 512/200 = 2, so threshold 3 for small steps; big ones count double.
    QCOMPARE(ControllerDeltaSteps(200, 2, kept, medium), 0);
    // A step of 20 counts double; beyond 3 the threshold is 512/200 = 2.
    QCOMPARE(ControllerDeltaSteps(200, 20, kept, medium), 21);
    QCOMPARE(int(kept), 0);
  }

  void listBox() {
    cQtSignalSlotListBoxDriver driver(nullptr, "Slope ListBox", {10, 20, 30});
    QCOMPARE(driver.value(), 10);
    QCOMPARE(driver.currentIndex(), 0);
    QSignalSpy index(&driver, &cQtSignalSlotListBoxDriver::CurrentIndexChanged);
    QSignalSpy value(&driver, &cQtSignalSlotListBoxDriver::ValueChanged);
    driver.SetCurrentIndex(2);
    QCOMPARE(driver.value(), 30);
    QCOMPARE(driver.currentIndex(), 2);
    QCOMPARE(index.count(), 1);
    driver.SetValue(25);
    QCOMPARE(driver.value(), 30);
    QCOMPARE(value.count(), 0);
    driver.SetValue(20);
    QCOMPARE(driver.currentIndex(), 1);
    QCOMPARE(value.count(), 1);
    driver.SetCurrentIndex(7);  // not in the map: value 0
    QCOMPARE(driver.value(), 0);
    QCOMPARE(driver.currentIndex(), -1);

    cMirroredUnit unit;
    unit.Send("Slope ListBox", M_SWITCH_VALUE, {25});
    Settle();
    QCOMPARE(driver.value(), 25);
    QCOMPARE(driver.currentIndex(), -1);
    QCOMPARE(index.count(), 3);
  }

  void listBoxDelta() {
    // Five entries: 12/256 of an index per step, so 11 steps reach index 1
    // (132/256 rounds up) and a big step down stops at index 0.
    cQtSignalSlotListBoxDriver driver(nullptr, "Long ListBox", {1, 2, 3, 4, 5});
    const EW_NET_DATA_SCALE handle = HandleOf("Long ListBox");
    cMirroredUnit unit;
    unit.Send(handle, M_SWITCH_DELTA, UWORDBytes(10));
    Settle();
    QCOMPARE(driver.currentIndex(), 0);
    unit.Send(handle, M_SWITCH_DELTA, UWORDBytes(1));
    Settle();
    QCOMPARE(driver.currentIndex(), 1);
    unit.Send(handle, M_SWITCH_DELTA, UWORDBytes(1000));
    Settle();
    QCOMPARE(driver.currentIndex(), 4);
    unit.Send(handle, M_SWITCH_DELTA, UWORDBytes(UWORD(-1000)));
    Settle();
    QCOMPARE(driver.currentIndex(), 0);
  }

  void meterStartsAtMinusInfinity() {
    cQtSignalSlotMeterDriver driver("Meter Widget", GAIN(0xD800), 4608);
    QCOMPARE(driver.gainValue(), GAIN(-32767));
    QCOMPARE(driver.value(), 0.0f);
    cQtSignalSlotMeterDriver zero("Zero Meter", GAIN(0xD800), 4608, kInstantAttack, kInstantDecay, true);
    QCOMPARE(zero.gainValue(), GAIN(0));
  }

  void meterUpdates() {
    cQtSignalSlotMeterDriver driver("Meter Widget");
    QSignalSpy level(&driver, &cQtSignalSlotMeterDriver::GainValueChanged);
    QSignalSpy peak(&driver, &cQtSignalSlotMeterDriver::PeakChanged);
    QSignalSpy first(&driver, &cQtSignalSlotMeterDriver::MeterValuesChanged1);
    QSignalSpy both(&driver, &cQtSignalSlotMeterDriver::MeterValuesChanged);
    const EW_NET_DATA_SCALE handle = HandleOf("Meter Widget");
    cMirroredUnit unit;
    const auto levels = [&](GAIN l, GAIN p) {
      tPayload payload = UWORDBytes(UWORD(l));
      const tPayload second = UWORDBytes(UWORD(p));
      payload.insert(payload.end(), second.begin(), second.end());
      unit.Send(handle, M_METER_LEVEL_AND_PEAK, payload);
      Settle();
    };
    levels(-2560, -1280);
    QCOMPARE(level.count(), 1);
    QCOMPARE(peak.count(), 1);
    QCOMPARE(both.count(), 1);
    QCOMPARE(driver.gainPeak(), GAIN(-1280));
    levels(-2560, -1280);  // nothing new: no signal at all
    QCOMPARE(first.count(), 1);
    QCOMPARE(both.count(), 1);
    levels(-2560, -256);  // only the peak rose
    QCOMPARE(level.count(), 1);
    QCOMPARE(peak.count(), 2);
    QCOMPARE(first.count(), 2);
    QCOMPARE(both.count(), 2);
    QCOMPARE(both.last().at(1).value<GAIN>(), GAIN(-256));
  }

  void meterScale_data() {
    QTest::addColumn<int>("bottom");
    QTest::addColumn<int>("top");
    QTest::addColumn<int>("level");
    QTest::addColumn<float>("position");
    // Minus infinity to +10 dB spans 35327, beyond 16 bits.
    QTest::newRow("default scale") << -32767 << 2560 << 0 << float(32767.0 / 35327.0);
    QTest::newRow("default scale top") << -32767 << 2560 << 32767 << 1.0f;
    QTest::newRow("fader scale middle") << -10240 << 4608 << -2816 << 0.5f;
    QTest::newRow("equal ends") << 0 << 0 << 0 << 0.0f;
    QTest::newRow("inverted ends") << 2560 << -2560 << 0 << 0.0f;
  }

  void meterScale() {
    QFETCH(int, bottom);
    QFETCH(int, top);
    QFETCH(int, level);
    QFETCH(float, position);
    cQtSignalSlotMeterDriver driver;
    driver.setBottomOfMeter(GAIN(bottom));
    driver.setTopOfMeter(GAIN(top));
    QCOMPARE(driver.getFloatForUWORD(UWORD(GAIN(level))), position);
  }

  void meterStepsAndLink() {
    cQtSignalSlotMeterDriver driver("Step Meter");
    QSignalSpy attack(&driver, &cQtSignalSlotMeterDriver::attackStepChanged);
    driver.setAttackStep(256);
    driver.setAttackStep(256);
    QCOMPARE(attack.count(), 1);
    QCOMPARE(driver.GetMeter()->GetAttackStep(), GAIN(256));
    QSignalSpy decay(&driver, &cQtSignalSlotMeterDriver::decayStepChanged);
    cMirroredUnit unit;
    unit.Send("Step Meter", M_METER_DECAY_STEP, UWORDBytes(UWORD(0x8000 - 768)));
    Settle();
    QCOMPARE(driver.decayStep(), GAIN(-768));
    QCOMPARE(decay.count(), 1);

    cQtSignalSlotMeterDriver unnamed;
    QVERIFY(!unnamed.LinkSourceToMeter("Metering Sources NetObject", PARAMETER_BASE + 1));
    QVERIFY(driver.LinkSourceToMeter("Metering Sources NetObject", PARAMETER_BASE + 1));
    driver.setNoBallistics(true);
    QVERIFY(driver.LinkSourceToMeter("Metering Sources NetObject", PARAMETER_BASE + 2));
    QCOMPARE(int(GetSystemBuilder()->GetListLength()), 2);
  }

  // Drivers made and unmade from this thread while the dispatch thread
  // delivers and the tick thread polls them: debug builds stop on any net
  // object made or destroyed outside the registry lock, and the thread
  // sanitizer sees every hand-over.
  void lifetimeWhileThreadsRun() {
    cReportCapture reports;
    struct cNoHook : cActionTickParent {
      void ActionTickHook() override {}
    } hook;
    auto dispatch = std::make_unique<cSyscallThread>();
    auto ticks = std::make_unique<cActionTickDriver>(&hook);
    dispatch->Start();
    ticks->start();
    SetSystemRunning(true);
    for (int round = 0; round < 150; ++round) {
      auto fader = std::make_unique<cQtSignalSlotContinuousControllerDriver>("Churn Fader", 0, 1000, true);
      auto mute = std::make_unique<cQtBooleanSwitchDriver>("Churn Mute");
      auto list = std::make_unique<cQtSignalSlotListBoxDriver>(nullptr, "Churn List", QList<UBYTE>{0, 1, 2});
      auto meter = std::make_unique<cQtSignalSlotMeterDriver>("Churn Meter");
      fader->SetNetworkValue(round * 7 % 1000);
      mute->setValue(round % 2 == 0);
      list->SetCurrentIndex(round % 3);
      meter->setAttackStep(GAIN(round));
      if (round % 10 == 0) mute->setNetObjectName("Churn Mute 2");
      // A reading the meter takes: its own.
      const EW_NET_DATA_SCALE churnMeter = HandleOf("Churn Meter");
      Post(churnMeter, churnMeter, M_METER_READING, {0x12, 0x34, 0x00});
      WakeDispatchThread();
      QCoreApplication::processEvents();
    }
    SetSystemRunning(false);
    dispatch->Stop();
    ticks.reset();
    dispatch.reset();
    QCOMPARE(reports.Count("Driver already has a net object"), 15);
    QCOMPARE(int(reports.Lines().size()), 15);
  }
};

QTEST_GUILESS_MAIN(tst_SignalSlotDrivers)
#include "tst_SignalSlotDrivers.moc"
