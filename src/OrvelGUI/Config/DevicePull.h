#pragma once

#include <QStringList>

// orvel-cli pull OUT [--port NAME]: connects, reads the processor's settings
// back as every connect does, has the units adopt them and saves them as a
// configuration file, so that a tuned system can be saved from any machine.
// Exit status 0 written, 1 failed (nothing written), 2 usage error.
int RunPullCommand(const QStringList& arguments);
