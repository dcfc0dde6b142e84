#pragma once

#include <vector>

#include "EWNet/Core/Types.h"
#include "OrvelGUI/Config/StandardFilter.h"

// Which band of an equaliser takes which filter of a text. Each band has its
// own frequency range (20 Hz - 5 kHz and 120 Hz - 20 kHz on the Low panel,
// and so on), so filters are not simply taken in order: every filter goes to
// a band whose range holds the frequency it would be set to, preferring the
// band of its own number ("Filter 3:", band 3), then, for a low shelf the
// first band and for a high shelf the last (where the screens offer them),
// then the others in order. As many filters as can be are placed (a maximum
// matching); a filter that no band's range holds may take the free band
// whose range comes nearest, at that range's edge.

struct sBandRequest {
  UWORD mCode = 0;  // the frequency code the filter would be set to
  int mNumber = 0;  // "Filter N:", 0 when not numbered
  eStandardType mType = eStandardType::Peak;
};

// The band (0-based) of each request, -1 for one no band is left for.
std::vector<int> PlaceInBands(const std::vector<sBandRequest>& requests, int bandCount);
