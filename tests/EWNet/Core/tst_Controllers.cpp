#include <QtTest>
#include <deque>
#include <memory>
#include <utility>

#include "EWNet/Core/ContCntrWithDeltaDriver.h"
#include "EWNet/Core/LEDObjct.h"
#include "EWNet/Core/MeterNet.h"
#include "EWNet/Core/SwitchObj.h"
#include "EWNet/Core/Syscall.h"
#include "NetProbe.h"
#include "TestSupport.h"

namespace {

constexpr UWORD kProbeIn = PARAMETER_BASE + 0x100;  // where probes take values

// A driver whose state the test sets directly; it clamps writes like a real
// control, so the controller's read-back after a write matters.
class cFakeControllerDriver : public cContinuousControllerWithDeltaDriver {
 public:
  cFakeControllerDriver(const char* name, UWORD minimum, UWORD maximum, UWORD initial)
      : cContinuousControllerWithDeltaDriver(name, minimum, maximum, false, true) {
    mValue = initial;
  }
  ~cFakeControllerDriver() override { DestroyAudioObject(); }

  UBYTE ReadTouched() override { return mTouched; }
  UWORD ReadValue() override { return mValue; }
  void WriteValue(UWORD value) override {
    mWritten.push_back(value);
    mValue = ClampValue(value);
  }
  int16_t ReadDelta() override {
    if (mDeltas.empty()) return 0;
    const int16_t d = mDeltas.front();
    mDeltas.pop_front();
    return d;
  }
  void ApplyDelta(int16_t steps) override { mApplied.push_back(steps); }

  cContinuousControllerWithDelta& Controller() { return *static_cast<cContinuousControllerWithDelta*>(mAudioObject); }

  UWORD mValue = 0;
  UBYTE mTouched = 0;
  std::vector<UWORD> mWritten;
  std::deque<int16_t> mDeltas;
  std::vector<int16_t> mApplied;
};

class cFakeSwitchDriver : public cSwitchBaseDriver {
 public:
  cFakeSwitchDriver(const char* name, bool ticks, UBYTE initial) : cSwitchBaseDriver(name, ticks), mValue(initial) {}
  ~cFakeSwitchDriver() override { DestroyAudioObject(); }
  UBYTE ReadValue() override {
    ++mReads;
    return mValue;
  }
  void WriteValue(UBYTE value) override { mValue = value; }
  void ApplyDelta(int16_t steps) override { mApplied.push_back(steps); }
  cSwitchObject& Switch() { return *static_cast<cSwitchObject*>(mAudioObject); }

  UBYTE mValue;
  int mReads = 0;
  std::vector<int16_t> mApplied;
};

class cFakeLEDDriver : public cLEDBaseDriver {
 public:
  explicit cFakeLEDDriver(const char* name) : cLEDBaseDriver(name) {}
  ~cFakeLEDDriver() override { DestroyAudioObject(); }
  void SetState(UBYTE state) override { mStates.push_back(state); }
  cLEDObject& LED() { return *static_cast<cLEDObject*>(mAudioObject); }
  std::vector<UBYTE> mStates;
};

class cFakeMeterDriver : public cMeterDisplayDriverBase {
 public:
  cFakeMeterDriver(const char* name, GAIN attack, GAIN decay, bool holdOn, UBYTE holdTime)
      : cMeterDisplayDriverBase(name, attack, decay, holdOn, holdTime) {}
  ~cFakeMeterDriver() override { DestroyAudioObject(); }
  void SetLevels(GAIN level, GAIN peak) override { mLevels.emplace_back(level, peak); }
  void SetFlag(bool flag) override { mFlags.push_back(flag); }
  std::vector<std::pair<GAIN, GAIN>> mLevels;
  std::vector<bool> mFlags;
};

tPayload RangePayload(UWORD minimum, UWORD maximum, UBYTE levelType) {
  tPayload p = UWORDBytes(minimum);
  const tPayload m = UWORDBytes(maximum);
  p.insert(p.end(), m.begin(), m.end());
  p.push_back(levelType);
  return p;
}

tPayload MeterReading(GAIN level, UBYTE reset) {
  tPayload p = UWORDBytes(UWORD(level));
  p.push_back(reset);
  return p;
}

}  // namespace

