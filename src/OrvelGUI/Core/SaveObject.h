#pragma once

#include <cstddef>
#include <string>

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
  // Read the object's block without applying anything: false, with
  // `refusal` naming the unit and the value, when the processor could not
  // realise what the block holds. A recall checks every block of a file this
  // way before any is applied. The default passes over as many bytes as
  // SaveData writes and finds nothing to refuse.
  virtual bool CheckData(QDataStream* stream, std::string& refusal);

  // Whether a biquad of the object was left without a usable design (its
  // previous coefficients stayed) since the last call; the call clears it.
  bool TakeApplyFault();
  // Whether SyncData found the device's records for the object implausible
  // (and so kept the object's own values) since the last call; clears it.
  bool TakeSyncRefusal();
  const char* SaveName() const { return mName; }

 protected:
  // Save objects live as long as the application and are never deleted
  // through this base.
  ~cSaveObject() = default;

  void NoteApplyFault() { mApplyFault = true; }
  void NoteSyncRefusal() { mSyncRefused = true; }
  // Whether a block RecallData has read may be applied: `refusal` is empty.
  // Otherwise the refusal is reported, nothing of the block is applied and
  // the recall counts as faulted.
  bool AcceptRecalledBlock(const std::string& refusal);

  char mName[kNameSize];
  cSavesManager* mSavesManager;

 private:
  bool mApplyFault = false;
  bool mSyncRefused = false;
};
