#include "OrvelGUI/Core/ParametricEQUnit.h"

#include <QDataStream>

#include "AES-Standards/Convert.h"
#include "EWNet/Core/ErrLog.h"
#include "EWNet/Core/RegRoutr.h"
#include "OrvelGUI/Core/ParametricEQDriver.h"
#include "OrvelGUI/Core/Plausibility.h"

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
  if (!mCoefficients.Store(band, section, mSampling.mScale, GetName(), frequency)) NoteApplyFault();
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
  if (IsStaleLeaderMessage(message)) return;
  if (!HasPayload(message, needed)) return;
  if (ApplyParameter(message)) InformParameter(message);
}

bool cParametricEQUnit::IsStaleLeaderMessage(const cEWNetMessage& message) const {
  return mLeader != EW_INVALID_HANDLE && message.mConnectionId == 0 && message.mSource == mLeader &&
         !mDriver->GetGang();
}

void cParametricEQUnit::PublishParameter(UWORD method) {
  if (method == kMethodBypass) {
    InformUBYTE(method, GetBypass() ? 1 : 0);
  } else if (method == kMethodFirstBandType || method == kMethodLastBandType) {
    InformUBYTE(method, UBYTE(mType.Get(method == kMethodFirstBandType ? 0 : UBYTE(mBandCount - 1))));
  } else {
    const sBand b = GetBand(UBYTE((method - kMethodBandBase) / 5));
    switch ((method - kMethodBandBase) % 5) {
      case BAND_FREQUENCY:
        InformUWORD(method, b.mFrequency);
        break;
      case BAND_WIDTH:
        InformUWORD(method, b.mWidth);
        break;
      case BAND_GAIN:
        InformUWORD(method, GainToUWORD(b.mGain));
        break;
      default:
        InformUBYTE(method, b.mBypass ? 1 : 0);
        break;
    }
  }
}

bool cParametricEQUnit::ApplyParameter(const cEWNetMessage& message) {
  const UWORD method = message.mMethod;
  const bool isSwitch =
      method == kMethodBypass || (method >= kMethodBandBase && (method - kMethodBandBase) % 5 == BAND_BYPASS);
  if (isSwitch) {
    const std::string refusal = plausibility::CheckSwitch(Label(), "bypass", message.GetUBYTE(0));
    if (!refusal.empty()) {
      ReportRefusal(refusal);
      PublishParameter(method);
      return false;
    }
  }
  if (method == kMethodBypass) {
    const bool bypass = message.GetUBYTE(0) != 0;
    if (bypass == GetBypass()) return true;
    mBypass.Set(bypass ? 1 : 0);
    mDriver->SetBypass(bypass);
    for (UBYTE band = 0; band < mBandCount; ++band) UpdateBiquad(band);
    SendAllBiquads();
    return true;
  }
  if (mBandCount == 0) return true;
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
        b.mBypass = message.GetUBYTE(0) != 0;
        break;
    }
  }
  const sBand old = GetBand(band);
  if (b.mFrequency == old.mFrequency && b.mWidth == old.mWidth && b.mGain == old.mGain && b.mType == old.mType &&
      b.mBypass == old.mBypass) {
    return true;
  }
  const std::string refusal = plausibility::CheckBand(Label(), band, b);
  if (!refusal.empty()) {
    ReportRefusal(refusal);
    PublishParameter(method);
    return false;
  }
  StoreBand(band, b);
  UpdateBiquad(band);
  SendBiquad(band);
  return true;
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

std::string cParametricEQUnit::ReadBlock(QDataStream& stream, sBlock& block) const {
  stream >> block.mBypass;
  block.mBands.assign(mBandCount, sBand{});
  block.mBandBypass.assign(mBandCount, 0);
  for (UBYTE band = 0; band < mBandCount; ++band) {
    qint16 frequency = 0;
    qint16 width = 0;
    qint16 gain = 0;
    qint32 type = 0;
    qint8 variant = 0;
    stream >> frequency >> width >> gain >> type >> variant >> block.mBandBypass[band];
    block.mBands[band] =
        sBand{UWORD(frequency), UWORD(width), GAIN(gain), ULONG(type), UBYTE(variant), block.mBandBypass[band] != 0};
  }
  if (stream.status() != QDataStream::Ok) return Label() + ": recalled block is incomplete";
  std::string refusal = plausibility::CheckSwitch(Label(), "bypass", block.mBypass);
  for (UBYTE band = 0; band < mBandCount && refusal.empty(); ++band) {
    refusal =
        plausibility::CheckSwitch(Label() + " band " + std::to_string(band + 1), "bypass", block.mBandBypass[band]);
    if (refusal.empty()) refusal = plausibility::CheckBand(Label(), band, block.mBands[band]);
  }
  return refusal;
}

bool cParametricEQUnit::CheckData(QDataStream* stream, std::string& refusal) {
  sBlock block;
  refusal = ReadBlock(*stream, block);
  return refusal.empty();
}

void cParametricEQUnit::RecallData(QDataStream* stream) {
  sBlock block;
  if (!AcceptRecalledBlock(ReadBlock(*stream, block))) return;
  ApplyBands(block.mBypass != 0, block.mBands, true);
  SendAllBiquads();
}

void cParametricEQUnit::FollowLeader(const cParametricEQUnit& leader) {
  if (leader.GetBandCount() != mBandCount) return;
  std::vector<sBand> bands(mBandCount);
  for (UBYTE band = 0; band < mBandCount; ++band) {
    const sBand l = leader.GetBand(band);
    sBand& b = bands[band];
    b = GetBand(band);
    b.mFrequency = l.mFrequency;
    b.mWidth = l.mWidth;
    b.mGain = l.mGain;
    b.mBypass = l.mBypass;
    if (band == 0 || band + 1 == mBandCount) b.mType = l.mType;
  }
  const std::vector<bool> recomputed = ApplyBands(leader.GetBypass(), bands, true);
  for (UBYTE band = 0; band < mBandCount; ++band) {
    if (recomputed[band]) SendBiquad(band);
  }
}

bool cParametricEQUnit::ReadSyncRecords(std::vector<sFilter>& records) const {
  records.clear();
  for (UBYTE band = 0; band < mBandCount; ++band) {
    const std::optional<sFilter> record = mDriver->GetSyncData(band);
    if (!record) return false;
    records.push_back(*record);
  }
  return !records.empty();
}

void cParametricEQUnit::SyncData() {
  std::vector<sFilter> records;
  if (!ReadSyncRecords(records)) return;
  std::vector<sBand> bands(mBandCount);
  for (UBYTE band = 0; band < mBandCount; ++band) {
    const sFilter& record = records[band];
    const std::string refusal = plausibility::CheckBandRecord(Label(), band, record);
    if (!refusal.empty()) {
      ReportRefusedRecords(refusal);
      NoteSyncRefusal();
      return;
    }
    bands[band] =
        sBand{record.mFrequency, record.mWidth, record.mGain, record.mType, UBYTE(record.mVariant & 0xFF), false};
  }
  // Bit 0 is the EQ bypass; bit 7 is the gang, which is the gang's.
  const bool eqBypass = (records[0].mFlags & plausibility::kFlagBypass) != 0;
  const std::vector<bool> recomputed = ApplyBands(eqBypass, bands, false);
  for (UBYTE band = 0; band < mBandCount; ++band) {
    if (recomputed[band]) SendBiquad(band);
  }
}
