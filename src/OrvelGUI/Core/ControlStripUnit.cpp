#include "OrvelGUI/Core/ControlStripUnit.h"

#include <QDataStream>

#include "AES-Standards/Convert.h"
#include "EWNet/Core/ErrLog.h"
#include "OrvelGUI/Core/ControlStripDriver.h"
#include "OrvelGUI/Core/Plausibility.h"

cControlStripUnit::cControlStripUnit(const char* name, cControlStripDriver* driver, cNonVolatileStorageManager* storage,
                                     cSavesManager* savesManager, UBYTE invert)
    : cAudioObject(name, 4, false),
      cSaveObject(name, savesManager),
      mDriver(driver),
      mInvert(invert),
      mMarkers(kFirstMarker, kLastMarker) {
  mMarkers.AllocateFirst(*storage);
  mMute.Allocate(*storage);
  mPolarity.Allocate(*storage);
  mGain.Allocate(*storage);
  // A valid block is sent by the driver's Reload once the unit exists.
  mMarkers.AllocateLastOrReset(*storage, [this] { LoadDefaults(); });
}

cControlStripUnit::~cControlStripUnit() { Unregister(); }

void cControlStripUnit::LoadDefaults() {
  mMute.Set(0);
  mPolarity.Set(0);
  mGain.Set(kGainMinusInfinity);
  mDriver->SetAll(false, mInvert != 0, kGainMinusInfinity);
}

void cControlStripUnit::EntrypointMessage(cEWNetMessage& message) {
  switch (message.mMethod) {
    case kMethodMute:
    case kMethodPolarity: {
      if (!HasPayload(message, 1)) return;
      const bool mute = message.mMethod == kMethodMute;
      const std::string refusal = plausibility::CheckSwitch(Label(), mute ? "mute" : "polarity", message.GetUBYTE(0));
      if (!refusal.empty()) {
        ReportRefusal(refusal);
        InformUBYTE(message.mMethod, mute ? mMute.Get() : mPolarity.Get());
        return;
      }
      const bool value = message.GetUBYTE(0) != 0;
      if (mute) {
        if (value == GetMute()) return;
        mMute.Set(value ? 1 : 0);
        mDriver->SetMute(value);
      } else {
        if (value == GetPolarity()) return;
        mPolarity.Set(value ? 1 : 0);
        mDriver->SetPolarity(value != (mInvert != 0));
      }
      InformParameter(message);
      return;
    }
    case kMethodGain: {
      if (!HasPayload(message, 2)) return;
      const GAIN gain = UWORDToGain(message.GetUWORD(0));
      if (gain == GetGain()) return;
      const std::string refusal = plausibility::CheckStripGain(Label(), gain);
      if (!refusal.empty()) {
        ReportRefusal(refusal);
        InformUWORD(kMethodGain, GainToUWORD(GetGain()));
        return;
      }
      mGain.Set(gain);
      mDriver->SetGain(gain);
      InformParameter(message);
      return;
    }
    case kMethodReserved:
      return;
    default:
      cNetObject::EntrypointMessage(message);
  }
}

void cControlStripUnit::UpdateNewObject(UWORD connectionId, EW_NET_DATA_SCALE handle,
                                        EW_NET_DATA_SCALE destinationMethod, EW_NET_DATA_SCALE sourceMethod) {
  switch (sourceMethod) {
    case kMethodMute:
      AnswerUBYTE(connectionId, handle, destinationMethod, mMute.Get());
      return;
    case kMethodPolarity:
      AnswerUBYTE(connectionId, handle, destinationMethod, mPolarity.Get());
      return;
    case kMethodGain:
      AnswerUWORD(connectionId, handle, destinationMethod, GainToUWORD(GetGain()));
      return;
    case kMethodReserved:
      AnswerUWORD(connectionId, handle, destinationMethod, 0);
      return;
    default:
      cNetObject::UpdateNewObject(connectionId, handle, destinationMethod, sourceMethod);
  }
}

void cControlStripUnit::WriteBlock(QDataStream& stream, bool mute, bool polarity, GAIN gain) {
  stream << mute << polarity << qint16(gain);
}

void cControlStripUnit::SaveData(QDataStream* stream) { WriteBlock(*stream, GetMute(), GetPolarity(), GetGain()); }

bool cControlStripUnit::ApplySettings(bool mute, bool polarity, GAIN gain) {
  bool changed = false;
  if (mute != GetMute()) {
    mMute.Set(mute ? 1 : 0);
    InformUBYTE(kMethodMute, mute ? 1 : 0);
    changed = true;
  }
  if (polarity != GetPolarity()) {
    mPolarity.Set(polarity ? 1 : 0);
    InformUBYTE(kMethodPolarity, polarity ? 1 : 0);
    changed = true;
  }
  if (gain != GetGain()) {
    mGain.Set(gain);
    InformUWORD(kMethodGain, GainToUWORD(gain));
    changed = true;
  }
  return changed;
}

std::string cControlStripUnit::ReadBlock(QDataStream& stream, sBlock& block) const {
  stream >> block.mMute >> block.mPolarity >> block.mGain;
  if (stream.status() != QDataStream::Ok) return Label() + ": recalled block is incomplete";
  std::string refusal = plausibility::CheckSwitch(Label(), "mute", block.mMute);
  if (refusal.empty()) refusal = plausibility::CheckSwitch(Label(), "polarity", block.mPolarity);
  if (refusal.empty()) refusal = plausibility::CheckStripGain(Label(), block.mGain);
  return refusal;
}

bool cControlStripUnit::CheckData(QDataStream* stream, std::string& refusal) {
  sBlock block;
  refusal = ReadBlock(*stream, block);
  return refusal.empty();
}

void cControlStripUnit::RecallData(QDataStream* stream) {
  sBlock block;
  if (!AcceptRecalledBlock(ReadBlock(*stream, block))) return;
  const bool mute = block.mMute != 0;
  const bool polarity = block.mPolarity != 0;
  ApplySettings(mute, polarity, GAIN(block.mGain));
  mDriver->SetAll(mute, polarity != (mInvert != 0), GAIN(block.mGain));
}

void cControlStripUnit::SyncData() {
  const std::optional<sControlStripRecord> record = mDriver->GetSyncData();
  if (!record) return;
  const std::string refusal = plausibility::CheckStripRecord(Label(), *record);
  if (!refusal.empty()) {
    ReportRefusedRecords(refusal);
    NoteSyncRefusal();
    return;
  }
  const bool mute = record->mMute != 0;
  const bool polarity = (record->mPolarity != 0) != (mInvert != 0);
  if (ApplySettings(mute, polarity, record->mGain)) mDriver->SetAll(mute, polarity != (mInvert != 0), record->mGain);
}
