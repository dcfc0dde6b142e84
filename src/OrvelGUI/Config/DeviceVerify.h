#pragma once

#include <QString>
#include <QStringList>

#include "OrvelGUI/Config/SerialDeviceQuery.h"

class cOfflineAssembly;

// What a device would hold after recalling a configuration (the image of
// `assembly`, which recalled it) against what a device reports in its sync
// records: one line per differing value, by unit and parameter, with both
// values decoded. The records carry no band bypass and no coefficients, so
// those are not compared.
QStringList DeviceDifferences(const cOfflineAssembly& assembly, const sDeviceSettings& device);