Q_DECLARE_METATYPE(tPayload)
Q_DECLARE_METATYPE(std::vector<int16_t>)

class tst_Controllers : public QObject {
  Q_OBJECT
 private slots:
  void init() { StartEWNet(0, true); }
  void cleanup() { StopEWNet(); }

  void firstTickIsSilent();
  void valueAndTouchedPublishedInOrder();
  void receivedValueGoesToDriverAndOnToOtherLinks();
  void rangeMessage_data();
  void rangeMessage();
  void shortPayloadIsIgnored();
  void touchedIsReadOnlyFlagGoesToDriver();
  void syncUpSendsCurrentState();
  void postValue_data();
  void postValue();
  void postRangeAndValue();
  void deltaGeneration_data();
  void deltaGeneration();
  void receivedDeltaGoesToDriver();
  void switchSyncUpBeforeFirstTick();
  void switchMessages();
  void ledPassesOnChangesOnly();
  void ledSyncUp();
  void meterBallistics_data();
  void meterBallistics();
  void meterSettings();
  void meterResetBallistics();
};

void tst_Controllers::firstTickIsSilent() {
  cFakeControllerDriver driver("Fader", 0, 2000, 1000);
  cNetProbe probe("Probe");
  LinkParameter(driver.Controller(), M_CONTINUOUS_CONTROLLER_VALUE, probe, kProbeIn);

  TickNetwork();
  QVERIFY(probe.Received().empty());
  QCOMPARE(driver.Controller().GetCachedValue(), UWORD(1000));

  driver.mValue = 1001;
  TickNetwork();
  QCOMPARE(probe.Received().size(), size_t(1));
  QCOMPARE(probe.Received()[0].mMethod, kProbeIn);
  QCOMPARE(probe.Received()[0].mPayload, UWORDBytes(1001));

  TickNetwork();
  QCOMPARE(probe.Received().size(), size_t(1));
}

void tst_Controllers::valueAndTouchedPublishedInOrder() {
  cFakeControllerDriver driver("Fader", 0, 2000, 0);
  cNetProbe probe("Probe");
  LinkParameter(driver.Controller(), M_CONTINUOUS_CONTROLLER_VALUE, probe, kProbeIn);
  LinkParameter(driver.Controller(), M_CONTINUOUS_CONTROLLER_TOUCHED, probe, kProbeIn + 1);
  TickNetwork();

  driver.mValue = 7;
  driver.mTouched = 1;
  TickNetwork();
  QCOMPARE(probe.Received().size(), size_t(2));
  QCOMPARE(probe.Received()[0].mMethod, kProbeIn);
  QCOMPARE(probe.Received()[1].mMethod, UWORD(kProbeIn + 1));
  QCOMPARE(probe.Received()[1].mPayload, tPayload{1});
}

void tst_Controllers::receivedValueGoesToDriverAndOnToOtherLinks() {
  cFakeControllerDriver driver("Fader", 0, 1000, 0);
  cNetProbe unit("Unit");
  cNetProbe other("Other");
  LinkParameter(driver.Controller(), M_CONTINUOUS_CONTROLLER_VALUE, unit, kProbeIn);
  LinkParameter(driver.Controller(), M_CONTINUOUS_CONTROLLER_VALUE, other, kProbeIn);
  TickNetwork();

  // The driver clamps 5000 to 1000; the cache follows the driver, so the
  // next tick has nothing new to say.
  unit.SendTo(driver.Controller().GetHandle(), M_CONTINUOUS_CONTROLLER_VALUE, UWORDBytes(5000));
  Deliver();
  QCOMPARE(driver.mValue, UWORD(1000));
  QCOMPARE(driver.Controller().GetCachedValue(), UWORD(1000));
  QVERIFY(unit.Received().empty());
  QCOMPARE(other.Received().size(), size_t(1));
  QCOMPARE(other.Received()[0].mPayload, UWORDBytes(5000));

  TickNetwork();
  QVERIFY(unit.Received().empty());
  QCOMPARE(other.Received().size(), size_t(1));
}

