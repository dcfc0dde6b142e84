#include "OrvelGUI/Core/DelayUnit.h"

#include <QDataStream>

#include "AES-Standards/Convert.h"
#include "EWNet/Core/ErrLog.h"
#include "OrvelGUI/Core/DelayDriver.h"
#include "OrvelGUI/Core/Plausibility.h"

namespace {

constexpr UWORD MethodOf(UBYTE channel) { return UWORD(cDelayUnit::kMethodLeft + channel); }
const char* const kSides[2] = {"left", "right"};

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
      const std::string refusal = plausibility::CheckDelay(Label(), kSides[channel], message.GetUWORD(0));
      if (!refusal.empty()) {
        ReportRefusal(refusal);
        InformUWORD(message.mMethod, GetDelay(channel));
        return;
      }
      SetDelay(channel, message.GetUWORD(0));
      InformParameter(message);
      if (GetGang()) FollowGang(channel);
      return;
    }
    case kMethodGang: {
      if (!HasPayload(message, 1)) return;
      const std::string refusal = plausibility::CheckSwitch(Label(), "gang", message.GetUBYTE(0));
      if (!refusal.empty()) {
        ReportRefusal(refusal);
        InformUBYTE(kMethodGang, mGang.Get());
        return;
      }
      const bool gang = message.GetUBYTE(0) != 0;
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

std::string cDelayUnit::ReadBlock(QDataStream& stream, sBlock& block) const {
  stream >> block.mLeft >> block.mRight >> block.mGang;
  if (stream.status() != QDataStream::Ok) return Label() + ": recalled block is incomplete";
  std::string refusal = plausibility::CheckDelay(Label(), kSides[0], UWORD(block.mLeft));
  if (refusal.empty()) refusal = plausibility::CheckDelay(Label(), kSides[1], UWORD(block.mRight));
  if (refusal.empty()) refusal = plausibility::CheckSwitch(Label(), "gang", block.mGang);
  return refusal;
}

bool cDelayUnit::CheckData(QDataStream* stream, std::string& refusal) {
  sBlock block;
  refusal = ReadBlock(*stream, block);
  return refusal.empty();
}

void cDelayUnit::RecallData(QDataStream* stream) {
  sBlock block;
  if (!AcceptRecalledBlock(ReadBlock(*stream, block))) return;
  const UWORD codes[2] = {UWORD(block.mLeft), UWORD(block.mRight)};
  for (UBYTE channel = 0; channel < 2; ++channel) {
    if (SetDelay(channel, codes[channel])) InformUWORD(MethodOf(channel), codes[channel]);
  }
  const bool gang = block.mGang != 0;
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
  const std::optional<std::array<std::int32_t, 6>> samples = mDriver->GetSyncDelays();
  if (!samples || base + 1 >= static_cast<int>(samples->size())) return;
  UWORD codes[2] = {0, 0};
  for (UBYTE channel = 0; channel < 2; ++channel) {
    const std::int32_t count = (*samples)[std::size_t(base + channel)];
    const std::string refusal = plausibility::CheckDelaySamples(Label(), kSides[channel], count);
    if (!refusal.empty()) {
      ReportRefusedRecords(refusal);
      NoteSyncRefusal();
      return;
    }
    codes[channel] = TimeToUWORD(count / 96000.0);
  }
  for (UBYTE channel = 0; channel < 2; ++channel) {
    if (codes[channel] == GetDelay(channel)) continue;
    mDelays.Set(channel, codes[channel]);  // the device has it already
    InformUWORD(MethodOf(channel), codes[channel]);
  }
  if (GetDelay(0) != GetDelay(1) && GetGang()) {
    mGang.Set(0);
    InformUBYTE(kMethodGang, 0);
  }
}
