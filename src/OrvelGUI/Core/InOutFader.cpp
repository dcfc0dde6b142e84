#include "OrvelGUI/Core/InOutFader.h"

#include "OrvelGUI/Core/ControlStripDriver.h"

namespace {

// Formed from "InOutFader:%s Control Strip Unit" and "InOutFader:%s Control Strip Unit%d".
const char* const kStripNames[cInOutFader::kStripCount] = {
    "InOutFader:Input L Control Strip Unit", "InOutFader:Input R Control Strip Unit",
    "InOutFader:L Control Strip Unit1",      "InOutFader:R Control Strip Unit1",
    "InOutFader:L Control Strip Unit2",      "InOutFader:R Control Strip Unit2",
    "InOutFader:L Control Strip Unit3",      "InOutFader:R Control Strip Unit3",
};

constexpr int kFirstOutput = 2;

}  // namespace

cInOutFader::cInOutFader(cNonVolatileStorageManager* storage, cSerialInterface* serialInterface,
                         cSavesManager* savesManager) {
  for (int i = 0; i < kStripCount; ++i) {
    mStrips[std::size_t(i)] = std::make_unique<cControlStripDriver>(kStripNames[i], storage, serialInterface,
                                                                    savesManager, UBYTE(i), UBYTE(i >= kFirstOutput));
  }
}

cInOutFader::~cInOutFader() {
  for (auto& strip : mStrips) strip.reset();
}

const char* cInOutFader::StripName(int index) { return index >= 0 && index < kStripCount ? kStripNames[index] : ""; }

cControlStripDriver* cInOutFader::GetStrip(int index) const {
  return index >= 0 && index < kStripCount ? mStrips[std::size_t(index)].get() : nullptr;
}
