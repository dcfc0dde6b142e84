#pragma once

#include <QString>
#include <vector>

#include "OrvelGUI/Config/FilterText.h"

class cOfflineAssembly;

// Reads filter-settings lines into one panel of the configuration that
// `assembly` holds, for `side` (0 left, 1 right, -1 both):
//  - equaliser lines go to the bands whose frequency ranges hold them (see
//    BandPlacement), each at the nearest codes the band allows; bands left
//    over are bypassed, and the equaliser itself is put in;
//  - the sections of a pass filter (consecutive HPQ / HP1 or LPQ / LP1
//    lines) set the panel's high-pass or low-pass to the slope and
//    frequency that come closest; a line with a slope sets that slope;
//  - Preamp lines change the output strip's fader gain by their sum;
//  - OFF and None lines are skipped.
// Every filter is then held against what the processor realises (from the
// quantised integers, between 20 Hz and 20 kHz): a largest difference above
// `maxErrorDb` refuses the text. `report` gets, per line and side, what was
// asked, what was set and that difference. False, with `error` naming the
// line at fault, for a text the panel cannot take; the assembly may then hold
// part of it and is not to be saved.
bool ImportFilterSettings(cOfflineAssembly& assembly, const std::vector<sFilterLine>& lines, int panel, int side,
                          double maxErrorDb, QString& report, QString& error);