void tst_Controllers::rangeMessage_data() {
  QTest::addColumn<UWORD>("cached");
  QTest::addColumn<tPayload>("payload");
  QTest::addColumn<UWORD>("minimum");
  QTest::addColumn<UWORD>("maximum");
  QTest::addColumn<bool>("levelType");
  QTest::addColumn<UWORD>("value");
  QTest::addColumn<QString>("report");

  const QString none;
  tPayload withValue = RangePayload(0, 500, 0);
  withValue.insert(withValue.end(), {0x01, 0xC2});  // 450
  tPayload valueAbove = RangePayload(0, 500, 0);
  valueAbove.insert(valueAbove.end(), {0x02, 0x58});  // 600

  QTest::newRow("inverted range changes nothing")
      << UWORD(300) << RangePayload(100, 50, 0) << UWORD(0) << UWORD(1000) << false << UWORD(300)
      << "ControllerRangeUpper = 50, is lower than ControllerRangeLower = 100";
  QTest::newRow("no value clamps cached down")
      << UWORD(300) << RangePayload(0, 200, 0) << UWORD(0) << UWORD(200) << false << UWORD(200) << none;
  QTest::newRow("no value clamps cached up")
      << UWORD(50) << RangePayload(100, 500, 0) << UWORD(100) << UWORD(500) << false << UWORD(100) << none;
  QTest::newRow("value taken from payload")
      << UWORD(300) << withValue << UWORD(0) << UWORD(500) << false << UWORD(450) << none;
  QTest::newRow("payload value clamped") << UWORD(300) << valueAbove << UWORD(0) << UWORD(500) << false << UWORD(500)
                                         << none;
  QTest::newRow("level type set") << UWORD(300) << RangePayload(0, 1000, 0xFF) << UWORD(0) << UWORD(1000) << true
                                  << UWORD(300) << none;
}

void tst_Controllers::rangeMessage() {
  QFETCH(UWORD, cached);
  QFETCH(tPayload, payload);
  QFETCH(UWORD, minimum);
  QFETCH(UWORD, maximum);
  QFETCH(bool, levelType);
  QFETCH(UWORD, value);
  QFETCH(QString, report);

  cReportCapture reports;
  cFakeControllerDriver driver("Fader", 0, 1000, cached);
  cNetProbe source("Source");
  cNetProbe other("Other");
  LinkParameter(driver.Controller(), ContinuousControllerRange, other, kProbeIn);
  TickNetwork();

  source.SendTo(driver.Controller().GetHandle(), ContinuousControllerRange, payload);
  Deliver();
  QCOMPARE(driver.GetMinimum(), minimum);
  QCOMPARE(driver.GetMaximum(), maximum);
  QCOMPARE(driver.GetLevelType(), levelType);
  // The controller clamps before the driver sees the value.
  QCOMPARE(driver.mWritten, report.isEmpty() ? std::vector<UWORD>{value} : std::vector<UWORD>{});
  QCOMPARE(driver.Controller().GetCachedValue(), value);
  if (!report.isEmpty()) QCOMPARE(reports.Count(report.toStdString()), 1);
  QCOMPARE(reports.Count("ERROR"), report.isEmpty() ? 0 : 1);
  // Even a refused range is passed on, unchanged.
  QCOMPARE(other.Received().size(), size_t(1));
  QCOMPARE(other.Received()[0].mPayload, payload);
}

void tst_Controllers::shortPayloadIsIgnored() {
  cReportCapture reports;
  cFakeControllerDriver driver("Fader", 0, 1000, 300);
  cNetProbe source("Source");
  cNetProbe other("Other");
  LinkParameter(driver.Controller(), ContinuousControllerRange, other, kProbeIn);
  LinkParameter(driver.Controller(), M_CONTINUOUS_CONTROLLER_VALUE, other, kProbeIn);

  source.SendTo(driver.Controller().GetHandle(), ContinuousControllerRange, {0, 10, 0});
  source.SendTo(driver.Controller().GetHandle(), M_CONTINUOUS_CONTROLLER_VALUE, {7});
  Deliver();
  QCOMPARE(reports.Count("Message too short for method 0x1002: 3 bytes, 5 needed, \"Fader\""), 1);
  QCOMPARE(reports.Count("Message too short for method 0x1000: 1 bytes, 2 needed, \"Fader\""), 1);
  QCOMPARE(driver.GetMaximum(), UWORD(1000));
  QCOMPARE(driver.mValue, UWORD(300));
  QVERIFY(other.Received().empty());
}

