// The simulated processor's memory and answers, and its packet framing,
// without a line in between.

#include <QtTest>

#include "DevSim/DeviceModel.h"
#include "DevSim/SimFixture.h"

using namespace devsim;

namespace {

sDevicePacket Command(std::uint8_t type, const QByteArray& payloadHex = QByteArray()) {
  const QByteArray payload = QByteArray::fromHex(payloadHex);
  return {type, std::vector<std::uint8_t>(payload.begin(), payload.end())};
}

QByteArray Payload(const sDevicePacket& packet) { return Bytes(packet.mPayload); }

}  // namespace

class tst_DeviceModel : public QObject {
  Q_OBJECT

 private slots:
  void filterRecordIndex_data() {
    QTest::addColumn<uint>("address");
    QTest::addColumn<int>("record");
    QTest::newRow("Low L slot 0") << 0x0000u << 0;
    QTest::newRow("Low L slot 3") << 0x0300u << 3;
    QTest::newRow("Low L slot 4 does not exist") << 0x0400u << -1;
    QTest::newRow("Low R slot 0") << 0x0001u << 4;
    QTest::newRow("Low R slot 3") << 0x0301u << 7;
    QTest::newRow("Mid L slot 0") << 0x0002u << 8;
    QTest::newRow("Mid L slot 5") << 0x0502u << 13;
    QTest::newRow("Mid L slot 6 does not exist") << 0x0602u << -1;
    QTest::newRow("Mid R slot 0") << 0x0003u << 14;
    QTest::newRow("Mid R slot 5") << 0x0503u << 19;
    QTest::newRow("High L slot 0") << 0x0004u << 20;
    QTest::newRow("High L slot 7") << 0x0704u << 27;
    QTest::newRow("High L slot 8 does not exist") << 0x0804u << -1;
    QTest::newRow("High R slot 7") << 0x0705u << 35;
    QTest::newRow("channel 6 does not exist") << 0x0006u << -1;
    QTest::newRow("slot far out of range") << 0x01000000u << -1;
  }
  void filterRecordIndex() {
    QFETCH(uint, address);
    QFETCH(int, record);
    QCOMPARE(FilterRecordIndex(address), record);
  }

  void answers() {
    cDeviceModel model(2, 9);
    std::vector<sDevicePacket> replies = model.HandleCommand(Command(CMD_VERSION));
    QCOMPARE(replies.size(), std::size_t(1));
    QCOMPARE(int(replies[0].mType), 0);
    QCOMPARE(Payload(replies[0]), QByteArray::fromHex("0209"));

    for (std::uint8_t type : {CMD_FILTER, CMD_STRIP, CMD_DELAY}) {
      replies = model.HandleCommand(Command(type));  // malformed, still acknowledged
      QCOMPARE(replies.size(), std::size_t(1));
      QCOMPARE(replies[0].mType, type);
    }
    QVERIFY(model.HandleCommand(Command(CMD_DISCONNECT)).empty());
    QVERIFY(model.HandleCommand(Command(5)).empty());
    QVERIFY(model.HandleCommand(Command(200, "0102")).empty());
  }

  void syncAnswersFollowWhatWasSent() {
    cDeviceModel model(1, 4);
    // Mid R slot 2: record 16.
    model.HandleCommand(Command(CMD_FILTER,
                                "03020000"
                                "01000000"
                                "02000000"
                                "03000000"
                                "04000000"
                                "05000000"
                                "3412"
                                "7856"
                                "00ff"
                                "05"
                                "02"
                                "81"));
    // Wrong length: not stored.
    model.HandleCommand(Command(CMD_FILTER,
                                "00000000"
                                "3412"));
    model.HandleCommand(Command(CMD_STRIP,
                                "05000000"
                                "feffffff"
                                "0af40000"
                                "01000000"
                                "01000000"));
    model.HandleCommand(Command(CMD_STRIP,
                                "08000000"
                                "01000000"
                                "01000000"
                                "01000000"
                                "01000000"));  // no strip 8
    model.HandleCommand(Command(CMD_DELAY,
                                "03000000"
                                "39300000"));
    model.HandleCommand(Command(CMD_DELAY,
                                "06000000"
                                "39300000"));  // no delay 6

    std::vector<sDevicePacket> records = model.HandleCommand(Command(CMD_FILTER_SYNC));
    QCOMPARE(records.size(), std::size_t(36));
    for (std::size_t i = 0; i < records.size(); ++i) {
      QCOMPARE(int(records[i].mType), 3);
      QCOMPARE(Payload(records[i]), i == 16 ? QByteArray::fromHex("3412"
                                                                  "7856"
                                                                  "00ff"
                                                                  "0500"
                                                                  "0200"
                                                                  "8100")
                                            : QByteArray(12, '\0'));
    }
    QCOMPARE(model.Filters()[16].mCoefficients[4], 5);

    std::vector<sDevicePacket> strips = model.HandleCommand(Command(CMD_STRIP_SYNC));
    QCOMPARE(strips.size(), std::size_t(1));
    QByteArray expected(48, '\0');
    expected.replace(30, 6,
                     QByteArray::fromHex("0100"
                                         "0af4"
                                         "0100"));
    QCOMPARE(Payload(strips[0]), expected);

    std::vector<sDevicePacket> delays = model.HandleCommand(Command(CMD_DELAY_SYNC));
    expected = QByteArray(24, '\0');
    expected.replace(12, 4, QByteArray::fromHex("39300000"));
    QCOMPARE(Payload(delays.at(0)), expected);
  }

