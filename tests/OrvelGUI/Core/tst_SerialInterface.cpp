// The device link against the simulated processor over a real pseudo-terminal.

#include <QSerialPort>
#include <QTemporaryDir>
#include <QtTest>

#include "DevSim/SimFixture.h"
#include "OrvelGUI/Core/LinkSupport.h"
#include "OrvelGUI/Core/SerialInterface.h"
#include "TestSupport.h"

using devsim::cDeviceSimulator;
using LinkState = cSerialInterface::LinkState;

namespace {

QByteArray VersionReply(int major, int minor) {
  return Hex("a5a5000002000000") + QByteArray(1, char(major)) + QByteArray(1, char(minor));
}

// Services the link, as the tick would, until it reaches `state`.
bool ServiceUntil(cSerialInterface& link, LinkState state, int timeoutMs = 3000, int pauseMs = 2) {
  return TickUntil(
      [&] {
        link.ServiceAndWait();
        if (state == cSerialInterface::CONNECTED) TakeReadBack(link);
      },
      [&] { return link.GetState() == state; }, timeoutMs, pauseMs);
}

struct sLinkUnderTest {
  std::unique_ptr<cDeviceSimulator> mDevice;
  std::unique_ptr<cSerialInterface> mLink;

  void Tick() { mLink->ServiceAndWait(); }
  bool TickUntilState(LinkState state, int timeoutMs = 3000) { return ServiceUntil(*mLink, state, timeoutMs); }
  // One tick, then wait until the device has seen `count` packets in all.
  bool TickAndExpect(std::size_t count) {
    Tick();
    return mDevice->WaitForReceived(count, 2000);
  }
};

// A simulator listed as the only processor port, and a link that is
// connected to it with the device's traffic log emptied.
sLinkUnderTest ConnectedLink(devsim::sSimulatorOptions options = {}, bool meterPolling = false) {
  sLinkUnderTest t;
  t.mDevice = StartSimulator(std::move(options));
  if (!t.mDevice) return t;
  UseDevicePorts({QString::fromStdString(t.mDevice->DevicePath())});
  t.mLink = std::make_unique<cSerialInterface>();
  t.mLink->SetMeterPolling(meterPolling);
  t.mLink->RequestConnection(true, QString());
  if (!t.TickUntilState(cSerialInterface::CONNECTED, 5000)) {
    QTest::qFail("link did not connect", __FILE__, __LINE__);
    t.mLink.reset();
    return t;
  }
  t.mDevice->ClearReceived();
  return t;
}

// One beat as the tick thread gives it, a millisecond apart; a step it asks
// for is waited for, so that the next beat finds the link settled. 1 when
// the beat asked for a step.
int BeatAndSettle(cSerialInterface& link) {
  const std::uint64_t before = link.GetStepsRun();
  const bool stepped = link.Service();
  if (stepped) TickUntil([] {}, [&] { return link.GetStepsRun() > before; }, 5000, 1);
  QThread::msleep(1);
  return stepped ? 1 : 0;
}

const std::int32_t kCoefficientsA[5] = {0x40000000, -2, 0x0A0D1113, 0x11130A0D, INT32_MIN};
const std::int32_t kCoefficientsB[5] = {1, 2, 3, 4, 5};

}  // namespace

class tst_SerialInterface : public QObject {
  Q_OBJECT

 private slots:
  void init() { qunsetenv("ORVEL_SERIAL_PORTS"); }

  void connectsAndReadsVersion_data() {
    QTest::addColumn<int>("major");
    QTest::addColumn<int>("minor");
    QTest::addColumn<QString>("text");
    QTest::newRow("default") << 1 << 4 << "V1.4";
    // Bytes a terminal would translate or swallow if the line were not raw.
    QTest::newRow("LF CR") << 10 << 13 << "V10.13";
    QTest::newRow("XON XOFF") << 17 << 19 << "V17.19";
    QTest::newRow("ETX zero") << 3 << 0 << "V3.0";
  }
  void connectsAndReadsVersion() {
    QFETCH(int, major);
    QFETCH(int, minor);
    QFETCH(QString, text);
    auto device = StartSimulator({std::uint8_t(major), std::uint8_t(minor), {}, {}, {}});
    QVERIFY(device);
    UseDevicePorts({QString::fromStdString(device->DevicePath())});
    cSerialInterface link;
    link.SetMeterPolling(false);
    QCOMPARE(link.GetState(), cSerialInterface::DISCONNECTED);
    QCOMPARE(link.GetVersionText(), QString());

    link.RequestConnection(true, QString());
    link.ServiceAndWait();
    QVERIFY(device->WaitForReceived(1, 2000));
    QCOMPARE(Bytes(device->Received().at(0).mBytes), Hex("a5a5000000000000"));
    QVERIFY(ServiceUntil(link, cSerialInterface::CONNECTED));
    QCOMPARE(link.GetVersionText(), text);
    QCOMPARE(link.TakeLastError(), UBYTE(0));
    QCOMPARE(device->DiscardedBytes(), std::size_t(0));
  }

