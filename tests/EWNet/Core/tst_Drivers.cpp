#include <QtTest>
#include <cmath>
#include <deque>
#include <limits>
#include <memory>
#include <string>

#include "EWNet/Core/ContCntrWithDeltaDriver.h"
#include "EWNet/Core/SwitchObj.h"
#include "EWNet/Core/SysBuild.h"
#include "EWNet/Core/Syscall.h"
#include "NetProbe.h"
#include "TestSupport.h"

namespace {

constexpr UWORD kOther = PARAMETER_BASE + 0x10;

class cFakePlainDriver : public cContinuousControllerDriver {
 public:
  cFakePlainDriver(const char* name, UWORD minimum, UWORD maximum, bool levelType)
      : cContinuousControllerDriver(name, minimum, maximum, levelType, true) {}
  ~cFakePlainDriver() override { DestroyAudioObject(); }
  UBYTE ReadTouched() override { return 0; }
  UWORD ReadValue() override { return mValue; }
  void WriteValue(UWORD value) override { mValue = value; }
  UWORD mValue = 0;
};

class cFakeDeltaDriver : public cContinuousControllerWithDeltaDriver {
 public:
  cFakeDeltaDriver(const char* name, bool createObject)
      : cContinuousControllerWithDeltaDriver(name, 0, 1000, false, createObject) {}
  ~cFakeDeltaDriver() override { DestroyAudioObject(); }
  UBYTE ReadTouched() override { return 0; }
  UWORD ReadValue() override { return 0; }
  void WriteValue(UWORD) override {}
  int16_t ReadDelta() override { return 0; }
  void ApplyDelta(int16_t) override {}
};

class cFakeSwitchDriver : public cSwitchBaseDriver {
 public:
  explicit cFakeSwitchDriver(const char* name) : cSwitchBaseDriver(name, true) {}
  ~cFakeSwitchDriver() override { DestroyAudioObject(); }
  UBYTE ReadValue() override { return 0; }
  void WriteValue(UBYTE) override {}
};

// Forgets to destroy what it owns.
class cCarelessDriver : public cAudioDriver {
 public:
  explicit cCarelessDriver(const char* name) { mAudioObject = new cNetProbe(name); }
};

class cFakeMulti : public cMultiContinuousControllerDriverBase {
 public:
  cFakeMulti(const char* name, const char* selector, UBYTE children)
      : cMultiContinuousControllerDriverBase(name, selector, children) {}
  int8_t ReadSelectedStepCount() override {
    ++mReads;
    if (mSteps.empty()) return 0;
    const int8_t s = mSteps.front();
    mSteps.pop_front();
    return s;
  }
  std::deque<int8_t> mSteps;
  int mReads = 0;
};

enum eLinkOperation {
  kSourceToRange,
  kSourceToValue,
  kRangeToDestination,
  kValueToDestination,
  kDeltaToDestination,
  kSwitchSourceToValue,
  kSwitchValueToDestination
};

}  // namespace

class tst_Drivers : public QObject {
  Q_OBJECT
 private slots:
  void init() { StartEWNet(0, true); }
  void cleanup() { StopEWNet(); }

  void rangeAndNormalised_data();
  void rangeAndNormalised();
  void valueFromNormalised_data();
  void valueFromNormalised();
  void clampAndNetworkValue_data();
  void clampAndNetworkValue();
  void driversCreateTheirObjects();
  void forgottenDestroyIsReportedAndRepaired();
  void driverWithoutObject();
  void linkOperations_data();
  void linkOperations();
  void linkRefusals();
  void multiChildStepSize_data();
  void multiChildStepSize();
  void multiSelectorDrivesSelectedChild();
};

