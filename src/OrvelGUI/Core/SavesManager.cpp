#include "OrvelGUI/Core/SavesManager.h"

#include <QBuffer>
#include <QDir>
#include <cstring>
#include <utility>

#include "EWNet/Core/ErrLog.h"
#include "EWNet/Core/NetObjct.h"
#include "EWNet/Core/RegRoutr.h"
#include "OrvelGUI/Core/AppPaths.h"
#include "OrvelGUI/Core/Blowfish.h"
#include "OrvelGUI/Core/Plausibility.h"
#include "OrvelGUI/Core/SaveObject.h"

namespace {

constexpr qint64 kBlock = static_cast<qint64>(cBlowfish::kBlockSize);

qint64 RoundUpToBlock(qint64 size) { return (size + kBlock - 1) / kBlock * kBlock; }

// The path of a request: the payload up to its first NUL, never beyond its
// length. Null when the request carries no payload.
const char* PathOfRequest(const cEWNetMessage& message, QByteArray& storage) {
  if (message.mData == nullptr || message.mLength == 0) return nullptr;
  const char* text = reinterpret_cast<const char*>(message.mData);
  const void* nul = std::memchr(text, '\0', message.mLength);
  storage = QByteArray(text, nul != nullptr ? static_cast<const char*>(nul) - text : message.mLength);
  return storage.constData();
}

bool WriteBlock(QIODevice* out, const UBYTE* block) {
  const qint64 written = out->write(reinterpret_cast<const char*>(block), kBlock);
  if (written == -1) {
    EW_REPORT_ERROR("Write error: could not write to file");
    return false;
  }
  if (written != kBlock) {
    EW_REPORT_ERROR("Write error: only wrote %d bytes", static_cast<int>(written));
    return false;
  }
  return true;
}

bool ReadBytes(QIODevice* in, UBYTE* into, qint64 count) {
  const qint64 got = in->read(reinterpret_cast<char*>(into), count);
  if (got != count) {
    EW_REPORT_ERROR("Read error: only read %d bytes", static_cast<int>(got));
    return false;
  }
  return true;
}

// A request may carry no path (keep the previous one) but not an empty one.
// Clients send paths in the local 8-bit encoding, so they are decoded with it.
template <typename tFile>
bool OpenRequestedFile(tFile& file, const char* path, QIODevice::OpenMode mode) {
  if (path != nullptr) {
    if (*path == '\0') return false;
    file.setFileName(QString::fromLocal8Bit(path));
  }
  return file.open(mode);
}

// Ends a QSaveFile without touching its target.
void AbandonSaveFile(QSaveFile& file) {
  if (!file.isOpen()) return;
  file.cancelWriting();
  file.commit();
}

}  // namespace

cSavesManager::cSavesManager()
    : cNetObject(kName, kNumberOfParameters, false, false),
      mSaveFile(orvelpaths::DefaultSaveFile()),
      mRecallFile(orvelpaths::DefaultSaveFile()),
      mStreamOk(1),
      mRecallValid(1) {
  const QString folder = orvelpaths::SaveFolder();
  if (!QDir(folder).exists() && !QDir().mkpath(folder)) {
    EW_REPORT_ERROR("Could not create save folder %s", folder.toLocal8Bit().constData());
  }
  FileCipher();
}

cSavesManager::~cSavesManager() {
  Unregister();
  std::lock_guard<std::mutex> lock(mMutex);
  CloseOperation();
}

const cBlowfish& cSavesManager::FileCipher() {
  static const cBlowfish cipher(kFileKey.data(), kFileKey.size());
  return cipher;
}

void cSavesManager::RegisterSaveObject(cSaveObject* saveObject) {
  if (saveObject != nullptr) mSaveObjects.push_back(saveObject);
}

void cSavesManager::EntrypointMessage(cEWNetMessage& message) {
  QByteArray path;
  // Whoever asks hears the answer, also when it is not linked back.
  const sRequester asking{message.mConnectionId, message.mSource};
  const sRequester previous = std::exchange(mRequester, asking);
  switch (message.mMethod) {
    case kMethodSave:
    case kMethodRecall: {
      const char* requested = PathOfRequest(message, path);
      if (message.mConnectionId != 0 && message.mMethod == kMethodSave) {
        // Only this machine's own screens and tools write files: a remote
        // peer would overwrite the user's configuration.
        // The answer goes to the asker alone: the screens did not ask.
        EW_REPORT_ERROR("Save request from connection %d refused: only this machine saves", int(message.mConnectionId));
        EWNetSendUBYTE(mSystemMessage, message.mConnectionId, message.mSource, kMethodSave, 0);
        break;
      }
      if (message.mConnectionId != 0) {
        // A remote peer may not name files on this machine: it recalls the
        // default file or nothing.
        if (requested != nullptr && *requested != '\0') {
          EW_REPORT_ERROR("File request from connection %d naming a path refused", int(message.mConnectionId));
          InformResult(message.mMethod, 0);
          break;
        }
        path = orvelpaths::DefaultSaveFile().toLocal8Bit();
        requested = path.constData();
      }
      if (message.mMethod == kMethodSave) {
        StartSave(requested);
      } else {
        StartRecall(requested);
      }
      break;
    }
    case kMethodSync:
      StartSync();
      break;
    default:
      cNetObject::EntrypointMessage(message);
      break;
  }
  mRequester = previous;
}

