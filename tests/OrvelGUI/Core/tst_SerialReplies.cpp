// The reading of the processor's replies without a port: bytes in, replies
// and reply areas out, as the line delivers them (split anywhere, noise,
// impossible lengths); and the delivery ledger that tells whether the
// processor holds what it was offered.

#include <QRandomGenerator>
#include <QtTest>

#include "DevSim/SimFixture.h"
#include "OrvelGUI/Core/DeliveryLedger.h"
#include "OrvelGUI/Core/SerialReplyAreas.h"
#include "TestSupport.h"

namespace {

QByteArray Reply(int type, const QByteArray& payload) {
  QByteArray bytes = Hex("a5a500");
  bytes += char(type);
  const quint32 length = quint32(payload.size());
  for (int i = 0; i < 4; ++i) bytes += char((length >> (8 * i)) & 0xFF);
  return bytes + payload;
}

QByteArray Meters(quint32 first) {
  QByteArray payload(32, '\0');
  for (int i = 0; i < 4; ++i) payload[i] = char((first >> (8 * i)) & 0xFF);
  return Reply(4, payload);
}

// A stream holding one of every reply the link uses, with acknowledgements
// of all three commands.
QByteArray Conversation() {
  QByteArray strips(48, '\0');
  strips[2] = '\x0d';
  strips[3] = '\x0a';  // strip 0 gain 0x0A0D
  QByteArray delays(24, '\0');
  delays[20] = '\x11';  // delay 5
  QByteArray record(12, '\0');
  record[0] = '\x34';
  record[1] = '\x12';
  return Reply(0, Hex("0104")) + Reply(2, {}) + Reply(6, {}) + Reply(8, {}) + Meters(0x40000000) + Reply(7, strips) +
         Reply(9, delays) + Reply(3, record);
}

struct sRead {
  cSerialReplyParser mParser;
  cSerialReplyAreas mAreas;
  cSerialReplyAreas::sReplyCounts mCounts;

  void Feed(const QByteArray& bytes) {
    mCounts.Add(mAreas.ReadAll(mParser, reinterpret_cast<const UBYTE*>(bytes.constData()), std::size_t(bytes.size())));
  }
};

void ExpectConversationRead(const sRead& r) {
  QCOMPARE(r.mAreas.mVersion, QString("V1.4"));
  QCOMPARE(r.mCounts.mFilterAcks, 1);
  QCOMPARE(r.mCounts.mStripAcks, 1);
  QCOMPARE(r.mCounts.mDelayAcks, 1);
  QCOMPARE(r.mAreas.mMeters[0], 0x40000000u);
  QCOMPARE(int(UWORD(r.mAreas.mStrips[0].mGain)), 0x0A0D);
  QVERIFY(r.mAreas.mStripsReceived && r.mAreas.mDelaysReceived);
  QCOMPARE(r.mAreas.mDelays[5], 0x11);
  QCOMPARE(r.mAreas.mRecordCount, 1);
  QCOMPARE(int(r.mAreas.mRecords[0].mFrequency), 0x1234);
}

}  // namespace

class tst_SerialReplies : public QObject {
  Q_OBJECT

 private slots:
  // However the line cuts the stream, every reply is read once, in order.
  void splitAnywhere_data() {
    QTest::addColumn<int>("chunk");
    for (int chunk : {1, 2, 3, 7, 8, 9, 55, 600}) QTest::newRow(qPrintable(QString::number(chunk))) << chunk;
  }
  void splitAnywhere() {
    QFETCH(int, chunk);
    const QByteArray stream = Conversation();
    sRead r;
    for (int at = 0; at < stream.size(); at += chunk) r.Feed(stream.mid(at, chunk));
    QCOMPARE(r.mCounts.mReplies, 8);
    ExpectConversationRead(r);
    QCOMPARE(r.mParser.Buffered(), std::size_t(0));
    QCOMPARE(r.mParser.SkippedBytes(), std::size_t(0));
  }

  // Noise, lying headers, cut-off replies and unknown types around the
  // replies: the replies are still found, nothing else is taken for one.
  void hostileStream_data() {
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("report");
    QTest::newRow("noise") << Hex("00a50a0da5a501111303ff1a7fa5") << "";
    QTest::newRow("largest length") << Hex("a5a50004ffffffff") << "4294967295 payload bytes";
    QTest::newRow("one past the largest reply")
        << Hex("a5a5000431000000") + QByteArray(49, '\x11') << "49 payload bytes";
    QTest::newRow("a reply cut off") << Reply(0, Hex("0907")).left(6) << "payload bytes";
    QTest::newRow("unknown types") << Reply(5, Hex("01020304")) + Reply(10, {}) << "";
    QTest::newRow("too short meters") << Reply(4, Hex("01020304")) << "too short";
    QTest::newRow("header near-misses") << Hex("a5a501a5a5a5ffa5") << "";
  }
  void hostileStream() {
    QFETCH(QByteArray, before);
    QFETCH(QString, report);
    cReportCapture reports;
    sRead r;
    r.Feed(before);
    r.Feed(Conversation());
    ExpectConversationRead(r);
    QCOMPARE(r.mParser.Buffered(), std::size_t(0));
    if (!report.isEmpty()) QVERIFY2(reports.Contains(report.toStdString()), qPrintable(reports.Dump()));
  }

  // A flood of many replies at once (more than the parser holds) is read
  // whole: a busy processor's replies are not left behind.
  void manyRepliesAtOnce() {
    QByteArray flood;
    for (int i = 0; i < 400; ++i) flood += Reply(2, {}) + Reply(6, {}) + Reply(8, {}) + Meters(quint32(i));
    QVERIFY(flood.size() > int(cSerialReplyParser::kCapacity) * 10);
    sRead r;
    r.Feed(flood);
    QCOMPARE(r.mCounts.mReplies, 1600);
    QCOMPARE(r.mCounts.mFilterAcks + r.mCounts.mStripAcks + r.mCounts.mDelayAcks, 1200);
    QCOMPARE(r.mAreas.mMeters[0], 399u);
  }