void tst_Drivers::rangeAndNormalised_data() {
  QTest::addColumn<UWORD>("minimum");
  QTest::addColumn<UWORD>("maximum");
  QTest::addColumn<bool>("levelType");
  QTest::addColumn<UWORD>("range");
  QTest::addColumn<UWORD>("value");
  QTest::addColumn<float>("normalised");
  QTest::newRow("inverted range") << UWORD(10) << UWORD(5) << false << UWORD(0) << UWORD(7) << 0.0f;
  QTest::newRow("inverted range at maximum") << UWORD(10) << UWORD(5) << false << UWORD(0) << UWORD(5) << 0.0f;
  QTest::newRow("empty range") << UWORD(5) << UWORD(5) << false << UWORD(0) << UWORD(5) << 0.0f;
  QTest::newRow("middle") << UWORD(100) << UWORD(200) << false << UWORD(100) << UWORD(150) << 0.5f;
  QTest::newRow("above clamps") << UWORD(0) << UWORD(1000) << false << UWORD(1000) << UWORD(2000) << 1.0f;
  QTest::newRow("below clamps") << UWORD(100) << UWORD(200) << false << UWORD(100) << UWORD(50) << 0.0f;
  QTest::newRow("level type off") << UWORD(0) << UWORD(1000) << true << UWORD(1000) << UWORD(0) << 0.0f;
  QTest::newRow("level type on") << UWORD(0) << UWORD(1000) << true << UWORD(1000) << UWORD(250) << 0.25f;
  QTest::newRow("full width") << UWORD(0) << UWORD(65535) << false << UWORD(65535) << UWORD(65535) << 1.0f;
}

void tst_Drivers::rangeAndNormalised() {
  QFETCH(UWORD, minimum);
  QFETCH(UWORD, maximum);
  QFETCH(bool, levelType);
  QFETCH(UWORD, range);
  QFETCH(UWORD, value);
  QFETCH(float, normalised);
  // The range is set after construction to cover both ways of setting it.
  cFakePlainDriver driver(nullptr, minimum, maximum, levelType);
  QCOMPARE(driver.GetRange(), range);
  driver.SetRange(0, 1, false);
  driver.SetRange(minimum, maximum, levelType);
  QCOMPARE(driver.GetRange(), range);
  QCOMPARE(driver.NormalisedFromValue(value), normalised);
}

void tst_Drivers::valueFromNormalised_data() {
  QTest::addColumn<UWORD>("minimum");
  QTest::addColumn<UWORD>("maximum");
  QTest::addColumn<bool>("levelType");
  QTest::addColumn<float>("position");
  QTest::addColumn<UWORD>("value");
  QTest::newRow("0.5 of a step rounds up") << UWORD(0) << UWORD(1000) << false << 0.0005f << UWORD(1);
  QTest::newRow("0.4 of a step rounds down") << UWORD(0) << UWORD(1000) << false << 0.0004f << UWORD(0);
  QTest::newRow("half on odd range") << UWORD(0) << UWORD(101) << false << 0.5f << UWORD(51);
  QTest::newRow("half on even range") << UWORD(0) << UWORD(100) << false << 0.5f << UWORD(50);
  QTest::newRow("offset by minimum") << UWORD(10) << UWORD(1010) << false << 0.25f << UWORD(260);
  QTest::newRow("level type at 0") << UWORD(0) << UWORD(1000) << true << 0.0f << UWORD(0);
  QTest::newRow("level type below 0") << UWORD(0) << UWORD(1000) << true << -0.1f << UWORD(0);
  QTest::newRow("level type at 0 with minimum") << UWORD(10) << UWORD(1010) << true << 0.0f << UWORD(0);
  QTest::newRow("level type just above 0") << UWORD(10) << UWORD(1010) << true << 0.001f << UWORD(11);
  QTest::newRow("below 0 gives minimum") << UWORD(10) << UWORD(1010) << false << -0.1f << UWORD(10);
  QTest::newRow("above 1 gives maximum") << UWORD(10) << UWORD(1010) << false << 1.5f << UWORD(1010);
  QTest::newRow("full width") << UWORD(0) << UWORD(65535) << false << 1.0f << UWORD(65535);
  QTest::newRow("not a number gives minimum")
      << UWORD(10) << UWORD(1010) << false << std::numeric_limits<float>::quiet_NaN() << UWORD(10);
  QTest::newRow("inverted range") << UWORD(10) << UWORD(5) << false << 0.7f << UWORD(10);
}

void tst_Drivers::valueFromNormalised() {
  QFETCH(UWORD, minimum);
  QFETCH(UWORD, maximum);
  QFETCH(bool, levelType);
  QFETCH(float, position);
  QFETCH(UWORD, value);
  cFakePlainDriver driver(nullptr, minimum, maximum, levelType);
  QCOMPARE(driver.ValueFromNormalised(position), value);
}

