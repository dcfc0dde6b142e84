#pragma once

#include <QString>
#include <vector>

#include "OrvelGUI/Config/FilterText.h"
#include "OrvelGUI/Config/ResponsePlot.h"

class cOfflineAssembly;

// The curves of `response`: magnitude, phase and group delay over a grid of
// frequencies, either of each selected output's filter chain or of the
// electrical sum of the three outputs of a side (see ChainResponse).

std::vector<sResponseCurve> OutputChainCurves(const cOfflineAssembly& assembly, const sOutputSelection& selection,
                                              const std::vector<double>& grid);
// `side` -1 gives both sides.
std::vector<sResponseCurve> SideSumCurves(const cOfflineAssembly& assembly, int side, const std::vector<double>& grid);

// A table for people, or CSV: per curve its magnitude (the column named
// after the curve), phase and group delay.
QString ResponseTable(const std::vector<double>& grid, const std::vector<sResponseCurve>& curves, bool csv);