void tst_Controllers::touchedIsReadOnlyFlagGoesToDriver() {
  cReportCapture reports;
  cFakeControllerDriver driver("Fader", 0, 1000, 0);
  cNetProbe source("Source");
  cNetProbe other("Other");
  LinkParameter(driver.Controller(), M_CONTINUOUS_CONTROLLER_TOUCHED, other, kProbeIn);
  LinkParameter(driver.Controller(), M_CONTINUOUS_CONTROLLER_FLAG, other, kProbeIn + 1);
  source.SendTo(driver.Controller().GetHandle(), M_CONTINUOUS_CONTROLLER_TOUCHED, {1});
  Deliver();
  QCOMPARE(reports.Count("M_CONTINUOUS_CONTROLLER_TOUCHED - is read only"), 1);
  QVERIFY(other.Received().empty());

  source.SendTo(driver.Controller().GetHandle(), M_CONTINUOUS_CONTROLLER_FLAG, {2});
  Deliver();
  QVERIFY(driver.GetControlFlag());
  QCOMPARE(other.Received().size(), size_t(1));
  source.SendTo(driver.Controller().GetHandle(), M_CONTINUOUS_CONTROLLER_FLAG, {0});
  Deliver();
  QVERIFY(!driver.GetControlFlag());
}

void tst_Controllers::syncUpSendsCurrentState() {
  cReportCapture reports;
  cFakeControllerDriver driver("Fader", 10, 900, 123);
  driver.SetRange(10, 900, true);
  driver.mTouched = 1;
  cNetProbe probe("Probe");
  TickNetwork();

  LinkParameter(driver.Controller(), M_CONTINUOUS_CONTROLLER_VALUE, probe, kProbeIn, true);
  LinkParameter(driver.Controller(), M_CONTINUOUS_CONTROLLER_TOUCHED, probe, kProbeIn + 1, true);
  LinkParameter(driver.Controller(), ContinuousControllerRange, probe, kProbeIn + 2, true);
  QCOMPARE(probe.Received().size(), size_t(3));
  QCOMPARE(probe.Received()[0].mPayload, UWORDBytes(123));
  QCOMPARE(probe.Received()[1].mPayload, tPayload{1});
  QCOMPARE(probe.Received()[2].mPayload, RangePayload(10, 900, 0xFF));
  QCOMPARE(reports.Count("ERROR"), 0);

  LinkParameter(driver.Controller(), M_CONTINUOUS_CONTROLLER_FLAG, probe, kProbeIn + 3, true);
  QCOMPARE(probe.Received().size(), size_t(3));
  QCOMPARE(reports.Count("UpdateNewObject needs overloading to enable sync-up"), 1);
}

void tst_Controllers::postValue_data() {
  QTest::addColumn<UWORD>("posted");
  QTest::addColumn<UWORD>("applied");
  QTest::addColumn<QString>("report");
  QTest::newRow("below") << UWORD(5) << UWORD(10)
                         << "PostCCValue provided out of range value. Min:10, Max:20, Val:5, \"Fader\"";
  QTest::newRow("above") << UWORD(25) << UWORD(20)
                         << "PostCCValue provided out of range value. Min:10, Max:20, Val:25, \"Fader\"";
  QTest::newRow("inside") << UWORD(15) << UWORD(15) << QString();
}

void tst_Controllers::postValue() {
  QFETCH(UWORD, posted);
  QFETCH(UWORD, applied);
  QFETCH(QString, report);
  cReportCapture reports;
  cFakeControllerDriver driver("Fader", 10, 20, 12);
  cNetProbe probe("Probe");
  LinkParameter(driver.Controller(), M_CONTINUOUS_CONTROLLER_VALUE, probe, kProbeIn);

  driver.Controller().PostContinuousControllerValue(posted);
  QCOMPARE(reports.Count("ERROR"), report.isEmpty() ? 0 : 1);
  if (!report.isEmpty()) QCOMPARE(reports.Count(report.toStdString()), 1);
  QCOMPARE(driver.mValue, UWORD(12));  // nothing happens before delivery
  Deliver();
  QCOMPARE(driver.mValue, applied);
  QCOMPARE(probe.Received().size(), size_t(1));
  QCOMPARE(probe.Received()[0].mPayload, UWORDBytes(applied));
}

