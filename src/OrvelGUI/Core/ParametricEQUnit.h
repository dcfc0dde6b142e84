#pragma once

#include <vector>

#include "OrvelGUI/Core/AudioObject.h"
#include "OrvelGUI/Core/BiquadDesign.h"
#include "OrvelGUI/Core/SaveObject.h"
#include "OrvelGUI/Core/StoredField.h"
#include "OrvelGUI/Core/StoredSections.h"

class cParametricEQDriver;
struct sFilter;

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
  bool CheckData(QDataStream* stream, std::string& refusal) override;

  // The right equaliser of a gang takes values from the left one's unit only
  // while the gang is on: what the left one sent through links that are
  // being removed (they go asynchronously, through the system builder)
  // arrives after the gang went off and must not undo the right one's own
  // settings.
  void SetLeader(EW_NET_DATA_SCALE leaderHandle) { mLeader = leaderHandle; }
  // Takes the parameters a gang links (EQ bypass, the shelf switches, every
  // band's frequency, width, gain and bypass) from `leader` at once, as a
  // recall would: informs, recomputes and sends what changed.
  void FollowLeader(const cParametricEQUnit& leader);

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
  // A block as the file holds it; the switches are bytes (bools in the
  // file), so that any other value can be refused.
  struct sBlock {
    qint8 mBypass = 0;
    std::vector<sBand> mBands;
    std::vector<qint8> mBandBypass;
  };
  // Reads a block; the refusal, or empty when it may be applied.
  std::string ReadBlock(QDataStream& stream, sBlock& block) const;
  // What the device reported for every band; none when a record is missing.
  bool ReadSyncRecords(std::vector<sFilter>& records) const;
  // A message from the leader while the gang is off.
  bool IsStaleLeaderMessage(const cEWNetMessage& message) const;
  void StoreBand(UBYTE band, const sBand& values);
  // Applies the values of the block or the sync records. `takeBandBypass`:
  // the records carry no band bypass. Bands that changed are recomputed;
  // returns which.
  std::vector<bool> ApplyBands(bool eqBypass, const std::vector<sBand>& bands, bool takeBandBypass);
  // False, with a report and nothing changed, for a value the processor
  // could not realise.
  bool ApplyParameter(const cEWNetMessage& message);
  // Publishes the kept value of a refused parameter.
  void PublishParameter(UWORD method);

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
  EW_NET_DATA_SCALE mLeader = EW_INVALID_HANDLE;
};
