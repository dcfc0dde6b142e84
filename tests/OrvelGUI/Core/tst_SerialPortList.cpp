// Which serial ports count as the processor's.

#include <QtTest>

#include "OrvelGUI/Core/SerialPortList.h"

class tst_SerialPortList : public QObject {
  Q_OBJECT

 private slots:
  void acceptance_data() {
    QTest::addColumn<bool>("hasIds");
    QTest::addColumn<int>("vendor");
    QTest::addColumn<int>("product");
    QTest::addColumn<QString>("description");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("first product, generic name") << true << 0x0483 << 0x5740 << "USB Serial Device" << true;
    QTest::newRow("second product, own name") << true << 0x0483 << 0xA44B << "Tessmark Devices - Orvel" << true;
    QTest::newRow("crossed names and products") << true << 0x0483 << 0xA44B << "USB Serial Device" << true;
    QTest::newRow("neighbouring product") << true << 0x0483 << 0x5741 << "USB Serial Device" << false;
    QTest::newRow("other vendor") << true << 0x0484 << 0x5740 << "USB Serial Device" << false;
    QTest::newRow("other description") << true << 0x0483 << 0x5740 << "STM32 Virtual ComPort" << false;
    QTest::newRow("description differs in case") << true << 0x0483 << 0x5740 << "usb serial device" << false;
    QTest::newRow("no identifiers") << false << 0x0483 << 0x5740 << "USB Serial Device" << false;
  }
  void acceptance() {
    QFETCH(bool, hasIds);
    QFETCH(int, vendor);
    QFETCH(int, product);
    QFETCH(QString, description);
    QFETCH(bool, accepted);
    QCOMPARE(cSerialPortList::IsProcessorPort(hasIds, quint16(vendor), quint16(product), description), accepted);
  }

  void override_data() {
    QTest::addColumn<QString>("value");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("locations");
    QTest::newRow("empty") << "" << QStringList() << QStringList();
    QTest::newRow("one path") << "/tmp/x/ttyORV0" << QStringList{"ttyORV0"} << QStringList{"/tmp/x/ttyORV0"};
    QTest::newRow("two, empty part skipped")
        << "/dev/pts/7::/tmp/y/ttyORV1" << QStringList{"7", "ttyORV1"} << QStringList{"/dev/pts/7", "/tmp/y/ttyORV1"};
    QTest::newRow("a folder names no port") << "/tmp/x/" << QStringList() << QStringList();
  }
  void override() {
    QFETCH(QString, value);
    QFETCH(QStringList, names);
    QFETCH(QStringList, locations);
    QStringList gotNames;
    QStringList gotLocations;
    for (const sSerialPortEntry& entry : cSerialPortList::ParseOverride(value)) {
      gotNames << entry.mName;
      gotLocations << entry.mSystemLocation;
    }
    QCOMPARE(gotNames, names);
    QCOMPARE(gotLocations, locations);
  }

  void overrideComesFirst() {
    qputenv("ORVEL_SERIAL_PORTS", "/tmp/none/ttyB:/tmp/none/ttyA");
    const std::vector<sSerialPortEntry> ports = cSerialPortList::AcceptedPorts();
    QVERIFY(ports.size() >= 2);
    QCOMPARE(ports[0].mName, QString("ttyB"));
    QCOMPARE(ports[1].mName, QString("ttyA"));
    qunsetenv("ORVEL_SERIAL_PORTS");
  }
};

QTEST_GUILESS_MAIN(tst_SerialPortList)
#include "tst_SerialPortList.moc"
