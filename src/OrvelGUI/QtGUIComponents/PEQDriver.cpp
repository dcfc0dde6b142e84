#include "OrvelGUI/QtGUIComponents/PEQDriver.h"

#include "EWNet/Core/ErrLog.h"
#include "EWNet/Core/RegRoutr.h"
#include "EWNet/Core/audiodrv.h"
#include "OrvelGUI/QtGUIComponents/PEQNetObject2.h"
#include "QtGUIComponents/EWNetDrivers/SignalSlotDrivers/GuiThreadHandoff.h"

cPEQDriver::cPEQDriver(const QString& netObjectName, UBYTE numberOfBands, QObject* parent)
    : cPEQDriverInterface(parent), mToGui(new cGuiThreadHandoff(this)), mBands(numberOfBands) {
  mShared.mBands.resize(numberOfBands);
  cRegistryLocker lock;
  mNetObject = new cPEQNetObject2(netObjectName.toLocal8Bit().constData(), this, numberOfBands);
}

cPEQDriver::~cPEQDriver() { RemoveFromNetwork(); }

void cPEQDriver::RemoveFromNetwork() {
  cRegistryLocker lock;
  delete mNetObject;
  mNetObject = nullptr;
}

bool cPEQDriver::LinkBand(UBYTE band, const char* unitName, UWORD bypassParam, UWORD rangeParam, UWORD frequencyParam,
                          UWORD widthParam, UWORD gainParam, std::optional<UWORD> typeParam) {
  if (!Valid(band)) {
    EW_REPORT_ERROR("Band number outside bandlist");
    return false;
  }
  if (mNetObject == nullptr || !mNetObject->IsRegistered()) return false;
  const char* own = mNetObject->GetName();
  const UBYTE n = UBYTE(mBands.size());
  using P = cPEQNetObject2;
  bool queued =
      QueueParameterLink(unitName, rangeParam, own, P::BandMethod(n, band, P::FREQ_RANGE), true, false, false);
  const std::pair<UWORD, P::eBandParameter> bothWays[] = {
      {bypassParam, P::BYPASS}, {frequencyParam, P::FREQ}, {widthParam, P::WIDTH}, {gainParam, P::GAIN_PARAM}};
  for (const auto& link : bothWays) {
    queued =
        QueueParameterLink(unitName, link.first, own, P::BandMethod(n, band, link.second), true, false, true) && queued;
  }
  if (typeParam) {
    queued =
        QueueParameterLink(unitName, *typeParam, own, P::BandMethod(n, band, P::TYPE), true, false, true) && queued;
  }
  return queued;
}

bool cPEQDriver::LinkFullyBypassed(const char* unitName, UWORD param) {
  if (mNetObject == nullptr || !mNetObject->IsRegistered()) return false;
  return QueueParameterLink(unitName, param, mNetObject->GetName(), cPEQNetObject2::kFullyBypassed, true, false, false);
}

GAIN cPEQDriver::GetBandGain(UBYTE BandIndex) const { return Valid(BandIndex) ? mBands[BandIndex].mGain : 0; }
UWORD cPEQDriver::GetBandFreq(UBYTE BandIndex) const { return Valid(BandIndex) ? mBands[BandIndex].mFrequency : 0; }
UWORD cPEQDriver::GetBandWidth(UBYTE BandIndex) const { return Valid(BandIndex) ? mBands[BandIndex].mWidth : 0; }
UBYTE cPEQDriver::GetBandType(UBYTE BandIndex) const { return Valid(BandIndex) ? mBands[BandIndex].mType : 0; }
bool cPEQDriver::GetBandBypassed(UBYTE BandIndex) const { return Valid(BandIndex) && mBands[BandIndex].mBypassed; }
UWORD cPEQDriver::GetBandFreqMin(UBYTE BandIndex) const {
  return Valid(BandIndex) ? mBands[BandIndex].mFrequencyMin : 0;
}
UWORD cPEQDriver::GetBandFreqMax(UBYTE BandIndex) const {
  return Valid(BandIndex) ? mBands[BandIndex].mFrequencyMax : 0;
}

// ---------------------------------------------------------------------------
// From the graph (GUI thread): stored here and in the shared copy, which the
// net object sends on its next tick.

void cPEQDriver::WriteBandGain(UBYTE BandIndex, GAIN Gain) { WriteEdited(BandIndex, FIELD_GAIN, &sBand::mGain, Gain); }

void cPEQDriver::WriteBandFreq(UBYTE BandIndex, UWORD Freq) {
  WriteEdited(BandIndex, FIELD_FREQUENCY, &sBand::mFrequency, Freq);
}

void cPEQDriver::WriteBandWidthIndex(UBYTE BandIndex, UWORD WidthIndex) {
  WriteEdited(BandIndex, FIELD_WIDTH, &sBand::mWidth, WidthIndex);
}

