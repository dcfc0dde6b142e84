#include "OrvelGUI/Core/ParametricEQUnit.h"

#include <QDataStream>

#include "AES-Standards/Convert.h"
#include "EWNet/Core/ErrLog.h"
#include "EWNet/Core/RegRoutr.h"
#include "OrvelGUI/Core/ParametricEQDriver.h"

namespace {

struct sBandRange {
  UWORD mLower;
  UWORD mUpper;
};

// Band ranges by band count; a count with no row is unknown.
const sBandRange* RangesOf(UBYTE bandCount) {
  static const sBandRange kOne[] = {{10699, 41314}};
  static const sBandRange kTwo[] = {{10699, 47406}, {22611, 56622}};
  static const sBandRange kFour[] = {{10699, 26007}, {14420, 36707}, {32098, 47406}, {41314, 56622}};
  static const sBandRange kEight[] = {{10699, 30615}, {10699, 30615}, {19915, 39831}, {19915, 39831},
                                      {36707, 56622}, {36707, 56622}, {36707, 56622}, {36707, 56622}};
  switch (bandCount) {
    case 1:
      return kOne;
    case 2:
      return kTwo;
    case 3:
    case 4:
      return kFour;
    case 6:
    case 8:
      return kEight;
    default:
      return nullptr;
  }
}

bool HasDefaultBands(UBYTE bandCount) { return bandCount == 1 || bandCount == 2 || bandCount == 4 || bandCount == 6; }

}  // namespace

UWORD cParametricEQUnit::GetFrequencyRangesLower(UBYTE bandCount, UBYTE band) {
  const sBandRange* ranges = RangesOf(bandCount);
  if (ranges == nullptr) EW_REPORT_ERROR("Unknown number of bands");
  return ranges != nullptr && band < bandCount ? ranges[band].mLower : 0;
}

UWORD cParametricEQUnit::GetFrequencyRangesUpper(UBYTE bandCount, UBYTE band) {
  const sBandRange* ranges = RangesOf(bandCount);
  if (ranges == nullptr) EW_REPORT_ERROR("Unknown number of bands");
  return ranges != nullptr && band < bandCount ? ranges[band].mUpper : 0;
}

cParametricEQUnit::cParametricEQUnit(const char* name, cParametricEQDriver* driver, cNonVolatileStorageManager* storage,
                                     cSavesManager* savesManager, UBYTE bandCount, const biquad::sSampling& sampling)
    : cAudioObject(name, EW_NET_DATA_SCALE(5 * bandCount + 4), false),
      cSaveObject(name, savesManager),
      mDriver(driver),
      mBandCount(bandCount),
      mSampling(sampling),
      mMarkers(kFirstMarker, kLastMarker) {
  mMarkers.AllocateFirst(*storage);
  mBypass.Allocate(*storage);
  mFrequency.Allocate(*storage, bandCount);
  mWidth.Allocate(*storage, bandCount);
  mGain.Allocate(*storage, bandCount);
  mType.Allocate(*storage, bandCount);
  mVariant.Allocate(*storage, bandCount);
  mBandBypass.Allocate(*storage, bandCount);
  mCoefficients.Allocate(*storage, bandCount);
  if (mMarkers.AllocateLastOrReset(*storage, [this] { LoadDefaults(); })) {
    mDriver->SetBypass(GetBypass());
    SendAllBiquads();
  }
}

cParametricEQUnit::~cParametricEQUnit() { Unregister(); }

cParametricEQUnit::sBand cParametricEQUnit::GetBand(UBYTE band) const {
  return sBand{mFrequency.Get(band), mWidth.Get(band),   mGain.Get(band),
               mType.Get(band),      mVariant.Get(band), mBandBypass.Get(band) != 0};
}

void cParametricEQUnit::StoreBand(UBYTE band, const sBand& values) {
  mFrequency.Set(band, values.mFrequency);
  mWidth.Set(band, values.mWidth);
  mGain.Set(band, values.mGain);
  mType.Set(band, values.mType);
  mVariant.Set(band, values.mVariant);
  mBandBypass.Set(band, values.mBypass ? 1 : 0);
}

void cParametricEQUnit::UpdateBiquad(UBYTE band, bool defaultQ) {
  if (band >= mBandCount) return;
  const sBand b = GetBand(band);
  const double frequency = UWORDToFrequency(b.mFrequency);
  const double q = defaultQ ? biquad::kFlatQ : biquad::QFromWidth(b.mWidth);
  biquad::tSection section{};
  const bool out = GetBypass() || b.mBypass;
  if (out ||
      !biquad::DesignEQSection(b.mType, b.mVariant, b.mGain * biquad::kGainStep, frequency, q, mSampling, section)) {
    section = biquad::DesignFlatSection(b.mType, frequency, q, mSampling);
  }
  mCoefficients.Store(band, section, mSampling.mScale, GetName(), frequency);
}

