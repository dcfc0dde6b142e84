#include "OrvelGUI/Config/PortChoice.h"

#include <fcntl.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <vector>

#include "OrvelGUI/Core/SerialPortList.h"

sPortChoice ChoosePort(const QString& requested) {
  const std::vector<sSerialPortEntry> ports = cSerialPortList::AcceptedPorts();
  sPortChoice choice;
  if (requested.isEmpty()) {
    if (ports.empty()) {
      choice.mReason = "no device port is listed (see orvel-cli ports; ORVEL_SERIAL_PORTS adds ports)";
      return choice;
    }
    return sPortChoice{true, ports.front().mName, ports.front().mSystemLocation, "the first listed port"};
  }
  const QString device = requested.contains('/') ? QFileInfo(requested).canonicalFilePath() : QString();
  for (const sSerialPortEntry& port : ports) {
    if (port.mName == requested || port.mSystemLocation == requested ||
        (!device.isEmpty() && QFileInfo(port.mSystemLocation).canonicalFilePath() == device)) {
      return sPortChoice{true, port.mName, port.mSystemLocation, "named by --port"};
    }
  }
  choice.mName = requested;
  choice.mReason = "\"" + requested + "\" is not a listed port (see orvel-cli ports)";
  return choice;
}

QString PortChoiceText(const sPortChoice& choice) {
  if (!choice.mFound) return "No port: " + choice.mReason;
  return "Port " + choice.mName + " (" + choice.mPath + "), " + choice.mReason;
}

QString PortOpenFailure(const QString& path) {
  const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return QString::fromLocal8Bit(std::strerror(errno));
  ::close(fd);
  return QString();
}

QString ExplainOpenFailure(const QString& linkError, const sPortChoice& choice) {
  // The link's own words for a port it could not open.
  if (linkError != QLatin1String("Device connection failure.")) return linkError;
  if (!choice.mFound) return linkError + " " + choice.mReason;
  const QString reason = PortOpenFailure(choice.mPath);
  return reason.isEmpty() ? linkError : linkError + " " + choice.mPath + ": " + reason;
}
