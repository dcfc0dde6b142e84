#pragma once

#include <array>
#include <memory>

#include "EWNet/Core/Types.h"

class cControlStripDriver;
class cNonVolatileStorageManager;
class cSavesManager;
class cSerialInterface;

// The processor's eight control strips in index order: the two inputs, then
// left and right of outputs 1 to 3 (the outputs invert polarity).
class cInOutFader {
 public:
  static constexpr int kStripCount = 8;

  cInOutFader(cNonVolatileStorageManager* storage, cSerialInterface* serialInterface, cSavesManager* savesManager);
  ~cInOutFader();
  cInOutFader(const cInOutFader&) = delete;
  cInOutFader& operator=(const cInOutFader&) = delete;

  // "InOutFader:Input L Control Strip Unit", ..., "InOutFader:R Control Strip Unit3".
  static const char* StripName(int index);
  cControlStripDriver* GetStrip(int index) const;

 private:
  std::array<std::unique_ptr<cControlStripDriver>, kStripCount> mStrips;
};