void cParametricEQUnit::SendBiquad(UBYTE band) {
  if (band >= mBandCount) return;
  const sBand b = GetBand(band);
  mDriver->SendBiquad(band, GetCoefficients(band), b.mFrequency, b.mWidth, b.mGain, b.mType, b.mVariant, GetBypass());
}

void cParametricEQUnit::SendAllBiquads() {
  for (UBYTE band = 0; band < mBandCount; ++band) SendBiquad(band);
}

void cParametricEQUnit::LoadDefaults() {
  mBypass.Set(0);
  const bool known = HasDefaultBands(mBandCount);
  if (!known) EW_REPORT_ERROR("Unknown number of bands");
  for (UBYTE band = 0; band < mBandCount; ++band) {
    sBand b = GetBand(band);
    b.mGain = 0;
    b.mWidth = kDefaultWidth;
    b.mVariant = 0;
    b.mBypass = false;
    if (known) {
      b.mType = nPEQ::BELL;
      b.mFrequency =
          UWORD((GetFrequencyRangesLower(mBandCount, band) + GetFrequencyRangesUpper(mBandCount, band)) >> 1);
    }
    StoreBand(band, b);
    UpdateBiquad(band, true);
  }
  mDriver->SetBypass(false);
  SendAllBiquads();
}

void cParametricEQUnit::EntrypointMessage(cEWNetMessage& message) {
  const UWORD method = message.mMethod;
  EW_NET_DATA_SCALE needed = 1;
  if (method >= kMethodBandBase && method < kMethodBandBase + 5 * mBandCount) {
    const int parameter = (method - kMethodBandBase) % 5;
    if (parameter == BAND_RANGE) return;
    if (parameter != BAND_BYPASS) needed = 2;
  } else if (method != kMethodBypass && method != kMethodFirstBandType && method != kMethodLastBandType) {
    cNetObject::EntrypointMessage(message);
    return;
  }
  if (!HasPayload(message, needed)) return;
  ApplyParameter(message);
  InformParameter(message);
}

void cParametricEQUnit::ApplyParameter(const cEWNetMessage& message) {
  const UWORD method = message.mMethod;
  if (method == kMethodBypass) {
    const bool bypass = UBYTEToBool(message.GetUBYTE(0));
    if (bypass == GetBypass()) return;
    mBypass.Set(bypass ? 1 : 0);
    mDriver->SetBypass(bypass);
    for (UBYTE band = 0; band < mBandCount; ++band) UpdateBiquad(band);
    SendAllBiquads();
    return;
  }
  if (mBandCount == 0) return;
  UBYTE band = 0;
  sBand b{};
  if (method == kMethodFirstBandType || method == kMethodLastBandType) {
    band = method == kMethodFirstBandType ? 0 : UBYTE(mBandCount - 1);
    b = GetBand(band);
    b.mType = message.GetUBYTE(0);
  } else {
    band = UBYTE((method - kMethodBandBase) / 5);
    b = GetBand(band);
    switch ((method - kMethodBandBase) % 5) {
      case BAND_FREQUENCY:
        b.mFrequency = message.GetUWORD(0);
        break;
      case BAND_WIDTH:
        b.mWidth = message.GetUWORD(0);
        break;
      case BAND_GAIN:
        b.mGain = UWORDToGain(message.GetUWORD(0));
        break;
      default:
        b.mBypass = UBYTEToBool(message.GetUBYTE(0));
        break;
    }
  }
  const sBand old = GetBand(band);
  if (b.mFrequency == old.mFrequency && b.mWidth == old.mWidth && b.mGain == old.mGain && b.mType == old.mType &&
      b.mBypass == old.mBypass) {
    return;
  }
  StoreBand(band, b);
  UpdateBiquad(band);
  SendBiquad(band);
}

void cParametricEQUnit::UpdateNewObject(UWORD connectionId, EW_NET_DATA_SCALE handle,
                                        EW_NET_DATA_SCALE destinationMethod, EW_NET_DATA_SCALE sourceMethod) {
  if (sourceMethod == kMethodBypass) {
    AnswerUBYTE(connectionId, handle, destinationMethod, GetBypass() ? 1 : 0);
  } else if ((sourceMethod == kMethodFirstBandType || sourceMethod == kMethodLastBandType) && mBandCount > 0) {
    const UBYTE band = sourceMethod == kMethodFirstBandType ? 0 : UBYTE(mBandCount - 1);
    AnswerUBYTE(connectionId, handle, destinationMethod, UBYTE(mType.Get(band)));
  } else if (sourceMethod >= kMethodBandBase && sourceMethod < kMethodBandBase + 5 * mBandCount) {
    const sBand b = GetBand(UBYTE((sourceMethod - kMethodBandBase) / 5));
    switch ((sourceMethod - kMethodBandBase) % 5) {
      case BAND_RANGE: {
        cEWNetMessage& answer = EWNetAddress(mSystemMessage, connectionId, handle, destinationMethod, 5);
        answer.SetUWORD(0, kRangeLowest);
        answer.SetUWORD(2, kRangeHighest);
        answer.SetUBYTE(4, 0);
        SendMessage(answer);
        break;
      }
      case BAND_FREQUENCY:
        AnswerUWORD(connectionId, handle, destinationMethod, b.mFrequency);
        break;
      case BAND_WIDTH:
        AnswerUWORD(connectionId, handle, destinationMethod, b.mWidth);
        break;
      case BAND_GAIN:
        AnswerUWORD(connectionId, handle, destinationMethod, GainToUWORD(b.mGain));
        break;
      default:
        AnswerUBYTE(connectionId, handle, destinationMethod, b.mBypass ? 1 : 0);
        break;
    }
  } else {
    cNetObject::UpdateNewObject(connectionId, handle, destinationMethod, sourceMethod);
  }
}