void tst_Drivers::clampAndNetworkValue_data() {
  QTest::addColumn<bool>("levelType");
  QTest::addColumn<UWORD>("value");
  QTest::addColumn<UWORD>("clamped");
  QTest::addColumn<UWORD>("network");
  QTest::newRow("minimum with level type is off") << true << UWORD(10) << UWORD(10) << UWORD(0);
  QTest::newRow("inside with level type") << true << UWORD(15) << UWORD(15) << UWORD(15);
  QTest::newRow("minimum without level type") << false << UWORD(10) << UWORD(10) << UWORD(10);
  QTest::newRow("below") << false << UWORD(5) << UWORD(10) << UWORD(5);
  QTest::newRow("above") << false << UWORD(25) << UWORD(20) << UWORD(25);
}

void tst_Drivers::clampAndNetworkValue() {
  QFETCH(bool, levelType);
  QFETCH(UWORD, value);
  QFETCH(UWORD, clamped);
  QFETCH(UWORD, network);
  cFakePlainDriver driver(nullptr, 10, 20, levelType);
  QCOMPARE(driver.ClampValue(value), clamped);
  QCOMPARE(driver.ValueForNetwork(value), network);
}

void tst_Drivers::driversCreateTheirObjects() {
  cReportCapture reports;
  {
    cFakePlainDriver plain("Plain", 0, 10, false);
    cFakeDeltaDriver delta("Delta", true);
    QCOMPARE(plain.GetAudioObject()->GetNumberOfParameters(), EW_NET_DATA_SCALE(4));
    QCOMPARE(delta.GetAudioObject()->GetNumberOfParameters(), EW_NET_DATA_SCALE(5));
    QCOMPARE(GetRegistryRouter()->FindHandle("Plain"), plain.GetAudioObject()->GetHandle());
    QVERIFY(GetRegistryRouter()->FindHandle("Delta") != EW_INVALID_HANDLE);
    QVERIFY(plain.GetController() == plain.GetAudioObject());

    // Only the five-parameter controller knows deltas.
    cNetProbe probe("Probe");
    probe.SendTo(plain.GetAudioObject()->GetHandle(), M_CONTINUOUS_CONTROLLER_DELTA, UWORDBytes(1));
    probe.SendTo(delta.GetAudioObject()->GetHandle(), M_CONTINUOUS_CONTROLLER_DELTA, UWORDBytes(1));
    Deliver();
    QCOMPARE(reports.Count("Unknown Method: 0x1004"), 1);
    QCOMPARE(reports.Count("\"Plain\""), 1);
  }
  QCOMPARE(GetRegistryRouter()->FindHandle("Plain"), EW_INVALID_HANDLE);
  QCOMPARE(GetRegistryRouter()->FindHandle("Delta"), EW_INVALID_HANDLE);
  QCOMPARE(reports.Count("should have been destroyed"), 0);
}

void tst_Drivers::forgottenDestroyIsReportedAndRepaired() {
  cReportCapture reports;
  auto driver = std::make_unique<cCarelessDriver>("Careless");
  QVERIFY(GetRegistryRouter()->FindHandle("Careless") != EW_INVALID_HANDLE);
  driver.reset();
  QCOMPARE(reports.Count("ERROR: ERROR - The audio object should have been destroyed by now"), 1);
  QCOMPARE(GetRegistryRouter()->FindHandle("Careless"), EW_INVALID_HANDLE);
}

void tst_Drivers::driverWithoutObject() {
  cReportCapture reports;
  cFakeDeltaDriver driver("Unbuilt", false);
  QVERIFY(driver.GetAudioObject() == nullptr);
  QCOMPARE(GetRegistryRouter()->FindHandle("Unbuilt"), EW_INVALID_HANDLE);
  driver.UseSlowDeltaGeneration();
  QCOMPARE(reports.Count("Audio object not created!"), 1);
  QVERIFY(!driver.LinkValueToDestination("Somewhere", PARAMETER_BASE, false, false));
  QCOMPARE(reports.Count("Audio object not created!"), 2);
  QVERIFY(!GetSystemBuilder()->IsBusy());

  cFakeSwitchDriver unnamed(nullptr);
  QVERIFY(unnamed.GetAudioObject() == nullptr);
}

