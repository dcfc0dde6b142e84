#pragma once

#include <vector>

#include "OrvelGUI/Core/AudioObject.h"
#include "OrvelGUI/Core/BiquadDesign.h"
#include "OrvelGUI/Core/SaveObject.h"
#include "OrvelGUI/Core/StoredField.h"
#include "OrvelGUI/Core/StoredSections.h"

class cParametricEQDriver;

// One channel's parametric equaliser of n bands (2 Low, 4 Mid, 6 High).
//   4096 EQ bypass (1 byte)
//   4097 type of band 0, 4098 type of band n-1 (1 byte: the shelf switches)
//   per band i: 4099+5i range (read only), 4100+5i frequency code,
//   4101+5i width code, 4102+5i gain (offset form), 4103+5i band bypass
class cParametricEQUnit : public cAudioObject, public cSaveObject {
 public:
  static constexpr UWORD kFirstMarker = 17280;
  static constexpr UWORD kLastMarker = 64114;
  static constexpr UWORD kMethodBypass = PARAMETER_BASE + 0;
  static constexpr UWORD kMethodFirstBandType = PARAMETER_BASE + 1;
  static constexpr UWORD kMethodLastBandType = PARAMETER_BASE + 2;
  static constexpr UWORD kMethodBandBase = PARAMETER_BASE + 3;
  enum eBandParameter { BAND_RANGE = 0, BAND_FREQUENCY = 1, BAND_WIDTH = 2, BAND_GAIN = 3, BAND_BYPASS = 4 };
  static constexpr UWORD kDefaultWidth = 3328;   // Q table entry 13
  static constexpr UWORD kRangeLowest = 10699;   // 20 Hz
  static constexpr UWORD kRangeHighest = 56622;  // 20 kHz

  // Method code of a band parameter.
  static constexpr UWORD BandMethod(UBYTE band, eBandParameter parameter) {
    return UWORD(kMethodBandBase + 5 * band + parameter);
  }
  // Frequency range of a band by band count (codes); 0 outside the table.
  static UWORD GetFrequencyRangesLower(UBYTE bandCount, UBYTE band);
  static UWORD GetFrequencyRangesUpper(UBYTE bandCount, UBYTE band);

  struct sBand {
    UWORD mFrequency;
    UWORD mWidth;
    GAIN mGain;
    ULONG mType;
    UBYTE mVariant;
    bool mBypass;
  };

  cParametricEQUnit(const char* name, cParametricEQDriver* driver, cNonVolatileStorageManager* storage,
                    cSavesManager* savesManager, UBYTE bandCount, const biquad::sSampling& sampling);
  ~cParametricEQUnit() override;

  void EntrypointMessage(cEWNetMessage& message) override;
  void UpdateNewObject(UWORD connectionId, EW_NET_DATA_SCALE handle, EW_NET_DATA_SCALE destinationMethod,
                       EW_NET_DATA_SCALE sourceMethod) override;
  // The block SaveData writes: the EQ bypass, then every band.
  static void WriteBlock(QDataStream& stream, bool bypass, const std::vector<sBand>& bands);
  void SaveData(QDataStream* stream) override;
  // Applies the block as the recall rules say, then sends every band so that
  // the device holds the recalled state whatever it held before.
  void RecallData(QDataStream* stream) override;
  void SyncData() override;

  void LoadDefaults();
  // Designs band `band` (Q 2.41 with `defaultQ`, else the width's Q) and
  // stores it quantised. A band that is out, or whose type has no design
  // (NOTCH, unknown), gets the flat section.
  void UpdateBiquad(UBYTE band, bool defaultQ = false);
  void SendBiquad(UBYTE band);
  void SendAllBiquads();

  UBYTE GetBandCount() const { return mBandCount; }
  bool GetBypass() const { return mBypass.Get() != 0; }
  sBand GetBand(UBYTE band) const;
  biquad::tQuantised GetCoefficients(UBYTE band) const { return mCoefficients.Get(band); }
  cParametricEQDriver* GetDriver() const { return mDriver; }

 private:
  void StoreBand(UBYTE band, const sBand& values);
  // Applies the values of the block or the sync records. `takeBandBypass`:
  // the records carry no band bypass. Bands that changed are recomputed;
  // returns which.
  std::vector<bool> ApplyBands(bool eqBypass, const std::vector<sBand>& bands, bool takeBandBypass);
  void ApplyParameter(const cEWNetMessage& message);

  cParametricEQDriver* mDriver;
  UBYTE mBandCount;
  biquad::sSampling mSampling;
  cStoredMarkers mMarkers;
  cStoredValue<UBYTE> mBypass;
  cStoredArray<UWORD> mFrequency;
  cStoredArray<UWORD> mWidth;
  cStoredArray<GAIN> mGain;
  cStoredArray<ULONG> mType;
  cStoredArray<UBYTE> mVariant;
  cStoredArray<UBYTE> mBandBypass;
  cStoredSections mCoefficients;
};
