#pragma once

#include "OrvelGUI/Core/SerialInterface.h"

// Every session begins by reading the processor back. A test that drives the
// link without a front end takes the read-back as a screen with nothing to
// adopt would: once the records are in, it marks the link connected.
inline void TakeReadBack(cSerialInterface& link) {
  if (link.GetState() == cSerialInterface::SYNCING) link.SetConnected();
}
