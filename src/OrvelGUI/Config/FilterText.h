#pragma once

#include <QString>
#include <vector>

#include "OrvelGUI/Config/Configuration.h"
#include "OrvelGUI/Config/FilterChains.h"
#include "OrvelGUI/Config/StandardFilter.h"

// A configuration's filters as text for other tools, one output (panel and
// side) after another:
//  - filter-settings text of room-measurement tools, one line per filter:
//      Filter 1: ON PK Fc 100.0 Hz Gain -3.0 dB Q 2.00
//    LS / HS are first-order shelves (Fc the midpoint), HP / LP second-order
//    Butterworth bands, "None" a band that passes the signal unchanged, OFF a
//    bypassed one; the panel's own pass filters follow the bands with their
//    slope after the frequency ("HP Fc 80.0 Hz 24dB Butterworth");
//  - YAML biquad definitions of an audio pipeline (type, freq, q, gain), one
//    per biquad the device runs, and a pipeline naming them per output;
//  - the quantised coefficients as normalised doubles (a0 = 1).

struct sOutputSelection {
  int mPanel = -1;  // -1: all
  int mSide = -1;
  bool Includes(int panel, int side) const { return (mPanel < 0 || mPanel == panel) && (mSide < 0 || mSide == side); }
};

// `source` names the configuration in the text's notes.
QString ExportFilterSettings(const sConfiguration& configuration, const sOutputSelection& selection,
                             const QString& source);
QString ExportPipelineYaml(const sConfiguration& configuration, const std::vector<sFilterSlot>& targets,
                           const sOutputSelection& selection, const QString& source);
QString ExportCoefficients(const std::vector<sFilterSlot>& targets, const sOutputSelection& selection);

// One "Filter N:" line of filter-settings text read back.
struct sFilterLine {
  int mLine = 0;  // 1-based line number in the text
  QString mText;
  sStandardFilter mFilter;
};

// Reads the "Filter N:" lines of filter-settings text; other lines are
// notes. False with `error` naming the line at fault for a type or field it
// cannot read.
bool ParseFilterSettings(const QString& text, std::vector<sFilterLine>& lines, QString& error);

// A standard filter as one line's description ("PK Fc 100.0 Hz Gain -3.0 dB
// Q 2.00"), as the filter-settings text writes it.
QString DescribeStandardFilter(const sStandardFilter& filter);
