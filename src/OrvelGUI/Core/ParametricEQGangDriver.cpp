#include "OrvelGUI/Core/ParametricEQGangDriver.h"

#include <QDataStream>
#include <cstring>
#include <vector>

#include "AES-Standards/Convert.h"
#include "EWNet/Core/ErrLog.h"
#include "EWNet/Core/audiodrv.h"
#include "OrvelGUI/Core/ParametricEQDriver.h"
#include "OrvelGUI/Core/ParametricEQUnit.h"

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
  SetGang(UBYTEToBool(message.GetUBYTE(0)));
}

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

void cParametricEQGangDriver::RecallData(QDataStream* stream) {
  bool gang = false;
  *stream >> gang;
  if (stream->status() != QDataStream::Ok) {
    EW_REPORT_ERROR("%s: recalled block is incomplete; nothing applied", GetName());
    return;
  }
  if (gang == GetGang()) return;
  SetGang(gang);
  EWNetPublishUBYTE(*this, mSystemMessage, kMethodGang, gang ? 1 : 0);
  // The equalisers went out before this block with the old gang bit.
  mLeft->GetUnit()->SendAllBiquads();
  mRight->GetUnit()->SendAllBiquads();
}

void cParametricEQGangDriver::SyncData() {
  bool gang = GetGang();
  for (UBYTE band = 0; band < mBandCount && !gang; ++band) {
    const std::optional<sFilter> left = mLeft->GetSyncData(band);
    const std::optional<sFilter> right = mRight->GetSyncData(band);
    if (left && right && (left->mFlags & 0xFF80) != 0 && (right->mFlags & 0xFF80) != 0) gang = true;
  }
  SetGang(gang);
  EWNetPublishUBYTE(*this, mSystemMessage, kMethodGang, gang ? 1 : 0);
}
