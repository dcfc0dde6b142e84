#pragma once

#include <QString>
#include <QStringList>
#include <cstddef>
#include <functional>

// One-shot device operations for command-line use. They drive the same link
// state machine as the program, with the caller's thread doing the ticks.

// Names of the accepted device ports, in the order a connect would try them.
QStringList ListDevicePorts();

// Connects (to the first accepted port when `portName` is empty), reads the
// firmware version, disconnects. On failure `error` holds the message the
// user interface would show for it.
bool QueryDeviceVersion(const QString& portName, int timeoutMs, QString& version, QString& error);

#include <array>

#include "OrvelGUI/Core/SerialPortManager.h"

class cApplicationCore;

// The settings a device reports in its sync records.
struct sDeviceSettings {
  std::array<sFilter, cSerialPortManager::kFilterRecordCount> mFilters{};
  std::array<sControlStripRecord, cSerialPortManager::kStripCount> mStrips{};
  std::array<std::int32_t, cSerialPortManager::kDelayCount> mDelays{};
};

// Connects, reads the device's settings back with the sync sequence (the
// strip, delay and filter records; the link goes GETTING_SYNC, SYNCING and
// back to CONNECTED) and disconnects, sending nothing else. A device that
// stops answering ends the read-back after `syncTimeoutMs`.
bool ReadDeviceSettings(const QString& portName, int syncTimeoutMs, sDeviceSettings& settings, QString& error);

// What a recall into the device did, for the caller to report.
struct sDeviceRecallResult {
  bool mRecalled = false;    // the saves manager applied the file
  bool mAllSent = false;     // every packet it caused was written, still connected
  quint64 mTicks = 0;        // ticks from the first packet waiting to the last written
  qint64 mMilliseconds = 0;  // from the request to the last packet written
  QString mError;            // what the user interface would show, when connecting failed
};

// Connects the assembly's device link (first accepted port unless named),
// recalls `path` through "Saves Manager NetObject" as the loader does, waits
// until every packet is written, then disconnects. `core` must not be
// started yet: this starts it. `progress` is called while packets drain with
// the number still waiting. True when the recall succeeded and all was sent.
bool RecallIntoDevice(cApplicationCore& core, const QString& path, const QString& portName, int timeoutMs,
                      const std::function<void(std::size_t waiting)>& progress, sDeviceRecallResult& result);
