#include <QtTest>
#include <cstring>

#include "EWNet/Core/DynamicMessPool.h"
#include "EWNet/Core/Message.h"
#include "TestSupport.h"

class tst_Message : public QObject {
  Q_OBJECT
 private slots:
  void newMessageDefaults();
  void setLengthKeepsOrReplacesBuffer();
  void bigEndianAccessors();
  void appendersAndReaders();
  void appendStopsAtMaximumLength();
  void readersStopAtEndOfPayload();
  void copyCopiesHeaderAndPayload();
  void poolChoice_data();
  void poolChoice();
  void smallPoolGrowsAndReusesLastReturned();
  void messageReturnsToAnotherPool();
  void staticPoolReports();
  void staticPoolAtMaximumReturnsNull();
  void dynamicPoolCap();
  void reportLayout();
};

void tst_Message::newMessageDefaults() {
  cEWNetMessage m;
  QCOMPARE(m.mConnectionId, UWORD(0xFFFF));
  QCOMPARE(m.mDestination, EW_NET_DATA_SCALE(0xFFFF));
  QCOMPARE(m.mSource, EW_NET_DATA_SCALE(0xFFFF));
  QCOMPARE(m.mMethod, UWORD(0));
  QCOMPARE(m.mLength, EW_NET_DATA_SCALE(0));
  QCOMPARE(m.mCapacity, EW_NET_DATA_SCALE(0));
  QVERIFY(m.mData == nullptr);
}

void tst_Message::setLengthKeepsOrReplacesBuffer() {
  cEWNetMessage m(4);
  UBYTE* before = m.mData;
  m.SetULONG(0, 0xA1B2C3D4);
  m.SetLength(4);
  QCOMPARE(m.mData, before);
  QCOMPARE(m.GetULONG(0), ULONG(0xA1B2C3D4));
  m.SetLength(2);
  QCOMPARE(m.mCapacity, EW_NET_DATA_SCALE(4));
  QCOMPARE(m.mData, before);
  m.SetLength(5);
  QCOMPARE(m.mCapacity, EW_NET_DATA_SCALE(5));
  QCOMPARE(m.mLength, EW_NET_DATA_SCALE(5));
}

void tst_Message::bigEndianAccessors() {
  cEWNetMessage m(8);
  m.SetUWORD(0, 0x1234);
  QCOMPARE(m.GetUBYTE(0), UBYTE(0x12));
  QCOMPARE(m.GetUBYTE(1), UBYTE(0x34));
  m.SetULONG(2, 0x01020304);
  QCOMPARE(m.GetUBYTE(2), UBYTE(1));
  QCOMPARE(m.GetUBYTE(5), UBYTE(4));
  QCOMPARE(m.GetUWORD(0), UWORD(0x1234));
  QCOMPARE(m.GetULONG(2), ULONG(0x01020304));
}

void tst_Message::appendersAndReaders() {
  cEWNetMessage m;
  m.AppendUBYTE(0x7F);
  m.AppendUWORD(0xBEEF);
  m.AppendULONG(0xDEADBEEF);
  m.AppendString("name");
  const UBYTE raw[3] = {1, 2, 3};
  m.AppendBytes(raw, 3);
  QCOMPARE(m.mLength, EW_NET_DATA_SCALE(1 + 2 + 4 + 5 + 3));
  QCOMPARE(m.ReadUBYTE(), UBYTE(0x7F));
  QCOMPARE(m.ReadUWORD(), UWORD(0xBEEF));
  QCOMPARE(m.ReadULONG(), ULONG(0xDEADBEEF));
  QCOMPARE(QString(m.ReadString()), QString("name"));
  QCOMPARE(m.mReadPosition, EW_NET_DATA_SCALE(12));
  QCOMPARE(m.ReadUBYTE(), UBYTE(1));
}

void tst_Message::appendStopsAtMaximumLength() {
  cReportCapture reports;
  cEWNetMessage m;
  m.SetLength(65534);
  QVERIFY(m.SetMinAppendCapacity(1));
  QCOMPARE(reports.Count("exceeded maximum length"), 0);
  m.SetLength(65535);
  QVERIFY(!m.SetMinAppendCapacity(1));
  QCOMPARE(reports.Count("cEWNetMessage::SetMinAppendCapacity exceeded maximum length for single message"), 1);
  // The path is the reporting file's place below src/, without extension.
  QVERIFY2(reports.Lines().at(0).find("\t(file:///EWNet/Core/Message:") != std::string::npos,
           qPrintable(reports.Dump()));
  m.AppendULONG(7);  // refused, nothing written
  QCOMPARE(m.mLength, EW_NET_DATA_SCALE(65535));
  QCOMPARE(reports.Count("exceeded maximum length"), 2);
}