  void packetsOnTheWire() {
    sLinkUnderTest t = ConnectedLink();
    QVERIFY(t.mLink);
    t.mLink->QueueFilterMessage((3u << 8) | 2u, kCoefficientsA, 20, 0x1234, 0x0A0D, 0xFF00, 3, 1, 0x81);
    t.mLink->QueueControlStripMessage(7, -2, 0xF40A, 1, 0);
    t.mLink->QueueDelayMessage(5, 0x000D0A11);
    QVERIFY(t.TickAndExpect(3));
    const std::vector<devsim::sWirePacket> packets = t.mDevice->Received();
    QCOMPARE(Bytes(packets.at(0).mBytes), Hex("a5a5000221000000"
                                              "02030000"
                                              "00000040"
                                              "feffffff"
                                              "13110d0a"
                                              "0d0a1311"
                                              "00000080"
                                              "3412"
                                              "0d0a"
                                              "00ff"
                                              "03"
                                              "01"
                                              "81"));
    QCOMPARE(Bytes(packets.at(1).mBytes), Hex("a5a5000614000000"
                                              "07000000"
                                              "feffffff"
                                              "0af40000"
                                              "01000000"
                                              "00000000"));
    QCOMPARE(Bytes(packets.at(2).mBytes), Hex("a5a5000808000000"
                                              "05000000"
                                              "110a0d00"));
    QCOMPARE(t.mDevice->DiscardedBytes(), std::size_t(0));

    t.mLink->RequestConnection(false, QString());
    QVERIFY(t.TickAndExpect(4));
    QCOMPARE(Bytes(t.mDevice->Received().at(3).mBytes), Hex("a5a5000f00000000"));
  }

  void onePacketPerQueuePerTick() {
    sLinkUnderTest t = ConnectedLink();
    QVERIFY(t.mLink);
    for (ULONG slot = 0; slot < 3; ++slot) {
      t.mLink->QueueFilterMessage((slot << 8) | 4u, kCoefficientsB, 20, UWORD(slot), 0, 0, 0, 0, 0);
    }
    t.mLink->QueueControlStripMessage(0, 1, 1, 0, 0);
    t.mLink->QueueControlStripMessage(1, 1, 1, 0, 0);
    t.mLink->QueueDelayMessage(0, 10);

    QVERIFY(t.TickAndExpect(3));
    QCOMPARE(ReceivedTypes(*t.mDevice), QString("2,6,8"));
    QVERIFY(t.TickAndExpect(5));
    QCOMPARE(ReceivedTypes(*t.mDevice), QString("2,6,8,2,6"));
    QVERIFY(t.TickAndExpect(6));
    t.Tick();
    QVERIFY(!t.mDevice->WaitForReceived(7, 100));
    QCOMPARE(ReceivedTypes(*t.mDevice), QString("2,6,8,2,6,2"));
    // First in, first out.
    const std::vector<devsim::sWirePacket> packets = t.mDevice->Received();
    QCOMPARE(int(packets[0].mBytes[9]), 0);
    QCOMPARE(int(packets[3].mBytes[9]), 1);
    QCOMPARE(int(packets[5].mBytes[9]), 2);
  }

  void coalescing() {
    sLinkUnderTest t = ConnectedLink();
    QVERIFY(t.mLink);
    std::int32_t buffer[5] = {1, 1, 1, 1, 1};
    const ULONG band = (2u << 8) | 0u;
    t.mLink->QueueFilterMessage(band, buffer, 20, 100, 0, 0, 0, 0, 0);
    buffer[0] = 77;
    t.mLink->QueueFilterMessage(band, buffer, 20, 200, 0, 0, 0, 0, 0);
    buffer[0] = 99;  // a change the driver has not queued is not sent
    t.mLink->QueueControlStripMessage(3, 5, 5, 0, 0);
    t.mLink->QueueControlStripMessage(3, 6, 6, 1, 1);
    t.mLink->QueueDelayMessage(2, 100);
    t.mLink->QueueDelayMessage(2, 200);
    // A target that waits keeps its place: 2, 3, 2 stays two entries, 2 first.
    t.mLink->QueueDelayMessage(3, 300);
    t.mLink->QueueDelayMessage(2, 400);
    const cSerialInterface::sQueueLengths lengths = t.mLink->GetQueueLengths();
    QCOMPARE(int(lengths.mFilters), 1);
    QCOMPARE(int(lengths.mStrips), 1);
    QCOMPARE(int(lengths.mDelays), 2);
    QVERIFY(!t.mLink->AllSent());

    QVERIFY(t.TickAndExpect(3));
    QCOMPARE(t.mDevice->Model().Delays()[2], 400);
    t.Tick();
    QVERIFY(t.mDevice->WaitForReceived(4, 2000));
    QVERIFY(t.mLink->AllSent());
    t.Tick();
    QVERIFY(!t.mDevice->WaitForReceived(5, 100));
    QCOMPARE(ReceivedTypes(*t.mDevice), QString("2,6,8,8"));
    const devsim::cDeviceModel model = t.mDevice->Model();
    const devsim::sSimFilter& filter = model.Filters()[2];
    QCOMPARE(filter.mCoefficients[0], 77);
    QCOMPARE(int(filter.mFrequency), 200);
    QCOMPARE(model.Strips()[3].mLinear, 6);
    QCOMPARE(int(model.Strips()[3].mMute), 1);
    QCOMPARE(model.Delays()[2], 400);
    QCOMPARE(model.Delays()[3], 300);
  }

