#include <QProcess>
#include <QTimer>
#include <QtTest>

#include "AES-Standards/Convert.h"
#include "EWNet/QT/TransportFixture.h"
#include "OrvelGUI/Config/RemoteCommand.h"
#include "OrvelGUI/Config/RemoteParameterFormat.h"
#include "TestSupport.h"

namespace {

struct sRun {
  int mResult;
  QString mOut;
  QString mErr;
};

sRun Remote(const QStringList& arguments) {
  QString out;
  QString err;
  QTextStream outStream(&out);
  QTextStream errStream(&err);
  const int result = RunRemoteCommand(arguments, outStream, errStream);
  outStream.flush();
  errStream.flush();
  return {result, out, err};
}

const char* const kStrip = "InOutFader:L Control Strip Unit2";
const char* const kMeter = "Metering Sources NetObject";

}  // namespace

class tst_RemoteCommand : public QObject {
  Q_OBJECT

 private slots:
  void knownParametersAreRecognisedByNameAndCode_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("method");
    QTest::addColumn<int>("kind");
    const auto row = [](const char* tag, const char* name, int method, eRemoteValueKind kind) {
      QTest::newRow(tag) << name << method << int(kind);
    };
    row("strip mute", "InOutFader:Input L Control Strip Unit", 4096, eRemoteValueKind::Switch);
    row("strip gain", kStrip, 4098, eRemoteValueKind::Gain);
    row("strip reserved", kStrip, 4099, eRemoteValueKind::Raw);
    row("high-pass frequency", "LMH 1:  HPF Unit", 4097, eRemoteValueKind::Frequency);
    row("low-pass slope", "LMH 2:  LPF Unit", 4098, eRemoteValueKind::Byte);
    row("delay", "LMH 3:  Delay Unit", 4097, eRemoteValueKind::Time);
    row("eq band 1 gain", "LMH 3: R Parametric EQ Unit", 4102 + 5, eRemoteValueKind::Gain);
    row("eq band 0 width", "LMH 3: L Parametric EQ Unit", 4101, eRemoteValueKind::Width);
    row("eq band range", "LMH 3: L Parametric EQ Unit", 4099, eRemoteValueKind::Raw);
    row("eq gang", "LMH 2:  Parametric EQ Gang", 4096, eRemoteValueKind::Switch);
    row("meter level 8", kMeter, 4104, eRemoteValueKind::MeterLevel);
    row("meter beyond", kMeter, 4105, eRemoteValueKind::Raw);
    row("other object", "Saves Manager NetObject", 4096, eRemoteValueKind::Raw);
  }
  void knownParametersAreRecognisedByNameAndCode() {
    QFETCH(QString, name);
    QFETCH(int, method);
    QFETCH(int, kind);
    QCOMPARE(int(RemoteValueKind(name, UWORD(method))), kind);
  }

  void valuesAreReadAndPrintedAsBytesAndMeanings() {
    QByteArray bytes;
    QString error;
    QVERIFY(ParseRemoteValue(eRemoteValueKind::Gain, "-6dB", bytes, error));
    QCOMPARE(bytes.toHex(), QByteArray("7a00"));
    QCOMPARE(FormatRemoteValue(eRemoteValueKind::Gain, bytes), QString("7a00  -6.00 dB"));
    QVERIFY(ParseRemoteValue(eRemoteValueKind::Gain, "-inf dB", bytes, error));
    QCOMPARE(FormatRemoteValue(eRemoteValueKind::Gain, bytes), QString("0000  -inf dB"));
    QVERIFY(ParseRemoteValue(eRemoteValueKind::Frequency, "8Hz", bytes, error));
    QCOMPARE(FormatRemoteValue(eRemoteValueKind::Frequency, bytes), QString("1200  8.0 Hz"));
    QVERIFY(ParseRemoteValue(eRemoteValueKind::Switch, "on", bytes, error));
    QCOMPARE(FormatRemoteValue(eRemoteValueKind::Switch, bytes), QString("01  on"));
    QVERIFY(ParseRemoteValue(eRemoteValueKind::Raw, "0x0a 0b", bytes, error));
    QCOMPARE(FormatRemoteValue(eRemoteValueKind::Raw, bytes), QString("0a0b"));
    // A meter level of 0 dB travels as 4608 and a 0 byte.
    QCOMPARE(FormatRemoteValue(eRemoteValueKind::MeterLevel, QByteArray::fromHex("120000")),
             QString("120000  0.00 dB"));
    QVERIFY(ParseRemoteValue(eRemoteValueKind::MeterLevel, "0dB", bytes, error));
    QCOMPARE(bytes.toHex(), QByteArray("120000"));
    // 1 ms falls on code 17874.45 (log10(1000) / (11/65536) + 1); the code below is sent.
    QVERIFY(ParseRemoteValue(eRemoteValueKind::Time, "1ms", bytes, error));
    QCOMPARE(bytes.toHex(), QByteArray("45d2"));
    // Short values are shown as bytes only; units that do not fit are refused.
    QCOMPARE(FormatRemoteValue(eRemoteValueKind::Gain, QByteArray(1, '\1')), QString("01"));
    QVERIFY(!ParseRemoteValue(eRemoteValueKind::Switch, "-6dB", bytes, error));
    QVERIFY(!ParseRemoteValue(eRemoteValueKind::Raw, "abc", bytes, error));
  }

  // Against an in-process program whose network holds objects named like the
  // units: find, set, get and watch over a real connection.
  void findSetGetAndWatchAgainstARunningNetwork() {
    cRunningTransport transport;
    auto strip = MakeObject<cRecordingObject>(kStrip, 4);
    auto meter = MakeObject<cRecordingObject>(kMeter, 9);
    meter->mForward = true;
    const QString host = QString("localhost:%1").arg(transport.Port());

    const sRun found = Remote({host, "find", kStrip});
    QCOMPARE(found.mResult, 0);
    QCOMPARE(found.mOut, QString("%1\n").arg(strip->GetHandle()));

    QCOMPARE(Remote({host, "set", kStrip, "2", "-6dB"}).mResult, 0);
    QVERIFY(WaitUntil([&] {
      for (const auto& r : ReceivedBy(*strip))
        if (r.mMethod == 4098 && r.mPayload == std::vector<UBYTE>{0x7a, 0x00}) return true;
      return false;
    }));
    const sRun got = Remote({host, "get", kStrip, "0x1002"});
    QCOMPARE(got.mResult, 0);
    QCOMPARE(got.mOut, QString("7a00  -6.00 dB\n"));
    // The link made for the reading is gone again.
    QVERIFY(WaitUntil([&] {
      cRegistryLocker lock;
      return strip->GetNumberOfInformListItems(4098) == 0;
    }));

    // The meter publishes while the watch runs, as the tick would.
    QTimer publisher;
    int level = -10 * 256;
    connect(&publisher, &QTimer::timeout, [&] {
      cEWNetMessage m(3);
      m.SetUWORD(0, UWORD(level + 4608));
      m.SetUBYTE(2, 0);
      m.mConnectionId = 0;
      m.mDestination = meter->GetHandle();
      m.mSource = 0xFFFF;
      m.mMethod = 4100;
      SendMessage(m);
      level += 256;
    });
    publisher.start(100);
    const sRun watched = Remote({host, "watch", kMeter, "4", "--seconds", "1"});
    publisher.stop();
    QCOMPARE(watched.mResult, 0);
    const QStringList lines = watched.mOut.split('\n', Qt::SkipEmptyParts);
    QVERIFY2(lines.size() >= 4, qPrintable(watched.mOut));
    QCOMPARE(lines.at(0), QString("0000"));  // the current value, as the object answers a new link
    QVERIFY2(watched.mOut.contains("080000  -10.00 dB"), qPrintable(watched.mOut));

    const sRun missing = Remote({host, "get", "No Such Object", "0"});
    QCOMPARE(missing.mResult, 1);
    QVERIFY(missing.mErr.contains("\"No Such Object\" not found"));
    QCOMPARE(Remote({host, "set", kStrip, "2"}).mResult, 2);
    QCOMPARE(Remote({host, "get", kStrip, "2", "--seconds", "1"}).mResult, 2);
    QCOMPARE(Remote({host, "set", kStrip, "2", "loud"}).mResult, 2);
    QCOMPARE(Remote({"127.0.0.1:" + QString::number(ClosedTcpPort()), "find", kStrip}).mResult, 1);
    QVERIFY(WaitUntil([&] { return transport.mManager->NumberOfConnections() == 0; }));
  }

  // The program itself, from another process, brings its own network up and
  // down around the command.
  void theCommandLineToolReadsAParameter() {
    cRunningTransport transport;
    auto strip = MakeObject<cRecordingObject>(kStrip, 4);
    {
      cRegistryLocker lock;
      strip->mValues[2] = GainToUWORD(3 * 256);
    }
    QProcess cli;
    cli.start(QString(ORVEL_BIN_DIR) + "/orvel-cli",
              {"remote", QString("127.0.0.1:%1").arg(transport.Port()), "get", kStrip, "2"});
    QVERIFY(WaitUntil([&] { return cli.state() == QProcess::NotRunning; }, 20000));
    QCOMPARE(cli.exitCode(), 0);
    QCOMPARE(QString::fromLatin1(cli.readAllStandardOutput()), QString("8300  3.00 dB\n"));
  }

  // A program that does not let this machine in says so, and the tool tells
  // its user which setting that is, failing.
  void aRefusingProgramIsNamed() {
    cRunningTransport transport;
    transport.mManager->SetAllowedPeers(cPeerAllowList::Parse("127.0.0.2"), "network/allow");
    auto strip = MakeObject<cRecordingObject>(kStrip, 4);
    const QString host = QString("127.0.0.1:%1").arg(transport.Port());
    QProcess cli;
    cli.start(QString(ORVEL_BIN_DIR) + "/orvel-cli", {"remote", host, "set", kStrip, "2", "-6dB"});
    QVERIFY(WaitUntil([&] { return cli.state() == QProcess::NotRunning; }, 20000));
    QCOMPARE(cli.exitCode(), 1);
    const QString err = QString::fromLatin1(cli.readAllStandardError());
    QVERIFY2(err.contains("orvel-cli: the program at " + host +
                          " refused the connection: this machine is not in its allowed peers (network/allow"),
             qPrintable(err));
    QVERIFY(!HasReceived(*strip, 4098));
  }
};

QTEST_GUILESS_MAIN(tst_RemoteCommand)
#include "tst_RemoteCommand.moc"