void cPEQDriver::ApplyBandEdit(UBYTE band, eBandField field, int value) {
  if (!Valid(band)) return;
  switch (field) {
    case FIELD_GAIN:
      WriteShared(band, &sBand::mGain, GAIN(value));
      emit GainChanged(band, GAIN(value));
      return;
    case FIELD_FREQUENCY:
      WriteShared(band, &sBand::mFrequency, UWORD(value));
      emit FreqChanged(band, UWORD(value));
      return;
    case FIELD_WIDTH:
      WriteShared(band, &sBand::mWidth, UWORD(value));
      emit WidthChanged(band, UWORD(value));
      return;
  }
}

void cPEQDriver::WriteBandEQType(UBYTE BandIndex, UBYTE Type) { WriteShared(BandIndex, &sBand::mType, Type); }

void cPEQDriver::WriteBandFreqRange(UBYTE BandIndex, UWORD FreqMin, UWORD FreqMax) {
  if (!Valid(BandIndex)) return;
  mBands[BandIndex].mFrequencyMin = FreqMin;
  mBands[BandIndex].mFrequencyMax = FreqMax;
}

void cPEQDriver::WriteBandBypassed(UBYTE BandIndex, bool Bypass) {
  if (Valid(BandIndex)) mBands[BandIndex].mBypassed = Bypass;
}

void cPEQDriver::WriteBandPassFreq(UWORD BandPassFreq) {
  mBandPassFreq = BandPassFreq;
  std::lock_guard<std::mutex> lock(mShareLock);
  mShared.mBandPassFreq = BandPassFreq;
}

void cPEQDriver::WriteBandPass(bool BandPass) { mBandPass = BandPass; }

void cPEQDriver::WriteFullyBypassed(bool Bypass) { mFullyBypassed = Bypass; }

// ---------------------------------------------------------------------------
// From the network (dispatch thread).

cPEQDriver::sOutgoing cPEQDriver::ReadOutgoing() const {
  std::lock_guard<std::mutex> lock(mShareLock);
  return mShared;
}

template <typename T>
void cPEQDriver::NetworkBandValue(UBYTE band, T sBand::*field, T value, void (cPEQDriverInterface::*changed)(uint, T)) {
  {
    std::lock_guard<std::mutex> lock(mShareLock);
    mShared.mBands[band].*field = value;
  }
  mToGui->Post([this, band, field, value, changed] {
    {
      // Overtaken by a later write from either side: that one stands.
      std::lock_guard<std::mutex> lock(mShareLock);
      if (mShared.mBands[band].*field != value) return;
    }
    if (mBands[band].*field == value) return;
    mBands[band].*field = value;
    emit(this->*changed)(band, value);
  });
}

void cPEQDriver::NetworkGain(UBYTE band, GAIN gain) {
  NetworkBandValue(band, &sBand::mGain, gain, &cPEQDriverInterface::GainChanged);
}

void cPEQDriver::NetworkFreq(UBYTE band, UWORD frequency) {
  NetworkBandValue(band, &sBand::mFrequency, frequency, &cPEQDriverInterface::FreqChanged);
}

void cPEQDriver::NetworkWidth(UBYTE band, UWORD width) {
  NetworkBandValue(band, &sBand::mWidth, width, &cPEQDriverInterface::WidthChanged);
}

void cPEQDriver::NetworkType(UBYTE band, UBYTE type) {
  NetworkBandValue(band, &sBand::mType, type, &cPEQDriverInterface::TypeChanged);
}

void cPEQDriver::NetworkBandPassFreq(UWORD frequency) {
  {
    std::lock_guard<std::mutex> lock(mShareLock);
    mShared.mBandPassFreq = frequency;
  }
  mToGui->Post([this, frequency] {
    {
      std::lock_guard<std::mutex> lock(mShareLock);
      if (mShared.mBandPassFreq != frequency) return;
    }
    if (mBandPassFreq == frequency) return;
    mBandPassFreq = frequency;
    emit BandPassFreqChanged(frequency);
  });
}

// These only ever come from the network: nothing to overtake them.

void cPEQDriver::NetworkBypass(UBYTE band, bool bypass) {
  mToGui->Post([this, band, bypass] {
    if (mBands[band].mBypassed == bypass) return;
    mBands[band].mBypassed = bypass;
    emit BypassChanged(band, bypass);
  });
}

void cPEQDriver::NetworkFreqRange(UBYTE band, UWORD minimum, UWORD maximum) {
  mToGui->Post([this, band, minimum, maximum] {
    sBand& b = mBands[band];
    if (b.mFrequencyMin == minimum && b.mFrequencyMax == maximum) return;
    b.mFrequencyMin = minimum;
    b.mFrequencyMax = maximum;
    emit FreqRangeChanged(band, minimum, maximum);
  });
}

void cPEQDriver::NetworkFullyBypassed(bool bypass) {
  mToGui->Post([this, bypass] {
    if (mFullyBypassed == bypass) return;
    mFullyBypassed = bypass;
    emit FullyBypassedChanged(bypass);
  });
}

void cPEQDriver::NetworkBandPass(bool bandPass) {
  mToGui->Post([this, bandPass] {
    if (mBandPass == bandPass) return;
    mBandPass = bandPass;
    emit BandPassChanged(bandPass);
  });
}
