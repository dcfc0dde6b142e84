#pragma once

#include <QString>
#include <vector>

#include "OrvelGUI/Config/FilterText.h"

class cOfflineAssembly;

// Reads filter-settings lines into one panel of the configuration that
// `assembly` holds: the lines without a slope go to the equaliser bands of
// `side` (0 left, 1 right, -1 both) in order, each at the nearest codes the
// band allows; bands left over are bypassed, and the equaliser itself is put
// in. Lines with a slope ("HP Fc 80 Hz 24dB Butterworth") set the panel's
// own high-pass or low-pass. `report` gets, per line and side, what was
// asked, what was set and the largest difference of the two curves between
// 20 Hz and 20 kHz. False, with nothing applied and `error` naming the line
// at fault, for more filters than bands or a filter a band cannot take.
bool ImportFilterSettings(cOfflineAssembly& assembly, const std::vector<sFilterLine>& lines, int panel, int side,
                          QString& report, QString& error);
