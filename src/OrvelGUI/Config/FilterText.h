#pragma once

#include <QString>
#include <vector>

#include "OrvelGUI/Config/Configuration.h"
#include "OrvelGUI/Config/FilterChains.h"
#include "OrvelGUI/Config/StandardFilter.h"

// A configuration's filters as filter-settings text, the form room-
// measurement tools and PC equalisers read, one output (panel and side)
// after another, one line per filter:
//     Filter 1: ON PK Fc 100.0 Hz Gain -3.0 dB Q 2.00
// The bands come first, in band order: PK peaks, "LS 6dB" / "HS 6dB" for the
// processor's first-order shelves (plain LS / HS are 12 dB/octave shelves
// there), HP / LP for its second-order Butterworth bands, OFF for a bypassed
// band, "None" for one that passes the signal unchanged. The panel's own
// pass filters follow, one line per section the panel runs: HPQ / LPQ (Q)
// and HP1 / LP1 (first order). Every value is that of the standard 96 kHz
// biquad the processor runs (see StandardFilter).
//
// Reading takes that text, the room-measurement program's own, and the PC
// equaliser's:
//     Preamp: -6 dB
//     Filter: ON PK Fc 100 Hz Gain -3 dB Q 1.41   (or BW Oct 1.0)
//     Filter: ON LS Fc 100 Hz Gain 3 dB           (12 dB/octave, Q 0.71)
//     Filter: ON LS 6dB Fc 100 Hz Gain 3 dB       (first order; 12dB too)
//     Filter: ON LSC 9 dB Fc 100 Hz Gain 3 dB     (slope in dB/octave)
//     Filter: ON LSC Fc 100 Hz Gain 3 dB Q 0.9    (HS, HSC alike)
// Shelf frequencies are midpoints. OFF lines and None filters are skipped.
// The pass filters with a slope after their fields that this program once
// wrote ("HP Fc 80 Hz 24dB Butterworth") still read as the panel's.

struct sOutputSelection {
  int mPanel = -1;  // -1: all
  int mSide = -1;
  bool Includes(int panel, int side) const { return (mPanel < 0 || mPanel == panel) && (mSide < 0 || mSide == side); }
};

// `source` names the configuration in the text's notes.
QString ExportFilterSettings(const sConfiguration& configuration, const std::vector<sFilterSlot>& targets,
                             const sOutputSelection& selection, const QString& source);
QString ExportCoefficients(const std::vector<sFilterSlot>& targets, const sOutputSelection& selection);

// One line of filter-settings text read back: a filter, a preamp, or one
// skipped.
struct sFilterLine {
  int mLine = 0;  // 1-based line number in the text
  QString mText;
  int mNumber = 0;  // N of "Filter N:"; 0 when not numbered
  bool mPreamp = false;
  double mPreampDb = 0.0;
  QString mSkipped;  // why the line is skipped ("OFF", "None"); empty for one taken
  sStandardFilter mFilter;
};

// Reads the Filter and Preamp lines of filter-settings text; other lines are
// notes. False with `error` naming the line at fault for a type or field it
// cannot read, or a line of the PC equaliser that would change what is
// heard in a way the import cannot take (Channel, Delay, Copy, ...).
bool ParseFilterSettings(const QString& text, std::vector<sFilterLine>& lines, QString& error);

// A number with enough digits that reading it back finds the same codes:
// about `significant` significant digits, at least one decimal.
QString FilterDecimal(double value, int significant = 6);

// A standard filter as one line's description ("PK Fc 100.0 Hz Gain -3.0 dB
// Q 2.00"), as the filter-settings text writes it.
QString DescribeStandardFilter(const sStandardFilter& filter);