void tst_Controllers::postRangeAndValue() {
  cReportCapture reports;
  cFakeControllerDriver driver("Fader", 0, 1000, 0);
  driver.SetRange(0, 1000, true);
  cNetProbe probe("Probe");
  LinkParameter(driver.Controller(), ContinuousControllerRange, probe, kProbeIn);
  LinkParameter(driver.Controller(), M_CONTINUOUS_CONTROLLER_VALUE, probe, kProbeIn + 1);

  driver.Controller().PostContinuousControllerRangeAndValue(0, 100, 150);
  QCOMPARE(reports.Count("PostContinuousControllerRangeAndValue provided out of range values. Min:0, Max:100, Val:150"),
           1);
  Deliver();
  QCOMPARE(driver.GetMaximum(), UWORD(100));
  QCOMPARE(driver.mValue, UWORD(100));
  QCOMPARE(probe.Received().size(), size_t(2));
  tPayload range = RangePayload(0, 100, 0xFF);
  range.insert(range.end(), {0, 100});
  QCOMPARE(probe.Received()[0].mMethod, kProbeIn);
  QCOMPARE(probe.Received()[0].mPayload, range);
  QCOMPARE(probe.Received()[1].mPayload, UWORDBytes(100));
}

void tst_Controllers::deltaGeneration_data() {
  QTest::addColumn<bool>("slow");
  QTest::addColumn<std::vector<int16_t>>("deltas");
  // One entry per tick: the delta sent on that tick, 0 for none.
  QTest::addColumn<std::vector<int16_t>>("sent");
  QTest::newRow("slow pairs ticks") << true << std::vector<int16_t>{3, 0, 2, 2} << std::vector<int16_t>{0, 3, 0, 4};
  QTest::newRow("slow waits for a first delta")
      << true << std::vector<int16_t>{0, 0, -4, 1} << std::vector<int16_t>{0, 0, 0, -3};
  QTest::newRow("slow pair cancelling out") << true << std::vector<int16_t>{2, -2, 5} << std::vector<int16_t>{0, 0, 0};
  QTest::newRow("slow sum saturates") << true << std::vector<int16_t>{30000, 30000} << std::vector<int16_t>{0, 32767};
  QTest::newRow("normal sends each tick, first tick too")
      << false << std::vector<int16_t>{3, 0, -2} << std::vector<int16_t>{3, 0, -2};
}

void tst_Controllers::deltaGeneration() {
  QFETCH(bool, slow);
  QFETCH(std::vector<int16_t>, deltas);
  QFETCH(std::vector<int16_t>, sent);
  cFakeControllerDriver driver("Encoder", 0, 1000, 0);
  if (slow) driver.UseSlowDeltaGeneration();
  QCOMPARE(driver.Controller().GetSlowDeltaMode(), slow);
  cNetProbe probe("Probe");
  LinkParameter(driver.Controller(), M_CONTINUOUS_CONTROLLER_DELTA, probe, kProbeIn);

  for (size_t tick = 0; tick < deltas.size(); ++tick) {
    driver.mDeltas.push_back(deltas[tick]);
    TickNetwork();
    if (sent[tick] == 0) {
      QVERIFY2(probe.Received().empty(), qPrintable(QString("tick %1").arg(tick + 1)));
    } else {
      QCOMPARE(probe.Received().size(), size_t(1));
      QCOMPARE(int16_t(Word(probe.Received()[0])), sent[tick]);
    }
    probe.mReceived.clear();
  }
}