  void metersFollowGainsAndMutes() {
    cDeviceModel model(1, 4);
    QCOMPARE(model.MeterLevels(0.5), (std::array<std::uint32_t, 8>{}));
    // Input L at full scale, output strip 4 at half scale, output 5 muted.
    model.HandleCommand(Command(CMD_STRIP,
                                "00000000"
                                "00000080"
                                "00000000"
                                "00000000"
                                "00000000"));
    model.HandleCommand(Command(CMD_STRIP,
                                "04000000"
                                "000000c0"
                                "00000000"
                                "00000000"
                                "00000000"));
    model.HandleCommand(Command(CMD_STRIP,
                                "05000000"
                                "ffffff7f"
                                "00000000"
                                "00000000"
                                "01000000"));
    std::array<std::uint32_t, 8> levels = model.MeterLevels(0.5);
    QCOMPARE(levels[0], 0x40000000u);  // |−2^31| passes the signal unchanged
    QCOMPARE(levels[1], 0u);
    QCOMPARE(levels[4], 0x10000000u);  // mix of L and silent R, through −0.5
    QCOMPARE(levels[5], 0u);
    QCOMPARE(model.MeterLevels(4.0)[0], 0x80000000u);  // clipped at full scale

    const std::vector<sDevicePacket> first = model.HandleCommand(Command(CMD_METERS));
    const std::vector<sDevicePacket> second = model.HandleCommand(Command(CMD_METERS));
    QCOMPARE(Payload(first.at(0)).size(), 32);
    QVERIFY(Payload(first.at(0)) != Payload(second.at(0)));  // the source moves
  }

  void parserResynchronises_data() {
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<QString>("types");
    const QByteArray a = QByteArray::fromHex("a5a5000000000000");
    const QByteArray b = QByteArray::fromHex("a5a500080800000001000000ffffffff");
    QTest::newRow("clean") << a + b << "0,8";
    QTest::newRow("noise first") << QByteArray::fromHex("000aa50da5a501ff") + a << "0";
    QTest::newRow("sync byte before a header") << QByteArray::fromHex("a5") + a << "0";
    QTest::newRow("impossible length") << QByteArray::fromHex("a5a5000231000000") + b << "8";
    QTest::newRow("largest length") << QByteArray::fromHex("a5a50002ffffffff") + a << "0";
    QTest::newRow("unfinished packet waits") << a + b.left(10) << "0";
  }
  void parserResynchronises() {
    QFETCH(QByteArray, stream);
    QFETCH(QString, types);
    // Fed whole and byte by byte, the result is the same.
    for (bool bytewise : {false, true}) {
      cPacketParser parser;
      QStringList seen;
      sDevicePacket packet;
      if (bytewise) {
        for (char c : stream) {
          parser.Feed(reinterpret_cast<const std::uint8_t*>(&c), 1);
          while (parser.Next(packet)) seen << QString::number(packet.mType);
        }
      } else {
        parser.Feed(reinterpret_cast<const std::uint8_t*>(stream.constData()), std::size_t(stream.size()));
        while (parser.Next(packet)) seen << QString::number(packet.mType);
      }
      QCOMPARE(seen.join(','), types);
    }
  }
};

QTEST_GUILESS_MAIN(tst_DeviceModel)
#include "tst_DeviceModel.moc"
