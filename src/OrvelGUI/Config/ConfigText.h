#pragma once

#include <QString>

#include "OrvelGUI/Config/Configuration.h"

// A configuration as text for people, unit by unit: every stored value with
// its decoded value and unit, the stored code in brackets.
QString DescribeConfiguration(const sConfiguration& configuration);
