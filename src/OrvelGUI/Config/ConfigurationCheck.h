#pragma once

#include <string>
#include <vector>

#include "OrvelGUI/Config/Configuration.h"

// Every value of a configuration held against what the processor can
// realise, with the units' own limits (OrvelGUI/Core/Plausibility.h): one
// refusal per unit that holds such a value, naming it and the value; none
// for a configuration the processor realises as it stands.
std::vector<std::string> ConfigurationRefusals(const sConfiguration& configuration);

// The pass filters of `configuration` that the processor does not realise as
// their slopes say (more sections than the panel has, or none, as the High
// panel's low-pass), unless bypassed or as they are in `base`: files that hold
// such a filter stay readable, but no tool makes a new one.
std::vector<std::string> UnrealisedPassFilters(const sConfiguration& configuration, const sConfiguration& base);
