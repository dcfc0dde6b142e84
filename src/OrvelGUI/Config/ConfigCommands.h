#pragma once

#include <QStringList>

// The configuration commands of orvel-cli. Each takes the arguments after
// its name, writes results to standard output and errors to standard
// error, and returns the exit status: 0 done, 1 failed, 2 usage error. No
// output file is left behind by a command that fails.

int RunDefaultsCommand(const QStringList& arguments);  // OUT
int RunCreateCommand(const QStringList& arguments);    // JSON OUT
int RunBiquadsCommand(const QStringList& arguments);   // FILE [--json]
int RunResponseCommand(const QStringList& arguments);  // FILE [--panel P | --sum] [--side S] [--csv | --png OUT]
int RunExportCommand(const QStringList& arguments);    // FILE --format rew|camilladsp|text [--panel P] [--side S]
int RunImportCommand(const QStringList& arguments);    // TEXT --into FILE --panel P --side S [--max-error DB] OUT
int RunVerifyCommand(const QStringList& arguments);    // FILE [--port NAME]