  // Without a port nothing is kept, nor before the device has been read
  // back: what the screen shows may not be what the processor holds yet.
  void entriesTakenOnlyOnceTheDeviceIsReadBack() {
    auto device = StartSimulator({1, 4, {}, {}, {true, false, false, false, false, 0, 1}});
    QVERIFY(device);
    UseDevicePorts({QString::fromStdString(device->DevicePath())});
    cReportCapture reports;
    cSerialInterface link;
    link.SetMeterPolling(false);
    link.QueueDelayMessage(0, 1);  // disconnected: refused
    QVERIFY(link.AllSent());
    link.RequestConnection(true, QString());
    link.ServiceAndWait();
    QCOMPARE(link.GetState(), cSerialInterface::PORT_OPEN);
    link.QueueDelayMessage(0, 2);  // waiting for the version: refused
    link.QueueControlStripMessage(0, 2, 2, 0, 0);
    QCOMPARE(int(link.GetTraffic().mWaiting), 0);
    QVERIFY2(reports.Contains("not sent to the processor while the link is reading the device back"),
             qPrintable(reports.Dump()));

    // The version starts the read-back; entries wait for its end.
    device->SetFaults({});
    device->Inject({0xA5, 0xA5, 0, 0, 2, 0, 0, 0, 1, 4});
    QVERIFY(ServiceUntil(link, cSerialInterface::SYNCING));
    link.QueueDelayMessage(1, 3);  // refused
    QCOMPARE(ReceivedTypes(*device), QString("0,7,9,3"));
    link.SetConnected();
    link.QueueDelayMessage(1, 4);
    QVERIFY(TickUntil([&] { link.ServiceAndWait(); }, [&] { return device->ReceivedCount() == 5; }));
    QCOMPARE(ReceivedTypes(*device), QString("0,7,9,3,8"));
    QCOMPARE(device->Model().Delays()[0], 0);
    QCOMPARE(device->Model().Delays()[1], 4);
    QCOMPARE(device->Model().Strips()[0].mLinear, 0);
  }

  // The read-back follows the version by itself: the records of what the
  // processor held from before come in, and the link waits for the front
  // end in SYNCING.
  void readBackFollowsTheVersion() {
    devsim::sSimulatorOptions options;
    std::vector<std::uint8_t> filter{0x02, 0x03, 0, 0};  // Mid L (channel 2) slot 3: record 11
    for (int i = 0; i < 20; ++i) filter.push_back(std::uint8_t(i));
    filter.insert(filter.end(), {0x34, 0x12, 0x00, 0x03, 0x00, 0xFF, 2, 1, 0x81});
    options.mInitialCommands = {{devsim::CMD_FILTER, filter},
                                {devsim::CMD_STRIP, {5, 0, 0, 0, 9, 0, 0, 0, 0x00, 0xF4, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0}},
                                {devsim::CMD_DELAY, {4, 0, 0, 0, 0x39, 0x30, 0, 0}}};
    auto device = StartSimulator(options);
    QVERIFY(device);
    UseDevicePorts({QString::fromStdString(device->DevicePath())});
    cSerialInterface link;
    link.SetMeterPolling(false);
    link.RequestConnection(true, QString());
    QVERIFY(ServiceUntil(link, cSerialInterface::SYNCING));
    QCOMPARE(ReceivedTypes(*device), QString("0,7,9,3"));
    const sFilter record = (*link.GetSyncFilters())[11];
    QCOMPARE(int(record.mFrequency), 0x1234);
    QCOMPARE(int(record.mWidth), 0x0300);
    QCOMPARE(int(record.mGain), int(GAIN(0xFF00)));
    QCOMPARE(int(record.mFlags), 0x81);
    QCOMPARE(int(UWORD((*link.GetSyncControlStrips())[5].mGain)), 0xF400);
    QCOMPARE(int((*link.GetSyncControlStrips())[5].mMute), 1);
    QCOMPARE((*link.GetSyncDelays())[4], 12345);
    for (int i = 0; i < 3; ++i) link.ServiceAndWait();
    QCOMPARE(link.GetState(), cSerialInterface::SYNCING);  // until the front end has taken it
    link.SetConnected();
    QCOMPARE(link.GetState(), cSerialInterface::CONNECTED);
  }

  // A processor that stops answering during the read-back: the link gives
  // up with nothing complete to adopt, and starts the read-back over once
  // the processor answers again.
  void readBackEndsWhenTheDeviceFallsSilent() {
    devsim::sSimulatorOptions options;
    options.mFaults.mSilentAfter = 2;  // the version and the strips
    auto device = StartSimulator(options);
    QVERIFY(device);
    UseDevicePorts({QString::fromStdString(device->DevicePath())});
    cReportCapture reports;
    cSerialInterface link;
    link.RequestConnection(true, QString());
    QVERIFY(ServiceUntil(link, cSerialInterface::GETTING_SYNC));
    QVERIFY(ServiceUntil(link, cSerialInterface::NO_REPLY, 5000));
    QVERIFY(!link.GetSyncFilters().has_value());
    QVERIFY(!link.GetSyncDelays().has_value());
    QVERIFY2(reports.Contains("stopped answering while its settings were read back"), qPrintable(reports.Dump()));
    // Silent still: it stays so, and takes changes for later.
    for (int i = 0; i < 30; ++i) link.ServiceAndWait();
    QCOMPARE(link.GetState(), cSerialInterface::NO_REPLY);
    link.QueueDelayMessage(2, 22);
    QCOMPARE(int(link.GetTraffic().mWaiting), 1);

    // Answering again: read back from the start; what waited was made
    // against settings the screen never saw, and is dropped.
    device->SetFaults({});
    QVERIFY(ServiceUntil(link, cSerialInterface::SYNCING, 15000, 1));
    QCOMPARE(int(link.GetTraffic().mWaiting), 0);
    QVERIFY2(reports.Contains("made before the processor's settings were read back"), qPrintable(reports.Dump()));
    QVERIFY(link.GetSyncFilters().has_value());
    QCOMPARE(device->Model().Delays()[2], 0);
  }

