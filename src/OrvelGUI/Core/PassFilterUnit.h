#pragma once

#include "OrvelGUI/Core/AudioObject.h"
#include "OrvelGUI/Core/BiquadDesign.h"
#include "OrvelGUI/Core/SaveObject.h"
#include "OrvelGUI/Core/StoredField.h"
#include "OrvelGUI/Core/StoredSections.h"

class cPassFilterDriver;

// A panel's high-pass or low-pass filter: frequency, slope and bypass, and
// the biquads they design (1 or 2; none for the High panel's low-pass).
//   4096 bypass (1 byte)   4097 frequency code (2 bytes)   4098 slope (1 byte)
class cPassFilterUnit : public cAudioObject, public cSaveObject {
 public:
  static constexpr EW_NET_DATA_SCALE kParameterCount = 3;
  static constexpr UWORD kMethodBypass = PARAMETER_BASE + 0;
  static constexpr UWORD kMethodFrequency = PARAMETER_BASE + 1;
  static constexpr UWORD kMethodSlope = PARAMETER_BASE + 2;
  static constexpr UWORD kDefaultFrequency = 21398;  // 100 Hz
  static constexpr ULONG kDefaultSlope = HPF_BUTTERWORTH_12_DB;

  cPassFilterUnit(const char* name, cPassFilterDriver* driver, cNonVolatileStorageManager* storage,
                  cSavesManager* savesManager, UBYTE biquadCount, const biquad::sSampling& sampling, bool highPass,
                  UWORD firstMarker, UWORD lastMarker);
  ~cPassFilterUnit() override;

  void EntrypointMessage(cEWNetMessage& message) override;
  void UpdateNewObject(UWORD connectionId, EW_NET_DATA_SCALE handle, EW_NET_DATA_SCALE destinationMethod,
                       EW_NET_DATA_SCALE sourceMethod) override;
  // The block SaveData writes: frequency, slope, bypass.
  static void WriteBlock(QDataStream& stream, UWORD frequency, ULONG slope, bool bypass);
  void SaveData(QDataStream* stream) override;
  // Applies the block as the recall rules say, then sends every biquad so
  // that the device holds the recalled state whatever it held before.
  void RecallData(QDataStream* stream) override;
  void SyncData() override;
  bool CheckData(QDataStream* stream, std::string& refusal) override;

  void LoadDefaults();
  // Designs biquad `index` and stores it quantised; a slope without a design
  // keeps the stored coefficients.
  void UpdateBiquad(UBYTE index);
  void SendAllBiquads();

  bool IsHighPass() const { return mHighPass; }
  UWORD GetFrequency() const { return mFrequency.Get(); }
  ULONG GetSlope() const { return mSlope.Get(); }
  bool GetBypass() const { return mBypass.Get() != 0; }
  UBYTE GetBiquadCount() const { return mBiquadCount; }
  biquad::tQuantised GetCoefficients(UBYTE index) const { return mCoefficients.Get(index); }
  cPassFilterDriver* GetDriver() const { return mDriver; }

 private:
  struct sBlock {
    qint16 mFrequency = 0;
    qint32 mSlope = 0;
    qint8 mBypass = 0;  // a bool in the file; any other byte is refused
  };
  // Reads a block; the refusal, or empty when it may be applied.
  std::string ReadBlock(QDataStream& stream, sBlock& block) const;
  // Empty when the processor realises these values on this panel.
  std::string CheckSettings(UWORD frequency, ULONG slope, int bypass) const;
  // Says so when the panel realises the slope with fewer sections than it
  // names (or has no such filter) while the filter is in.
  void NoteRealisedSlope() const;
  // Stores what differs and informs it when asked; true when anything changed.
  bool ApplySettings(UWORD frequency, ULONG slope, bool bypass, bool inform);
  void UpdateAllBiquads();

  cPassFilterDriver* mDriver;
  bool mHighPass;
  UBYTE mBiquadCount;
  biquad::sSampling mSampling;
  cStoredMarkers mMarkers;
  cStoredValue<UWORD> mFrequency;
  cStoredValue<ULONG> mSlope;
  cStoredValue<UBYTE> mBypass;
  cStoredSections mCoefficients;
};
