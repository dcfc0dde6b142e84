#include "OrvelGUI/Core/SerialDeviceQuery.h"

#include <QElapsedTimer>
#include <QThread>

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

// Ticks until the link reaches `state`, for at most `timeoutMs`; a link that
// has given up on the device ends the wait early.
bool TickUntilState(cSerialInterface& link, cSerialInterface::LinkState state, int timeoutMs) {
  QElapsedTimer timer;
  timer.start();
  for (;;) {
    if (!link.ServiceAndWait() || link.GetState() == state) return link.GetState() == state;
    if (link.GetState() == cSerialInterface::NO_REPLY || timer.elapsed() >= timeoutMs) return false;
    QThread::msleep(kTickMs);
  }
}

}  // namespace

QStringList ListDevicePorts() {
  QStringList names;
  for (const sSerialPortEntry& port : cSerialPortList::AcceptedPorts()) names << port.mName;
  return names;
}

bool QueryDeviceVersion(const QString& portName, int timeoutMs, QString& version, QString& error) {
  cSerialInterface link;
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
  const bool connected = TickUntilState(link, cSerialInterface::CONNECTED, timeoutMs);
  if (connected) {
    version = link.GetVersionText();
  } else if (link.GetState() == cSerialInterface::NO_REPLY) {
    // Either the link's own wait for the version ran out (error 3) or the
    // port went away under it.
    error = ErrorText(link.TakeLastError());
  } else {
    error = kTimeout;
  }
  link.RequestConnection(false, QString());
  TickUntilState(link, cSerialInterface::DISCONNECTED, kDisconnectWaitMs);
  return connected;
}
