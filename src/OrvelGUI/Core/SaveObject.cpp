#include "OrvelGUI/Core/SaveObject.h"

#include <QBuffer>
#include <QDataStream>
#include <cstring>

#include "EWNet/Core/ErrLog.h"
#include "OrvelGUI/Core/SavesManager.h"

cSaveObject::cSaveObject(const char* name, cSavesManager* savesManager) : mName{}, mSavesManager(savesManager) {
  if (name != nullptr) std::strncpy(mName, name, kNameSize - 1);
  if (mSavesManager == nullptr) {
    EW_REPORT_ERROR("No saves manager to register with (%s)", mName);
    return;
  }
  mSavesManager->RegisterSaveObject(this);
}

void cSaveObject::SaveData(QDataStream*) { EW_REPORT_ERROR("SaveData not implemented! (%s)", mName); }

void cSaveObject::RecallData(QDataStream*) { EW_REPORT_ERROR("RecallData not implemented! (%s)", mName); }

void cSaveObject::SyncData() { EW_REPORT_ERROR("SyncData not implemented! (%s)", mName); }

bool cSaveObject::CheckData(QDataStream* stream, std::string& refusal) {
  QBuffer block;
  block.open(QIODevice::WriteOnly);
  QDataStream measure(&block);
  measure.setVersion(stream->version());
  SaveData(&measure);
  const int size = int(block.size());
  if (stream->skipRawData(size) != size) {
    refusal = std::string(mName) + ": its block is incomplete";
    return false;
  }
  return true;
}

bool cSaveObject::AcceptRecalledBlock(const std::string& refusal) {
  if (refusal.empty()) return true;
  EW_REPORT_ERROR("%s; nothing of the block applied", refusal.c_str());
  NoteApplyFault();
  return false;
}

bool cSaveObject::TakeApplyFault() {
  const bool fault = mApplyFault;
  mApplyFault = false;
  return fault;
}

bool cSaveObject::TakeSyncRefusal() {
  const bool refused = mSyncRefused;
  mSyncRefused = false;
  return refused;
}
