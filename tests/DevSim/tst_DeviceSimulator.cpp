// The simulator on its pseudo-terminal, seen from the program's side with
// plain file operations: no serial-port library settles the line for it.

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

#include "DevSim/SimFixture.h"

using namespace devsim;

namespace {

// The program's end of the line, opened as it is left by the simulator.
class cHostEnd {
 public:
  explicit cHostEnd(const std::string& path) : mFd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK)) {}
  ~cHostEnd() {
    if (mFd >= 0) ::close(mFd);
  }
  cHostEnd(const cHostEnd&) = delete;
  cHostEnd& operator=(const cHostEnd&) = delete;

  bool IsOpen() const { return mFd >= 0; }
  bool Write(const QByteArray& bytes) {
    return ::write(mFd, bytes.constData(), std::size_t(bytes.size())) == bytes.size();
  }
  // Reads until `count` bytes are in, the data ends with `until`, or
  // `timeoutMs` passes; `largestRead` tells how the bytes came.
  QByteArray Read(int count, int timeoutMs, int* largestRead = nullptr, const QByteArray& until = QByteArray()) {
    QByteArray data;
    QElapsedTimer timer;
    timer.start();
    while (data.size() < count && (until.isEmpty() || !data.endsWith(until)) && timer.elapsed() < timeoutMs) {
      pollfd pfd{mFd, POLLIN, 0};
      if (::poll(&pfd, 1, 20) <= 0) continue;
      char buffer[256];
      const ssize_t n = ::read(mFd, buffer, sizeof buffer);
      if (n <= 0) break;
      if (largestRead != nullptr) *largestRead = std::max(*largestRead, int(n));
      data.append(buffer, int(n));
    }
    return data;
  }
  short Poll() {
    pollfd pfd{mFd, POLLIN, 0};
    ::poll(&pfd, 1, 100);
    return pfd.revents;
  }

 private:
  int mFd;
};

}  // namespace

class tst_DeviceSimulator : public QObject {
  Q_OBJECT

 private slots:
  void bytesPassUnchanged() {
    auto device = StartSimulator({13, 10, {}, {}, {}});
    QVERIFY(device);
    cHostEnd host(device->DevicePath());
    QVERIFY(host.IsOpen());
    // Every byte a cooked terminal would map, swallow or act on: LF, CR,
    // XON, XOFF, ^C, ^Z, ^D, DEL, ^\.
    QVERIFY(
        host.Write(Hex("a5a5000614000000"
                       "00000000"
                       "0a0d1113"
                       "031a047f"
                       "1c000000"
                       "0d000000")));
    QVERIFY(
        host.Write(Hex("a5a5000808000000"
                       "01000000"
                       "130a110d")));
    QVERIFY(
        host.Write(Hex("a5a5000000000000"
                       "a5a5000700000000"
                       "a5a5000900000000")));
    const QByteArray expected = Hex("a5a5000600000000"
                                    "a5a5000800000000"
                                    "a5a50000020000000d0a") +
                                Hex("a5a5000730000000") +
                                Hex("0d00"
                                    "031a"
                                    "1c00") +
                                QByteArray(42, '\0') + Hex("a5a5000918000000") + QByteArray(4, '\0') + Hex("130a110d") +
                                QByteArray(16, '\0');
    QCOMPARE(host.Read(expected.size(), 3000).toHex(), expected.toHex());
    QCOMPARE(device->Model().Strips()[0].mLinear, std::int32_t(0x13110D0A));
    QCOMPARE(device->Model().Strips()[0].mGainWord, std::uint16_t(0x1A03));
    QCOMPARE(device->DiscardedBytes(), std::size_t(0));
  }

  void surviveTheProgramClosingThePort() {
    auto device = StartSimulator();
    QVERIFY(device);
    for (char round = 1; round <= 3; ++round) {
      cHostEnd host(device->DevicePath());
      QVERIFY(host.IsOpen());
      // Each round stores a different delay and reads it back, so a reply
      // left over from an earlier round cannot pass for this one's.
      QVERIFY(host.Write(Hex("a5a5000808000000"
                             "00000000") +
                         QByteArray(1, round) + QByteArray(3, '\0') + Hex("a5a5000900000000")));
      const QByteArray expected = Hex("a5a5000918000000") + QByteArray(1, round) + QByteArray(23, '\0');
      QVERIFY(host.Read(1000, 3000, nullptr, expected).endsWith(expected));
      // Leave a reply unread on the way out.
      QVERIFY(host.Write(Hex("a5a5000900000000")));
      QVERIFY(device->WaitForReceived(std::size_t(3 * round), 2000));
    }
    QVERIFY(!device->HasHungUp());
  }