void cSavesManager::UpdateNewObject(UWORD connectionId, EW_NET_DATA_SCALE handle, EW_NET_DATA_SCALE destinationMethod,
                                    EW_NET_DATA_SCALE sourceMethod) {
  UBYTE value = 0;
  switch (sourceMethod) {
    case kMethodSave:
      value = mStreamOk;
      break;
    case kMethodRecall:
      value = (mStreamOk != 0 && mRecallValid != 0) ? 1 : 0;
      break;
    case kMethodSync:
      value = 0;
      break;
    default:
      cNetObject::UpdateNewObject(connectionId, handle, destinationMethod, sourceMethod);
      return;
  }
  EWNetSendUBYTE(mSystemMessage, connectionId, handle, destinationMethod, value);
}

void cSavesManager::InformResult(UWORD method, UBYTE result, const QByteArray& text) {
  // Byte 0 is the result; a text, when there is one, follows NUL-terminated.
  const EW_NET_DATA_SCALE length = EW_NET_DATA_SCALE(text.isEmpty() ? 1 : 1 + text.size() + 1);
  const auto address = [&](UWORD connectionId, EW_NET_DATA_SCALE handle) -> cEWNetMessage& {
    cEWNetMessage& message = EWNetAddress(mSystemMessage, connectionId, handle, method, length);
    message.SetUBYTE(0, result);
    if (!text.isEmpty()) message.SetString(1, text.constData());
    return message;
  };
  SendToInformList(address(EW_INVALID_CONNECTION, EW_INVALID_HANDLE));
  if (mRequester.mHandle == EW_INVALID_HANDLE) return;
  const InformList* list = GetInformList(EW_NET_DATA_SCALE(method - PARAMETER_BASE));
  if (list != nullptr) {
    for (const sInformListEntry& entry : *list) {
      if (entry.mConnectionId == mRequester.mConnectionId && entry.mHandle == mRequester.mHandle) return;
    }
  }
  SendMessage(address(mRequester.mConnectionId, mRequester.mHandle));
}

void cSavesManager::StartSave(const char* path) {
  UBYTE result = 0;
  {
    std::lock_guard<std::mutex> lock(mMutex);
    mStreamOk = SetupWriteStream(path) ? 1 : 0;
    if (mStreamOk != 0) {
      WriteAllSaveData();
      bool ok = mStream.status() == QDataStream::Ok;
      if (!ok) EW_REPORT_ERROR("Failed to write the save data to the temporary file");
      if (ok && !mTempFile->reset()) {
        EW_REPORT_ERROR("Couldn't reset read position on temporary file");
        ok = false;
      }
      if (ok && !CipherData(mTempFile.get(), &mSaveFile, true)) {
        EW_REPORT_ERROR("Encryption failed");
        ok = false;
      }
      // The previous file is replaced only by a completely written one.
      if (ok && !mSaveFile.commit()) {
        EW_REPORT_ERROR("Could not replace save file %s: %s", mSaveFile.fileName().toLocal8Bit().constData(),
                        mSaveFile.errorString().toLocal8Bit().constData());
        ok = false;
      }
      result = ok ? 1 : 0;
    }
    CloseOperation();
  }
  InformResult(kMethodSave, result);
}

void cSavesManager::StartRecall(const char* path) {
  UBYTE result = 0;
  {
    std::lock_guard<std::mutex> lock(mMutex);
    mRecallValid = 0;
    mStreamOk = SetupReadStream(path) ? 1 : 0;
    if (mStreamOk != 0 && RecallFileHasFrameSize()) {
      bool ok = true;
      if (!CipherData(&mRecallFile, mTempFile.get(), false)) {
        EW_REPORT_ERROR("Decryption failed");
        ok = false;
      }
      mRecallFile.close();
      if (mTempFile->reset()) {
        InvokeRecall();
      } else {
        EW_REPORT_ERROR("Couldn't reset read position on temporary file");
        ok = false;
      }
      // A file that fails the frame checks is a failed recall.
      result = (ok && mRecallValid != 0) ? 1 : 0;
    }
    CloseOperation();
  }
  InformResult(kMethodRecall, result);
}