  // A device that falls silent is asked again now and then; changes made
  // meanwhile wait (the latest per target) and go out once it answers.
  void silentDeviceKeepsChangesUntilItAnswersAgain() {
    sLinkUnderTest t = ConnectedLink({}, true);
    QVERIFY(t.mLink);
    cReportCapture reports;
    devsim::sFaultModes silent;
    silent.mNoReply = true;
    t.mDevice->SetFaults(silent);
    QVERIFY(ServiceUntil(*t.mLink, cSerialInterface::NO_REPLY, 15000, 1));
    t.mLink->QueueDelayMessage(3, 30);
    t.mLink->QueueDelayMessage(3, 33);
    t.mLink->QueueControlStripMessage(5, 9, 9, 0, 1);
    const cDeliveryLedger::sMark mark = t.mLink->MarkDelivery();
    for (int i = 0; i < 20; ++i) t.Tick();
    QCOMPARE(t.mLink->GetState(), cSerialInterface::NO_REPLY);
    QCOMPARE(int(t.mLink->GetTraffic().mWaiting), 2);
    QCOMPARE(t.mLink->DeliveryStatus(mark), cDeliveryLedger::PENDING);

    t.mDevice->SetFaults({});
    QVERIFY(ServiceUntil(*t.mLink, cSerialInterface::CONNECTED, 15000, 1));
    QVERIFY(TickUntil([&] { t.Tick(); }, [&] { return t.mLink->DeliveryStatus(mark) == cDeliveryLedger::DELIVERED; }));
    QCOMPARE(t.mDevice->Model().Delays()[3], 33);
    QCOMPARE(int(t.mDevice->Model().Strips()[5].mMute), 1);
    QVERIFY2(reports.Contains("answers again"), qPrintable(reports.Dump()));
  }

  void disconnectDrainsQueuesThenSends15() {
    sLinkUnderTest t = ConnectedLink();
    QVERIFY(t.mLink);
    t.mLink->QueueFilterMessage(0x0000, kCoefficientsB, 20, 1, 0, 0, 0, 0, 0);
    t.mLink->QueueFilterMessage(0x0100, kCoefficientsB, 20, 2, 0, 0, 0, 0, 0);
    t.mLink->QueueControlStripMessage(4, 1, 1, 0, 0);
    t.mLink->RequestConnection(false, QString());

    QVERIFY(t.TickAndExpect(2));
    QCOMPARE(t.mLink->GetState(), cSerialInterface::DISCONNECTING);
    t.mLink->QueueDelayMessage(0, 5);  // too late: dropped
    QVERIFY(t.TickAndExpect(3));
    QCOMPARE(t.mLink->GetState(), cSerialInterface::DISCONNECTING);
    QVERIFY(t.TickAndExpect(4));
    QCOMPARE(t.mLink->GetState(), cSerialInterface::DISCONNECTED);
    QCOMPARE(ReceivedTypes(*t.mDevice), QString("2,6,2,15"));
    QVERIFY(!t.mLink->GetMeterValues().has_value());
    QCOMPARE(t.mLink->GetVersionText(), QString());

    // The device stays usable: connect again.
    t.mLink->RequestConnection(true, QString());
    QVERIFY(t.TickUntilState(cSerialInterface::CONNECTED));
    QCOMPARE(ReceivedTypes(*t.mDevice), QString("2,6,2,15,0,7,9,3"));
    QCOMPARE(t.mLink->GetVersionText(), QString("V1.4"));
  }

  void syncSequenceFillsRecords() {
    sLinkUnderTest t = ConnectedLink();
    QVERIFY(t.mLink);
    struct sSent {
      ULONG mAddress;
      int mRecord;
    };
    // Low L slot 0, Low R slot 1, Mid L slot 3, Mid R slot 5, High L slot 0, High R slot 7.
    const sSent sent[] = {{0x0000, 0}, {0x0101, 5}, {0x0302, 11}, {0x0503, 19}, {0x0004, 20}, {0x0705, 35}};
    for (const sSent& s : sent) {
      t.mLink->QueueFilterMessage(s.mAddress, kCoefficientsB, 20, UWORD(1000 + s.mRecord), UWORD(s.mRecord),
                                  UWORD(-s.mRecord), UBYTE(s.mRecord % 7), UBYTE(s.mRecord % 3), 0x81);
      t.Tick();
    }
    t.mLink->QueueFilterMessage(0x0400, kCoefficientsB, 20, 9, 9, 9, 9, 9, 9);  // Low has no slot 4
    t.mLink->QueueControlStripMessage(2, 123, 0xF000, 1, 1);
    t.mLink->QueueDelayMessage(4, 12345);
    t.mLink->QueueDelayMessage(0, -7);
    QVERIFY(TickUntil([&] { t.Tick(); }, [&] { return t.mDevice->ReceivedCount() == 10; }));
    // What the connect read back is from before the changes.
    QCOMPARE(int((*t.mLink->GetSyncFilters())[0].mFrequency), 0);
    QCOMPARE((*t.mLink->GetSyncDelays())[4], 0);

    t.mDevice->ClearReceived();
    QVERIFY(t.mLink->StartSync());
    QVERIFY(t.TickUntilState(cSerialInterface::SYNCING, 5000));
    QCOMPARE(ReceivedTypes(*t.mDevice), QString("7,9,3"));
    const auto records = t.mLink->GetSyncFilters();
    QVERIFY(records.has_value());
    for (int r = 0; r < 36; ++r) {
      const sFilter& f = (*records)[std::size_t(r)];
      bool expected = false;
      for (const sSent& s : sent) expected = expected || s.mRecord == r;
      if (expected) {
        QCOMPARE(int(f.mFrequency), 1000 + r);
        QCOMPARE(int(f.mWidth), r);
        QCOMPARE(int(f.mGain), -r);
        QCOMPARE(int(f.mType), r % 7);
        QCOMPARE(int(f.mVariant), r % 3);
        QCOMPARE(int(f.mFlags), 0x81);
      } else {
        QVERIFY2(f.mFrequency == 0 && f.mWidth == 0 && f.mGain == 0 && f.mType == 0 && f.mFlags == 0,
                 qPrintable(QString("record %1 should be empty").arg(r)));
      }
    }
    const auto strips = *t.mLink->GetSyncControlStrips();
    QCOMPARE(int(strips[2].mMute), 1);
    QCOMPARE(int(UWORD(strips[2].mGain)), 0xF000);
    QCOMPARE(int(strips[2].mPolarity), 1);
    QCOMPARE(int(strips[3].mMute), 0);
    QCOMPARE((*t.mLink->GetSyncDelays())[4], 12345);
    QCOMPARE((*t.mLink->GetSyncDelays())[0], -7);

    // Entries are refused until the front end has taken the sync.
    t.mLink->QueueDelayMessage(1, 1);
    t.mLink->SetConnected();
    QCOMPARE(t.mLink->GetState(), cSerialInterface::CONNECTED);
    t.Tick();
    QVERIFY(!t.mDevice->WaitForReceived(40, 100));
    QCOMPARE(t.mDevice->Model().Delays()[1], 0);
  }

