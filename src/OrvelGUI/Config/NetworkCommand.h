#pragma once

#include <QStringList>
#include <QTextStream>

// "allow LIST|off|show": changes or shows which peers the program's object
// network admits (the setting network/allow), without the window. LIST is
// a comma-separated list of addresses and CIDR ranges, "local" or "any".
// Returns 0 on success, 1 when the setting could not be written and 2 for a
// usage error (an invalid entry changes nothing).
int RunNetworkCommand(const QStringList& arguments, QTextStream& out, QTextStream& err);

extern const char* const kNetworkCommandUsage;
