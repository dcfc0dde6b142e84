#pragma once

#include <cstddef>

class QDataStream;
class cSavesManager;

// Base of every object whose settings go into configuration files. It is the
// second base beside the object's net-object base; registration order with the
// manager is the order of blocks in a file.
class cSaveObject {
 public:
  static constexpr std::size_t kNameSize = 64;

  cSaveObject(const char* name, cSavesManager* savesManager);
  cSaveObject(const cSaveObject&) = delete;
  cSaveObject& operator=(const cSaveObject&) = delete;

  // Write the object's block. SaveData must write exactly what RecallData
  // reads: the manager measures blocks with it before a recall.
  virtual void SaveData(QDataStream* stream);
  // Read the object's block and apply it.
  virtual void RecallData(QDataStream* stream);
  // Adopt the settings the device reported during synchronisation.
  virtual void SyncData();

 protected:
  // Save objects live as long as the application and are never deleted
  // through this base.
  ~cSaveObject() = default;

  char mName[kNameSize];
  cSavesManager* mSavesManager;
};