  void metersFollowTheDevice() {
    sLinkUnderTest t = ConnectedLink({}, true);
    QVERIFY(t.mLink);
    t.mLink->QueueControlStripMessage(0, 0x7FFFFFFF, 3082, 0, 0);
    t.mLink->QueueControlStripMessage(2, 0x40000000, 1546, 0, 0);
    auto level = [&](int i) {
      const auto meters = t.mLink->GetMeterValues();
      return meters ? (*meters)[std::size_t(i)] : 0u;
    };
    QVERIFY(TickUntil([&] { t.Tick(); }, [&] { return level(0) > 0 && level(2) > 0; }));
    QCOMPARE(level(1), 0u);  // no gain sent: silent
    QVERIFY(level(0) < 0x80000000u);
    QVERIFY(level(2) < level(0));

    t.mLink->QueueControlStripMessage(0, 0x7FFFFFFF, 3082, 0, 1);  // mute input L
    QVERIFY(TickUntil([&] { t.Tick(); }, [&] { return level(0) == 0 && level(2) == 0; }));
    QCOMPARE(t.mLink->GetMissCount(), UBYTE(0));
  }

  void meterRepliesResetMissCount() {
    sLinkUnderTest t = ConnectedLink({}, true);
    QVERIFY(t.mLink);
    devsim::sFaultModes silent;
    silent.mNoReply = true;
    t.mDevice->SetFaults(silent);
    QVERIFY(TickUntil([&] { t.Tick(); }, [&] { return t.mLink->GetMissCount() >= 2; }, 5000, 1));
    QCOMPARE(t.mLink->GetState(), cSerialInterface::CONNECTED);
    t.mDevice->SetFaults({});
    QVERIFY(TickUntil([&] { t.Tick(); }, [&] { return t.mLink->GetMissCount() == 0; }, 5000, 1));
    QCOMPARE(t.mLink->GetState(), cSerialInterface::CONNECTED);
  }

  void silentDeviceReachesNoReply_data() {
    QTest::addColumn<bool>("silentFromStart");
    QTest::addColumn<int>("error");
    QTest::newRow("never answers") << true << 3;
    QTest::newRow("stops answering") << false << 0;
  }
  void silentDeviceReachesNoReply() {
    QFETCH(bool, silentFromStart);
    QFETCH(int, error);
    devsim::sFaultModes silent;
    silent.mNoReply = true;
    auto device = StartSimulator({1, 4, {}, {}, silentFromStart ? silent : devsim::sFaultModes{}});
    QVERIFY(device);
    UseDevicePorts({QString::fromStdString(device->DevicePath())});
    cSerialInterface link;
    link.RequestConnection(true, QString());
    if (!silentFromStart) {
      QVERIFY(ServiceUntil(link, cSerialInterface::CONNECTED));
      device->SetFaults(silent);
    }
    QVERIFY(ServiceUntil(link, cSerialInterface::NO_REPLY, 15000, 1));
    QCOMPARE(int(link.TakeLastError()), error);
    link.QueueDelayMessage(0, 1);
    link.RequestConnection(false, QString());
    QVERIFY(ServiceUntil(link, cSerialInterface::DISCONNECTED));
    QVERIFY(TickUntil([] {}, [&] { return device->Received().back().mType == 15; }, 2000));
  }

  void hostileReplies_data() {
    QTest::addColumn<bool>("garbage");
    QTest::addColumn<bool>("split");
    QTest::addColumn<bool>("oversize");
    QTest::addColumn<bool>("unknownTypes");
    QTest::newRow("garbage between packets") << true << false << false << false;
    QTest::newRow("single bytes") << false << true << false << false;
    QTest::newRow("oversized length fields") << false << false << true << false;
    QTest::newRow("unknown reply types") << false << false << false << true;
    QTest::newRow("everything at once") << true << true << true << true;
  }
  void hostileReplies() {
    QFETCH(bool, garbage);
    QFETCH(bool, split);
    QFETCH(bool, oversize);
    QFETCH(bool, unknownTypes);
    cReportCapture reports;
    devsim::sFaultModes faults;
    faults.mGarbage = garbage;
    faults.mSplitBytes = split;
    faults.mOversize = oversize;
    faults.mUnknownTypes = unknownTypes;
    faults.mSplitPauseMs = 0;
    sLinkUnderTest t = ConnectedLink({1, 4, {}, {}, faults}, true);
    QVERIFY(t.mLink);
    QCOMPARE(t.mLink->GetVersionText(), QString("V1.4"));
    t.mLink->QueueControlStripMessage(1, 0x7FFFFFFF, 0x0A0D, 1, 0);
    t.mLink->QueueDelayMessage(5, 0x11130A0D);
    QVERIFY(TickUntil([&] { t.Tick(); },
                      [&] {
                        const auto meters = t.mLink->GetMeterValues();
                        return meters && (*meters)[1] > 0;
                      },
                      5000));
    QCOMPARE(t.mLink->GetMissCount(), UBYTE(0));

    QVERIFY(t.mLink->StartSync());
    QVERIFY(t.TickUntilState(cSerialInterface::SYNCING, 10000));
    QCOMPARE(int(UWORD((*t.mLink->GetSyncControlStrips())[1].mGain)), 0x0A0D);
    QCOMPARE((*t.mLink->GetSyncDelays())[5], 0x11130A0D);
    QVERIFY(t.mLink->GetSyncFilters().has_value());
    QCOMPARE(reports.Contains("payload bytes; skipped"), oversize);
  }

