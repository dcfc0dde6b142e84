#pragma once

// Configurations the command tests make through the program: every kind of
// filter, strip and delay, and a crossover.

#include <cmath>

#include "AES-Standards/Convert.h"
#include "Tools/ConfigFiles.h"

inline sBandConfiguration Band(double hz, int qIndex, double gainDb, ULONG type, UBYTE variant = 0,
                               bool bypass = false) {
  return {FrequencyToUWORD(hz), UWORD(qIndex << 8), GAIN(std::lround(gainDb * 256.0)), type, variant, bypass};
}

inline GAIN Fader(double decibels) { return GAIN(std::lround(decibels * 256.0)); }

// Every kind of filter, strip and delay the processor runs, on every panel.
inline sConfiguration EveryKind() {
  sConfiguration c = FreshConfiguration();
  c.mStrips[0] = {c.mStrips[0].mName, false, false, Fader(-3.0)};
  c.mStrips[1] = {c.mStrips[1].mName, false, true, Fader(1.5)};
  c.mStrips[2] = {c.mStrips[2].mName, false, false, Fader(0.0)};
  c.mStrips[3] = {c.mStrips[3].mName, true, false, Fader(-4.0)};  // muted
  c.mStrips[4] = {c.mStrips[4].mName, false, true, Fader(-6.5)};  // inverted
  c.mStrips[5] = {c.mStrips[5].mName, false, false, Fader(12.04)};
  c.mStrips[6] = {c.mStrips[6].mName, false, true, Fader(-9.0)};
  c.mStrips[7] = {c.mStrips[7].mName, false, false, kGainMinusInfinity};  // silent
  sPanelConfiguration& low = c.mPanels[0];
  low.mHighPass = {FrequencyToUWORD(25.0), HPF_BESSEL_18_DB, false};
  low.mLowPass = {FrequencyToUWORD(90.0), HPF_BUTTERWORTH_18_DB, false};
  low.mDelay = {TimeToUWORD(0.0021), TimeToUWORD(0.0004), 0};
  low.mEQ[0].mBands = {Band(45.0, 20, 4.0, nPEQ::LFSHELF), Band(300.0, 30, -5.0, nPEQ::BELL, 1)};
  low.mEQ[1].mBands = {Band(30.0, 13, 0.0, nPEQ::LOW_CONTOUR), Band(150.0, 13, 0.0, nPEQ::LPASS)};
  sPanelConfiguration& mid = c.mPanels[1];
  mid.mHighPass = {FrequencyToUWORD(90.0), HPF_BUTTERWORTH_24_DB, false};
  mid.mLowPass = {FrequencyToUWORD(2500.0), HPF_BUTTERWORTH_12_DB, false};
  mid.mDelay = {TimeToUWORD(0.0), TimeToUWORD(0.00125), 0};
  mid.mEQ[0].mBands = {Band(40.0, 5, 3.0, nPEQ::BELL), Band(900.0, 36, -12.0, nPEQ::BELL),
                       Band(1500.0, 13, 6.0, nPEQ::BELL, 1), Band(12000.0, 13, 0.0, nPEQ::HIGH_CONTOUR)};
  mid.mEQ[1].mBypass = true;
  sPanelConfiguration& high = c.mPanels[2];
  high.mHighPass = {FrequencyToUWORD(2500.0), HPF_BUTTERWORTH_24_DB, false};
  high.mDelay = {TimeToUWORD(0.00025), TimeToUWORD(0.0), 0};
  high.mEQ[0].mBands = {Band(300.0, 13, 2.0, nPEQ::BELL),   Band(200.0, 13, 0.0, nPEQ::HPASS),
                        Band(1000.0, 0, -15.0, nPEQ::BELL), Band(1600.0, 44, 15.0, nPEQ::BELL, 1),
                        Band(9000.0, 13, 0.0, nPEQ::NOTCH), Band(18000.0, 13, -6.0, nPEQ::HFSHELF)};
  high.mEQ[1].mBands = {Band(100.0, 13, 0.0, nPEQ::BELL, 0, true), Band(350.0, 40, 9.0, nPEQ::BELL),
                        Band(600.0, 13, 0.0, nPEQ::LPASS),         Band(800.0, 9, -3.0, nPEQ::BELL),
                        Band(5000.0, 25, 4.0, nPEQ::BELL),         Band(15000.0, 13, 5.0, nPEQ::HFSHELF)};
  return c;
}

// The other slopes of the High panel's two biquads.
inline sConfiguration HighSlopes(ULONG slope) {
  sConfiguration c = EveryKind();
  c.mPanels[2].mHighPass = {FrequencyToUWORD(1800.0), slope, false};
  c.mPanels[0].mHighPass.mBypass = true;
  c.mPanels[1].mLowPass = {FrequencyToUWORD(1800.0), HPF_BESSEL_18_DB, false};
  return c;
}

// The Mid low-pass and the High high-pass cross at 2.5 kHz; the High output
// is inverted and delayed; the Low output is muted.
inline sConfiguration Crossover() {
  sConfiguration c = FreshConfiguration();
  c.mStrips[0].mGain = Fader(-2.0);
  c.mStrips[1].mGain = Fader(0.0);
  c.mStrips[2].mMute = true;
  c.mStrips[3].mMute = true;
  for (int s = 4; s < 8; ++s) c.mStrips[std::size_t(s)].mGain = Fader(s < 6 ? 0.0 : -1.0);
  c.mStrips[6].mPolarity = true;
  c.mStrips[7].mPolarity = true;
  c.mPanels[1].mHighPass = {FrequencyToUWORD(120.0), HPF_BUTTERWORTH_12_DB, false};
  c.mPanels[1].mLowPass = {FrequencyToUWORD(2500.0), HPF_BUTTERWORTH_12_DB, false};
  c.mPanels[2].mHighPass = {FrequencyToUWORD(2500.0), HPF_BUTTERWORTH_12_DB, false};
  c.mPanels[2].mDelay = {TimeToUWORD(0.0002), TimeToUWORD(0.0005), 0};
  c.mPanels[1].mEQ[0].mBands[1] = Band(800.0, 20, -3.0, nPEQ::BELL);
  return c;
}