void tst_Drivers::linkOperations_data() {
  QTest::addColumn<int>("operation");
  QTest::addColumn<bool>("ownIsSource");
  QTest::addColumn<UWORD>("ownMethod");
  QTest::addColumn<bool>("sync");
  QTest::addColumn<bool>("bidirectional");
  QTest::newRow("source to range") << int(kSourceToRange) << false << ContinuousControllerRange << true << false;
  QTest::newRow("source to value") << int(kSourceToValue) << false << M_CONTINUOUS_CONTROLLER_VALUE << true << true;
  QTest::newRow("range to destination") << int(kRangeToDestination) << true << ContinuousControllerRange << true
                                        << false;
  QTest::newRow("value to destination") << int(kValueToDestination) << true << M_CONTINUOUS_CONTROLLER_VALUE << true
                                        << false;
  QTest::newRow("value to destination both ways")
      << int(kValueToDestination) << true << M_CONTINUOUS_CONTROLLER_VALUE << true << true;
  QTest::newRow("delta to destination") << int(kDeltaToDestination) << true << M_CONTINUOUS_CONTROLLER_DELTA << false
                                        << true;
  QTest::newRow("switch source to value") << int(kSwitchSourceToValue) << false << M_SWITCH_VALUE << true << true;
  QTest::newRow("switch value to destination")
      << int(kSwitchValueToDestination) << true << M_SWITCH_VALUE << false << false;
}

void tst_Drivers::linkOperations() {
  QFETCH(int, operation);
  QFETCH(bool, ownIsSource);
  QFETCH(UWORD, ownMethod);
  QFETCH(bool, sync);
  QFETCH(bool, bidirectional);

  cReportCapture reports;
  cFakeDeltaDriver fader("Fader", true);
  cFakeSwitchDriver mute("Mute");
  cNetProbe unit("Unit");
  const bool isSwitch = operation >= kSwitchSourceToValue;
  cNetObject& own = isSwitch ? *mute.GetAudioObject() : *fader.GetAudioObject();
  TickNetwork();

  auto link = [&](bool remove) {
    switch (operation) {
      case kSourceToRange:
        return fader.LinkSourceToRange("Unit", kOther, remove);
      case kSourceToValue:
        return fader.LinkSourceToValue("Unit", kOther, remove, bidirectional);
      case kRangeToDestination:
        return fader.LinkRangeToDestination("Unit", kOther, remove);
      case kValueToDestination:
        return fader.LinkValueToDestination("Unit", kOther, remove, bidirectional);
      case kDeltaToDestination:
        return fader.LinkDeltaToDestination("Unit", kOther, remove, bidirectional);
      case kSwitchSourceToValue:
        return mute.LinkSourceToValue("Unit", kOther, remove, sync, bidirectional);
      default:
        return mute.LinkValueToDestination("Unit", kOther, remove, sync, bidirectional);
    }
  };
  cNetObject& source = ownIsSource ? own : static_cast<cNetObject&>(unit);
  cNetObject& destination = ownIsSource ? static_cast<cNetObject&>(unit) : own;
  const UWORD sourceMethod = ownIsSource ? ownMethod : kOther;
  const UWORD destinationMethod = ownIsSource ? kOther : ownMethod;

  QVERIFY(link(false));
  Deliver();
  QVERIFY(Informs(source, sourceMethod, destination.GetHandle(), destinationMethod));
  QCOMPARE(Informs(destination, destinationMethod, source.GetHandle(), sourceMethod), bidirectional);
  if (ownIsSource) {
    QCOMPARE(unit.Received(kOther).size(), size_t(sync ? 1 : 0));
  } else {
    QCOMPARE(unit.mSyncRequests.size(), size_t(sync ? 1 : 0));
    if (sync) QCOMPARE(unit.mSyncRequests[0].mDestinationMethod, destinationMethod);
  }

  QVERIFY(link(true));
  Deliver();
  QVERIFY(!Informs(source, sourceMethod, destination.GetHandle(), destinationMethod));
  QVERIFY(!Informs(destination, destinationMethod, source.GetHandle(), sourceMethod));
  QCOMPARE(reports.Count("ERROR"), 0);
}

