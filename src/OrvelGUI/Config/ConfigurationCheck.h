#pragma once

#include <string>
#include <vector>

#include "OrvelGUI/Config/Configuration.h"

// Every value of a configuration held against what the processor can
// realise, with the units' own limits (OrvelGUI/Core/Plausibility.h): one
// refusal per unit that holds such a value, naming it and the value; none
// for a configuration the processor realises as it stands.
std::vector<std::string> ConfigurationRefusals(const sConfiguration& configuration);