  // Any reply the processor sends shows it is alive; a reply of the wrong
  // length or an unknown type does not.
  void answersResetTheMissCount() {
    sRead r;
    r.mAreas.mMissCount = 9;
    r.Feed(Reply(5, {}) + Reply(4, Hex("0102")));
    QCOMPARE(int(r.mAreas.mMissCount), 9);
    r.Feed(Reply(6, {}));
    QCOMPARE(int(r.mAreas.mMissCount), 0);
    // Records beyond the 36th are ignored.
    for (int i = 0; i < 40; ++i) r.Feed(Reply(3, QByteArray(12, char(i))));
    QCOMPARE(r.mAreas.mRecordCount, 36);
    QCOMPARE(int(r.mAreas.mRecords[35].mWidth), 0x2323);
  }

  // Random bytes, with real replies between them: never more buffered than
  // a reply can hold, and the real replies that follow still read.
  void randomBytes() {
    QRandomGenerator random(1234);
    cReportCapture reports;
    sRead r;
    for (int round = 0; round < 200; ++round) {
      QByteArray junk(int(random.bounded(300)), '\0');
      for (char& byte : junk) byte = char(random.bounded(4) == 0 ? 0xA5 : random.bounded(256));
      r.Feed(junk);
      QVERIFY(r.mParser.Buffered() < cSerialReplyParser::kHeaderSize + sSerialReply::kMaxPayload);
    }
    // Whatever the junk left waiting for its payload is completed by at
    // most one reply's worth of bytes; then a real reply reads.
    r.Feed(QByteArray(int(cSerialReplyParser::kHeaderSize + sSerialReply::kMaxPayload), '\0'));
    r.Feed(Reply(0, Hex("0203")));
    QCOMPARE(r.mAreas.mVersion, QString("V2.3"));
  }

  // The ledger: a mark is delivered once all it names is written and
  // acknowledged, in its own session only.
  void deliveryLedger() {
    cDeliveryLedger ledger;
    const auto offer = [&](bool replaced = false) {
      const std::uint64_t sequence = ledger.NextSequence();
      ledger.Offered(replaced);
      return sequence;
    };
    ledger.StartSession();
    const std::uint64_t a = offer();
    const std::uint64_t b = offer();
    offer(true);  // replaced b's value where it waits
    const cDeliveryLedger::sMark mark = ledger.Mark();
    QCOMPARE(ledger.StatusOf(mark, a), cDeliveryLedger::PENDING);
    ledger.Written(cDeliveryLedger::FILTER, a);
    QCOMPARE(ledger.StatusOf(mark, b), cDeliveryLedger::PENDING);
    ledger.Written(cDeliveryLedger::DELAY, b);
    QCOMPARE(ledger.StatusOf(mark, UINT64_MAX), cDeliveryLedger::PENDING);
    ledger.Acknowledged(cDeliveryLedger::FILTER, 1);
    ledger.Acknowledged(cDeliveryLedger::STRIP, 3);  // nothing of it waits: confirms nothing
    QCOMPARE(ledger.StatusOf(mark, UINT64_MAX), cDeliveryLedger::PENDING);
    ledger.Acknowledged(cDeliveryLedger::DELAY, 1);
    QCOMPARE(ledger.StatusOf(mark, UINT64_MAX), cDeliveryLedger::DELIVERED);
    QCOMPARE(ledger.Totals().mOffered, std::uint64_t(2));
    QCOMPARE(ledger.Totals().mWritten, std::uint64_t(2));
    QCOMPARE(ledger.Totals().mAcknowledged, std::uint64_t(2));

    // Written but the session ends before the acknowledgement: lost, also
    // once the next session has begun.
    const std::uint64_t c = offer();
    ledger.Written(cDeliveryLedger::STRIP, c);
    const cDeliveryLedger::sMark second = ledger.Mark();
    ledger.EndSession(4);
    QCOMPARE(ledger.StatusOf(second, UINT64_MAX), cDeliveryLedger::LOST);
    ledger.StartSession();
    QCOMPARE(ledger.StatusOf(second, UINT64_MAX), cDeliveryLedger::LOST);
    QCOMPARE(ledger.Totals().mDropped, std::uint64_t(4));
    QCOMPARE(ledger.Unconfirmed(), std::size_t(0));

    // A device that does not acknowledge: past kMaxUnconfirmed the oldest is
    // given up on, and a mark that names it can never be delivered.
    const cDeliveryLedger::sMark before = ledger.Mark();
    const std::uint64_t first = offer();
    ledger.Written(cDeliveryLedger::FILTER, first);
    const cDeliveryLedger::sMark third = ledger.Mark();
    for (std::size_t i = 0; i < cDeliveryLedger::kMaxUnconfirmed; ++i) ledger.Written(cDeliveryLedger::FILTER, offer());
    ledger.Acknowledged(cDeliveryLedger::FILTER, int(cDeliveryLedger::kMaxUnconfirmed));
    QCOMPARE(ledger.StatusOf(before, UINT64_MAX), cDeliveryLedger::DELIVERED);
    QCOMPARE(ledger.StatusOf(third, UINT64_MAX), cDeliveryLedger::LOST);
    QCOMPARE(ledger.StatusOf(ledger.Mark(), UINT64_MAX), cDeliveryLedger::LOST);
  }
};

QTEST_GUILESS_MAIN(tst_SerialReplies)
#include "tst_SerialReplies.moc"