void tst_Controllers::receivedDeltaGoesToDriver() {
  cFakeControllerDriver driver("Encoder", 0, 1000, 0);
  cNetProbe source("Source");
  cNetProbe other("Other");
  LinkParameter(driver.Controller(), M_CONTINUOUS_CONTROLLER_DELTA, other, kProbeIn);
  source.SendTo(driver.Controller().GetHandle(), M_CONTINUOUS_CONTROLLER_DELTA, UWORDBytes(UWORD(-3)));
  Deliver();
  QCOMPARE(driver.mApplied, std::vector<int16_t>{-3});
  QCOMPARE(other.Received().size(), size_t(1));
}

void tst_Controllers::switchSyncUpBeforeFirstTick() {
  cFakeSwitchDriver driver("Mute", true, 7);
  cNetProbe probe("Probe");
  LinkParameter(driver.Switch(), M_SWITCH_VALUE, probe, kProbeIn, true);
  QCOMPARE(probe.Received().size(), size_t(1));
  QCOMPARE(probe.Received()[0].mPayload, tPayload{7});

  // The sync-up counted as the first poll: the next tick has nothing new.
  TickNetwork();
  QCOMPARE(probe.Received().size(), size_t(1));
  driver.mValue = 8;
  TickNetwork();
  QCOMPARE(probe.Received().size(), size_t(2));
  QCOMPARE(probe.Received()[1].mPayload, tPayload{8});
}

void tst_Controllers::switchMessages() {
  cReportCapture reports;
  cFakeSwitchDriver driver("Mute", true, 0);
  cNetProbe source("Source");
  cNetProbe other("Other");
  LinkParameter(driver.Switch(), M_SWITCH_VALUE, other, kProbeIn);
  LinkParameter(driver.Switch(), M_SWITCH_DELTA, other, kProbeIn + 1);
  TickNetwork();

  source.SendTo(driver.Switch().GetHandle(), M_SWITCH_VALUE, {1});
  source.SendTo(driver.Switch().GetHandle(), M_SWITCH_DELTA, UWORDBytes(UWORD(-2)));
  Deliver();
  QCOMPARE(driver.mValue, UBYTE(1));
  QCOMPARE(driver.Switch().GetCachedValue(), UBYTE(1));
  QCOMPARE(driver.mApplied, std::vector<int16_t>{-2});
  QCOMPARE(other.Received().size(), size_t(1));  // the delta is not passed on
  QCOMPARE(other.Received()[0].mMethod, kProbeIn);
  TickNetwork();
  QCOMPARE(other.Received().size(), size_t(1));

  driver.Switch().UpdateNewObject(0, other.GetHandle(), kProbeIn, M_SWITCH_DELTA);
  QCOMPARE(reports.Count("UpdateNewObject needs overloading to enable sync-up"), 1);
}

void tst_Controllers::ledPassesOnChangesOnly() {
  cFakeLEDDriver driver("Clip LED");
  cNetProbe source("Source");
  cNetProbe other("Other");
  LinkParameter(driver.LED(), M_LED_STATE, other, kProbeIn);

  for (UBYTE state : {UBYTE(1), UBYTE(1), UBYTE(0)}) {
    source.SendTo(driver.LED().GetHandle(), M_LED_STATE, {state});
    Deliver();
  }
  QCOMPARE(driver.mStates, (std::vector<UBYTE>{1, 1, 0}));
  QCOMPARE(other.Received().size(), size_t(2));
  QCOMPARE(other.Received()[0].mPayload, tPayload{1});
  QCOMPARE(other.Received()[1].mPayload, tPayload{0});
}

void tst_Controllers::ledSyncUp() {
  cReportCapture reports;
  cFakeLEDDriver driver("Clip LED");
  cNetProbe probe("Probe");
  probe.SendTo(driver.LED().GetHandle(), M_LED_STATE, {5});
  Deliver();
  LinkParameter(driver.LED(), M_LED_STATE, probe, kProbeIn, true);
  QCOMPARE(probe.Received().size(), size_t(1));
  QCOMPARE(probe.Received()[0].mPayload, tPayload{5});

  driver.LED().UpdateNewObject(0, probe.GetHandle(), kProbeIn, PARAMETER_BASE + 1);
  QCOMPARE(reports.Count("Method undefined at this level"), 1);
}

