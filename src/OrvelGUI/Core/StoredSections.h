#pragma once

#include <vector>

#include "OrvelGUI/Core/BiquadDesign.h"
#include "OrvelGUI/Core/StoredField.h"

// A unit's quantised biquads in the storage region: five signed 32-bit
// integers per biquad, b0, b1, b2, -a1, -a2.
class cStoredSections {
 public:
  void Allocate(cNonVolatileStorageManager& storage, std::size_t count);
  std::size_t Count() const { return mReported.size(); }
  biquad::tQuantised Get(std::size_t index) const;

  // Quantises and stores a designed section. One that is not finite or not
  // stable (a frequency above half the sample rate, say) is not sent to the
  // device: the previous coefficients stay, and the first such design of a
  // biquad is reported until a usable one comes. False when kept.
  bool Store(std::size_t index, const biquad::tSection& section, double scale, const char* owner, double frequency);

 private:
  cStoredArray<std::int32_t> mValues;
  std::vector<bool> mReported;
};