  void injectedReplies_data() {
    QTest::addColumn<QByteArray>("first");
    QTest::addColumn<QByteArray>("second");
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("report");
    const QByteArray v27 = VersionReply(2, 7);
    QTest::newRow("whole reply") << v27 << QByteArray() << "V2.7"
                                 << "";
    QTest::newRow("split across ticks") << v27.left(5) << v27.mid(5) << "V2.7"
                                        << "";
    QTest::newRow("header split before its length") << v27.left(3) << v27.mid(3) << "V2.7"
                                                    << "";
    QTest::newRow("largest length then a reply") << Hex("a5a50004ffffffff") << v27 << "V2.7"
                                                 << "4294967295 payload bytes";
    QTest::newRow("one past the largest reply") << Hex("a5a5000431000000") + QByteArray(49, '\x11') << v27 << "V2.7"
                                                << "49 payload bytes";
    QTest::newRow("too short version") << Hex("a5a500000100000009") << v27 << "V2.7"
                                       << "too short";
    QTest::newRow("too short meters") << Hex("a5a500040400000001020304") << v27 << "V2.7"
                                      << "too short";
    QTest::newRow("unknown type, largest payload") << Hex("a5a500c830000000") + QByteArray(48, '\xa5') << v27 << "V2.7"
                                                   << "";
    QTest::newRow("types 5 and 10") << Hex("a5a500050100000000a5a5000a00000000") << v27 << "V2.7"
                                    << "";
    QTest::newRow("header near-misses") << Hex("a5a501a5a5a5ffa5") << v27 << "V2.7"
                                        << "";
    QTest::newRow("cut off, then a new reply") << v27.left(6) << VersionReply(3, 1) << "V3.1"
                                               << "";
  }
  void injectedReplies() {
    QFETCH(QByteArray, first);
    QFETCH(QByteArray, second);
    QFETCH(QString, version);
    QFETCH(QString, report);
    cReportCapture reports;
    sLinkUnderTest t = ConnectedLink();
    QVERIFY(t.mLink);
    t.mDevice->Inject(std::vector<std::uint8_t>(first.begin(), first.end()));
    for (int i = 0; i < 5; ++i) {
      t.Tick();
      QThread::msleep(5);
    }
    if (!second.isEmpty()) {
      QCOMPARE(t.mLink->GetVersionText(), QString("V1.4"));
      t.mDevice->Inject(std::vector<std::uint8_t>(second.begin(), second.end()));
    }
    QVERIFY(TickUntil([&] { t.Tick(); }, [&] { return t.mLink->GetVersionText() == version; }));
    QCOMPARE(t.mLink->GetState(), cSerialInterface::CONNECTED);
    if (!report.isEmpty()) QVERIFY2(reports.Contains(report.toStdString()), qPrintable(reports.Dump()));
  }

  void hangUpMidStream_data() {
    QTest::addColumn<int>("hangUpAfter");
    QTest::addColumn<bool>("meterPolling");
    QTest::newRow("in the version reply, nothing written after") << 1 << false;
    QTest::newRow("in a meter reply while connected") << 3 << true;
  }
  void hangUpMidStream() {
    QFETCH(int, hangUpAfter);
    QFETCH(bool, meterPolling);
    cReportCapture reports;
    devsim::sFaultModes faults;
    faults.mHangUpAfter = hangUpAfter;
    auto device = StartSimulator({1, 4, {}, {}, faults});
    QVERIFY(device);
    UseDevicePorts({QString::fromStdString(device->DevicePath())});
    cSerialInterface link;
    link.SetMeterPolling(meterPolling);
    link.RequestConnection(true, QString());
    // Well before the wait for the version would run out.
    QVERIFY(ServiceUntil(link, cSerialInterface::NO_REPLY, cSerialInterface::kVersionTimeoutMs / 2));
    QVERIFY(device->HasHungUp());
    QCOMPARE(link.TakeLastError(), UBYTE(0));
    QVERIFY(!link.GetMeterValues().has_value());
    QVERIFY2(reports.Contains("Device port lost"), qPrintable(reports.Dump()));
    // The front end's disconnect still settles the link.
    link.RequestConnection(false, QString());
    link.ServiceAndWait();
    QCOMPARE(link.GetState(), cSerialInterface::DISCONNECTED);
  }

  void openErrors_data() {
    QTest::addColumn<QString>("situation");
    QTest::addColumn<int>("error");
    QTest::newRow("path does not exist") << "missing" << 2;
    QTest::newRow("name not listed") << "unlisted" << 2;
    QTest::newRow("held by another open") << "busy" << 1;
  }
  void openErrors() {
    QFETCH(QString, situation);
    QFETCH(int, error);
    auto device = StartSimulator();
    QVERIFY(device);
    const QString path = QString::fromStdString(device->DevicePath());
    QSerialPort holder(path);
    QString name;
    if (situation == "missing") {
      UseDevicePorts({"/nonexistent-orvel-dir/ttyNONE"});
    } else {
      UseDevicePorts({path});
      if (situation == "unlisted") name = "ttyOTHER";
      if (situation == "busy") QVERIFY2(holder.open(QIODevice::ReadWrite), qPrintable(holder.errorString()));
    }
    cSerialInterface link;
    link.RequestConnection(true, name);
    link.ServiceAndWait();
    QCOMPARE(link.GetState(), cSerialInterface::DISCONNECTED);
    QCOMPARE(int(link.TakeLastError()), error);
    QCOMPARE(int(link.TakeLastError()), 0);
    QVERIFY(!device->WaitForReceived(1, 50));
  }

