#pragma once

#include <QByteArray>

#include "EWNet/Core/NetObjct.h"

// Sends a parameter of a backend's net object to everything linked to it,
// from a thread other than the dispatch thread (the registry lock is taken
// for the inform list).
void SendBackendParameter(cNetObject& object, EW_NET_DATA_SCALE method, const QByteArray& payload);