void tst_Message::readersStopAtEndOfPayload() {
  // A remote peer can send a payload shorter than the reader expects, or a
  // text without its terminating NUL.
  cEWNetMessage m;
  m.AppendUBYTE(0x41);
  m.AppendUBYTE(0x42);
  QCOMPARE(m.ReadULONG(), ULONG(0));
  QCOMPARE(m.mReadPosition, m.mLength);
  m.mReadPosition = 0;
  QCOMPARE(QString(m.ReadString()), QString());
  QCOMPARE(m.mReadPosition, m.mLength);
  QCOMPARE(m.ReadUBYTE(), UBYTE(0));
}

void tst_Message::copyCopiesHeaderAndPayload() {
  cEWNetMessage a;
  a.AppendString("abc");
  a.mConnectionId = 3;
  a.mDestination = 4;
  a.mSource = 5;
  a.mMethod = 4097;
  a.mReadPosition = 2;
  cEWNetMessage b(a);
  QCOMPARE(b.mReadPosition, EW_NET_DATA_SCALE(0));
  QCOMPARE(b.mMethod, UWORD(4097));
  QCOMPARE(QString(b.ReadString()), QString("abc"));
  cEWNetMessage c(2);
  c = a;
  QCOMPARE(c.mLength, EW_NET_DATA_SCALE(4));
  QCOMPARE(c.mSource, EW_NET_DATA_SCALE(5));
  QCOMPARE(c.mConnectionId, UWORD(3));
  QVERIFY(std::memcmp(c.mData, "abc", 4) == 0);
}

void tst_Message::poolChoice_data() {
  QTest::addColumn<int>("length");
  QTest::addColumn<QString>("pool");
  QTest::newRow("0") << 0 << "small";
  QTest::newRow("4") << 4 << "small";
  QTest::newRow("5") << 5 << "large";
  QTest::newRow("1280") << 1280 << "large";
  QTest::newRow("1281") << 1281 << "heap";
  QTest::newRow("65535") << 65535 << "heap";
}

void tst_Message::poolChoice() {
  QFETCH(int, length);
  QFETCH(QString, pool);
  cEWNetMessagePool pools;
  const ULONG smallFree = pools.Small().GetFreeCount();
  const ULONG largeFree = pools.Large().GetFreeCount();
  cEWNetMessage* m = pools.GetEWNetMessage(EW_NET_DATA_SCALE(length));
  QVERIFY(m != nullptr);
  QCOMPARE(pools.Small().GetFreeCount(), pool == "small" ? smallFree - 1 : smallFree);
  QCOMPARE(pools.Large().GetFreeCount(), pool == "large" ? largeFree - 1 : largeFree);
  QCOMPARE(pools.Heap().GetBytesHandedOut(), pool == "heap" ? ULONG(length) : ULONG(0));
  if (pool == "heap") QCOMPARE(m->mCapacity, EW_NET_DATA_SCALE(length));
  pools.ReturnEWNetMessage(m);
  QCOMPARE(pools.Small().GetFreeCount(), smallFree);
  QCOMPARE(pools.Large().GetFreeCount(), largeFree);
  QCOMPARE(pools.Heap().GetBytesHandedOut(), ULONG(0));
}

void tst_Message::smallPoolGrowsAndReusesLastReturned() {
  cEWNetMessagePool pools;
  std::vector<cEWNetMessage*> taken;
  for (int i = 0; i < 1001; ++i) taken.push_back(pools.GetEWNetMessage(4));
  QCOMPARE(pools.Small().GetCreatedCount(), ULONG(2000));
  QCOMPARE(pools.Small().GetFreeCount(), ULONG(999));
  cEWNetMessage* returned = taken[500];
  pools.ReturnEWNetMessage(returned);
  QCOMPARE(pools.GetEWNetMessage(2), returned);
  for (cEWNetMessage* m : taken) pools.ReturnEWNetMessage(m);
  QCOMPARE(pools.Small().GetFreeCount(), ULONG(2000));
}