  void firstListedPortIsOpened() {
    auto first = StartSimulator({1, 1, {}, {}, {}});
    auto second = StartSimulator({2, 2, {}, {}, {}});
    QVERIFY(first && second);
    UseDevicePorts({QString::fromStdString(second->DevicePath()), QString::fromStdString(first->DevicePath())});
    cSerialInterface link;
    link.RequestConnection(true, QString());
    QVERIFY(ServiceUntil(link, cSerialInterface::CONNECTED));
    QCOMPARE(link.GetVersionText(), QString("V2.2"));
    QCOMPARE(first->ReceivedCount(), std::size_t(0));
  }

  void longPortNames() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString pathA = dir.filePath("ttyORVLONG1");
    const QString pathB = dir.filePath("ttyORVLONG2");
    auto deviceA = StartSimulator({1, 1, pathA.toStdString(), {}, {}});
    auto deviceB = StartSimulator({2, 2, pathB.toStdString(), {}, {}});
    QVERIFY(deviceA && deviceB);

    {
      // The name as the 8-byte port-list slot carries it finds the one port.
      UseDevicePorts({pathA});
      cSerialInterface link;
      link.RequestConnection(true, "ttyORVL");
      QVERIFY(ServiceUntil(link, cSerialInterface::CONNECTED));
      QCOMPARE(link.GetVersionText(), QString("V1.1"));
    }
    {
      cReportCapture reports;
      UseDevicePorts({pathA, pathB});
      cSerialInterface link;
      QCOMPARE(link.GetPortNames(), QStringList({"ttyORVLONG1", "ttyORVLONG2"}));
      link.RequestConnection(true, "ttyORVL");
      link.ServiceAndWait();
      QCOMPARE(link.GetState(), cSerialInterface::DISCONNECTED);
      QCOMPARE(int(link.TakeLastError()), 2);
      QVERIFY2(reports.Contains("shared by several ports"), qPrintable(reports.Dump()));
      link.RequestConnection(true, "ttyORVLONG2");
      QVERIFY(ServiceUntil(link, cSerialInterface::CONNECTED));
      QCOMPARE(link.GetVersionText(), QString("V2.2"));
    }
    {
      // A cut name that is also another port's full name could mean either.
      cReportCapture reports;
      const QString pathShort = dir.filePath("ttyORV1");
      const QString pathLong = dir.filePath("ttyORV10");
      auto shortDevice = StartSimulator({3, 3, pathShort.toStdString(), {}, {}});
      auto longDevice = StartSimulator({4, 4, pathLong.toStdString(), {}, {}});
      QVERIFY(shortDevice && longDevice);
      UseDevicePorts({pathShort, pathLong});
      cSerialInterface link;
      link.RequestConnection(true, "ttyORV1");
      link.ServiceAndWait();
      QCOMPARE(link.GetState(), cSerialInterface::DISCONNECTED);
      QCOMPARE(int(link.TakeLastError()), 2);
      QVERIFY2(reports.Contains("shared by several ports"), qPrintable(reports.Dump()));
      QVERIFY(!shortDevice->WaitForReceived(1, 50));
      QVERIFY(!longDevice->WaitForReceived(1, 50));
      link.RequestConnection(true, "ttyORV10");
      QVERIFY(ServiceUntil(link, cSerialInterface::CONNECTED));
      QCOMPARE(link.GetVersionText(), QString("V4.4"));
    }
  }

  // A connect to another port that will not open has already closed the
  // port of the running session.
  void failedSwitchOfPortsDisconnects() {
    auto first = StartSimulator({1, 1, {}, {}, {}});
    auto second = StartSimulator({2, 2, {}, {}, {}});
    QVERIFY(first && second);
    const QString secondPath = QString::fromStdString(second->DevicePath());
    UseDevicePorts({QString::fromStdString(first->DevicePath()), secondPath});
    cSerialInterface link;
    link.SetMeterPolling(false);
    link.RequestConnection(true, QString());
    QVERIFY(ServiceUntil(link, cSerialInterface::CONNECTED));
    QSerialPort holder(secondPath);
    QVERIFY2(holder.open(QIODevice::ReadWrite), qPrintable(holder.errorString()));

    link.QueueDelayMessage(0, 1);
    link.RequestConnection(true, secondPath.section('/', -1));
    link.ServiceAndWait();
    QCOMPARE(int(link.TakeLastError()), 1);
    QCOMPARE(link.GetState(), cSerialInterface::DISCONNECTED);
    QVERIFY(!link.GetMeterValues().has_value());
    // Nothing is kept for a later session.
    link.QueueDelayMessage(1, 2);
    holder.close();
    link.RequestConnection(true, secondPath.section('/', -1));
    QVERIFY(ServiceUntil(link, cSerialInterface::CONNECTED));
    for (int i = 0; i < 3; ++i) link.ServiceAndWait();
    QVERIFY(!second->WaitForReceived(5, 100));
    QCOMPARE(ReceivedTypes(*second), QString("0,7,9,3"));
    QCOMPARE(ReceivedTypes(*first), QString("0,7,9,3"));
  }

  // Calls while a meter request is pending are counted; the 52nd of them
  // gives up on the request and counts a miss. Replies do not reset the count.
  void meterRequestSupervision() {
    devsim::sFaultModes silent;
    silent.mNoReply = true;
    sLinkUnderTest t = ConnectedLink();
    QVERIFY(t.mLink);
    t.mDevice->SetFaults(silent);
    auto meterRequests = [&] { return ReceivedTypes(*t.mDevice).count('4'); };

    t.mLink->RequestMeters();
    QVERIFY(t.mDevice->WaitForReceived(1, 2000));
    for (int call = 1; call <= 51; ++call) t.mLink->RequestMeters();
    QCOMPARE(t.mLink->GetMissCount(), UBYTE(0));
    t.mLink->RequestMeters();  // the 52nd counted call
    QCOMPARE(t.mLink->GetMissCount(), UBYTE(1));
    QVERIFY(!t.mDevice->WaitForReceived(2, 100));
    t.mLink->RequestMeters();  // no longer pending: asks again
    QVERIFY(t.mDevice->WaitForReceived(2, 2000));

    // Ten calls counted, then the device answers.
    for (int call = 1; call <= 10; ++call) t.mLink->RequestMeters();
    t.mDevice->Inject({0xA5, 0xA5, 0, 4, 32, 0, 0, 0, 0, 0, 0, 0x40, 0, 0, 0, 0, 0, 0, 0, 0,
                       0,    0,    0, 0, 0,  0, 0, 0, 0, 0, 0, 0,    0, 0, 0, 0, 0, 0, 0, 0});
    QVERIFY(TickUntil([&] { t.Tick(); }, [&] { return t.mLink->GetMissCount() == 0; }));
    QCOMPARE((*t.mLink->GetMeterValues())[0], 0x40000000u);
    t.mLink->RequestMeters();
    QVERIFY(t.mDevice->WaitForReceived(3, 2000));
    // The count went on from ten: 41 more calls, and the 42nd is the miss.
    for (int call = 1; call <= 41; ++call) t.mLink->RequestMeters();
    QCOMPARE(t.mLink->GetMissCount(), UBYTE(0));
    t.mLink->RequestMeters();
    QCOMPARE(t.mLink->GetMissCount(), UBYTE(1));
    QCOMPARE(meterRequests(), 3);
    QCOMPARE(t.mLink->GetState(), cSerialInterface::CONNECTED);
  }

  // The tick's beats wake the link only for work: an idle connected link
  // steps on supervision beats alone, and still takes a device that falls
  // silent for gone, after as many beats as when it stepped every beat.
  void idleLinkStepsOnlyOnSupervisionBeats() {
    sLinkUnderTest t = ConnectedLink({}, true);
    QVERIFY(t.mLink);
    cSerialInterface& link = *t.mLink;
    const int period = cSerialInterface::kSupervisionBeats;
    int steps = 0;
    const std::uint64_t askedBefore = link.GetMeterRequestsSent();
    std::uint64_t asked = askedBefore;
    for (int beat = 0; beat < 10 * period; ++beat) {
      steps += BeatAndSettle(link);
      // The beats of a test run far faster than real ones: let the device
      // answer a request before the next beat, as it does within a real one,
      // so that a loaded machine does not make a reply late.
      if (link.GetMeterRequestsSent() != asked) {
        asked = link.GetMeterRequestsSent();
        QVERIFY(t.mDevice->WaitForReceived(std::size_t(asked - askedBefore), 2000));
        QVERIFY(t.mDevice->WaitForAnswered(2000));
      }
    }
    // A period steps once to ask for meters, then on the next beats until
    // the reply is read: a handful of steps, not one a beat.
    QVERIFY2(steps >= 20 && steps <= 10 * cSerialInterface::kMeterReplyBeats,
             qPrintable(QString("%1 steps in 10 periods").arg(steps)));
    // One meter request a period, each answered and read within it.
    const int requests = int(ReceivedTypes(*t.mDevice).count('4'));
    QVERIFY2(requests >= 9 && requests <= 10, qPrintable(ReceivedTypes(*t.mDevice)));
    QCOMPARE(link.GetMissCount(), UBYTE(0));

    // Meters on show, or an entry to send: the beat steps.
    link.SetMetersShown(true);
    steps = 0;
    for (int beat = 0; beat < period; ++beat) steps += BeatAndSettle(link);
    QCOMPARE(steps, period);
    link.SetMetersShown(false);
    t.mDevice->ClearReceived();
    link.QueueDelayMessage(2, 77);
    QCOMPARE(BeatAndSettle(link), 1);
    QVERIFY(t.mDevice->WaitForReceived(1, 2000));
    QCOMPARE(int(t.mDevice->Received().front().mType), 8);

    devsim::sFaultModes silent;
    silent.mNoReply = true;
    t.mDevice->SetFaults(silent);
    const int misses = cSerialInterface::kMaxMisses;
    const int perMiss = cSerialInterface::kMeterBeatsPerMiss;
    int beats = 0;
    steps = 0;
    for (; link.GetState() == cSerialInterface::CONNECTED && beats < (misses + 2) * perMiss; ++beats) {
      steps += BeatAndSettle(link);
    }
    QCOMPARE(link.GetState(), cSerialInterface::NO_REPLY);
    QVERIFY2(beats >= (misses - 1) * perMiss, qPrintable(QString("gone after %1 beats").arg(beats)));
    // Each unanswered request is looked for on a few beats after it.
    const int replyBeats = cSerialInterface::kMeterReplyBeats;
    QVERIFY2(steps <= (beats / period + 4) * replyBeats,
             qPrintable(QString("%1 steps in %2 beats").arg(steps).arg(beats)));
  }
};

QTEST_GUILESS_MAIN(tst_SerialInterface)
#include "tst_SerialInterface.moc"
