#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <cstdint>
#include <cstring>

#include "Common/FileSupport.h"
#include "Common/Qt/NonVolatileStorageManager.h"
#include "TestSupport.h"

namespace {

constexpr qint64 kSize = 4096;

QByteArray Pattern(qint64 size) {
  QByteArray bytes(static_cast<int>(size), '\0');
  for (int i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 + 3);
  return bytes;
}

QByteArray Region(const cNonVolatileStorageManager& storage) {
  return QByteArray(reinterpret_cast<const char*>(storage.GetStartAddress()), static_cast<int>(storage.GetSize()));
}

}  // namespace

class tst_NonVolatileStorageManager : public QObject {
  Q_OBJECT

 private slots:
  void init() { QVERIFY(mDir.isValid()); }

  void existingFileOpened_data() {
    QTest::addColumn<qint64>("fileSize");
    QTest::addColumn<bool>("clearOnOpen");
    QTest::addColumn<bool>("keepsContents");
    QTest::addColumn<qint64>("sizeAfter");
    QTest::newRow("exact size kept") << kSize << false << true << kSize;
    QTest::newRow("exact size cleared on request") << kSize << true << false << kSize;
    QTest::newRow("longer file mapped, not shortened") << kSize + 100 << false << true << kSize + 100;
    QTest::newRow("one byte short resized and zeroed") << kSize - 1 << false << false << kSize;
    QTest::newRow("empty file sized and zeroed") << qint64(0) << false << false << kSize;
  }
  void existingFileOpened() {
    QFETCH(qint64, fileSize);
    QFETCH(bool, clearOnOpen);
    QFETCH(bool, keepsContents);
    QFETCH(qint64, sizeAfter);
    const QString path = mDir.filePath(QTest::currentDataTag());
    const QByteArray contents = Pattern(fileSize);
    QVERIFY(WriteAll(path, contents));
    cReportCapture reports;
    {
      cNonVolatileStorageManager storage(path, kSize, clearOnOpen, false);
      QVERIFY(storage.HasRegion());
      const QByteArray expected = keepsContents ? contents.left(int(kSize)) : QByteArray(int(kSize), '\0');
      QCOMPARE(Region(storage), expected);
    }
    QVERIFY2(reports.Lines().empty(), qPrintable(reports.Dump()));
    QCOMPARE(QFileInfo(path).size(), sizeAfter);
  }

  void missingFileCreatedWithFolders() {
    const QString path = mDir.filePath("a/b/c/NonVolatileRamFile");
    cReportCapture reports;
    {
      cNonVolatileStorageManager storage(path, kSize, false, false);
      QVERIFY(storage.HasRegion());
      QCOMPARE(Region(storage), QByteArray(int(kSize), '\0'));
    }
    QVERIFY2(reports.Lines().empty(), qPrintable(reports.Dump()));
    QCOMPARE(QFileInfo(path).size(), kSize);
  }

