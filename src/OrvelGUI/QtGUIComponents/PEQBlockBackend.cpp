#include "OrvelGUI/QtGUIComponents/PEQBlockBackend.h"

#include <QStringList>

#include "EWNet/Core/ErrLog.h"
#include "EWNet/Core/RegRoutr.h"
#include "OrvelGUI/Core/ParametricEQUnit.h"
#include "OrvelGUI/QtGUIComponents/PEQNetObject2.h"

namespace {

QStringList BandNames(int numberOfBands) {
  switch (numberOfBands) {
    case cPEQBlockBackend::TWO:
      return {"LF", "HF"};
    case cPEQBlockBackend::FOUR:
      return {"LF", "LM", "HM", "HF"};
    case cPEQBlockBackend::SIX:
      return {"LF", "LM1", "LM2", "HM1", "HM2", "HF"};
    default:
      return {};
  }
}

}  // namespace

cPEQBlockBackend::cPEQBlockBackend(const QString& prefix, int numberOfBands, QObject* parent)
    : QObject(parent), mBands(new QQmlObjectListModel<cPEQBandDrivers>(this)) {
  const QStringList names = BandNames(numberOfBands);
  if (names.isEmpty()) {
    EW_REPORT_ERROR("NumberOfBands outside allowable values");
  } else {
    mPeqDriver = new cPEQDriver(prefix + QStringLiteral(" Channel Parametric EQ Graph"), UBYTE(names.size()), this);
    for (const QString& name : names) mBands->append(new cPEQBandDrivers(prefix, name, this));
  }
  mBypass = new cQtBooleanSwitchDriver(prefix + QStringLiteral(" Channel PEQ In Out Switch"),
                                       cPEQBandDrivers::kReadDivider, true, this);
}

cPEQBlockBackend::~cPEQBlockBackend() = default;

bool cPEQBlockBackend::LinkBandDriver(UBYTE band, const char* unitName, std::optional<UWORD> rangeParam,
                                      UWORD frequencyParam, std::optional<UWORD> widthParam,
                                      std::optional<UWORD> gainParam, std::optional<UWORD> typeParam,
                                      UWORD bypassParam) {
  cPEQBandDrivers* drivers = mBands->at(band);
  if (drivers == nullptr) {
    EW_REPORT_ERROR("Band number outside bandlist");
    return false;
  }
  bool linked = true;
  if (rangeParam) linked = drivers->frequencyDriver()->LinkSourceToRange(unitName, *rangeParam, false) && linked;
  linked = drivers->frequencyDriver()->LinkSourceToValue(unitName, frequencyParam, false, true) && linked;
  if (widthParam) linked = drivers->widthDriver()->LinkSourceToValue(unitName, *widthParam, false, true) && linked;
  if (gainParam) linked = drivers->gainDriver()->LinkSourceToValue(unitName, *gainParam, false, true) && linked;
  if (typeParam) {
    linked = drivers->bandTypeSwitchDriver()->LinkSourceToValue(unitName, *typeParam, false, true, true) && linked;
  }
  return drivers->bypassDriver()->LinkSourceToValue(unitName, bypassParam, false, true, true) && linked;
}

bool cPEQBlockBackend::LinkToEQUnit(const char* unitName) {
  const int count = mBands->count();
  QList<int> order;
  if (count > 0) order << 0;
  if (count > 1) order << count - 1;
  for (int band = 1; band + 1 < count; ++band) order << band;
  bool linked = true;
  using eq = cParametricEQUnit;
  for (int band : order) {
    std::optional<UWORD> type;
    if (band == 0) type = eq::kMethodFirstBandType;
    if (band == count - 1 && count > 1) type = eq::kMethodLastBandType;
    const auto method = [band](eq::eBandParameter parameter) { return eq::BandMethod(UBYTE(band), parameter); };
    linked = LinkBandDriver(UBYTE(band), unitName, method(eq::BAND_RANGE), method(eq::BAND_FREQUENCY),
                            method(eq::BAND_WIDTH), method(eq::BAND_GAIN), type, method(eq::BAND_BYPASS)) &&
             linked;
    if (mPeqDriver != nullptr) {
      linked = mPeqDriver->LinkBand(UBYTE(band), unitName, method(eq::BAND_BYPASS), method(eq::BAND_RANGE),
                                    method(eq::BAND_FREQUENCY), method(eq::BAND_WIDTH), method(eq::BAND_GAIN), type) &&
               linked;
    }
  }
  if (mPeqDriver != nullptr) linked = mPeqDriver->LinkFullyBypassed(unitName, eq::kMethodBypass) && linked;
  return mBypass->LinkSourceToValue(unitName, eq::kMethodBypass, false, true, true) && linked;
}

void cPEQBlockBackend::RemoveFromNetwork() {
  cRegistryLocker lock;
  if (mPeqDriver != nullptr) mPeqDriver->RemoveFromNetwork();
  for (cPEQBandDrivers* band : mBands->toList()) {
    band->bandTypeSwitchDriver()->DestroyAudioObject();
    band->frequencyDriver()->DestroyAudioObject();
    band->widthDriver()->DestroyAudioObject();
    band->gainDriver()->DestroyAudioObject();
    band->bypassDriver()->DestroyAudioObject();
  }
  mBypass->DestroyAudioObject();
}
