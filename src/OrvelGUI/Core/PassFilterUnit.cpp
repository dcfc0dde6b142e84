#include "OrvelGUI/Core/PassFilterUnit.h"

#include <QDataStream>

#include "AES-Standards/Convert.h"
#include "EWNet/Core/ErrLog.h"
#include "OrvelGUI/Core/PassFilterDriver.h"

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
  if (!biquad::DesignPassSection(mHighPass, GetSlope(), index, frequency, mSampling, section)) return;
  mCoefficients.Store(index, section, mSampling.mScale, GetName(), frequency);
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
      const bool bypass = UBYTEToBool(message.GetUBYTE(0));
      if (bypass == GetBypass()) return;
      mBypass.Set(bypass ? 1 : 0);
      mDriver->SetBypass(bypass);
      SendAllBiquads();
      InformParameter(message);
      return;
    }
    case kMethodFrequency:
    case kMethodSlope: {
      const bool frequency = message.mMethod == kMethodFrequency;
      if (!HasPayload(message, frequency ? 2 : 1)) return;
      if (frequency) {
        if (message.GetUWORD(0) == GetFrequency()) return;
        mFrequency.Set(message.GetUWORD(0));
      } else {
        if (message.GetUBYTE(0) == GetSlope()) return;
        mSlope.Set(message.GetUBYTE(0));
      }
      UpdateAllBiquads();
      SendAllBiquads();
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

void cPassFilterUnit::RecallData(QDataStream* stream) {
  qint16 frequency = 0;
  qint32 slope = 0;
  bool bypass = false;
  *stream >> frequency >> slope >> bypass;
  if (stream->status() != QDataStream::Ok) {
    EW_REPORT_ERROR("%s: recalled block is incomplete; nothing applied", GetName());
    return;
  }
  ApplySettings(UWORD(frequency), ULONG(slope), bypass, true);
  SendAllBiquads();
}

void cPassFilterUnit::SyncData() {
  const std::optional<sFilter> record = mDriver->GetSyncData();
  if (!record) return;
  if (ApplySettings(record->mFrequency, record->mType, record->mFlags != 0, true)) SendAllBiquads();
}
