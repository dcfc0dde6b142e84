#include "OrvelGUI/Core/ParametricEQGangDriver.h"

#include <QDataStream>
#include <cstring>
#include <vector>

#include "AES-Standards/Convert.h"
#include "EWNet/Core/ErrLog.h"
#include "EWNet/Core/audiodrv.h"
#include "OrvelGUI/Core/ParametricEQDriver.h"
#include "OrvelGUI/Core/ParametricEQUnit.h"
#include "OrvelGUI/Core/Plausibility.h"

namespace {

void CopyUnitName(char (&target)[cSaveObject::kNameSize], const cParametricEQDriver* driver) {
  const cNetObject* unit = driver != nullptr ? driver->GetAudioObject() : nullptr;
  std::strncpy(target, unit != nullptr ? unit->GetName() : "", sizeof target - 1);
  target[sizeof target - 1] = '\0';
}

}  // namespace

cParametricEQGangDriver::cParametricEQGangDriver(const char* name, cNonVolatileStorageManager* storage,
                                                 cSavesManager* savesManager, cParametricEQDriver* left,
                                                 cParametricEQDriver* right, UBYTE bandCount)
    : cNetObject(name, 1, false, false),
      cSaveObject(name, savesManager),
      mLeft(left),
      mRight(right),
      mLeftName{},
      mRightName{},
      mBandCount(bandCount),
      mMarkers(kFirstMarker, kLastMarker) {
  CopyUnitName(mLeftName, left);
  CopyUnitName(mRightName, right);
  mMarkers.AllocateFirst(*storage);
  mGang.Allocate(*storage);
  mMarkers.AllocateLastOrReset(*storage, [this] { mGang.Set(0); });
  mLeft->SetGang(GetGang());
  mRight->SetGang(GetGang());
  mRight->GetUnit()->SetLeader(mLeft->GetUnit()->GetHandle());
  // Freshly made units have no links to remove.
  if (GetGang()) ApplyGang(false);
}

cParametricEQGangDriver::~cParametricEQGangDriver() {
  if (GetGang()) ApplyGang(true);
  Unregister();
}

void cParametricEQGangDriver::ApplyGang(bool remove) {
  std::vector<UWORD> methods = {cParametricEQUnit::kMethodBypass, cParametricEQUnit::kMethodFirstBandType,
                                cParametricEQUnit::kMethodLastBandType};
  for (UBYTE band = 0; band < mBandCount; ++band) {
    for (auto parameter : {cParametricEQUnit::BAND_FREQUENCY, cParametricEQUnit::BAND_WIDTH,
                           cParametricEQUnit::BAND_GAIN, cParametricEQUnit::BAND_BYPASS}) {
      methods.push_back(cParametricEQUnit::BandMethod(band, parameter));
    }
  }
  for (UWORD method : methods) QueueParameterLink(mLeftName, method, mRightName, method, true, remove, false);
}

void cParametricEQGangDriver::SetGang(bool gang) {
  mGang.Set(gang ? 1 : 0);
  mLeft->SetGang(gang);
  mRight->SetGang(gang);
  ApplyGang(!gang);
}

void cParametricEQGangDriver::EntrypointMessage(cEWNetMessage& message) {
  if (message.mMethod != kMethodGang) {
    cNetObject::EntrypointMessage(message);
    return;
  }
  if (!EWNetPayloadLongEnough(*this, message, 1)) return;
  const std::string refusal = plausibility::CheckSwitch(Label(), "gang", message.GetUBYTE(0));
  if (!refusal.empty()) {
    EW_REPORT_ERROR("%s; not applied", refusal.c_str());
    EWNetPublishUBYTE(*this, mSystemMessage, kMethodGang, mGang.Get());
    return;
  }
  SetGang(message.GetUBYTE(0) != 0);
}

std::string cParametricEQGangDriver::Label() const { return plausibility::UnitLabel(GetName()); }

void cParametricEQGangDriver::FollowLeft() { mRight->GetUnit()->FollowLeader(*mLeft->GetUnit()); }

void cParametricEQGangDriver::UpdateNewObject(UWORD connectionId, EW_NET_DATA_SCALE handle,
                                              EW_NET_DATA_SCALE destinationMethod, EW_NET_DATA_SCALE sourceMethod) {
  if (sourceMethod != kMethodGang) {
    cNetObject::UpdateNewObject(connectionId, handle, destinationMethod, sourceMethod);
    return;
  }
  EWNetSendUBYTE(mSystemMessage, connectionId, handle, destinationMethod, mGang.Get());
}

void cParametricEQGangDriver::WriteBlock(QDataStream& stream, bool gang) { stream << gang; }

void cParametricEQGangDriver::SaveData(QDataStream* stream) { WriteBlock(*stream, GetGang()); }

std::string cParametricEQGangDriver::ReadBlock(QDataStream& stream, qint8& gang) const {
  stream >> gang;
  if (stream.status() != QDataStream::Ok) return Label() + ": recalled block is incomplete";
  return plausibility::CheckSwitch(Label(), "gang", gang);
}

bool cParametricEQGangDriver::CheckData(QDataStream* stream, std::string& refusal) {
  qint8 gang = 0;
  refusal = ReadBlock(*stream, gang);
  return refusal.empty();
}

void cParametricEQGangDriver::RecallData(QDataStream* stream) {
  qint8 value = 0;
  if (!AcceptRecalledBlock(ReadBlock(*stream, value))) return;
  const bool gang = value != 0;
  // The right block of a ganged file may differ from the left one (a file
  // written elsewhere); the left one's links would copy it over only once
  // the system builder has made them.
  if (gang) FollowLeft();
  if (gang == GetGang()) return;
  SetGang(gang);
  EWNetPublishUBYTE(*this, mSystemMessage, kMethodGang, gang ? 1 : 0);
  // The equalisers went out before this block with the old gang bit.
  mLeft->GetUnit()->SendAllBiquads();
  mRight->GetUnit()->SendAllBiquads();
}

void cParametricEQGangDriver::SyncData() {
  // Bit 7 of a band's flags is the gang its packet went out with. Only bands
  // sent while ganged carry it, so it turns the gang on and never off.
  bool gang = GetGang();
  for (UBYTE band = 0; band < mBandCount; ++band) {
    const std::optional<sFilter> left = mLeft->GetSyncData(band);
    const std::optional<sFilter> right = mRight->GetSyncData(band);
    if (!left || !right) return;
    // Records the equalisers refuse tell nothing about the gang either.
    if (!plausibility::CheckBandRecord(Label(), band, *left).empty() ||
        !plausibility::CheckBandRecord(Label(), band, *right).empty()) {
      EW_REPORT_ERROR("%s: the device's records are not plausible; the gang keeps its value", Label().c_str());
      NoteSyncRefusal();
      return;
    }
    if ((left->mFlags & plausibility::kFlagGang) != 0 && (right->mFlags & plausibility::kFlagGang) != 0) gang = true;
  }
  if (mBandCount == 0) return;
  SetGang(gang);
  if (gang) FollowLeft();
  EWNetPublishUBYTE(*this, mSystemMessage, kMethodGang, gang ? 1 : 0);
}
