#pragma once

#include <QDataStream>
#include <QFile>
#include <QSaveFile>
#include <QString>
#include <QTemporaryFile>
#include <array>
#include <memory>
#include <mutex>
#include <vector>

#include "EWNet/Core/NetObjct.h"

class QIODevice;
class cBlowfish;
class cSaveObject;

// Writes and reads configuration files: the blocks of all registered save
// objects between a header and an end marker, enciphered with Blowfish (ECB,
// fixed key, last block zero-padded). Requests and results travel as net
// messages on parameters 0x1000 (save), 0x1001 (recall) and 0x1002 (sync).
// A result goes to the parameter's inform list and, when the requester is
// not on it, to the requester as well: a screen links one way to hear only
// the answers to its own requests.
//
// A sync (every object adopts what the device reported in its read-back)
// answers 1 when every object took the device's values. When the records of
// some objects were implausible, those kept their own values: the answer is
// 0, followed by their labels ("Low high-pass, Mid EQ left") as a
// NUL-terminated text, so that the user can be told which.
class cSavesManager : public cNetObject {
 public:
  static constexpr const char* kName = "Saves Manager NetObject";
  static constexpr EW_NET_DATA_SCALE kNumberOfParameters = 3;
  static constexpr UWORD kMethodSave = PARAMETER_BASE + 0;
  static constexpr UWORD kMethodRecall = PARAMETER_BASE + 1;
  static constexpr UWORD kMethodSync = PARAMETER_BASE + 2;

  static constexpr qint16 kFileMagic = -30629;
  static constexpr qint8 kFileVersion = 3;
  static constexpr qint16 kFileEndMarker = -15686;
  static constexpr int kStreamVersion = 19;
  static constexpr qint64 kHeaderSize = 3;
  static constexpr qint64 kEndMarkerSize = 2;
  static constexpr std::array<UBYTE, 16> kFileKey = {0x5e, 0x1c, 0x93, 0xa7, 0xd0, 0x42, 0x8b, 0xf6,
                                                     0xe3, 0x1a, 0x7c, 0x59, 0x04, 0xbd, 0x28, 0xe1};

  // The default save file is orvelpaths::DefaultSaveFile(); its folder is
  // created when missing.
  cSavesManager();
  ~cSavesManager() override;

  void EntrypointMessage(cEWNetMessage& message) override;
  void UpdateNewObject(UWORD connectionId, EW_NET_DATA_SCALE handle, EW_NET_DATA_SCALE destinationMethod,
                       EW_NET_DATA_SCALE sourceMethod) override;

  void RegisterSaveObject(cSaveObject* saveObject);

  // A null path means the path of the previous request of the same kind.
  void StartSave(const char* path);
  void StartRecall(const char* path);
  void StartSync();

  QString GetSaveFileName() const { return mSaveFile.fileName(); }

  // The program-wide key schedule of the file key, built on first use.
  static const cBlowfish& FileCipher();
  // Enciphers (zero-padding the last block) or deciphers `in` from its current
  // position to its end into `out`. Deciphering needs a multiple of 8 bytes.
  static bool CipherData(QIODevice* in, QIODevice* out, bool encrypt);
  // The whole of one file into another, as a save or a recall does. The
  // output replaces `outPath` only when complete.
  static bool CipherFile(const QString& inPath, const QString& outPath, bool encrypt);

 private:
  bool SetupWriteStream(const char* path);
  bool SetupReadStream(const char* path);
  bool AttachTemporaryStream(bool fileOpened);
  void WriteAllSaveData();
  void InvokeRecall();
  bool CheckAllBlocks();
  bool CheckFrameEnd(qint64 endMarkerPosition);
  bool RecallFileHasFrameSize();
  qint64 MeasureSaveBlocks();
  void CloseOperation();
  void InformResult(UWORD method, UBYTE result, const QByteArray& text = QByteArray());

  struct sRequester {
    UWORD mConnectionId = EW_INVALID_CONNECTION;
    EW_NET_DATA_SCALE mHandle = EW_INVALID_HANDLE;
  };

  QSaveFile mSaveFile;
  QFile mRecallFile;
  std::unique_ptr<QTemporaryFile> mTempFile;
  QDataStream mStream;
  std::vector<cSaveObject*> mSaveObjects;
  std::mutex mMutex;
  UBYTE mStreamOk;
  UBYTE mRecallValid;
  sRequester mRequester;  // of the request being handled (dispatch thread)
};
