#include "OrvelGUI/Config/SerialDeviceQuery.h"

#include <QElapsedTimer>
#include <QThread>
#include <algorithm>

#include "OrvelGUI/Core/ApplicationCore.h"
#include "OrvelGUI/Core/DeliveryWatch.h"
#include "OrvelGUI/Core/SerialInterface.h"
#include "OrvelGUI/Core/SerialPortList.h"

namespace {

constexpr int kTickMs = 5;
constexpr int kDisconnectWaitMs = 1000;

const char* const kNotFound = "Device connection failure.";
const char* const kInUse = "Device already in use.";
const char* const kTimeout = "Timeout occured. Please try again.";

QString ErrorText(UBYTE error) {
  switch (error) {
    case cSerialInterface::ERROR_IN_USE:
      return kInUse;
    case cSerialInterface::ERROR_TIMEOUT:
      return kTimeout;
    default:
      return kNotFound;
  }
}

// The device has told its version: the link reads it back, or has done so.
bool VersionCame(const cSerialInterface& link) {
  const cSerialInterface::LinkState state = link.GetState();
  return state == cSerialInterface::GETTING_SYNC || state == cSerialInterface::SYNCING ||
         state == cSerialInterface::CONNECTED;
}

// Ticks until `done` holds, for at most `timeoutMs`; a link that has given
// up on the device ends the wait early. A step that opens the port may
// already read the version and start the read-back: `done` is asked first.
bool TickUntilDone(cSerialInterface& link, const std::function<bool()>& done, int timeoutMs) {
  QElapsedTimer timer;
  timer.start();
  for (;;) {
    if (done()) return true;
    const int left = std::max(1, int(timeoutMs - timer.elapsed()));
    if (!link.ServiceAndWait(std::min(left, cSerialInterface::kServiceWaitMs)) || done()) return done();
    if (link.GetState() == cSerialInterface::NO_REPLY || timer.elapsed() >= timeoutMs) return false;
    QThread::msleep(kTickMs);
  }
}

bool TickUntilState(cSerialInterface& link, cSerialInterface::LinkState state, int timeoutMs) {
  return TickUntilDone(
      link, [&link, state] { return link.GetState() == state; }, timeoutMs);
}

// A link the caller steps itself, asked to open `portName`; false with the
// error when there is no port or it cannot be opened.
bool OpenPort(cSerialInterface& link, const QString& portName, QString& error) {
  link.SetMeterPolling(false);
  if (link.GetPortNames().isEmpty()) {
    error = kNotFound;
    return false;
  }
  link.RequestConnection(true, portName);
  link.ServiceAndWait();
  if (link.GetState() == cSerialInterface::DISCONNECTED) {
    error = ErrorText(link.TakeLastError());
    return false;
  }
  return true;
}

void ClosePort(cSerialInterface& link) {
  link.RequestConnection(false, QString());
  TickUntilState(link, cSerialInterface::DISCONNECTED, kDisconnectWaitMs);
}

}  // namespace

bool QueryDeviceVersion(const QString& portName, int timeoutMs, QString& version, QString& error) {
  cSerialInterface link;
  if (!OpenPort(link, portName, error)) return false;
  const bool connected = TickUntilDone(
      link, [&link] { return VersionCame(link); }, timeoutMs);
  if (connected) {
    version = link.GetVersionText();
  } else if (link.GetState() == cSerialInterface::NO_REPLY) {
    // Either the link's own wait for the version ran out (error 3) or the
    // port went away under it.
    error = ErrorText(link.TakeLastError());
  } else {
    error = kTimeout;
  }
  ClosePort(link);
  return connected;
}

namespace {

// The sync sequence every session runs once the version has come, as the
// program's own connects do: wait for its records, then take them.
bool ReadBack(cSerialInterface& link, int syncTimeoutMs, sDeviceSettings& settings, QString& error) {
  QElapsedTimer reading;
  reading.start();
  if (!TickUntilState(link, cSerialInterface::SYNCING, syncTimeoutMs)) {
    // The wait ends early when the link gives up on a silent device: the
    // time said is the time waited, not the limit.
    const bool gaveUp = link.GetState() != cSerialInterface::GETTING_SYNC;
    error = QString("The device stopped answering while its settings were read back: %1 after %2 ms%3.")
                .arg(gaveUp ? "the link gave up on it" : "still no answer")
                .arg(reading.elapsed())
                .arg(gaveUp ? QString() : QString(", the read-back's limit of %1 ms").arg(syncTimeoutMs));
    return false;
  }
  const auto filters = link.GetSyncFilters();
  const auto strips = link.GetSyncControlStrips();
  const auto delays = link.GetSyncDelays();
  link.SetConnected();
  if (!filters || !strips || !delays || link.GetState() != cSerialInterface::CONNECTED) {
    error = "The device's settings were incomplete.";
    return false;
  }
  settings.mFilters = *filters;
  settings.mStrips = *strips;
  settings.mDelays = *delays;
  return true;
}

}  // namespace

