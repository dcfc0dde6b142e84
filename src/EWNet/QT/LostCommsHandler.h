#pragma once

#include <string>

#include "EWNet/Core/Types.h"

// What the lost-communication workers need from the connection manager.
class cLostCommsHandler {
 public:
  virtual ~cLostCommsHandler() = default;
  virtual void SendUtilDatagramToConnection(const UBYTE* data, UWORD count, UWORD connectionId) = 0;
  virtual std::string DisplayNameOfConnection(UWORD connectionId) = 0;
  virtual void HandleLostComms(UWORD connectionId) = 0;
};

// Whether an ID names one of the connections 1 to 20.
bool IsEWNetConnectionId(UWORD connectionId);