  // A processor set up before it was started answers the read-back with
  // that set-up; on request it spoils one filter record and one strip.
  void startsFromItsSetUpAndSpoilsOnRequest() {
    sSimulatorOptions options;
    options.mInitialCommands = {{CMD_DELAY, {3, 0, 0, 0, 77, 0, 0, 0}},
                                {CMD_STRIP, {1, 0, 0, 0, 9, 0, 0, 0, 0x00, 0xF4, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0}}};
    auto device = StartSimulator(options);
    QVERIFY(device);
    QCOMPARE(device->ReceivedCount(), std::size_t(0));
    QCOMPARE(device->Model().Delays()[3], 77);
    cHostEnd host(device->DevicePath());
    QVERIFY(host.IsOpen());
    QVERIFY(host.Write(Hex("a5a5000900000000")));
    const QByteArray delays = host.Read(8 + 24, 3000);
    QCOMPARE(delays.mid(8 + 12, 4).toHex(), QByteArray("4d000000"));

    sFaultModes faults;
    faults.mImplausibleRecords = true;
    device->SetFaults(faults);
    QVERIFY(host.Write(Hex("a5a5000700000000")));
    const QByteArray strips = host.Read(8 + 48, 3000);
    QCOMPARE(strips.mid(8 + 6 * kSpoiltStrip, 6).toHex(), QByteArray("000000500000"));  // +80 dB
    QCOMPARE(strips.mid(8 + 6, 6).toHex(), QByteArray("010000f40000"));                 // as set up
    QVERIFY(host.Write(Hex("a5a5000300000000")));
    const QByteArray records = host.Read(36 * 20, 3000);
    QCOMPARE(records.size(), 36 * 20);
    for (int r = 0; r < 36; ++r) {
      QCOMPARE(int(std::uint8_t(records.at(20 * r + 8 + 11))), r == kSpoiltFilterRecord ? 1 : 0);
    }
  }

  void symbolicLink() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const std::string link = dir.filePath("ttyORV0").toStdString();
    QVERIFY(::symlink("/nonexistent-orvel-target", link.c_str()) == 0);  // stale, from an earlier run
    {
      auto device = StartSimulator({1, 4, link, {}, {}});
      QVERIFY(device);
      QCOMPARE(device->DevicePath(), link);
      QCOMPARE(QFileInfo(QString::fromStdString(link)).symLinkTarget(), QString::fromStdString(device->SlavePath()));
      cHostEnd host(link);
      QVERIFY(host.IsOpen());
    }
    QVERIFY(!QFileInfo::exists(QString::fromStdString(link)));