bool ReadDeviceSettings(const QString& portName, int syncTimeoutMs, sDeviceSettings& settings, QString& error) {
  cSerialInterface link;
  if (!OpenPort(link, portName, error)) return false;
  bool read = false;
  if (!TickUntilDone(
          link, [&link] { return VersionCame(link); }, cSerialInterface::kVersionTimeoutMs + 1000)) {
    const UBYTE linkError = link.TakeLastError();
    error = linkError != cSerialInterface::ERROR_NONE ? ErrorText(linkError) : QString(kTimeout);
  } else {
    read = ReadBack(link, syncTimeoutMs, settings, error);
  }
  ClosePort(link);
  return read;
}

namespace {

// Waits for the tick thread to take the link to `state`.
bool AwaitState(const cSerialInterface& link, cSerialInterface::LinkState state, int timeoutMs) {
  QElapsedTimer timer;
  timer.start();
  while (link.GetState() != state) {
    if (link.GetState() == cSerialInterface::NO_REPLY || timer.elapsed() >= timeoutMs) return false;
    QThread::msleep(kTickMs);
  }
  return true;
}

}  // namespace

bool RecallIntoDevice(cApplicationCore& core, const QString& path, const QString& portName, int timeoutMs,
                      const std::function<void(std::size_t waiting)>& progress, sDeviceRecallResult& result) {
  cSerialInterface& link = *core.GetSerialInterface();
  // The port list is read before the tick thread starts using the port.
  if (link.GetPortNames().isEmpty()) {
    result.mError = kNotFound;
    return false;
  }
  core.Start();
  link.RequestConnection(true, portName);
  // The recall overwrites every setting: the read-back is not adopted.
  if (!core.CompleteConnection(timeoutMs, false)) {
    const UBYTE error = link.TakeLastError();
    result.mError = error != cSerialInterface::ERROR_NONE ? ErrorText(error) : QString(kTimeout);
    link.RequestConnection(false, QString());
    AwaitState(link, cSerialInterface::DISCONNECTED, kDisconnectWaitMs);
    return false;
  }
  // What the units send at start (the stored delays) goes first, so that the
  // figures below are the recall's own.
  core.WaitUntilAllSent(timeoutMs);
  const cSerialInterface::sTraffic before = link.GetTraffic();
  QElapsedTimer timer;
  timer.start();
  const std::uint64_t firstTick = core.GetTickCount();
  // Made before the recall, in the session the recall goes to.
  cDeliveryWatch watch(link);
  result.mRecalled = core.RecallConfiguration(path, timeoutMs);
  std::uint64_t ticked = core.GetTickCount();
  while (result.mRecalled && watch.Outcome() == cDeliveryWatch::WAITING) {
    if (progress) progress(link.GetTraffic().mWaiting);
    // One step of the watch for each beat of the tick thread.
    for (const std::uint64_t now = core.GetTickCount(); ticked < now; ++ticked) watch.Tick(core.UnitsBusy());
    QThread::msleep(kTickMs);
  }
  result.mMilliseconds = timer.elapsed();
  result.mTicks = ticked - firstTick;
  const cSerialInterface::sTraffic after = link.GetTraffic();
  result.mPackets = after.mTotals.mOffered - before.mTotals.mOffered;
  result.mWritten = after.mTotals.mWritten - before.mTotals.mWritten;
  result.mAcknowledged = after.mTotals.mAcknowledged - before.mTotals.mAcknowledged;
  result.mHeld = watch.Outcome() == cDeliveryWatch::HELD;
  result.mTimedOut = watch.TimedOut();
  link.RequestConnection(false, QString());
  const bool disconnected = AwaitState(link, cSerialInterface::DISCONNECTED, kDisconnectWaitMs);
  return result.mRecalled && result.mHeld && disconnected;
}

bool PullFromDevice(cApplicationCore& core, const QString& path, const QString& portName, int timeoutMs,
                    QString& error) {
  cSerialInterface& link = *core.GetSerialInterface();
  if (link.GetPortNames().isEmpty()) {
    error = kNotFound;
    return false;
  }
  core.Start();
  link.RequestConnection(true, portName);
  bool adopted = false;
  bool saved = false;
  if (!core.CompleteConnection(timeoutMs, true, &adopted)) {
    const UBYTE linkError = link.TakeLastError();
    if (linkError != cSerialInterface::ERROR_NONE) {
      error = ErrorText(linkError);
    } else if (!link.GetVersionText().isEmpty()) {
      error = "The device stopped answering while its settings were read back; nothing was written.";
    } else {
      error = kTimeout;
    }
  } else if (!adopted) {
    // A file would hold the program's defaults where the device's records
    // were refused: not what the processor holds.
    error = "Some of the device's settings are not plausible (see above); nothing was written.";
  } else if (!core.SaveConfiguration(path, timeoutMs)) {
    error = "The configuration could not be written to " + path + ".";
  } else {
    saved = true;
  }
  link.RequestConnection(false, QString());
  AwaitState(link, cSerialInterface::DISCONNECTED, kDisconnectWaitMs);
  return saved;
}
