// The package's udev rule, read and run as udev would: its syntax, and what
// it does to the processor's port, to the processor itself and to the
// devices it must leave alone.

#include <QFile>
#include <QFileInfo>
#include <QtTest>

#include "OrvelGUI/Core/PortAliases.h"
#include "Packaging/UdevRules.h"

using namespace udevrules;

namespace {

const QString kRuleFile = QStringLiteral(ORVEL_SOURCE_DIR "/packaging/70-orvel.rules");

struct sUsbIdentity {
  QString mVendor;
  QString mProduct;
  QString mSerial;  // empty: the device reports none
};

// A ttyACM port as the cdc_acm driver makes it: the tty, its USB interface,
// the USB device.
sEvent PortEvent(const sUsbIdentity& usb, const QString& action = "add") {
  sEvent event;
  event.mAction = action;
  QMap<QString, QString> attributes{{"idVendor", usb.mVendor}, {"idProduct", usb.mProduct}};
  if (!usb.mSerial.isNull()) attributes["serial"] = usb.mSerial;
  event.mChain = {{"tty", "ttyACM0", {{"dev", "166:0"}}},
                  {"usb", "1-2:1.0", {{"bInterfaceClass", "02"}, {"bInterfaceNumber", "00"}}},
                  {"usb", "1-2", attributes},
                  {"usb", "usb1", {{"idVendor", "1d6b"}, {"idProduct", "0002"}}}};
  event.mProperties = {{"MAJOR", "166"}, {"MINOR", "0"}};
  // What earlier rules files gave the port (60-serial.rules its by-path
  // name); the rule adds to it and must not take it away.
  event.mTags = QStringList{"earlier"};
  event.mSymlinks = QStringList{"serial/by-path/pci-0000:00:14.0-usb-0:2:1.0"};
  return event;
}

// The USB device's own event.
sEvent DeviceEvent(const sUsbIdentity& usb) {
  sEvent event;
  event.mChain = {{"usb", "1-2", {{"idVendor", usb.mVendor}, {"idProduct", usb.mProduct}}},
                  {"usb", "usb1", {{"idVendor", "1d6b"}, {"idProduct", "0002"}}}};
  event.mProperties = {{"DEVTYPE", "usb_device"}, {"MAJOR", "189"}};
  return event;
}

}  // namespace

class tst_udev_rule : public QObject {
  Q_OBJECT

  std::vector<sRule> mRules;