void tst_Message::messageReturnsToAnotherPool() {
  cEWNetMessagePool pools;
  cEWNetMessage* large = pools.GetEWNetMessage(100);
  large->SetLength(3);  // a receiver shortened it
  const ULONG smallFree = pools.Small().GetFreeCount();
  pools.ReturnEWNetMessage(large);
  QCOMPARE(pools.Small().GetFreeCount(), smallFree + 1);
  // Whoever takes it next still gets room for what it assigns.
  cEWNetMessage* again = pools.GetEWNetMessage(4);
  QCOMPARE(again, large);
  cEWNetMessage big(3000);
  *again = big;
  QCOMPARE(again->mLength, EW_NET_DATA_SCALE(3000));
  QVERIFY(again->mCapacity >= 3000);
  pools.ReturnEWNetMessage(again);  // now heap-sized: freed by the heap pool
  QCOMPARE(pools.Small().GetFreeCount(), smallFree);
}

void tst_Message::staticPoolReports() {
  cReportCapture reports;
  { cStaticEWNetMessPool pool(4, 100, 250, 100); }
  QCOMPARE(reports.Count("GrowthIncrement set, but not a modulo of the Max! 50"), 1);
  { cStaticEWNetMessPool pool(4, 100, 200, 0); }
  QCOMPARE(reports.Count("No GrowthIncrement set, but Initial != Max, so growth expected!"), 1);
  { cStaticEWNetMessPool pool(4, 100, 300, 100); }
  QCOMPARE(int(reports.Lines().size()), 2);
}

void tst_Message::staticPoolAtMaximumReturnsNull() {
  cReportCapture reports;
  cStaticEWNetMessPool pool(4, 2, 3, 1);
  cEWNetMessage* a = pool.GetEWNetMessage();
  cEWNetMessage* b = pool.GetEWNetMessage();
  cEWNetMessage* c = pool.GetEWNetMessage();
  QVERIFY(a && b && c);
  QVERIFY(pool.GetEWNetMessage() == nullptr);
  QVERIFY(pool.GetEWNetMessage() == nullptr);
  QCOMPARE(reports.Count("Mess Pools Full"), 1);  // once while it stays dry
  pool.ReturnEWNetMessage(a);
  a = pool.GetEWNetMessage();
  QVERIFY(a != nullptr);
  QVERIFY(pool.GetEWNetMessage() == nullptr);
  QCOMPARE(reports.Count("Mess Pools Full"), 2);  // dry again
  pool.ReturnEWNetMessage(a);
  pool.ReturnEWNetMessage(b);
  pool.ReturnEWNetMessage(c);

  cStaticEWNetMessPool noGrowth(4, 1, 0, 0);
  cEWNetMessage* only = noGrowth.GetEWNetMessage();
  QVERIFY(noGrowth.GetEWNetMessage() == nullptr);
  QCOMPARE(reports.Count("Mess Pools Full"), 3);
  noGrowth.ReturnEWNetMessage(only);
}

void tst_Message::dynamicPoolCap() {
  cReportCapture reports;
  cDynamicEWNetMessPool heap(3000);
  cEWNetMessage* a = heap.GetEWNetMessage(2000);
  cEWNetMessage* b = heap.GetEWNetMessage(2000);  // under the cap when asked
  QVERIFY(a && b);
  QVERIFY(heap.GetEWNetMessage(1300) == nullptr);
  QCOMPARE(reports.Count("Heap Memory Cap Reached"), 1);
  heap.ReturnEWNetMessage(a);
  heap.ReturnEWNetMessage(b);
  QCOMPARE(heap.GetBytesHandedOut(), ULONG(0));
}

void tst_Message::reportLayout() {
  cReportCapture reports;
  const int line = __LINE__ + 1;
  EW_REPORT_ERROR("value %d", 42);
  EW_REPORT_NOTIFICATION("note");
  EW_SILENT_NOTIFICATION("never shown %d", 1);
  const auto lines = reports.Lines();
  QCOMPARE(int(lines.size()), 2);
  QCOMPARE(QString::fromStdString(lines[0]),
           QString("ERROR: value 42\t(file:///tests/EWNet/Core/tst_Message:%1:)").arg(line));
  QVERIFY(QString::fromStdString(lines[1]).startsWith("Notification: note\t(file:///tests/EWNet/Core/tst_Message:"));
  // The formatted text is cut at 512 bytes.
  reports.Clear();
  const std::string longText(2000, 'x');
  EW_REPORT_ERROR("%s", longText.c_str());
  const std::string only = reports.Lines().at(0);
  QCOMPARE(only.find("ERROR: "), size_t(0));
  QCOMPARE(only.find('\t') - 7, size_t(511));
}

QTEST_GUILESS_MAIN(tst_Message)
#include "tst_Message.moc"