void cParametricEQUnit::WriteBlock(QDataStream& stream, bool bypass, const std::vector<sBand>& bands) {
  stream << bypass;
  for (const sBand& b : bands) {
    stream << qint16(b.mFrequency) << qint16(b.mWidth) << qint16(b.mGain) << qint32(b.mType) << qint8(b.mVariant)
           << b.mBypass;
  }
}

void cParametricEQUnit::SaveData(QDataStream* stream) {
  std::vector<sBand> bands;
  for (UBYTE band = 0; band < mBandCount; ++band) bands.push_back(GetBand(band));
  WriteBlock(*stream, GetBypass(), bands);
}

std::vector<bool> cParametricEQUnit::ApplyBands(bool eqBypass, const std::vector<sBand>& bands, bool takeBandBypass) {
  std::vector<bool> recomputed(mBandCount, false);
  // From a file, a change marks every later band too; from the device, a
  // band follows only its own record (and the EQ bypass).
  bool mark = false;
  if (eqBypass != GetBypass()) {
    mBypass.Set(eqBypass ? 1 : 0);
    mDriver->SetBypass(eqBypass);
    InformUBYTE(kMethodBypass, eqBypass ? 1 : 0);
    mark = true;
  }
  for (UBYTE band = 0; band < mBandCount && band < bands.size(); ++band) {
    const sBand old = GetBand(band);
    sBand value = bands[band];
    if (!takeBandBypass) value.mBypass = old.mBypass;
    StoreBand(band, value);
    bool changed = false;
    if (value.mFrequency != old.mFrequency) {
      InformUWORD(BandMethod(band, BAND_FREQUENCY), value.mFrequency);
      changed = true;
    }
    if (value.mWidth != old.mWidth) {
      InformUWORD(BandMethod(band, BAND_WIDTH), value.mWidth);
      changed = true;
    }
    if (value.mGain != old.mGain) {
      InformUWORD(BandMethod(band, BAND_GAIN), GainToUWORD(value.mGain));
      changed = true;
    }
    if (value.mType != old.mType) {
      if (band == 0) InformUBYTE(kMethodFirstBandType, UBYTE(value.mType));
      if (band == mBandCount - 1) InformUBYTE(kMethodLastBandType, UBYTE(value.mType));
      changed = true;
    }
    if (value.mBypass != old.mBypass) {
      InformUBYTE(BandMethod(band, BAND_BYPASS), value.mBypass ? 1 : 0);
      changed = true;
    }
    const bool ownChange = changed || value.mVariant != old.mVariant;
    if (takeBandBypass) mark = mark || changed;
    if (mark || ownChange) {
      UpdateBiquad(band);
      recomputed[band] = true;
    }
  }
  return recomputed;
}

void cParametricEQUnit::RecallData(QDataStream* stream) {
  bool eqBypass = false;
  *stream >> eqBypass;
  std::vector<sBand> bands(mBandCount);
  for (sBand& b : bands) {
    qint16 frequency = 0;
    qint16 width = 0;
    qint16 gain = 0;
    qint32 type = 0;
    qint8 variant = 0;
    bool bypass = false;
    *stream >> frequency >> width >> gain >> type >> variant >> bypass;
    b = sBand{UWORD(frequency), UWORD(width), GAIN(gain), ULONG(type), UBYTE(variant), bypass};
  }
  if (stream->status() != QDataStream::Ok) {
    EW_REPORT_ERROR("%s: recalled block is incomplete; nothing applied", GetName());
    return;
  }
  ApplyBands(eqBypass, bands, true);
  SendAllBiquads();
}

void cParametricEQUnit::SyncData() {
  const std::optional<sFilter> first = mDriver->GetSyncData(0);
  if (!first) return;
  std::vector<sBand> bands(mBandCount);
  for (UBYTE band = 0; band < mBandCount; ++band) {
    const std::optional<sFilter> record = mDriver->GetSyncData(band);
    if (!record) return;
    bands[band] =
        sBand{record->mFrequency, record->mWidth, record->mGain, record->mType, UBYTE(record->mVariant & 0xFF), false};
  }
  const std::vector<bool> recomputed = ApplyBands(first->mFlags != 0, bands, false);
  for (UBYTE band = 0; band < mBandCount; ++band) {
    if (recomputed[band]) SendBiquad(band);
  }
}
