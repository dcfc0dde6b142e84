#pragma once

#include <QString>
#include <vector>

#include "EWNet/Core/Types.h"

// One packet as the link writes it: the command type and its payload.
struct sDeviceCommand {
  UBYTE mType = 0;
  std::vector<UBYTE> mPayload;
};

// The filter, strip and delay commands after which a processor holds what
// the program's units hold once they have recalled configuration file
// `path`, or, for an empty path, what a freshly started program holds:
// computed by the units themselves in an offline assembly. Main thread,
// with no object network running. False, with `error`, for a file the
// program does not read.
bool DeviceStateCommands(const QString& path, std::vector<sDeviceCommand>& commands, QString& error);
