// The equaliser block: its drivers and names, the graph driver's exchange
// with the network, and its links to an equaliser unit on a running network.

#include <QtTest>
#include <map>
#include <memory>

#include "AES-Standards/Convert.h"
#include "EWNet/Core/NetFactory.h"
#include "EWNet/Core/NetProbe.h"
#include "EWNet/Core/Syscall.h"
#include "OrvelGUI/QtGUIComponents/PEQBlockBackend.h"
#include "OrvelGUI/QtGUIComponents/PEQNetObject2.h"
#include "OrvelGUI/QtGUIComponents/PEQQmlBackEnd2.h"
#include "OrvelGUI/QtGUIComponents/PEQQmlBand2.h"
#include "TestSupport.h"

namespace {

EW_NET_DATA_SCALE HandleOf(const QString& name) {
  cRegistryLocker lock;
  return GetRegistryRouter()->FindHandle(name.toLocal8Bit().constData());
}

// Behaves towards links as a parametric EQ unit of n bands does: answers a
// new link with its value, takes values and tells every other linked object.
// Parameters: 4096 bypass, 4097/4098 first and last band type, per band b
// 4099 + 5b range (read only), frequency, width, gain (offset form), bypass.
class cEQUnitStandIn : public cNetObject {
 public:
  cEQUnitStandIn(const char* name, int bands) : cNetObject(name, EW_NET_DATA_SCALE(5 * bands + 4), false, false) {
    mValues[PARAMETER_BASE] = {0};
    mValues[PARAMETER_BASE + 1] = {nPEQ::LFSHELF};
    mValues[PARAMETER_BASE + 2] = {nPEQ::HFSHELF};
    for (int b = 0; b < bands; ++b) {
      mValues[Param(b, 0)] = {0x29, 0xCB, 0xDD, 0x2E, 0x00};  // 10699..56622
      mValues[Param(b, 1)] = UWORDBytes(UWORD(20000 + 5000 * b));
      mValues[Param(b, 2)] = UWORDBytes(UWORD((10 + b) << 8));
      mValues[Param(b, 3)] = UWORDBytes(UWORD(0x8000 + 256 * b));
      mValues[Param(b, 4)] = {0};
    }
  }
  ~cEQUnitStandIn() override { Unregister(); }

  static UWORD Param(int band, int offset) { return UWORD(PARAMETER_BASE + 3 + 5 * band + offset); }

  void EntrypointMessage(cEWNetMessage& message) override {
    const auto found = mValues.find(message.mMethod);
    if (found == mValues.end()) {
      cNetObject::EntrypointMessage(message);
      return;
    }
    found->second.assign(message.mData, message.mData + message.mLength);
    SendToInformList(message);
  }

  void UpdateNewObject(UWORD connectionId, EW_NET_DATA_SCALE handle, EW_NET_DATA_SCALE destinationMethod,
                       EW_NET_DATA_SCALE sourceMethod) override {
    const tPayload& value = mValues[sourceMethod];
    cEWNetMessage& answer =
        EWNetAddress(mSystemMessage, connectionId, handle, destinationMethod, EW_NET_DATA_SCALE(value.size()));
    for (std::size_t i = 0; i < value.size(); ++i) answer.SetUBYTE(EW_NET_DATA_SCALE(i), value[i]);
    SendMessage(answer);
  }

  // From the test's thread.
  tPayload Value(UWORD method) {
    cRegistryLocker lock;
    return mValues[method];
  }

 private:
  std::map<UWORD, tPayload> mValues;
};

// The dispatch and tick threads around a test.
class cRunningNetwork {
 public:
  cRunningNetwork() {
    StartEWNet(0, true);
    mDispatch = std::make_unique<cSyscallThread>();
    mTicks = std::make_unique<cActionTickDriver>(&mHook);
    mDispatch->Start();
    mTicks->start();
    SetSystemRunning(true);
  }
  ~cRunningNetwork() {
    SetSystemRunning(false);
    mDispatch->Stop();
    mTicks.reset();
    mDispatch.reset();
    StopEWNet();
  }

