#include "OrvelGUI/QtGUIComponents/PEQNetObject2.h"

#include "AES-Standards/Convert.h"
#include "EWNet/Core/ErrLog.h"

cPEQNetObject2::cPEQNetObject2(const char* name, cPEQDriver* driver, UBYTE numberOfBands)
    : cNetObject(name, ParameterCount(numberOfBands), true, false), mDriver(driver), mBandCount(numberOfBands) {
  mCopy.mBands.resize(numberOfBands);
}

cPEQNetObject2::~cPEQNetObject2() { Unregister(); }

void cPEQNetObject2::EntrypointMessage(cEWNetMessage& message) {
  if (!mSources.Admits(*this, message)) return;
  const UWORD method = message.mMethod;
  switch (method) {
    case kFullyBypassed:
      if (!EWNetPayloadLongEnough(*this, message, 1)) return;
      mDriver->NetworkFullyBypassed(UBYTEToBool(message.GetUBYTE(0)));
      return;
    case kBandPass:
      if (!EWNetPayloadLongEnough(*this, message, 1)) return;
      mDriver->NetworkBandPass(UBYTEToBool(message.GetUBYTE(0)));
      return;
    case kBandPassFreq:
      if (!EWNetPayloadLongEnough(*this, message, 2)) return;
      mCopy.mBandPassFreq = message.GetUWORD(0);
      mDriver->NetworkBandPassFreq(mCopy.mBandPassFreq);
      return;
    default:
      break;
  }
  const int offset = int(method) - BandMethod(mBandCount, 0, GAIN_PARAM);
  if (mBandCount == 0 || offset < 0 || offset >= kBandParameterCount * mBandCount) {
    cNetObject::EntrypointMessage(message);
    return;
  }
  Receive(eBandParameter(offset / mBandCount), UBYTE(offset % mBandCount), message);
}

void cPEQNetObject2::Receive(eBandParameter parameter, UBYTE band, const cEWNetMessage& message) {
  cPEQDriver::sBand& copy = mCopy.mBands[band];
  switch (parameter) {
    case GAIN_PARAM:
      if (!EWNetPayloadLongEnough(*this, message, 2)) return;
      copy.mGain = UWORDToGain(message.GetUWORD(0));
      mDriver->NetworkGain(band, copy.mGain);
      return;
    case FREQ:
      if (!EWNetPayloadLongEnough(*this, message, 2)) return;
      copy.mFrequency = message.GetUWORD(0);
      mDriver->NetworkFreq(band, copy.mFrequency);
      return;
    case WIDTH:
      if (!EWNetPayloadLongEnough(*this, message, 2)) return;
      copy.mWidth = message.GetUWORD(0);
      mDriver->NetworkWidth(band, copy.mWidth);
      return;
    case TYPE:
      if (!EWNetPayloadLongEnough(*this, message, 1)) return;
      copy.mType = message.GetUBYTE(0);
      mDriver->NetworkType(band, copy.mType);
      return;
    case QTYPE:
      EW_REPORT_ERROR("PEQ Graph Driver QType. Handling NYI");
      return;
    case BYPASS:
      if (!EWNetPayloadLongEnough(*this, message, 1)) return;
      copy.mBypassed = message.GetUBYTE(0) != 0;
      mDriver->NetworkBypass(band, copy.mBypassed);
      return;
    default:  // FREQ_RANGE
      if (!EWNetPayloadLongEnough(*this, message, 4)) return;
      copy.mFrequencyMin = message.GetUWORD(0);
      copy.mFrequencyMax = message.GetUWORD(2);
      mDriver->NetworkFreqRange(band, copy.mFrequencyMin, copy.mFrequencyMax);
      return;
  }
}

void cPEQNetObject2::ActionTick() {
  const cPEQDriver::sOutgoing now = mDriver->ReadOutgoing();
  for (UBYTE b = 0; b < mBandCount && b < now.mBands.size(); ++b) {
    const cPEQDriver::sBand& value = now.mBands[b];
    cPEQDriver::sBand& copy = mCopy.mBands[b];
    if (value.mGain != copy.mGain) {
      copy.mGain = value.mGain;
      EWNetPublishUWORD(*this, mSystemMessage, BandMethod(mBandCount, b, GAIN_PARAM), GainToUWORD(value.mGain));
    }
    if (value.mFrequency != copy.mFrequency) {
      copy.mFrequency = value.mFrequency;
      EWNetPublishUWORD(*this, mSystemMessage, BandMethod(mBandCount, b, FREQ), value.mFrequency);
    }
    if (value.mWidth != copy.mWidth) {
      copy.mWidth = value.mWidth;
      EWNetPublishUWORD(*this, mSystemMessage, BandMethod(mBandCount, b, WIDTH), value.mWidth);
    }
    if (value.mType != copy.mType) {
      copy.mType = value.mType;
      EWNetPublishUBYTE(*this, mSystemMessage, BandMethod(mBandCount, b, TYPE), value.mType);
    }
  }
  if (now.mBandPassFreq != mCopy.mBandPassFreq) {
    mCopy.mBandPassFreq = now.mBandPassFreq;
    EWNetPublishUWORD(*this, mSystemMessage, kBandPassFreq, now.mBandPassFreq);
  }
}

void cPEQNetObject2::UpdateNewObject(UWORD connectionId, EW_NET_DATA_SCALE handle, EW_NET_DATA_SCALE destinationMethod,
                                     EW_NET_DATA_SCALE sourceMethod) {
  if (sourceMethod == kBandPassFreq) {
    EWNetSendUWORD(mSystemMessage, connectionId, handle, destinationMethod, mCopy.mBandPassFreq);
    return;
  }
  const int offset = int(sourceMethod) - BandMethod(mBandCount, 0, GAIN_PARAM);
  if (mBandCount == 0 || offset < 0 || offset >= 4 * mBandCount) {
    cNetObject::UpdateNewObject(connectionId, handle, destinationMethod, sourceMethod);
    return;
  }
  // The values this object sends are the ones a new link learns.
  const cPEQDriver::sBand& copy = mCopy.mBands[std::size_t(offset % mBandCount)];
  switch (offset / mBandCount) {
    case GAIN_PARAM:
      EWNetSendUWORD(mSystemMessage, connectionId, handle, destinationMethod, GainToUWORD(copy.mGain));
      return;
    case FREQ:
      EWNetSendUWORD(mSystemMessage, connectionId, handle, destinationMethod, copy.mFrequency);
      return;
    case WIDTH:
      EWNetSendUWORD(mSystemMessage, connectionId, handle, destinationMethod, copy.mWidth);
      return;
    default:
      EWNetSendUBYTE(mSystemMessage, connectionId, handle, destinationMethod, copy.mType);
      return;
  }
}
