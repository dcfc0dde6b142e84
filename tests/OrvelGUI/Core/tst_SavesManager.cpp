#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>
#include <QBuffer>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>
#include <cstring>
#include <memory>
#include <vector>

#include "Common/FileSupport.h"
#include "EWNet/Core/RegRoutr.h"
#include "EWNet/Core/Syscall.h"
#include "NetTestObjects.h"
#include "OrvelGUI/Core/AppPaths.h"
#include "OrvelGUI/Core/Blowfish.h"
#include "OrvelGUI/Core/SaveObject.h"
#include "OrvelGUI/Core/SavesManager.h"
#include "TestSupport.h"

namespace {

struct sValues {
  qint16 mA;
  qint32 mB;
  bool mC;
  bool operator==(const sValues& other) const { return mA == other.mA && mB == other.mB && mC == other.mC; }
};

// A save object with a fixed-size block: three typed fields and `extra` raw bytes.
class cRecordedSaveObject final : public cSaveObject {
 public:
  cRecordedSaveObject(const char* name, cSavesManager* manager, int extra, std::vector<std::string>* syncLog)
      : cSaveObject(name, manager), mValues{0, 0, false}, mExtra(extra, '\0'), mSyncLog(syncLog) {}

  void SaveData(QDataStream* stream) override {
    *stream << mValues.mA << mValues.mB << mValues.mC;
    stream->writeRawData(mExtra.constData(), mExtra.size());
  }
  void RecallData(QDataStream* stream) override {
    ++mRecalls;
    *stream >> mValues.mA >> mValues.mB >> mValues.mC;
    stream->readRawData(mExtra.data(), mExtra.size());
    if (mFaultOnRecall) NoteApplyFault();
  }
  void SyncData() override { mSyncLog->push_back(mName); }
  bool CheckData(QDataStream* stream, std::string& refusal) override {
    ++mChecks;
    if (!cSaveObject::CheckData(stream, refusal)) return false;
    refusal = mRefusal;
    return mRefusal.empty();
  }

  int BlockSize() const { return 7 + mExtra.size(); }

  sValues mValues;
  QByteArray mExtra;
  int mRecalls = 0;
  int mChecks = 0;
  std::string mRefusal;         // what the block check finds
  bool mFaultOnRecall = false;  // a design failed while applying
  std::vector<std::string>* mSyncLog;
};

// Overrides nothing: the base operations report.
class cBareSaveObject final : public cSaveObject {
 public:
  using cSaveObject::cSaveObject;
};

// The probe's parameter that sync-up answers are addressed to: one the manager
// does not have, so an answer on the source method is caught.
constexpr UWORD kSyncUpMethod = cSavesManager::kMethodSync + 1;

QByteArray Cipher(const QByteArray& input, bool encrypt) {
  QBuffer in;
  in.setData(input);
  in.open(QIODevice::ReadOnly);
  QBuffer out;
  out.open(QIODevice::WriteOnly);
  if (!cSavesManager::CipherData(&in, &out, encrypt)) return QByteArray("<cipher failed>");
  return out.data();
}

QByteArray EncipherWithKey(const QByteArray& plain, const QByteArray& key) {
  const cBlowfish cipher(reinterpret_cast<const UBYTE*>(key.constData()), std::size_t(key.size()));
  QByteArray blocks = ZeroPadded(plain);
  for (int i = 0; i < blocks.size(); i += 8) cipher.EncipherBlock(reinterpret_cast<UBYTE*>(blocks.data() + i));
  return blocks;
}

int RoundUp8(int size) { return (size + 7) / 8 * 8; }

// Keeps entries from being added to or removed from a folder while it lives;
// the files inside stay writable. Permissions alone do not stop a privileged
// user, so the folder is also made immutable where the file system allows it.
class cUnwritableFolder {
 public:
  explicit cUnwritableFolder(const QString& path) : mPath(path), mPermissions(QFile::permissions(path)) {
    QFile::setPermissions(path, QFile::ReadOwner | QFile::ExeOwner);
    mFolder = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY);
    int flags = 0;
    if (mFolder >= 0 && ::ioctl(mFolder, FS_IOC_GETFLAGS, &flags) == 0) {
      flags |= FS_IMMUTABLE_FL;
      mImmutable = ::ioctl(mFolder, FS_IOC_SETFLAGS, &flags) == 0;
    }
  }
  ~cUnwritableFolder() {
    int flags = 0;
    if (mImmutable && ::ioctl(mFolder, FS_IOC_GETFLAGS, &flags) == 0) {
      flags &= ~FS_IMMUTABLE_FL;
      ::ioctl(mFolder, FS_IOC_SETFLAGS, &flags);
    }
    if (mFolder >= 0) ::close(mFolder);
    QFile::setPermissions(mPath, mPermissions);
  }
  cUnwritableFolder(const cUnwritableFolder&) = delete;
  cUnwritableFolder& operator=(const cUnwritableFolder&) = delete;