 private:
  struct cNoHook : cActionTickParent {
    void ActionTickHook() override {}
  } mHook;
  std::unique_ptr<cSyscallThread> mDispatch;
  std::unique_ptr<cActionTickDriver> mTicks;
};

}  // namespace

class tst_PEQBlock : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    qRegisterMetaType<GAIN>("GAIN");
    qRegisterMetaType<UWORD>("UWORD");
    qRegisterMetaType<UBYTE>("UBYTE");
  }

  void blockShapes() {
    cNetworkScope net;
    cPEQBlockBackend six("LMH 3: Left PEQ Block", cPEQBlockBackend::SIX);
    QCOMPARE(six.bands()->count(), 6);
    QStringList names;
    for (cPEQBandDrivers* band : six.bands()->toList()) names << band->BandName();
    QCOMPARE(names, (QStringList{"LF", "LM1", "LM2", "HM1", "HM2", "HF"}));
    QCOMPARE(six.bands()->at(2)->frequencyDriver()->netObjectName(),
             QString("LMH 3: Left PEQ BlockChannel PEQ LM2 Freq TFT Edit Box"));
    QCOMPARE(six.bands()->at(0)->gainDriver()->min(), 0x7100);
    QCOMPARE(six.bands()->at(0)->widthDriver()->max(), 0x2C00);
    QCOMPARE(six.bypassDriver()->netObjectName(), QString("LMH 3: Left PEQ Block Channel PEQ In Out Switch"));
    cPEQNetObject2* graph = six.peqDriver()->NetObject();
    QCOMPARE(QString(graph->GetName()), QString("LMH 3: Left PEQ Block Channel Parametric EQ Graph"));
    QCOMPARE(graph->GetNumberOfParameters(), EW_NET_DATA_SCALE(45));
    QCOMPARE(cPEQNetObject2::BandMethod(6, 2, cPEQNetObject2::GAIN_PARAM), UWORD(4101));
    QCOMPARE(cPEQNetObject2::BandMethod(6, 2, cPEQNetObject2::FREQ), UWORD(4107));

    cPEQBlockBackend two("Two", cPEQBlockBackend::TWO);
    QCOMPARE(two.bands()->count(), 2);
    QCOMPARE(two.bands()->at(1)->BandName(), QString("HF"));
    QCOMPARE(two.peqDriver()->BandCount(), 2);
    QCOMPARE(two.peqDriver()->NetObject()->GetNumberOfParameters(), EW_NET_DATA_SCALE(17));

    cReportCapture reports;
    cPEQBlockBackend none("None", 5);
    QVERIFY(reports.Contains("NumberOfBands outside allowable values"));
    QVERIFY(none.peqDriver() == nullptr);
    QCOMPARE(none.bands()->count(), 0);
    QVERIFY(HandleOf("None Channel PEQ In Out Switch") != EW_INVALID_HANDLE);

    six.RemoveFromNetwork();
    QCOMPARE(HandleOf("LMH 3: Left PEQ BlockChannel PEQ LM2 Freq TFT Edit Box"), EW_INVALID_HANDLE);
    QCOMPARE(HandleOf("LMH 3: Left PEQ Block Channel Parametric EQ Graph"), EW_INVALID_HANDLE);
  }

  void linksOutsideTheBandList() {
    cNetworkScope net;
    cReportCapture reports;
    cPEQBlockBackend block("Block", cPEQBlockBackend::FOUR);
    const size_t queued = GetSystemBuilder()->GetListLength();
    QVERIFY(!block.LinkBandDriver(4, "Unit", 4099, 4100, 4101, 4102, std::nullopt, 4103));
    QVERIFY(!block.peqDriver()->LinkBand(4, "Unit", 4103, 4099, 4100, 4101, 4102, std::nullopt));
    QCOMPARE(reports.Count("Band number outside bandlist"), 2);
    QCOMPARE(GetSystemBuilder()->GetListLength(), queued);
    // Absent numbers make no link: frequency and bypass only.
    QVERIFY(block.LinkBandDriver(1, "Unit", std::nullopt, 4105, std::nullopt, std::nullopt, std::nullopt, 4108));
    QCOMPARE(GetSystemBuilder()->GetListLength(), queued + 2);
  }

  void graphDriverExchange() {
    cNetworkScope net;
    cReportCapture reports;
    cPEQDriver driver("Graph", 6);
    cNetProbe unit("Unit");
    cPEQNetObject2& graph = *driver.NetObject();
    const UWORD gain2 = cPEQNetObject2::BandMethod(6, 2, cPEQNetObject2::GAIN_PARAM);
    LinkParameter(graph, gain2, unit, 4102);
    LinkParameter(unit, 4102, graph, gain2);
    QSignalSpy gainChanged(&driver, &cPEQDriverInterface::GainChanged);

    driver.WriteBandGain(2, 256);
    TickNetwork();
    TickNetwork();
    driver.WriteBandGain(2, 256);
    TickNetwork();
    QCOMPARE(int(unit.Received(4102).size()), 1);
    QCOMPARE(Word(unit.Received(4102)[0]), UWORD(0x8100));
    QCOMPARE(gainChanged.count(), 0);  // the graph's own writes are not signalled back

    unit.SendTo(graph.GetHandle(), gain2, UWORDBytes(0x8000 - 512));
    Deliver();
    QCoreApplication::processEvents();
    QCOMPARE(driver.GetBandGain(2), GAIN(-512));
    QCOMPARE(gainChanged.count(), 1);
    QCOMPARE(gainChanged.first().at(0).toUInt(), 2u);
    TickNetwork();
    QCOMPARE(int(unit.Received(4102).size()), 1);  // not echoed

    QSignalSpy fully(&driver, &cPEQDriverInterface::FullyBypassedChanged);
    QSignalSpy range(&driver, &cPEQDriverInterface::FreqRangeChanged);
    QSignalSpy bypass(&driver, &cPEQDriverInterface::BypassChanged);
    unit.SendTo(graph.GetHandle(), cPEQNetObject2::kFullyBypassed, {2});
    unit.SendTo(graph.GetHandle(), cPEQNetObject2::BandMethod(6, 1, cPEQNetObject2::QTYPE), {1});
    unit.SendTo(graph.GetHandle(), cPEQNetObject2::BandMethod(6, 5, cPEQNetObject2::BYPASS), {5});
    unit.SendTo(graph.GetHandle(), cPEQNetObject2::BandMethod(6, 0, cPEQNetObject2::FREQ_RANGE), {0x29, 0xCB, 0xDD});
    unit.SendTo(graph.GetHandle(), cPEQNetObject2::BandMethod(6, 0, cPEQNetObject2::FREQ_RANGE),
                {0x29, 0xCB, 0xDD, 0x2E, 0x00});
    Deliver();
    QCoreApplication::processEvents();
    QVERIFY(reports.Contains("Bad conversion to boolean for UBYTE with value 0x2"));
    QVERIFY(reports.Contains("PEQ Graph Driver QType. Handling NYI"));
    QCOMPARE(fully.count(), 1);
    QVERIFY(driver.GetFullyBypassed());
    QCOMPARE(bypass.count(), 1);
    QVERIFY(driver.GetBandBypassed(5));
    QCOMPARE(range.count(), 1);  // the short one is refused
    QCOMPARE(driver.GetBandFreqMax(0), UWORD(56622));
  }

  // The whole block and a graph on one unit, with the dispatch and tick
  // threads running: the unit's values reach every driver and the graph, and
  // changes made on screen reach the unit.
  void linksToAUnitOnARunningNetwork() {
    cRunningNetwork net;
    auto unit = MakeNetObject<cEQUnitStandIn>("LMH 2: L Parametric EQ Unit", 4);
    auto block = std::make_unique<cPEQBlockBackend>("LMH 2: Left PEQ Block", cPEQBlockBackend::FOUR);
    auto graph = std::make_unique<cPEQQmlBackEnd2>();
    QList<cPEQQmlBand2*> bands;
    for (int i = 0; i < 4; ++i) {
      bands << new cPEQQmlBand2(graph.get());
      graph->AppendBand(bands.last());
    }
    graph->setDriver(block->peqDriver());
    graph->setQMLPEQObjectAndStart();
    QVERIFY(block->LinkToEQUnit("LMH 2: L Parametric EQ Unit"));

    const auto drivers = [&](int band) { return block->bands()->at(band); };
    for (int b = 0; b < 4; ++b) {
      const int frequency = 20000 + 5000 * b;
      QTRY_COMPARE_WITH_TIMEOUT(drivers(b)->frequencyDriver()->networkValue(), frequency, 10000);
      QTRY_COMPARE_WITH_TIMEOUT(int(bands[b]->Frequency()), frequency, 10000);
      QTRY_COMPARE_WITH_TIMEOUT(drivers(b)->gainDriver()->networkValue(), 0x8000 + 256 * b, 10000);
      QTRY_COMPARE_WITH_TIMEOUT(int(bands[b]->Gain()), 256 * b, 10000);
      QTRY_COMPARE_WITH_TIMEOUT(int(bands[b]->Width()), (10 + b) << 8, 10000);
      QTRY_COMPARE_WITH_TIMEOUT(drivers(b)->frequencyDriver()->max(), 56622, 10000);
    }
    QTRY_COMPARE_WITH_TIMEOUT(drivers(0)->bandTypeSwitchDriver()->value(), int(nPEQ::LFSHELF), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(drivers(3)->bandTypeSwitchDriver()->value(), int(nPEQ::HFSHELF), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(bands[3]->type(), nPEQ::HFSHELF, 10000);
    QCOMPARE(drivers(1)->bandTypeSwitchDriver()->value(), 0);  // middle bands have no type link
    QTRY_VERIFY_WITH_TIMEOUT(!GetSystemBuilder()->IsBusy(), 10000);

    // The unit changes: every linked control follows.
    cNetProbe* sender = nullptr;
    {
      cRegistryLocker lock;
      sender = new cNetProbe("Remote Panel");
    }
    sender->SendTo(unit->GetHandle(), cEQUnitStandIn::Param(1, 1), UWORDBytes(30123));
    WakeDispatchThread();
    QTRY_COMPARE_WITH_TIMEOUT(drivers(1)->frequencyDriver()->networkValue(), 30123, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(int(bands[1]->Frequency()), 30123, 10000);

    // A value widget and a graph drag change the unit.
    drivers(0)->gainDriver()->setNetworkValue(0x8400);
    QTRY_COMPARE_WITH_TIMEOUT(unit->Value(cEQUnitStandIn::Param(0, 3)), UWORDBytes(0x8400), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(int(bands[0]->Gain()), 0x400, 10000);
    bands[2]->setDragPos(400, 100);
    const UWORD dragged = bands[2]->Frequency();
    QTRY_COMPARE_WITH_TIMEOUT(unit->Value(cEQUnitStandIn::Param(2, 1)), UWORDBytes(dragged), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(drivers(2)->frequencyDriver()->networkValue(), int(dragged), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(unit->Value(cEQUnitStandIn::Param(2, 3)), UWORDBytes(GainToUWORD(bands[2]->Gain())),
                              10000);
    // A band bypass button: the unit, and through it the graph.
    drivers(3)->bypassDriver()->setValue(true);
    QTRY_COMPARE_WITH_TIMEOUT(unit->Value(cEQUnitStandIn::Param(3, 4)), tPayload{1}, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(bands[3]->bypassed(), 10000);
    block->bypassDriver()->setValue(true);
    QTRY_COMPARE_WITH_TIMEOUT(unit->Value(PARAMETER_BASE), tPayload{1}, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(graph->fullyBypassed(), 10000);

    graph.reset();
    block.reset();
    {
      cRegistryLocker lock;
      delete sender;
    }
    unit.reset();
  }
};

QTEST_GUILESS_MAIN(tst_PEQBlock)
#include "tst_PEQBlock.moc"
