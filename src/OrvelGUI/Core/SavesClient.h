#pragma once

#include <QString>
#include <atomic>

#include "EWNet/Core/NetObjct.h"
#include "OrvelGUI/Core/SavesManager.h"

// Asks "Saves Manager NetObject" for saves, recalls and syncs the way the
// saves dialog does: its parameters 4096..4098 are linked both ways to the
// manager's, a request goes out on its own parameter's inform list, and the
// one-byte result comes back on the same parameter.
class cSavesClient : public cNetObject {
 public:
  static constexpr const char* kName = "Saves Client NetObject";
  static constexpr UWORD kMethodSave = cSavesManager::kMethodSave;
  static constexpr UWORD kMethodRecall = cSavesManager::kMethodRecall;
  static constexpr UWORD kMethodSync = cSavesManager::kMethodSync;
  static constexpr int kNoResult = -1;
  static constexpr int kMaxPathBytes = 4096;

  // Queues the links with the system builder.
  cSavesClient();
  ~cSavesClient() override;

  void EntrypointMessage(cEWNetMessage& message) override;

  // Both directions of every link are made. Registry lock held.
  bool IsLinked() const;
  // Sends a path (local 8-bit encoding, NUL-terminated) on `method`.
  // Registry lock held; clears the previous result. A path too long for a
  // message fails at once.
  void Request(UWORD method, const QString& path);
  // 0 or 1 once the answer to the last request arrived, else kNoResult.
  int GetResult() const { return mResult.load(); }

 private:
  std::atomic<int> mResult{kNoResult};
};