void tst_Controllers::meterBallistics_data() {
  QTest::addColumn<GAIN>("attack");
  QTest::addColumn<GAIN>("decay");
  QTest::addColumn<bool>("holdOn");
  QTest::addColumn<UBYTE>("holdTime");
  QTest::addColumn<std::vector<GAIN>>("readings");  // a reading of 1 means: the next one carries the reset byte
  QTest::addColumn<std::vector<GAIN>>("levels");
  QTest::addColumn<std::vector<GAIN>>("peaks");
  using V = std::vector<GAIN>;

  QTest::newRow("attack and decay steps") << GAIN(256) << GAIN(-128) << false << UBYTE(0) << V{-2560, -1280, -3840}
                                          << V{-2560, -2304, -2432} << V{-2560, -2304, -2432};
  QTest::newRow("step passes the reading") << GAIN(256) << GAIN(-128) << false << UBYTE(0) << V{-300, -100, -150}
                                           << V{-300, -100, -150} << V{-300, -100, -150};
  QTest::newRow("instant attack and decay") << kInstantAttack << kInstantDecay << false << UBYTE(0)
                                            << V{-2560, 0, -20000} << V{-2560, 0, -20000} << V{-2560, 0, -20000};
  // Sums beyond 16 bits must compare as numbers, not wrap round.
  QTest::newRow("large steps near the ends")
      << GAIN(0x7000) << GAIN(-0x7000) << false << UBYTE(0) << V{0x6000, 0x7F00, -0x7F00, -0x7F00, -0x7F00}
      << V{0x6000, 0x7F00, 3840, -24832, -0x7F00} << V{0x6000, 0x7F00, 3840, -24832, -0x7F00};
  // Steps received as 0 and 0xFFFF are -32767 and 32767: the level moves away
  // from the reading and must stop at the end of the range, not wrap round.
  QTest::newRow("negative attack stops at minus infinity")
      << GAIN(-32767) << GAIN(-128) << false << UBYTE(0) << V{-2560, -1280, -100} << V{-2560, -32767, -32767}
      << V{-2560, -32767, -32767};
  QTest::newRow("positive decay stops at the top") << GAIN(256) << GAIN(32767) << false << UBYTE(0) << V{1000, 500, 400}
                                                   << V{1000, 32767, 32767} << V{1000, 32767, 32767};
  QTest::newRow("reset byte jumps") << GAIN(256) << GAIN(-128) << false << UBYTE(0) << V{-2560, 1, -100, -5000}
                                    << V{-2560, -100, -228} << V{-2560, -100, -228};
  QTest::newRow("peak hold counts down") << kInstantAttack << kInstantDecay << true << UBYTE(2)
                                         << V{-1000, -500, -800, -900, -950, -100}
                                         << V{-1000, -500, -800, -900, -950, -100}
                                         << V{-1000, -500, -500, -900, -900, -100};
  QTest::newRow("held peak follows the raw reading")
      << GAIN(256) << GAIN(-128) << true << UBYTE(1) << V{-2560, -1280, -3840} << V{-2560, -2304, -2432}
      << V{-2560, -1280, -3840};
  QTest::newRow("hold time 0 keeps the peak")
      << kInstantAttack << kInstantDecay << true << UBYTE(0) << V{-1000, -500, -900, -950} << V{-1000, -500, -900, -950}
      << V{-1000, -500, -500, -500};
}

void tst_Controllers::meterBallistics() {
  QFETCH(GAIN, attack);
  QFETCH(GAIN, decay);
  QFETCH(bool, holdOn);
  QFETCH(UBYTE, holdTime);
  QFETCH(std::vector<GAIN>, readings);
  QFETCH(std::vector<GAIN>, levels);
  QFETCH(std::vector<GAIN>, peaks);

  cFakeMeterDriver driver("Meter", attack, decay, holdOn, holdTime);
  cNetProbe source("Source");
  cNetProbe other("Other");
  LinkParameter(*driver.GetAudioObject(), M_METER_READING, other, kProbeIn);
  UBYTE reset = 0;
  for (GAIN reading : readings) {
    if (reading == 1) {
      reset = 1;
      continue;
    }
    source.SendTo(driver.GetAudioObject()->GetHandle(), M_METER_READING, MeterReading(reading, reset));
    reset = 0;
  }
  Deliver();
  QCOMPARE(driver.mLevels.size(), levels.size());
  for (size_t i = 0; i < levels.size(); ++i) {
    QCOMPARE(driver.mLevels[i].first, levels[i]);
    QCOMPARE(driver.mLevels[i].second, peaks[i]);
  }
  QCOMPARE(other.Received().size(), levels.size());
}

