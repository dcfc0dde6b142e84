#pragma once

#include <QString>
#include <vector>

// One serial port of the processor: the name shown to the user (unique in
// the list) and the path the port is opened by.
struct sSerialPortEntry {
  QString mName;
  QString mSystemLocation;
};

// Where the device's ports come from. Normally the system's serial ports
// filtered to the processor's USB identity; ORVEL_SERIAL_PORTS (device
// paths separated by ':') adds ports ahead of them, which is how the device
// simulator and machines without the hardware reach the link.
class cSerialPortList {
 public:
  static constexpr const char* kEnvironmentVariable = "ORVEL_SERIAL_PORTS";

  static bool IsProcessorPort(bool hasIdentifiers, quint16 vendor, quint16 product, const QString& description);
  // The ports named in a ORVEL_SERIAL_PORTS value, in order; empty parts skipped.
  static std::vector<sSerialPortEntry> ParseOverride(const QString& value);
  // Every accepted port: the override first, then the system's, in the order
  // the system lists them; a device listed twice appears once.
  static std::vector<sSerialPortEntry> AcceptedPorts();
  // Drops entries whose path is listed already; ports that share a name
  // (the same device name in two folders) are named by their whole path, so
  // that every name the user is shown picks one port.
  static void MakeNamesUnique(std::vector<sSerialPortEntry>& ports);
};