void cSavesManager::StartSync() {
  std::string kept;
  {
    std::lock_guard<std::mutex> lock(mMutex);
    for (cSaveObject* saveObject : mSaveObjects) {
      saveObject->TakeSyncRefusal();
      saveObject->SyncData();
      if (!saveObject->TakeSyncRefusal()) continue;
      if (!kept.empty()) kept += ", ";
      kept += plausibility::UnitLabel(saveObject->SaveName());
    }
  }
  // A message carries at most 64 KiB; 36 labels never come near it.
  InformResult(kMethodSync, kept.empty() ? 1 : 0, QByteArray::fromStdString(kept));
}

bool cSavesManager::SetupWriteStream(const char* path) {
  // The save file is written beside its target and only replaces it on
  // commit, so an existing file is neither removed nor truncated here.
  return AttachTemporaryStream(OpenRequestedFile(mSaveFile, path, QIODevice::WriteOnly));
}

bool cSavesManager::SetupReadStream(const char* path) {
  return AttachTemporaryStream(OpenRequestedFile(mRecallFile, path, QIODevice::ReadOnly));
}

bool cSavesManager::AttachTemporaryStream(bool fileOpened) {
  mTempFile = std::make_unique<QTemporaryFile>();
  if (!fileOpened || !mTempFile->open()) {
    EW_REPORT_ERROR("Failed to open Save Stream!");
    return false;
  }
  mStream.setDevice(mTempFile.get());
  mStream.setVersion(kStreamVersion);
  mStream.resetStatus();
  return true;
}

void cSavesManager::CloseOperation() {
  mStream.setDevice(nullptr);
  AbandonSaveFile(mSaveFile);
  if (mRecallFile.isOpen()) mRecallFile.close();
  mTempFile.reset();
}

void cSavesManager::WriteAllSaveData() {
  mStream << kFileMagic << kFileVersion;
  for (cSaveObject* saveObject : mSaveObjects) saveObject->SaveData(&mStream);
  mStream << kFileEndMarker;
}

qint64 cSavesManager::MeasureSaveBlocks() {
  QBuffer scratch;
  scratch.open(QIODevice::WriteOnly);
  QDataStream stream(&scratch);
  stream.setVersion(kStreamVersion);
  for (cSaveObject* saveObject : mSaveObjects) saveObject->SaveData(&stream);
  return scratch.size();
}

bool cSavesManager::CheckFrameEnd(qint64 endMarkerPosition) {
  const qint64 paddedSize = RoundUpToBlock(endMarkerPosition + kEndMarkerSize);
  if (mTempFile->size() != paddedSize) return false;
  const qint64 resume = mTempFile->pos();
  if (!mTempFile->seek(endMarkerPosition)) return false;
  const QByteArray tail = mTempFile->read(paddedSize - endMarkerPosition);
  if (!mTempFile->seek(resume) || tail.size() != paddedSize - endMarkerPosition) return false;
  const auto marker = static_cast<qint16>((static_cast<UBYTE>(tail[0]) << 8) | static_cast<UBYTE>(tail[1]));
  if (marker != kFileEndMarker) return false;
  for (int i = static_cast<int>(kEndMarkerSize); i < tail.size(); ++i) {
    if (tail[i] != '\0') return false;
  }
  return true;
}

// A file can hold only the frame the registered objects write, so its size is
// known before anything is deciphered: a file of another size (however large)
// is refused after reading at most its first block, which tells a foreign file
// from a damaged one. Sizes that are no multiple of the block go on to the
// decipherment, which refuses them without reading.
bool cSavesManager::RecallFileHasFrameSize() {
  const qint64 size = mRecallFile.size();
  const qint64 expected = RoundUpToBlock(kHeaderSize + MeasureSaveBlocks() + kEndMarkerSize);
  if (size == expected || size % kBlock != 0) return true;
  std::array<UBYTE, cBlowfish::kBlockSize> block{};
  const bool headerFits = size >= kBlock && mRecallFile.read(reinterpret_cast<char*>(block.data()), kBlock) == kBlock;
  if (headerFits) FileCipher().DecipherBlock(block.data());
  const auto magic = static_cast<qint16>((block[0] << 8) | block[1]);
  if (!headerFits || magic != kFileMagic || static_cast<qint8>(block[2]) != kFileVersion) {
    EW_REPORT_ERROR("Save file error: incompatible file");
  } else {
    EW_REPORT_ERROR("Save file error: potential corruption");
  }
  return false;
}