    const QString plain = dir.filePath("not-a-link");
    QFile file(plain);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    cDeviceSimulator refused({1, 4, plain.toStdString(), {}, {}});
    std::string error;
    QVERIFY(!refused.Start(error));
    QVERIFY(error.find("not a symbolic link") != std::string::npos);
    QVERIFY(QFileInfo(plain).isFile());
  }

  void faultModesOnTheLine_data() {
    QTest::addColumn<QString>("mode");
    QTest::newRow("garbage") << "garbage";
    QTest::newRow("oversize") << "oversize";
    QTest::newRow("unknown types") << "unknown";
    QTest::newRow("single bytes") << "split";
    QTest::newRow("no reply") << "silent";
  }
  void faultModesOnTheLine() {
    QFETCH(QString, mode);
    sFaultModes faults;
    faults.mGarbage = mode == "garbage";
    faults.mOversize = mode == "oversize";
    faults.mUnknownTypes = mode == "unknown";
    faults.mSplitBytes = mode == "split";
    faults.mSplitPauseMs = 5;
    faults.mNoReply = mode == "silent";
    auto device = StartSimulator({1, 4, {}, {}, faults});
    QVERIFY(device);
    cHostEnd host(device->DevicePath());
    QVERIFY(host.Write(Hex("a5a5000000000000")));
    const QByteArray version = Hex("a5a50000020000000104");
    int largestRead = 0;
    const QByteArray got = host.Read(version.size() + 64, mode == "silent" ? 300 : 2000, &largestRead, version);
    if (mode == "silent") {
      QVERIFY(got.isEmpty());
      QVERIFY(device->WaitForReceived(1, 1000));
      return;
    }
    QVERIFY2(got.endsWith(version), got.toHex().constData());
    const QByteArray before = got.left(got.size() - version.size());
    if (mode == "garbage") {
      QVERIFY(!before.isEmpty());
      QVERIFY(!before.contains(Hex("a5a500")));
    } else if (mode == "oversize") {
      QCOMPARE(before.left(4), Hex("a5a50000"));
      QVERIFY(devsim::ReadLE32(reinterpret_cast<const std::uint8_t*>(before.constData()) + 4) > 48);
    } else if (mode == "unknown") {
      QCOMPARE(before, Hex("a5a500050400000001020304"
                           "a5a5000a00000000"));
    } else {
      QVERIFY(before.isEmpty());
      QVERIFY2(largestRead <= 2, qPrintable(QString::number(largestRead)));
    }
  }

  void hangsUpAfterPackets() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString log = dir.filePath("log.jsonl");
    sFaultModes faults;
    faults.mHangUpAfter = 2;
    auto device = StartSimulator({1, 4, {}, log.toStdString(), faults});
    QVERIFY(device);
    cHostEnd host(device->DevicePath());
    QVERIFY(host.Write(Hex("a5a5000000000000")));
    QCOMPARE(host.Read(10, 2000), Hex("a5a50000020000000104"));
    QVERIFY(!device->HasHungUp());
    QVERIFY(host.Write(Hex("a5a5000400000000")));
    QVERIFY(device->WaitForHangUp(2000));
    QVERIFY(host.Poll() & POLLHUP);
    QFile file(log);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().trimmed().split('\n').last().contains("\"event\":\"hangup\""));
  }

  void packetLog() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString log = dir.filePath("log.jsonl");
    sFaultModes faults;
    faults.mGarbage = true;
    {
      auto device = StartSimulator({1, 4, {}, log.toStdString(), faults});
      QVERIFY(device);
      cHostEnd host(device->DevicePath());
      QVERIFY(
          host.Write(Hex("a5a5000221000000"
                         "03020000"
                         "01000000feffffff030000000400000005000000"
                         "3412"
                         "7856"
                         "00ff"
                         "05"
                         "02"
                         "81")));
      QVERIFY(host.Write(Hex("a5a5000000000000")));
      QVERIFY(host.Read(1, 2000).size() > 0);
      QVERIFY(device->WaitForReceived(2, 2000));
      QThread::msleep(50);
    }
    QFile file(log);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QList<QJsonObject> lines;
    for (const QByteArray& line : file.readAll().split('\n')) {
      if (line.isEmpty()) continue;
      QJsonParseError error{};
      lines << QJsonDocument::fromJson(line, &error).object();
      QVERIFY2(error.error == QJsonParseError::NoError, line.constData());
    }
    QVERIFY(lines.size() >= 5);
    const QJsonObject filter = lines[0];
    QCOMPARE(filter["dir"].toString(), QString("rx"));
    QCOMPARE(filter["type"].toInt(), 2);
    QCOMPARE(filter["len"].toInt(), 33);
    QCOMPARE(filter["payload"].toString().left(8), QString("03020000"));
    const QJsonObject fields = filter["fields"].toObject();
    QCOMPARE(fields["record"].toInt(), 16);
    QCOMPARE(fields["coefficients"].toArray(), QJsonArray({1, -2, 3, 4, 5}));
    QCOMPARE(fields["frequency"].toInt(), 0x1234);
    QCOMPARE(fields["width"].toInt(), 0x5678);
    QCOMPARE(fields["gain"].toInt(), -256);
    QCOMPARE(fields["type"].toInt(), 5);
    QCOMPARE(fields["variant"].toInt(), 2);
    QCOMPARE(fields["flags"].toInt(), 0x81);
    QCOMPARE(lines[1]["fault"].toString(), QString("garbage"));
    QCOMPARE(lines[2]["dir"].toString(), QString("tx"));
    QCOMPARE(lines[2]["type"].toInt(), 2);
    QVERIFY(lines[0]["t"].toDouble() <= lines[2]["t"].toDouble());
    bool versionSeen = false;
    for (const QJsonObject& line : lines) {
      versionSeen = versionSeen || line["fields"].toObject()["version"].toString() == "V1.4";
    }
    QVERIFY(versionSeen);
  }
};

QTEST_GUILESS_MAIN(tst_DeviceSimulator)
#include "tst_DeviceSimulator.moc"
