#pragma once

#include <QtGlobal>

#include "EWNet/Core/Types.h"

constexpr quint16 kEWNetDefaultTcpPort = 51321;
constexpr quint16 kEWNetDefaultUdpBasePort = 51324;
constexpr UWORD kEWNetMaxConnections = 20;

// Tunables of the network transport. The defaults are the production values;
// tests shorten the periods and pick their own ports.
struct sEWNetTransportSettings {
  // Port of outgoing connections to hosts named without one.
  quint16 mRemoteTcpPort = kEWNetDefaultTcpPort;
  // The accepting side binds UDP port base + connection ID (falling back to an
  // ephemeral port); 0 binds an ephemeral port straight away.
  quint16 mUdpBasePort = kEWNetDefaultUdpBasePort;
  int mHeartbeatPeriodMs = 1000;
  // An outgoing connection attempt is given up after this long.
  int mConnectTimeoutMs = 5000;
  // How long an orderly close waits for its "BYE" to leave.
  int mByeWaitMs = 30000;
  // Bytes a connection may hold unsent; a peer that lets more pile up is
  // disconnected.
  ULONG mSendQueueCapBytes = 4u << 20;
};