void tst_Controllers::meterSettings() {
  cReportCapture reports;
  cFakeMeterDriver driver("Meter", 256, -128, false, 0);
  cMeterNet& meter = *driver.GetMeter();
  cNetProbe source("Source");
  cNetProbe other("Other");
  for (UWORD p = M_METER_READING; p <= M_METER_FLAG; ++p) LinkParameter(meter, p, other, p);
  const EW_NET_DATA_SCALE to = meter.GetHandle();

  source.SendTo(to, M_METER_LEVEL_AND_PEAK, {0xF6, 0x00, 0xFF, 0x00});  // -2560, -256
  source.SendTo(to, M_METER_ATTACK_STEP, UWORDBytes(0));                // minus infinity
  source.SendTo(to, M_METER_DECAY_STEP, UWORDBytes(0x7F80));            // -128
  source.SendTo(to, M_METER_PEAK_HOLD_TIME, {9});
  source.SendTo(to, M_METER_PEAK_HOLD_ON, {2});
  source.SendTo(to, M_METER_FLAG, {1});
  Deliver();
  QCOMPARE(driver.mLevels.size(), size_t(1));
  QCOMPARE(driver.mLevels[0], std::make_pair(GAIN(-2560), GAIN(-256)));
  QCOMPARE(meter.GetAttackStep(), GAIN(-32767));
  QCOMPARE(driver.GetAttackStep(), GAIN(-32767));
  QCOMPARE(meter.GetDecayStep(), GAIN(-128));
  QCOMPARE(driver.GetDecayStep(), GAIN(-128));
  QCOMPARE(meter.GetPeakHoldTime(), UBYTE(9));
  QVERIFY(meter.GetPeakHoldOn());
  // The framework's own conversion reports it, not a copy in the meter.
  QCOMPARE(reports.Count("ERROR: Bad conversion to boolean for UBYTE with value 0x2\t(file:///AES-Standards/Convert:"),
           1);
  QCOMPARE(driver.mFlags, std::vector<bool>{true});
  QCOMPARE(other.Received().size(), size_t(6));

  // Steps travel in the offset gain form.
  const std::pair<UWORD, GAIN> steps[] = {{0x8000, 0}, {0x8100, 256}, {0xFFFF, 32767}, {1, -32767}};
  for (const auto& step : steps) {
    source.SendTo(to, M_METER_ATTACK_STEP, UWORDBytes(step.first));
    source.SendTo(to, M_METER_DECAY_STEP, UWORDBytes(step.first));
    Deliver();
    QCOMPARE(meter.GetAttackStep(), step.second);
    QCOMPARE(meter.GetDecayStep(), step.second);
  }
}

void tst_Controllers::meterResetBallistics() {
  cFakeMeterDriver driver("Meter", 256, -128, false, 0);
  cNetProbe source("Source");
  const EW_NET_DATA_SCALE to = driver.GetAudioObject()->GetHandle();
  source.SendTo(to, M_METER_READING, MeterReading(-2560, 0));
  source.SendTo(to, M_METER_READING, MeterReading(-1280, 0));
  Deliver();
  driver.GetMeter()->ResetBallistics();
  source.SendTo(to, M_METER_READING, MeterReading(-6000, 0));
  source.SendTo(to, M_METER_READING, MeterReading(-1000, 0));
  Deliver();
  QCOMPARE(driver.mLevels.size(), size_t(4));
  QCOMPARE(driver.mLevels[1].first, GAIN(-2304));
  QCOMPARE(driver.mLevels[2], std::make_pair(GAIN(-6000), GAIN(-6000)));
  QCOMPARE(driver.mLevels[3].first, GAIN(-5744));
}

QTEST_GUILESS_MAIN(tst_Controllers)
#include "tst_Controllers.moc"