// Every block is read once without applying anything; a file in which any
// unit finds a value the processor could not realise is refused whole, each
// such value reported.
bool cSavesManager::CheckAllBlocks() {
  const qint64 blocksStart = mTempFile->pos();
  bool plausible = true;
  for (cSaveObject* saveObject : mSaveObjects) {
    std::string refusal;
    if (!saveObject->CheckData(&mStream, refusal)) {
      EW_REPORT_ERROR("Save file refused: %s", refusal.c_str());
      plausible = false;
    }
  }
  if (!plausible) {
    EW_REPORT_ERROR("Save file refused: nothing of it was applied");
    return false;
  }
  mStream.resetStatus();
  if (!mTempFile->seek(blocksStart)) {
    EW_REPORT_ERROR("Couldn't reset read position on temporary file");
    return false;
  }
  return true;
}

// StartRecall has already cleared mRecallValid.
void cSavesManager::InvokeRecall() {
  qint16 magic = 0;
  qint8 version = 0;
  mStream >> magic >> version;
  if (mStream.status() != QDataStream::Ok || magic != kFileMagic || version != kFileVersion) {
    EW_REPORT_ERROR("Save file error: incompatible file");
    return;
  }
  // Nothing is applied from a frame whose end marker is not exactly where the
  // registered objects' blocks put it.
  const qint64 endMarkerPosition = kHeaderSize + MeasureSaveBlocks();
  if (!CheckFrameEnd(endMarkerPosition)) {
    EW_REPORT_ERROR("Save file error: potential corruption");
    return;
  }
  if (!CheckAllBlocks()) return;
  for (cSaveObject* saveObject : mSaveObjects) saveObject->TakeApplyFault();
  for (cSaveObject* saveObject : mSaveObjects) saveObject->RecallData(&mStream);
  // A design the checks passed that still failed (the second line of
  // defence) leaves that unit's previous coefficients on the device.
  bool faulted = false;
  for (cSaveObject* saveObject : mSaveObjects) faulted = saveObject->TakeApplyFault() || faulted;
  const bool readAsWritten = mTempFile->pos() == endMarkerPosition;
  qint16 endMarker = 0;
  mStream >> endMarker;
  if (!readAsWritten || mStream.status() != QDataStream::Ok || endMarker != kFileEndMarker) {
    EW_REPORT_ERROR("Save file error: potential corruption");
    return;
  }
  if (faulted) {
    EW_REPORT_ERROR("Recall incomplete: a unit kept settings the processor could not take");
    return;
  }
  mRecallValid = 1;
}

bool cSavesManager::CipherData(QIODevice* in, QIODevice* out, bool encrypt) {
  const qint64 size = in->size() - in->pos();
  const qint64 remainder = size % kBlock;
  const qint64 fullBlocks = (size - remainder) / kBlock;
  if (remainder != 0 && !encrypt) {
    EW_REPORT_ERROR("Input file is incorrect size for decrpyting");
    return false;
  }
  const cBlowfish& cipher = FileCipher();
  std::array<UBYTE, cBlowfish::kBlockSize> block{};
  for (qint64 i = 0; i < fullBlocks; ++i) {
    if (!ReadBytes(in, block.data(), kBlock)) return false;
    if (encrypt) {
      cipher.EncipherBlock(block.data());
    } else {
      cipher.DecipherBlock(block.data());
    }
    if (!WriteBlock(out, block.data())) return false;
  }
  if (encrypt && remainder != 0) {
    block.fill(0);
    if (!ReadBytes(in, block.data(), remainder)) return false;
    cipher.EncipherBlock(block.data());
    if (!WriteBlock(out, block.data())) return false;
  }
  return true;
}

bool cSavesManager::CipherFile(const QString& inPath, const QString& outPath, bool encrypt) {
  QFile in(inPath);
  if (!in.open(QIODevice::ReadOnly)) {
    EW_REPORT_ERROR("Could not open %s: %s", inPath.toLocal8Bit().constData(),
                    in.errorString().toLocal8Bit().constData());
    return false;
  }
  QSaveFile out(outPath);
  if (!out.open(QIODevice::WriteOnly)) {
    EW_REPORT_ERROR("Could not create %s: %s", outPath.toLocal8Bit().constData(),
                    out.errorString().toLocal8Bit().constData());
    return false;
  }
  if (!CipherData(&in, &out, encrypt)) {
    AbandonSaveFile(out);
    return false;
  }
  if (!out.commit()) {
    EW_REPORT_ERROR("Could not write %s: %s", outPath.toLocal8Bit().constData(),
                    out.errorString().toLocal8Bit().constData());
    return false;
  }
  return true;
}