  bool IsUnwritable() const {
    QFile probe(mPath + "/probe");
    if (!probe.open(QIODevice::WriteOnly)) return true;
    probe.remove();
    return false;
  }

 private:
  QString mPath;
  QFile::Permissions mPermissions;
  int mFolder = -1;
  bool mImmutable = false;
};

const sValues kSaved[] = {{1234, -7654321, true}, {-2, 0x7FFFFFFF, false}, {-32768, 1, true}};
const sValues kOther[] = {{11, 22, false}, {33, 44, true}, {55, 66, false}};

}  // namespace

class tst_SavesManager : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    mHome = std::make_unique<QTemporaryDir>();
    QVERIFY(mHome->isValid());
    qputenv("HOME", mHome->path().toLocal8Bit());
    StartEWNet(0, false);
    mManager = std::make_unique<cSavesManager>();
    mProbe = std::make_unique<cRecordingObject>("Saves Test Probe", 4);
    for (UWORD method = cSavesManager::kMethodSave; method <= cSavesManager::kMethodSync; ++method) {
      QVERIFY(mManager->AddObjectToInformList(0, mProbe->GetHandle(), method, method, 0, 0, true));
    }
    GetRegistryRouter()->DoWork();
  }

  void cleanup() {
    mObjects.clear();
    mBare.reset();
    mProbe.reset();
    mManager.reset();
    StopEWNet();
    mHome.reset();
  }

  void saveThenRecallRestoresEveryValue_data() {
    QTest::addColumn<QList<int>>("extras");
    QTest::addColumn<int>("plainLength");
    QTest::newRow("no objects") << QList<int>{} << 5;
    QTest::newRow("one object, padded") << QList<int>{0} << 12;
    QTest::newRow("one object, no padding block") << QList<int>{4} << 16;
    QTest::newRow("three objects") << QList<int>{0, 1, 20} << 47;
  }
  void saveThenRecallRestoresEveryValue() {
    QFETCH(QList<int>, extras);
    QFETCH(int, plainLength);
    for (int extra : extras) AddObject(extra);
    for (std::size_t i = 0; i < mObjects.size(); ++i) {
      mObjects[i]->mValues = kSaved[i];
      for (int b = 0; b < mObjects[i]->mExtra.size(); ++b) mObjects[i]->mExtra[b] = char(b + 10 * int(i) + 1);
    }
    const QString path = mHome->filePath("config.cfg");
    cReportCapture reports;
    QCOMPARE(Request(cSavesManager::kMethodSave, path), 1);
    const QByteArray file = ReadAll(path);
    QCOMPARE(file.size(), RoundUp8(plainLength));

    const QByteArray plain = Cipher(file, false);
    QCOMPARE(plain.left(3).toHex(), QByteArray("885b03"));
    QCOMPARE(plain.mid(plainLength - 2, 2).toHex(), QByteArray("c2ba"));
    QCOMPARE(plain.mid(plainLength), QByteArray(file.size() - plainLength, '\0'));
    int offset = 3;
    for (const auto& object : mObjects) {
      QByteArray block;
      QDataStream stream(&block, QIODevice::WriteOnly);
      stream.setVersion(19);
      object->SaveData(&stream);
      QCOMPARE(plain.mid(offset, block.size()).toHex(), block.toHex());
      offset += block.size();
    }

    const std::vector<QByteArray> savedExtras = Extras();
    for (std::size_t i = 0; i < mObjects.size(); ++i) {
      mObjects[i]->mValues = kOther[i];
      mObjects[i]->mExtra.fill('\x7F');
    }
    QCOMPARE(Request(cSavesManager::kMethodRecall, path), 1);
    for (std::size_t i = 0; i < mObjects.size(); ++i) {
      QVERIFY(mObjects[i]->mValues == kSaved[i]);
      QCOMPARE(mObjects[i]->mRecalls, 1);
    }
    QVERIFY(Extras() == savedExtras);
    QCOMPARE(SyncUp(cSavesManager::kMethodSave), 1);
    QCOMPARE(SyncUp(cSavesManager::kMethodRecall), 1);
    QVERIFY2(reports.Lines().empty(), qPrintable(reports.Dump()));
    // Nothing but the configuration is left in the folder.
    QCOMPARE(QDir(mHome->path()).entryList(QDir::Files), QStringList{"config.cfg"});
  }

  void requestsWithoutPath() {
    const QString root = mHome->path() + "/Tessmark/OrvelGUI-V1.00";
    QCOMPARE(orvelpaths::DataRoot(), root);
    QCOMPARE(orvelpaths::AppDataFolder(), root + "/AppData");
    QCOMPARE(orvelpaths::NonVolatileStorageFile(), root + "/AppData/NonVolatile/NonVolatileRamFile");
    QCOMPARE(orvelpaths::DefaultSaveFile(), root + "/SaveData/Save.cfg");
    QVERIFY2(QFileInfo(root + "/SaveData").isDir(), "the manager creates the save folder");

    cRecordedSaveObject* object = AddObject(0);
    const QString other = mHome->filePath("other.cfg");
    object->mValues = kSaved[0];
    QCOMPARE(Request(cSavesManager::kMethodSave, nullptr), 1);  // default file
    object->mValues = kSaved[1];
    QCOMPARE(Request(cSavesManager::kMethodSave, other), 1);
    QCOMPARE(Request(cSavesManager::kMethodRecall, nullptr), 1);  // default file
    QVERIFY(object->mValues == kSaved[0]);
    QCOMPARE(Request(cSavesManager::kMethodRecall, other), 1);
    QVERIFY(object->mValues == kSaved[1]);

    object->mValues = kSaved[2];
    QCOMPARE(Request(cSavesManager::kMethodSave, nullptr), 1);  // previous save path
    object->mValues = kOther[0];
    QCOMPARE(Request(cSavesManager::kMethodRecall, nullptr), 1);  // previous recall path
    QVERIFY(object->mValues == kSaved[2]);
    QCOMPARE(mManager->GetSaveFileName(), other);

    // An empty path is a failure and does not replace the previous one.
    cReportCapture reports;
    QCOMPARE(Request(cSavesManager::kMethodSave, ""), 0);
    QCOMPARE(reports.Count("Failed to open Save Stream!"), 1);
    QCOMPARE(mManager->GetSaveFileName(), other);
  }

  // The path is the payload up to its first NUL and never reaches beyond the
  // payload's length.
  void pathTakenFromPayloadLength_data() {
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QString>("fileName");
    QTest::newRow("terminated") << QByteArray("a.cfg", 6) << "a.cfg";
    QTest::newRow("unterminated") << QByteArray("b.cfg") << "b.cfg";
    QTest::newRow("text after the NUL") << QByteArray("c.cfg\0junk", 10) << "c.cfg";
    const QString accented = QString::fromUtf8("K\xC3\xBChlung \xC3\xA9t\xC3\xA9.cfg");
    QTest::newRow("local 8-bit encoding") << accented.toLocal8Bit() << accented;
  }
  void pathTakenFromPayloadLength() {
    QFETCH(QByteArray, payload);
    QFETCH(QString, fileName);
    if (QString::fromLocal8Bit(payload) != fileName && !payload.contains('\0')) {
      QSKIP("the file name cannot be written in this locale's 8-bit encoding");
    }
    AddObject(0)->mValues = kSaved[0];
    const QByteArray full = (mHome->path() + "/").toLocal8Bit() + payload;
    cEWNetMessage message;
    // Room beyond the payload that is not part of it.
    message.SetLength(EW_NET_DATA_SCALE(full.size() + 8));
    std::memset(message.mData, 'x', message.mLength);
    std::memcpy(message.mData, full.constData(), std::size_t(full.size()));
    message.SetLength(EW_NET_DATA_SCALE(full.size()));
    QCOMPARE(Send(cSavesManager::kMethodSave, message), 1);
    QCOMPARE(QDir(mHome->path()).entryList(QDir::Files), QStringList{fileName});
  }

  void badRecallChangesNothing_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QStringList>("expectedReports");
    const QString incompatible = "Save file error: incompatible file";
    const QString corruption = "Save file error: potential corruption";
    QTest::newRow("empty file") << "empty" << QStringList{incompatible};
    QTest::newRow("length not a multiple of 8")
        << "odd length"
        << QStringList{"Input file is incorrect size for decrpyting", "Decryption failed", incompatible};
    QTest::newRow("random bytes") << "random" << QStringList{incompatible};
    QTest::newRow("another key") << "other key" << QStringList{incompatible};
    QTest::newRow("wrong magic") << "magic" << QStringList{incompatible};
    QTest::newRow("wrong version") << "version" << QStringList{incompatible};
    QTest::newRow("truncated by one block") << "truncated" << QStringList{corruption};
    QTest::newRow("one block too many") << "extra" << QStringList{corruption};
    QTest::newRow("damaged end marker") << "end marker" << QStringList{corruption};
    QTest::newRow("padding not zero") << "padding" << QStringList{corruption};
    QTest::newRow("missing file") << "missing" << QStringList{"Failed to open Save Stream!"};
    QTest::newRow("path is a folder") << "folder" << QStringList{"Failed to open Save Stream!"};
  }
  void badRecallChangesNothing() {
    QFETCH(QString, kind);
    QFETCH(QStringList, expectedReports);
    AddObject(0);
    AddObject(3);
    mObjects[0]->mValues = kSaved[0];
    mObjects[1]->mValues = kSaved[1];
    const QString good = mHome->filePath("good.cfg");
    QCOMPARE(Request(cSavesManager::kMethodSave, good), 1);
    const QByteArray plain = Cipher(ReadAll(good), false);
    const int plainLength = 3 + 7 + 10 + 2;
    QCOMPARE(plain.size(), RoundUp8(plainLength));

    QByteArray bad;
    QByteArray changed = plain;
    if (kind == "odd length") bad = ReadAll(good) + "abc";
    if (kind == "random") {
      QRandomGenerator random(20240601);
      for (int i = 0; i < plain.size(); ++i) bad.append(char(random.bounded(256)));
    }
    if (kind == "other key") bad = EncipherWithKey(plain.left(plainLength), QByteArray(16, '\x5e'));
    if (kind == "magic") changed[1] = '\x5C';
    if (kind == "version") changed[2] = '\x02';
    if (kind == "truncated") bad = ReadAll(good).left(plain.size() - 8);
    if (kind == "extra") bad = ReadAll(good) + Cipher(QByteArray(8, '\0'), true);
    if (kind == "end marker") changed[plainLength - 1] = '\xBB';
    if (kind == "padding") changed[plain.size() - 1] = '\x01';
    if (changed != plain) bad = Cipher(changed, true);
    const QString path = kind == "folder" ? mHome->path() : mHome->filePath("bad.cfg");
    if (kind != "missing" && kind != "folder") QVERIFY(WriteAll(path, bad));

    mObjects[0]->mValues = kOther[0];
    mObjects[1]->mValues = kOther[1];
    cReportCapture reports;
    QCOMPARE(Request(cSavesManager::kMethodRecall, path), 0);
    QCOMPARE(mObjects[0]->mRecalls + mObjects[1]->mRecalls, 0);
    QVERIFY(mObjects[0]->mValues == kOther[0] && mObjects[1]->mValues == kOther[1]);
    QCOMPARE(int(reports.Lines().size()), expectedReports.size());
    for (const QString& text : expectedReports) {
      QVERIFY2(reports.Count("ERROR: " + text.toStdString() + "\t(file:///OrvelGUI/Core/SavesManager:") == 1,
               qPrintable(reports.Dump()));
    }
    QCOMPARE(SyncUp(cSavesManager::kMethodRecall), 0);

    // The manager is not left in a broken state.
    QCOMPARE(Request(cSavesManager::kMethodRecall, good), 1);
    QVERIFY(mObjects[0]->mValues == kSaved[0] && mObjects[1]->mValues == kSaved[1]);
    QCOMPARE(SyncUp(cSavesManager::kMethodRecall), 1);
  }

  // A file far larger than the frame is refused from its size and its first
  // block alone: with a file size limit far below it in force, deciphering it
  // into the temporary file would fail with write errors.
  void oversizedRecallRefusedUnread() {
    AddObject(0);
    mObjects[0]->mValues = kSaved[0];
    const QString good = mHome->filePath("good.cfg");
    QCOMPARE(Request(cSavesManager::kMethodSave, good), 1);
    const QString big = mHome->filePath("big.cfg");
    QVERIFY(WriteAll(big, ReadAll(good)));
    QFile grown(big);
    QVERIFY(grown.resize(qint64(256) << 20));  // sparse: nothing is written
    mObjects[0]->mValues = kOther[0];

    cFileSizeLimit limit(1 << 20);
    cReportCapture reports;
    QCOMPARE(Request(cSavesManager::kMethodRecall, big), 0);
    QCOMPARE(mObjects[0]->mRecalls, 0);
    QVERIFY(mObjects[0]->mValues == kOther[0]);
    QVERIFY2(reports.Lines().size() == 1 && reports.Contains("Save file error: potential corruption"),
             qPrintable(reports.Dump()));
  }

  void failedSaveKeepsPreviousFile_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("report");
    QTest::addColumn<int>("streamOk");
    QTest::newRow("folder is a regular file") << "below file"
                                              << "Failed to open Save Stream!" << 0;
    QTest::newRow("target is a folder") << "folder"
                                        << "Failed to open Save Stream!" << 0;
    // The streams were set up, so sync-up still reports the set-up as good.
    QTest::newRow("writing fails part way") << "file size limit"
                                            << "Failed to write the save data" << 1;
  }
  void failedSaveKeepsPreviousFile() {
    QFETCH(QString, kind);
    QFETCH(QString, report);
    QFETCH(int, streamOk);
    AddObject(0)->mValues = kSaved[0];
    const QString previous = mHome->filePath("previous.cfg");
    QCOMPARE(Request(cSavesManager::kMethodSave, previous), 1);
    const QByteArray previousBytes = ReadAll(previous);
    QVERIFY(QDir(mHome->path()).mkpath("folder/inside"));

    AddObject(200000)->mValues = kSaved[1];
    mObjects[0]->mValues = kOther[0];
    cReportCapture reports;
    if (kind == "below file") {
      QCOMPARE(Request(cSavesManager::kMethodSave, previous + "/Save.cfg"), 0);
    } else if (kind == "folder") {
      QCOMPARE(Request(cSavesManager::kMethodSave, mHome->filePath("folder")), 0);
      QVERIFY(QFileInfo(mHome->filePath("folder/inside")).isDir());
    } else {
      cFileSizeLimit limit(64 * 1024);
      QCOMPARE(Request(cSavesManager::kMethodSave, previous), 0);
    }
    QVERIFY2(reports.Contains(report.toStdString()), qPrintable(reports.Dump()));
    QCOMPARE(ReadAll(previous), previousBytes);
    QCOMPARE(QDir(mHome->path()).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot),
             (QStringList{"folder", "previous.cfg", "Tessmark"}));
    QCOMPARE(SyncUp(cSavesManager::kMethodSave), streamOk);
  }

  // The existing file is writable, only its folder is not: the file must not
  // be emptied in place when the new one cannot be written beside it.
  void saveIntoUnwritableFolderKeepsFile() {
    AddObject(0)->mValues = kSaved[0];
    QVERIFY(QDir(mHome->path()).mkpath("locked"));
    const QString previous = mHome->filePath("locked/previous.cfg");
    QCOMPARE(Request(cSavesManager::kMethodSave, previous), 1);
    const QByteArray previousBytes = ReadAll(previous);
    mObjects[0]->mValues = kOther[0];
    cReportCapture reports;
    {
      cUnwritableFolder locked(mHome->filePath("locked"));
      if (!locked.IsUnwritable()) QSKIP("no way to make a folder unwritable here");
      QVERIFY(QFileInfo(previous).isWritable());
      QCOMPARE(Request(cSavesManager::kMethodSave, previous), 0);
    }
    QCOMPARE(reports.Count("Failed to open Save Stream!"), 1);
    QCOMPARE(ReadAll(previous), previousBytes);
    QCOMPARE(QDir(mHome->filePath("locked")).entryList(QDir::Files), QStringList{"previous.cfg"});
    QCOMPARE(SyncUp(cSavesManager::kMethodSave), 0);
    QCOMPARE(Request(cSavesManager::kMethodRecall, previous), 1);
    QVERIFY(mObjects[0]->mValues == kSaved[0]);
  }

  void syncCallsEveryObjectInOrder_data() {
    QTest::addColumn<int>("count");
    QTest::newRow("no objects") << 0;
    QTest::newRow("three objects") << 3;
  }
  void syncCallsEveryObjectInOrder() {
    QFETCH(int, count);
    for (int i = 0; i < count; ++i) AddObject(0);
    QCOMPARE(Request(cSavesManager::kMethodSync, nullptr), 1);
    std::vector<std::string> expected;
    for (int i = 0; i < count; ++i) expected.push_back("Object " + std::to_string(i));
    QVERIFY(mSyncLog == expected);
    QCOMPARE(SyncUp(cSavesManager::kMethodSync), 0);
  }

  void syncUpOfNewManager() {
    QCOMPARE(SyncUp(cSavesManager::kMethodSave), 1);
    QCOMPARE(SyncUp(cSavesManager::kMethodRecall), 1);
    QCOMPARE(SyncUp(cSavesManager::kMethodSync), 0);
    cReportCapture reports;
    mManager->UpdateNewObject(0, mProbe->GetHandle(), 0x2000, 0x1003);
    QVERIFY(reports.Contains("UpdateNewObject needs overloading to enable sync-up"));
  }

  void objectWithoutOverridesContributesNothing() {
    AddObject(0)->mValues = kSaved[0];
    mBare = std::make_unique<cBareSaveObject>("Bare", mManager.get());
    AddObject(1)->mValues = kSaved[1];
    const QString path = mHome->filePath("bare.cfg");
    cReportCapture reports;
    QCOMPARE(Request(cSavesManager::kMethodSave, path), 1);
    QVERIFY(reports.Contains("SaveData not implemented! (Bare)"));
    QCOMPARE(ReadAll(path).size(), RoundUp8(3 + 7 + 8 + 2));
    mObjects[0]->mValues = kOther[0];
    mObjects[1]->mValues = kOther[1];
    reports.Clear();
    QCOMPARE(Request(cSavesManager::kMethodRecall, path), 1);
    QCOMPARE(reports.Count("RecallData not implemented! (Bare)"), 1);
    QVERIFY(mObjects[0]->mValues == kSaved[0] && mObjects[1]->mValues == kSaved[1]);
    QCOMPARE(Request(cSavesManager::kMethodSync, nullptr), 1);
    QCOMPARE(reports.Count("SyncData not implemented! (Bare)"), 1);
  }

  // Every block is checked before any is applied: one refusal stops the
  // whole recall with nothing applied; a design that still failed while
  // applying (the second line of defence) makes the recall a failed one.
  void refusalsAndApplyFaults() {
    AddObject(0);
    AddObject(3);
    mObjects[0]->mValues = kSaved[0];
    mObjects[1]->mValues = kSaved[1];
    const QString path = mHome->filePath("config.cfg");
    QCOMPARE(Request(cSavesManager::kMethodSave, path), 1);
    mObjects[0]->mValues = kOther[0];
    mObjects[1]->mRefusal = "Second: value 7 is impossible";
    cReportCapture reports;
    QCOMPARE(Request(cSavesManager::kMethodRecall, path), 0);
    QCOMPARE(mObjects[0]->mChecks, 1);
    QCOMPARE(mObjects[1]->mChecks, 1);
    QCOMPARE(mObjects[0]->mRecalls + mObjects[1]->mRecalls, 0);
    QVERIFY(mObjects[0]->mValues == kOther[0]);
    QVERIFY2(reports.Contains("Save file refused: Second: value 7 is impossible"), qPrintable(reports.Dump()));
    QCOMPARE(SyncUp(cSavesManager::kMethodRecall), 0);

    mObjects[1]->mRefusal.clear();
    mObjects[0]->mFaultOnRecall = true;
    QCOMPARE(Request(cSavesManager::kMethodRecall, path), 0);
    QCOMPARE(mObjects[1]->mRecalls, 1);  // the others still apply
    QVERIFY(mObjects[0]->mValues == kSaved[0]);
    QVERIFY2(reports.Contains("Recall incomplete"), qPrintable(reports.Dump()));
    QCOMPARE(SyncUp(cSavesManager::kMethodRecall), 0);
    mObjects[0]->mFaultOnRecall = false;
    QCOMPARE(Request(cSavesManager::kMethodRecall, path), 1);
    QCOMPARE(SyncUp(cSavesManager::kMethodRecall), 1);
  }

 private:
  cRecordedSaveObject* AddObject(int extra) {
    const std::string name = "Object " + std::to_string(mObjects.size());
    mObjects.push_back(std::make_unique<cRecordedSaveObject>(name.c_str(), mManager.get(), extra, &mSyncLog));
    return mObjects.back().get();
  }

  std::vector<QByteArray> Extras() const {
    std::vector<QByteArray> extras;
    for (const auto& object : mObjects) extras.push_back(object->mExtra);
    return extras;
  }

  // Delivers the request and returns the result byte sent to the inform list
  // (-1 when none arrived).
  int Send(UWORD method, cEWNetMessage& message) {
    mProbe->mReceived.clear();
    message.mConnectionId = 0;
    message.mDestination = mManager->GetHandle();
    message.mSource = mProbe->GetHandle();
    message.mMethod = method;
    SendMessage(message);
    GetRegistryRouter()->DoWork();
    return OnlyResult(method);
  }

  int Request(UWORD method, const char* path) {
    cEWNetMessage message;
    if (path != nullptr) message.AppendString(path);
    return Send(method, message);
  }
  int Request(UWORD method, const QString& path) { return Request(method, path.toLocal8Bit().constData()); }

  int SyncUp(UWORD sourceMethod) {
    mProbe->mReceived.clear();
    mManager->UpdateNewObject(0, mProbe->GetHandle(), kSyncUpMethod, sourceMethod);
    GetRegistryRouter()->DoWork();
    return OnlyResult(kSyncUpMethod);
  }

  // The byte of the one message the probe received, or -1 when it received
  // anything else.
  int OnlyResult(UWORD method) const {
    const auto& received = mProbe->mReceived;
    if (received.size() != 1 || received[0].mMethod != method || received[0].mPayload.size() != 1) return -1;
    return received[0].mPayload[0];
  }

  std::unique_ptr<QTemporaryDir> mHome;
  std::unique_ptr<cSavesManager> mManager;
  std::unique_ptr<cRecordingObject> mProbe;
  std::vector<std::unique_ptr<cRecordedSaveObject>> mObjects;
  std::unique_ptr<cBareSaveObject> mBare;
  std::vector<std::string> mSyncLog;
};

QTEST_GUILESS_MAIN(tst_SavesManager)
#include "tst_SavesManager.moc"
