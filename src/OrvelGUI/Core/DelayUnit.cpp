#include "OrvelGUI/Core/DelayUnit.h"

#include <QDataStream>

#include "AES-Standards/Convert.h"
#include "EWNet/Core/ErrLog.h"
#include "OrvelGUI/Core/DelayDriver.h"

namespace {

constexpr UWORD MethodOf(UBYTE channel) { return UWORD(cDelayUnit::kMethodLeft + channel); }

}  // namespace

cDelayUnit::cDelayUnit(const char* name, cDelayDriver* driver, cNonVolatileStorageManager* storage,
                       cSavesManager* savesManager, bool forceDefaults)
    : cAudioObject(name, 3, true),
      cSaveObject(name, savesManager),
      mDriver(driver),
      mMarkers(kFirstMarker, kLastMarker) {
  mMarkers.AllocateFirst(*storage);
  mDelays.Allocate(*storage, 2);
  mGang.Allocate(*storage);
  mMarkers.AllocateLastOrReset(
      *storage, [this] { LoadDefaults(); }, forceDefaults);
}

cDelayUnit::~cDelayUnit() { Unregister(); }

void cDelayUnit::MarkPending(UBYTE channel) {
  mPending[channel] = true;
  mStep[channel] = 1;
}

bool cDelayUnit::SetDelay(UBYTE channel, UWORD code) {
  if (code == GetDelay(channel)) return false;
  mDelays.Set(channel, code);
  MarkPending(channel);
  return true;
}

void cDelayUnit::FollowGang(UBYTE from) {
  const UBYTE to = UBYTE(1 - from);
  SetDelay(to, GetDelay(from));
  InformUWORD(MethodOf(to), GetDelay(from));
}

void cDelayUnit::LoadDefaults() {
  SetDelay(0, 0);
  SetDelay(1, 0);
  mGang.Set(0);
}

void cDelayUnit::ActionTick() {
  for (UBYTE channel = 0; channel < 2; ++channel) {
    if (!mPending[channel]) continue;
    if (mStep[channel] == 1) {
      mStep[channel] = 2;
    } else {
      mPending[channel] = false;
      mDriver->SendDelay(channel, GetDelay(channel));
    }
  }
}

void cDelayUnit::EntrypointMessage(cEWNetMessage& message) {
  switch (message.mMethod) {
    case kMethodLeft:
    case kMethodRight: {
      if (!HasPayload(message, 2)) return;
      const UBYTE channel = UBYTE(message.mMethod - kMethodLeft);
      SetDelay(channel, message.GetUWORD(0));
      InformParameter(message);
      if (GetGang()) FollowGang(channel);
      return;
    }
    case kMethodGang: {
      if (!HasPayload(message, 1)) return;
      const bool gang = UBYTEToBool(message.GetUBYTE(0));
      mGang.Set(gang ? 1 : 0);
      if (gang) FollowGang(0);
      InformParameter(message);
      return;
    }
    default:
      cNetObject::EntrypointMessage(message);
  }
}

void cDelayUnit::UpdateNewObject(UWORD connectionId, EW_NET_DATA_SCALE handle, EW_NET_DATA_SCALE destinationMethod,
                                 EW_NET_DATA_SCALE sourceMethod) {
  switch (sourceMethod) {
    case kMethodLeft:
    case kMethodRight:
      AnswerUWORD(connectionId, handle, destinationMethod, GetDelay(UBYTE(sourceMethod - kMethodLeft)));
      return;
    case kMethodGang:
      AnswerUBYTE(connectionId, handle, destinationMethod, mGang.Get());
      return;
    default:
      cNetObject::UpdateNewObject(connectionId, handle, destinationMethod, sourceMethod);
  }
}

void cDelayUnit::WriteBlock(QDataStream& stream, UWORD left, UWORD right, UBYTE gang) {
  stream << qint16(left) << qint16(right) << qint16(gang);
}

void cDelayUnit::SaveData(QDataStream* stream) { WriteBlock(*stream, GetDelay(0), GetDelay(1), mGang.Get()); }

void cDelayUnit::RecallData(QDataStream* stream) {
  qint16 left = 0;
  qint16 right = 0;
  qint16 gangValue = 0;
  *stream >> left >> right >> gangValue;
  if (stream->status() != QDataStream::Ok) {
    EW_REPORT_ERROR("%s: recalled block is incomplete; nothing applied", GetName());
    return;
  }
  const UWORD codes[2] = {UWORD(left), UWORD(right)};
  for (UBYTE channel = 0; channel < 2; ++channel) {
    if (SetDelay(channel, codes[channel])) InformUWORD(MethodOf(channel), codes[channel]);
  }
  const bool gang = gangValue != 0;
  const bool settled = gang == GetGang() && (!gang || codes[0] == codes[1]);
  if (!settled) {
    mGang.Set(gang ? 1 : 0);
    if (gang) FollowGang(0);
    InformUBYTE(kMethodGang, gang ? 1 : 0);
  }
  MarkPending(0);
  MarkPending(1);
}

void cDelayUnit::SyncData() {
  const UBYTE base = mDriver->GetBase();
  const std::array<std::int32_t, 6> samples = mDriver->GetSyncDelays();
  if (base + 1 >= static_cast<int>(samples.size())) return;
  for (UBYTE channel = 0; channel < 2; ++channel) {
    const UWORD code = TimeToUWORD(samples[std::size_t(base + channel)] / 96000.0);
    if (code == GetDelay(channel)) continue;
    mDelays.Set(channel, code);  // the device has it already
    InformUWORD(MethodOf(channel), code);
  }
  if (GetDelay(0) != GetDelay(1) && GetGang()) {
    mGang.Set(0);
    InformUBYTE(kMethodGang, 0);
  }
}
