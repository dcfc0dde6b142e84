#include "OrvelGUI/Core/StoredSections.h"

#include "EWNet/Core/ErrLog.h"

void cStoredSections::Allocate(cNonVolatileStorageManager& storage, std::size_t count) {
  mValues.Allocate(storage, count * 5);
  mReported.assign(count, false);
}

biquad::tQuantised cStoredSections::Get(std::size_t index) const {
  biquad::tQuantised out{};
  for (std::size_t c = 0; c < out.size(); ++c) out[c] = mValues.Get(index * 5 + c);
  return out;
}

bool cStoredSections::Store(std::size_t index, const biquad::tSection& section, double scale, const char* owner,
                            double frequency) {
  if (index >= mReported.size()) return false;
  if (!biquad::IsRealisableSection(section, scale)) {
    if (!mReported[index]) {
      EW_REPORT_ERROR("%s: biquad %d at %.1f Hz has no usable design; its previous coefficients stay", owner,
                      int(index), frequency);
      mReported[index] = true;
    }
    return false;
  }
  mReported[index] = false;
  const biquad::tQuantised quantised = biquad::QuantiseSection(section);
  for (std::size_t c = 0; c < quantised.size(); ++c) mValues.Set(index * 5 + c, quantised[c]);
  return true;
}