  // What the slots hold at shutdown is there at the next start, and the
  // manager never deletes its file.
  void valuesSurviveRestart() {
    const QString path = mDir.filePath("persist");
    {
      cNonVolatileStorageManager storage(path, kSize, false, false);
      std::memcpy(storage.AllocateBBSRAM(5), "abcde", 5);
      std::memcpy(storage.AllocateBBSRAM(3), "xyz", 3);
    }
    QVERIFY(QFile::exists(path));
    cNonVolatileStorageManager storage(path, kSize, false, false);
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(storage.AllocateBBSRAM(8)), 8), QByteArray("abcdexyz"));
    storage.ClearAll();
    QCOMPARE(Region(storage), QByteArray(int(kSize), '\0'));
    QCOMPARE(storage.GetUsedBytes(), qint64(8));
  }

  void alignment_data() {
    QTest::addColumn<bool>("align");
    QTest::addColumn<qint64>("distance");
    QTest::newRow("aligned") << true << qint64(8);
    QTest::newRow("packed") << false << qint64(1);
  }
  void alignment() {
    QFETCH(bool, align);
    QFETCH(qint64, distance);
    cNonVolatileStorageManager storage(mDir.filePath(QTest::currentDataTag()), kSize, false, align);
    UBYTE* first = storage.AllocateBBSRAM(1);
    UBYTE* second = storage.AllocateBBSRAM(2);
    UBYTE* third = storage.AllocateBBSRAM(4);
    QCOMPARE(first, storage.GetStartAddress());
    QCOMPARE(qint64(second - first), distance);
    QCOMPARE(qint64(third - second), align ? qint64(8) : qint64(2));
    if (align) QCOMPARE(reinterpret_cast<std::uintptr_t>(third) % 8, std::uintptr_t(0));
  }

  void endOfRegion_data() {
    QTest::addColumn<bool>("align");
    QTest::addColumn<qint64>("firstSize");
    QTest::addColumn<qint64>("secondSize");
    QTest::addColumn<bool>("fits");
    QTest::newRow("ends exactly at the end") << false << qint64(100) << kSize - 100 << true;
    QTest::newRow("one byte past the end") << false << qint64(100) << kSize - 99 << false;
    QTest::newRow("aligned, ends exactly at the end") << true << qint64(1) << kSize - 8 << true;
    QTest::newRow("aligned, padding pushes it past") << true << qint64(1) << kSize - 7 << false;
    QTest::newRow("larger than the whole region") << false << qint64(0) << kSize + 1 << false;
  }
  void endOfRegion() {
    QFETCH(bool, align);
    QFETCH(qint64, firstSize);
    QFETCH(qint64, secondSize);
    QFETCH(bool, fits);
    cNonVolatileStorageManager storage(mDir.filePath(QTest::currentDataTag()), kSize, false, align);
    cReportCapture reports;
    storage.AllocateBBSRAM(size_t(firstSize));
    UBYTE* block = storage.AllocateBBSRAM(size_t(secondSize));
    QVERIFY(block != nullptr);
    QCOMPARE(storage.IsInRegion(block, size_t(secondSize)), fits);
    QCOMPARE(reports.Count("Alloccation out of range. Size = " + std::to_string(secondSize)), fits ? 0 : 1);
    QCOMPARE(reports.Count("mNextFreeAddress = "), fits ? 0 : 1);
    QCOMPARE(reports.Contains("mSizeOfSRAM = 1000"), !fits);
    // A block that did not fit is still usable memory of its own (the
    // sanitizer catches any write outside it).
    std::memset(block, 0x5A, size_t(secondSize));
    if (!fits) QCOMPARE(Region(storage).count('\x5A'), 0);
  }

  void blockMarkers_data() {
    QTest::addColumn<UWORD>("start");
    QTest::addColumn<UWORD>("end");
    QTest::addColumn<bool>("valid");
    QTest::newRow("both match") << UWORD(0x1234) << UWORD(0xBEEF) << true;
    QTest::newRow("end marker wrong") << UWORD(0x1234) << UWORD(0xBEEE) << false;
    QTest::newRow("start marker wrong") << UWORD(0x1235) << UWORD(0xBEEF) << false;
    QTest::newRow("both zero") << UWORD(0) << UWORD(0) << false;
  }
  void blockMarkers() {
    QFETCH(UWORD, start);
    QFETCH(UWORD, end);
    QFETCH(bool, valid);
    // Packed storage puts the markers on odd addresses.
    cNonVolatileStorageManager storage(mDir.filePath(QTest::currentDataTag()), kSize, false, false);
    storage.AllocateBBSRAM(1);
    UBYTE* startMarker = storage.AllocateBBSRAM(2);
    UBYTE* values = storage.AllocateBBSRAM(5);
    UBYTE* endMarker = storage.AllocateBBSRAM(2);
    UBYTE* after = storage.AllocateBBSRAM(1);
    std::memcpy(startMarker, &start, 2);
    std::memcpy(endMarker, &end, 2);
    std::memset(values, 0x77, 5);
    *after = 0x66;
    QCOMPARE(storage.CheckBlockMarkers(reinterpret_cast<UWORD*>(startMarker), 0x1234,
                                       reinterpret_cast<UWORD*>(endMarker), 0xBEEF),
             valid);
    const QByteArray expectedBlock =
        valid ? QByteArray(reinterpret_cast<const char*>(&start), 2) + QByteArray(5, '\x77') : QByteArray(7, '\0');
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(startMarker), 7), expectedBlock);
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(endMarker), 2),
             QByteArray(reinterpret_cast<const char*>(&end), 2));
    QCOMPARE(*after, UBYTE(0x66));
  }

  void withoutRegion_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<qint64>("size");
    QTest::addColumn<QString>("report");
    QTest::newRow("path is a folder") << "folder" << kSize << "Could not create SRAM File: ";
    QTest::newRow("path below a regular file") << "plain/NonVolatileRamFile" << kSize << "Could not create SRAM File: ";
    QTest::newRow("nothing to map") << "empty" << qint64(0) << "SRAM Mapping Failed";
  }
  void withoutRegion() {
    QFETCH(QString, name);
    QFETCH(qint64, size);
    QFETCH(QString, report);
    QVERIFY(QDir(mDir.path()).mkpath("folder"));
    QVERIFY(WriteAll(mDir.filePath("plain"), "x"));
    cReportCapture reports;
    cNonVolatileStorageManager storage(mDir.filePath(name), size, true, true);
    QVERIFY(!storage.HasRegion());
    QCOMPARE(reports.Count(report.toStdString()), 1);
    reports.Clear();
    // Units keep working on memory of their own; nothing outside it is touched.
    UBYTE* first = storage.AllocateBBSRAM(16);
    UBYTE* second = storage.AllocateBBSRAM(0);
    QVERIFY(first != nullptr && second != nullptr && first != second);
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(first), 16), QByteArray(16, '\0'));
    std::memset(first, 0xAB, 16);
    storage.ClearAll();
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(first), 16), QByteArray(16, '\0'));
    QVERIFY(!storage.IsInRegion(first, 1));
    QVERIFY2(reports.Lines().empty(), qPrintable(reports.Dump()));
  }

  // A file that cannot be grown to the region's size is not mapped: touching
  // the pages past its end would crash the program.
  void fileThatCannotGrow_data() {
    QTest::addColumn<qint64>("existing");
    QTest::newRow("new file") << qint64(-1);
    QTest::newRow("short file") << kSize / 4;
  }
  void fileThatCannotGrow() {
    QFETCH(qint64, existing);
    const QString path = mDir.filePath(QTest::currentDataTag());
    if (existing >= 0) QVERIFY(WriteAll(path, Pattern(existing)));
    cReportCapture reports;
    {
      cFileSizeLimit limit(kSize / 2);
      cNonVolatileStorageManager storage(path, kSize, false, false);
      QVERIFY(!storage.HasRegion());
      QCOMPARE(reports.Count("SRAM Mapping Failed"), 1);
      UBYTE* block = storage.AllocateBBSRAM(std::size_t(kSize));
      std::memset(block, 0x5A, std::size_t(kSize));
      storage.ClearAll();
      QCOMPARE(QByteArray(reinterpret_cast<const char*>(block), int(kSize)), QByteArray(int(kSize), '\0'));
    }
    QVERIFY(QFileInfo(path).size() < kSize);
  }

 private:
  QTemporaryDir mDir;
};

QTEST_GUILESS_MAIN(tst_NonVolatileStorageManager)
#include "tst_NonVolatileStorageManager.moc"
