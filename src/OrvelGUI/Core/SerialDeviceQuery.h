#pragma once

#include <QString>
#include <QStringList>

// One-shot device operations for command-line use. They drive the same link
// state machine as the program, with the caller's thread doing the ticks.

// Names of the accepted device ports, in the order a connect would try them.
QStringList ListDevicePorts();

// Connects (to the first accepted port when `portName` is empty), reads the
// firmware version, disconnects. On failure `error` holds the message the
// user interface would show for it.
bool QueryDeviceVersion(const QString& portName, int timeoutMs, QString& version, QString& error);
