#pragma once

#include <QString>
#include <QStringList>
#include <cstddef>
#include <cstdint>
#include <functional>

// One-shot device operations for command-line use. They drive the same link
// state machine as the program, with the caller's thread doing the ticks.

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

// Connects, reads the device's settings back with the sync sequence every
// connect runs (the strip, delay and filter records; the link goes
// GETTING_SYNC, SYNCING and, taking nothing, CONNECTED) and disconnects,
// sending nothing else. A device that stops answering ends the read-back in
// the link's own time, and the whole wait after `syncTimeoutMs` more than
// the version's.
bool ReadDeviceSettings(const QString& portName, int syncTimeoutMs, sDeviceSettings& settings, QString& error);

// What a recall into the device did, for the caller to report.
struct sDeviceRecallResult {
  bool mRecalled = false;      // the saves manager applied the file
  bool mHeld = false;          // the processor acknowledged every packet it caused, in one session
  bool mTimedOut = false;      // not held: the acknowledgements did not come in time (else the link was lost)
  std::uint64_t mPackets = 0;  // packets the recall caused
  std::uint64_t mWritten = 0;  // of them written to the line
  std::uint64_t mAcknowledged = 0;
  std::uint64_t mTicks = 0;  // ticks from the request until the processor held it (or the watch ended)
  qint64 mMilliseconds = 0;  // the same in milliseconds
  QString mError;            // what the user interface would show, when connecting failed
};

// Connects the assembly's device link (a port the port list names, a device
// path, or the first accepted port), recalls `path` through "Saves Manager
// NetObject" as the loader does, waits until the processor has acknowledged
// every packet (or the link is lost, or 10 s pass), then disconnects. `core`
// must not be started yet: this starts it. `progress` is called while
// packets drain with the number still waiting. True when the recall
// succeeded and the processor holds all of it.
bool RecallIntoDevice(cApplicationCore& core, const QString& path, const QString& portName, int timeoutMs,
                      const std::function<void(std::size_t waiting)>& progress, sDeviceRecallResult& result);

// Connects the assembly's device link as RecallIntoDevice does, has every
// unit adopt what the device reports in its read-back (as the screens do),
// and saves that as configuration file `path` (replaced only when complete),
// then disconnects. Nothing is written when the device stops answering or
// any of its records is implausible. `core` must not be started yet.
bool PullFromDevice(cApplicationCore& core, const QString& path, const QString& portName, int timeoutMs,
                    QString& error);