void tst_Drivers::linkRefusals() {
  cReportCapture reports;
  {
    cFakeDeltaDriver fader("Fader", true);
    const std::string longest(127, 'x');
    const std::string tooLong(128, 'x');

    QVERIFY(!fader.LinkValueToDestination(tooLong.c_str(), kOther, false, false));
    QCOMPARE(reports.Count("Link path too long: 128 characters"), 1);
    QVERIFY(!GetSystemBuilder()->IsBusy());

    // The longest path is accepted; nobody has that name, so the builder
    // keeps looking until it is told to stop.
    QVERIFY(fader.LinkValueToDestination(longest.c_str(), kOther, false, false));
    QVERIFY(GetSystemBuilder()->IsBusy());
    GetSystemBuilder()->AbortAllLinks();
  }

  StopEWNet();
  StartEWNet(0, false);
  cFakeDeltaDriver lonely("Lonely", true);
  QVERIFY(!lonely.LinkValueToDestination("Unit", kOther, false, false));
  QCOMPARE(reports.Count("No system builder to link \"Lonely\" to \"Unit\""), 1);
}

void tst_Drivers::multiChildStepSize_data() {
  QTest::addColumn<UWORD>("maximum");
  QTest::addColumn<UWORD>("step");
  QTest::newRow("full range capped") << UWORD(65535) << UWORD(256);
  QTest::newRow("0..100") << UWORD(100) << UWORD(1);
  QTest::newRow("0..127 rounds down") << UWORD(127) << UWORD(1);
  QTest::newRow("0..128 rounds up") << UWORD(128) << UWORD(2);
  QTest::newRow("0..1000") << UWORD(1000) << UWORD(12);
  QTest::newRow("empty range still steps") << UWORD(0) << UWORD(1);
}

void tst_Drivers::multiChildStepSize() {
  QFETCH(UWORD, maximum);
  QFETCH(UWORD, step);
  cFakeMulti multi("Multi", nullptr, 1);
  cMultiCCDriverChild* child = multi.CreateChild(0, "Child");
  QCOMPARE(child->GetRange(), UWORD(65535));
  QCOMPARE(child->GetStepSize(), UWORD(256));
  child->SetRange(0, maximum, false);
  QCOMPARE(child->GetStepSize(), step);
}

void tst_Drivers::multiSelectorDrivesSelectedChild() {
  cReportCapture reports;
  cNetProbe selector("Selector");
  selector.mSyncPayload[PARAMETER_BASE] = {1};
  cFakeMulti multi("Multi", "Selector", 2);
  Deliver();
  QCOMPARE(multi.GetSelectedIndex(), UBYTE(1));  // synced when linked

  cMultiCCDriverChild* first = multi.CreateChild(0, "Multi 0");
  cMultiCCDriverChild* second = multi.CreateChild(1, "Multi 1");
  QVERIFY(multi.CreateChild(2, "Multi 2") == nullptr);
  QCOMPARE(reports.Count("Child index 2 out of range, 2 children, \"Multi\""), 1);
  multi.SetFollowsSelector(1, true);
  cNetProbe out("Out");
  LinkParameter(*first->GetAudioObject(), M_CONTINUOUS_CONTROLLER_VALUE, out, kOther);
  LinkParameter(*second->GetAudioObject(), M_CONTINUOUS_CONTROLLER_VALUE, out, kOther + 1);

  multi.mSteps = {2, 3};
  TickNetwork();  // first poll: silent
  TickNetwork();
  QCOMPARE(multi.mReads, 2);  // only the selected child reads the steps
  QCOMPARE(out.Received().size(), size_t(1));
  QCOMPARE(out.Received()[0].mMethod, UWORD(kOther + 1));
  QCOMPARE(Word(out.Received()[0]), UWORD(5 * 256));

  multi.mSteps = {-10};
  TickNetwork();
  QCOMPARE(second->GetValue(), UWORD(0));
  QCOMPARE(Word(out.Received().back()), UWORD(0));

  // A child that does not follow the selector uses up the steps unchanged.
  selector.SendTo(multi.GetHandle(), PARAMETER_BASE, {0});
  multi.mSteps = {5};
  out.mReceived.clear();
  TickNetwork();
  QCOMPARE(multi.GetSelectedIndex(), UBYTE(0));
  QVERIFY(multi.mSteps.empty());
  QCOMPARE(first->GetValue(), UWORD(0));
  QVERIFY(out.Received().empty());

  second->SetRange(0, 100, false);
  second->WriteValue(500);
  QCOMPARE(second->GetValue(), UWORD(100));
  QCOMPARE(reports.Count("ERROR"), 1);
}

QTEST_GUILESS_MAIN(tst_Drivers)
#include "tst_Drivers.moc"
