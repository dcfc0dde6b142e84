#pragma once

#include <QStringList>
#include <QTextStream>

// "HOST[:PORT] find NAME | get NAME PARAM | set NAME PARAM VALUE |
// watch NAME PARAM [--seconds N]" against a running program's object network.
// PARAM is a parameter number (0 is method 4096) or a method code from 4096 on.
// Returns 0 on success, 1 when the command failed and 2 for a usage error.

// On an object network that is already running (router, connection manager,
// dispatch thread), from the main thread.
int RunRemoteCommand(const QStringList& arguments, QTextStream& out, QTextStream& err);

// Brings a client object network up around RunRemoteCommand, as orvel-cli does.
int RunRemoteCli(const QStringList& arguments);

extern const char* const kRemoteCommandUsage;
