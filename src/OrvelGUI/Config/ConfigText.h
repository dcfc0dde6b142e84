#pragma once

#include <QString>
#include <vector>

#include "OrvelGUI/Config/Configuration.h"

// A configuration as text for people, unit by unit: every stored value with
// its decoded value and unit, the stored code in brackets.
QString DescribeConfiguration(const sConfiguration& configuration);

// One value as DescribeConfiguration prints it: its unit ("LMH 2: L
// Parametric EQ Unit band 3"), its parameter and its text ("1.000 kHz (38127)").
struct sShownValue {
  QString mUnit;
  QString mParameter;
  QString mText;
};

// Every stored value of a configuration in that form, in the order shown; two
// configurations give lists of the same length and order.
std::vector<sShownValue> ShownValues(const sConfiguration& configuration);
