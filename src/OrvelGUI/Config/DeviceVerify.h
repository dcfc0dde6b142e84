#pragma once

#include <QJsonObject>
#include <QString>
#include <vector>

#include "OrvelGUI/Config/SerialDeviceQuery.h"

class cOfflineAssembly;

// One value in which the device differs from the file, both decoded.
struct sDeviceDifference {
  QString mUnit;  // the unit and, for a filter, its output and section: "LMH 2:  HPF Unit (Mid L) biquad 1"
  QString mParameter;
  QString mFile;
  QString mDevice;

  QString Text() const;      // "UNIT PARAMETER: file X, device Y"
  QJsonObject Json() const;  // {"unit", "parameter", "file", "device"}
};

// What a device would hold after recalling a configuration (the image of
// `assembly`, which recalled it) against what a device reports in its sync
// records: one line per differing value, by unit and parameter, with both
// values decoded. The records carry no band bypass and no coefficients, so
// those are not compared. A strip's polarity is told as the file holds it
// (the output strips invert on the wire).
std::vector<sDeviceDifference> DeviceDifferences(const cOfflineAssembly& assembly, const sDeviceSettings& device);
