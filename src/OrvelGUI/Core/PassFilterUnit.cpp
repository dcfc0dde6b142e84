#include "OrvelGUI/Core/PassFilterUnit.h"

#include <QDataStream>

#include "AES-Standards/Convert.h"
#include "EWNet/Core/ErrLog.h"
#include "OrvelGUI/Core/PassFilterDriver.h"
#include "OrvelGUI/Core/Plausibility.h"

cPassFilterUnit::cPassFilterUnit(const char* name, cPassFilterDriver* driver, cNonVolatileStorageManager* storage,
                                 cSavesManager* savesManager, UBYTE biquadCount, const biquad::sSampling& sampling,
                                 bool highPass, UWORD firstMarker, UWORD lastMarker)
    : cAudioObject(name, kParameterCount, false),
      cSaveObject(name, savesManager),
      mDriver(driver),
      mHighPass(highPass),
      mBiquadCount(biquadCount),
      mSampling(sampling),
      mMarkers(firstMarker, lastMarker) {
  mMarkers.AllocateFirst(*storage);
  mFrequency.Allocate(*storage);
  mSlope.Allocate(*storage);
  mBypass.Allocate(*storage);
  mCoefficients.Allocate(*storage, biquadCount);
  if (mMarkers.AllocateLastOrReset(*storage, [this] { LoadDefaults(); })) {
    mDriver->SetBypass(GetBypass());
    SendAllBiquads();
  }
}

cPassFilterUnit::~cPassFilterUnit() { Unregister(); }

void cPassFilterUnit::UpdateBiquad(UBYTE index) {
  const double frequency = UWORDToFrequency(GetFrequency());
  biquad::tSection section{};
  if (!biquad::DesignPassSection(mHighPass, GetSlope(), index, frequency, mSampling, section) ||
      !mCoefficients.Store(index, section, mSampling.mScale, GetName(), frequency)) {
    NoteApplyFault();
  }
}

std::string cPassFilterUnit::CheckSettings(UWORD frequency, ULONG slope, int bypass) const {
  std::string refusal = plausibility::CheckSwitch(Label(), "bypass", bypass);
  if (refusal.empty()) refusal = plausibility::CheckPassFilter(Label(), mHighPass, mBiquadCount, frequency, slope);
  return refusal;
}

void cPassFilterUnit::NoteRealisedSlope() const {
  if (GetBypass()) return;
  const std::string note = plausibility::RealisedSlope(mHighPass, GetSlope(), mBiquadCount);
  if (!note.empty()) EW_REPORT_NOTIFICATION("%s: %s %s", Label().c_str(), biquad::SlopeName(GetSlope()), note.c_str());
}

void cPassFilterUnit::UpdateAllBiquads() {
  for (UBYTE i = 0; i < mBiquadCount; ++i) UpdateBiquad(i);
}

void cPassFilterUnit::SendAllBiquads() {
  for (UBYTE i = 0; i < mBiquadCount; ++i) {
    mDriver->SendBiquad(i, GetCoefficients(i), GetFrequency(), UBYTE(GetSlope()), GetBypass());
  }
}

void cPassFilterUnit::LoadDefaults() {
  mFrequency.Set(kDefaultFrequency);
  mSlope.Set(kDefaultSlope);
  mBypass.Set(1);
  UpdateAllBiquads();
  mDriver->SetBypass(true);
  SendAllBiquads();
}

void cPassFilterUnit::EntrypointMessage(cEWNetMessage& message) {
  switch (message.mMethod) {
    case kMethodBypass: {
      if (!HasPayload(message, 1)) return;
      const std::string refusal = plausibility::CheckSwitch(Label(), "bypass", message.GetUBYTE(0));
      if (!refusal.empty()) {
        ReportRefusal(refusal);
        InformUBYTE(kMethodBypass, GetBypass() ? 1 : 0);
        return;
      }
      const bool bypass = message.GetUBYTE(0) != 0;
      if (bypass == GetBypass()) return;
      mBypass.Set(bypass ? 1 : 0);
      mDriver->SetBypass(bypass);
      SendAllBiquads();
      InformParameter(message);
      NoteRealisedSlope();
      return;
    }
    case kMethodFrequency:
    case kMethodSlope: {
      const bool isFrequency = message.mMethod == kMethodFrequency;
      if (!HasPayload(message, isFrequency ? 2 : 1)) return;
      const UWORD frequency = isFrequency ? message.GetUWORD(0) : GetFrequency();
      const ULONG slope = isFrequency ? GetSlope() : message.GetUBYTE(0);
      if (frequency == GetFrequency() && slope == GetSlope()) return;
      const std::string refusal = CheckSettings(frequency, slope, 0);
      if (!refusal.empty()) {
        ReportRefusal(refusal);
        if (isFrequency) {
          InformUWORD(kMethodFrequency, GetFrequency());
        } else {
          InformUBYTE(kMethodSlope, UBYTE(GetSlope()));
        }
        return;
      }
      mFrequency.Set(frequency);
      mSlope.Set(slope);
      UpdateAllBiquads();
      SendAllBiquads();
      if (!isFrequency) NoteRealisedSlope();
      return;
    }
    default:
      cNetObject::EntrypointMessage(message);
  }
}

