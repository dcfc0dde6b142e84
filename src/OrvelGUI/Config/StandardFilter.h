#pragma once

#include <QString>
#include <vector>

#include "OrvelGUI/Config/Configuration.h"
#include "OrvelGUI/Core/BiquadDesign.h"

// Filters as room-measurement tools, PC equalisers and audio pipelines name
// them (peak, shelves, pass filters), and how the processor's bands and pass
// filters read in those terms.
//
// A standard filter means the biquad those tools design for it at the
// processor's rate, 96 kHz: the bilinear transform prewarped at the filter's
// frequency (the cookbook designs). The processor's bell and shelf
// frequencies and widths do not mean what those tools mean (a bell variant 0
// of width Q is a standard peak of another Q, a low shelf turns over well
// above its frequency), so parameters are translated, and the translation is
// exact at 96 kHz: the standard filter's biquad is the band's design.

enum class eStandardType { None, Peak, LowShelf, HighShelf, HighPass, LowPass };

struct sStandardFilter {
  eStandardType mType = eStandardType::None;
  bool mOn = true;
  double mFrequency = 1000.0;         // Hz: centre, shelf midpoint or pass-filter corner
  double mGainDb = 0.0;               // peaks and shelves
  double mQ = biquad::kButterworthQ;  // peaks; second-order shelves and pass filters
  int mOrder = 2;                     // shelves and pass filters: 1 or 2
  // Pass filters read with one of the panel's slopes after their fields
  // ("HP Fc 80 Hz 24dB Butterworth", as this program once wrote them); -1
  // for any other filter.
  int mSlope = -1;
  // One section of a panel's high-pass or low-pass (HPQ, LPQ, HP1, LP1),
  // not an equaliser band.
  bool mPanelSection = false;
};

// The magnitude in dB at `hz` of a standard filter's biquad at 96 kHz; 0 dB
// for None, off filters and slope filters (the panel realises those).
double StandardMagnitudeDb(const sStandardFilter& filter, double hz);

// How a band reads as a standard filter.
sStandardFilter StandardOfBand(const sBandConfiguration& band, bool eqBypass);
// The sections a panel's pass filter with `biquadCount` biquads runs, each as
// a standard second- or first-order pass filter; flat stand-ins are left out.
// Empty for a slope the designs do not know.
std::vector<sStandardFilter> PassFilterSections(const sPassFilterConfiguration& filter, bool highPass, int biquadCount);

// The frequency code band `band` of an equaliser would be set to for a
// standard filter, before its range is applied. False when there is none
// (a type no band takes).
bool BandDesignCode(const sStandardFilter& filter, UWORD& code);

// The codes nearest to a standard filter that band `band` of an equaliser of
// `bandCount` bands can take: its frequency range, gains of +-15 dB and the
// width table; `current` gives what the filter does not (the bell variant,
// kept unless the other variant's widths come nearer the Q). Second-order
// shelves become first-order shelves of the same midpoint and gain (the
// caller judges how close that comes). False with `why` for a filter the
// band cannot realise at all.
bool BandOfStandard(const sStandardFilter& filter, const sBandConfiguration& current, int bandCount, int band,
                    sBandConfiguration& out, QString& why);
// A panel's pass filter from a slope filter (20 Hz to 20 kHz, the slope table).
bool PassFilterOfStandard(const sStandardFilter& filter, sPassFilterConfiguration& out, QString& why);

// The panel pass filter (slope and frequency) of `biquadCount` biquads that
// comes closest to the sections in `sections` between 20 Hz and 20 kHz, and
// how close (largest difference in dB). False when the panel has no biquads.
bool FitPassFilter(const std::vector<sStandardFilter>& sections, bool highPass, int biquadCount,
                   sPassFilterConfiguration& out, double& largestDb);

// The magnitude in dB at `hz` of a pass filter's designs (unquantised) on a
// panel with `biquadCount` biquads: of a configuration's codes, or of a slope
// at any frequency.
double PassFilterMagnitudeDb(const sPassFilterConfiguration& filter, bool highPass, int biquadCount, double hz);
double PassSlopeMagnitudeDb(ULONG slope, double frequency, bool highPass, int biquadCount, double hz);

// How far apart two curves are at one frequency, in dB; below -60 dB (deep
// in a stopband) differences do not count.
double DifferenceDb(double a, double b);
// The frequencies over which curves are compared: those of `response` from
// 20 Hz to 20 kHz.
std::vector<double> ComparisonGrid();
