#include "OrvelGUI/Core/SaveObject.h"

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