void cPassFilterUnit::UpdateNewObject(UWORD connectionId, EW_NET_DATA_SCALE handle, EW_NET_DATA_SCALE destinationMethod,
                                      EW_NET_DATA_SCALE sourceMethod) {
  switch (sourceMethod) {
    case kMethodBypass:
      AnswerUBYTE(connectionId, handle, destinationMethod, GetBypass() ? 1 : 0);
      return;
    case kMethodFrequency:
      AnswerUWORD(connectionId, handle, destinationMethod, GetFrequency());
      return;
    case kMethodSlope:
      AnswerUBYTE(connectionId, handle, destinationMethod, UBYTE(GetSlope()));
      return;
    default:
      cNetObject::UpdateNewObject(connectionId, handle, destinationMethod, sourceMethod);
  }
}

void cPassFilterUnit::WriteBlock(QDataStream& stream, UWORD frequency, ULONG slope, bool bypass) {
  stream << qint16(frequency) << qint32(slope) << bypass;
}

void cPassFilterUnit::SaveData(QDataStream* stream) { WriteBlock(*stream, GetFrequency(), GetSlope(), GetBypass()); }

bool cPassFilterUnit::ApplySettings(UWORD frequency, ULONG slope, bool bypass, bool inform) {
  bool changed = false;
  if (frequency != GetFrequency() || slope != GetSlope()) {
    mFrequency.Set(frequency);
    mSlope.Set(slope);
    UpdateAllBiquads();
    if (inform) {
      InformUWORD(kMethodFrequency, frequency);
      InformUBYTE(kMethodSlope, UBYTE(slope));
    }
    changed = true;
  }
  if (bypass != GetBypass()) {
    mBypass.Set(bypass ? 1 : 0);
    mDriver->SetBypass(bypass);
    if (inform) InformUBYTE(kMethodBypass, bypass ? 1 : 0);
    changed = true;
  }
  return changed;
}

std::string cPassFilterUnit::ReadBlock(QDataStream& stream, sBlock& block) const {
  stream >> block.mFrequency >> block.mSlope >> block.mBypass;
  if (stream.status() != QDataStream::Ok) return Label() + ": recalled block is incomplete";
  return CheckSettings(UWORD(block.mFrequency), ULONG(block.mSlope), block.mBypass);
}

bool cPassFilterUnit::CheckData(QDataStream* stream, std::string& refusal) {
  sBlock block;
  refusal = ReadBlock(*stream, block);
  return refusal.empty();
}

void cPassFilterUnit::RecallData(QDataStream* stream) {
  sBlock block;
  if (!AcceptRecalledBlock(ReadBlock(*stream, block))) return;
  ApplySettings(UWORD(block.mFrequency), ULONG(block.mSlope), block.mBypass != 0, true);
  SendAllBiquads();
  NoteRealisedSlope();
}

void cPassFilterUnit::SyncData() {
  const std::optional<sFilter> record = mDriver->GetSyncData();
  if (!record) return;
  const std::string refusal = plausibility::CheckPassRecord(Label(), mHighPass, mBiquadCount, *record);
  if (!refusal.empty()) {
    ReportRefusedRecords(refusal);
    NoteSyncRefusal();
    return;
  }
  const bool bypass = (record->mFlags & plausibility::kFlagBypass) != 0;
  if (ApplySettings(record->mFrequency, record->mType, bypass, true)) SendAllBiquads();
}