 private slots:
  void initTestCase() {
    QFile file(kRuleFile);
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(kRuleFile));
    QString error;
    QVERIFY2(Parse(QString::fromUtf8(file.readAll()), mRules, error), qPrintable(error));
    QVERIFY(!mRules.empty());
  }

  // 73-seat-late.rules grants the access uaccess asks for, so the tag must
  // be set by a file that sorts before it.
  void runsBeforeTheSeatRules() {
    const QString name = QFileInfo(kRuleFile).fileName();
    bool ok = false;
    const int number = name.section('-', 0, 0).toInt(&ok);
    QVERIFY2(ok && number < 73, qPrintable(name));
  }

  // Faults udev reports in a rules file are found here too, so a broken rule
  // cannot pass as a good one.
  void faultsAreFound_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("fault");
    QTest::newRow("assignment to a match key") << R"(SUBSYSTEM="tty", TAG+="uaccess")"
                                               << "SUBSYSTEM does not take =";
    QTest::newRow("unquoted value") << R"(ATTRS{idVendor}==0483)"
                                    << "no KEY OPERATOR";
    QTest::newRow("match key without attribute") << R"(ENV=="1")"
                                                 << "ENV needs an attribute";
    QTest::newRow("unknown key") << R"(VENDOR=="0483")"
                                 << "unknown key VENDOR";
    QTest::newRow("no separator") << R"(TAG+="uaccess"SYMLINK+="x")"
                                  << "no separator";
    QTest::newRow("goto without label") << "GOTO=\"orvel_end\"\n"
                                        << "has no LABEL after it";
    QTest::newRow("goto backwards") << "LABEL=\"a\"\nGOTO=\"a\"\n"
                                    << "has no LABEL after it";
    QTest::newRow("unknown substitution") << R"(SYMLINK+="orvel-%z")"
                                          << "unknown substitution";
    QTest::newRow("unknown builtin") << R"(IMPORT{builtin}="usbid")"
                                     << "unknown builtin";
    QTest::newRow("bad fault in continued line") << "TAG+=\"uaccess\", \\\n  MODE:=0666"
                                                 << "line 1: no KEY";
  }
  void faultsAreFound() {
    QFETCH(QString, text);
    QFETCH(QString, fault);
    std::vector<sRule> rules;
    QString error;
    QVERIFY(!Parse(text, rules, error));
    QVERIFY2(error.contains(fault), qPrintable(error));
  }

  // The processor's port, by each product identifier, as sysfs spells them
  // (lower-case hex), with the serial number from 60-serial.rules or from
  // the rule's own usb_id import.
  void processorPort_data() {
    QTest::addColumn<QString>("product");
    QTest::addColumn<QString>("serial");
    QTest::addColumn<bool>("imported");
    QTest::addColumn<QString>("link");
    QTest::newRow("5740, serial already known") << "5740"
                                                << "206C38A35748" << true << "orvel-206C38A35748";
    QTest::newRow("a44b, serial imported here") << "a44b"
                                                << "206C38A35748" << false << "orvel-206C38A35748";
    QTest::newRow("serial made safe by usb_id") << "a44b"
                                                << " Orvel 7/B " << false << "orvel-Orvel_7_B";
    QTest::newRow("no serial: kernel name") << "5740" << QString() << false << "orvel-ttyACM0";
    QTest::newRow("empty serial: kernel name") << "a44b"
                                               << "" << false << "orvel-ttyACM0";
  }
  void processorPort() {
    QFETCH(QString, product);
    QFETCH(QString, serial);
    QFETCH(bool, imported);
    QFETCH(QString, link);
    sEvent event = PortEvent({"0483", product, serial});
    if (imported) event.mProperties["ID_SERIAL_SHORT"] = serial;
    const QStringList linksBefore = event.mSymlinks;
    Run(mRules, event);
    QCOMPARE(event.mTags, (QStringList{"earlier", "uaccess"}));
    QCOMPARE(event.mProperties.value("ID_MM_DEVICE_IGNORE"), QString("1"));
    QCOMPARE(event.mSymlinks, linksBefore + QStringList{link});
    // The name is one orvel-cli ports finds.
    QVERIFY(link.startsWith(QLatin1String(cPortAliases::kPrefix)));
  }

  // STMicroelectronics' vendor identifier is on many devices; only the
  // processor's products are touched, and nothing on removal.
  void otherDevicesLeftAlone_data() {
    QTest::addColumn<QString>("vendor");
    QTest::addColumn<QString>("product");
    QTest::addColumn<QString>("action");
    QTest::newRow("other product of the vendor") << "0483"
                                                 << "374b"
                                                 << "add";
    QTest::newRow("neighbouring product") << "0483"
                                          << "5741"
                                          << "add";
    QTest::newRow("other vendor, same product") << "2341"
                                                << "5740"
                                                << "add";
    QTest::newRow("upper-case hex is not what sysfs says") << "0483"
                                                           << "A44B"
                                                           << "add";
    QTest::newRow("the processor, removed") << "0483"
                                            << "5740"
                                            << "remove";
  }
  void otherDevicesLeftAlone() {
    QFETCH(QString, vendor);
    QFETCH(QString, product);
    QFETCH(QString, action);
    sEvent event = PortEvent({vendor, product, "1234"}, action);
    const sEvent before = event;
    Run(mRules, event);
    QCOMPARE(event.mTags, before.mTags);
    QCOMPARE(event.mSymlinks, before.mSymlinks);
    QCOMPARE(event.mProperties, before.mProperties);
  }

  // ModemManager looks at the USB device too: it is marked there, and gets
  // no access tag or name of its own.
  void processorDevice() {
    for (const char* product : {"5740", "a44b"}) {
      sEvent event = DeviceEvent({"0483", product, QString()});
      Run(mRules, event);
      QCOMPARE(event.mProperties.value("ID_MM_DEVICE_IGNORE"), QString("1"));
      QCOMPARE(event.mTags, QStringList());
      QCOMPARE(event.mSymlinks, QStringList());
    }
    sEvent other = DeviceEvent({"0483", "3748", QString()});
    Run(mRules, other);
    QVERIFY(!other.mProperties.contains("ID_MM_DEVICE_IGNORE"));
  }
};

QTEST_GUILESS_MAIN(tst_udev_rule)
#include "tst_udev_rule.moc"
