#include "OrvelGUI/Core/SerialPortList.h"

#include <QSerialPortInfo>
#include <QStringList>

namespace {

constexpr quint16 kVendorId = 0x0483;
constexpr quint16 kProductIds[] = {0x5740, 0xA44B};
const char* const kDescriptions[] = {"USB Serial Device", "Tessmark Devices - Orvel"};

}  // namespace

bool cSerialPortList::IsProcessorPort(bool hasIdentifiers, quint16 vendor, quint16 product,
                                      const QString& description) {
  if (!hasIdentifiers || vendor != kVendorId) return false;
  bool productKnown = false;
  for (quint16 id : kProductIds) productKnown = productKnown || product == id;
  bool descriptionKnown = false;
  for (const char* text : kDescriptions) descriptionKnown = descriptionKnown || description == QLatin1String(text);
  return productKnown && descriptionKnown;
}

std::vector<sSerialPortEntry> cSerialPortList::ParseOverride(const QString& value) {
  std::vector<sSerialPortEntry> ports;
  for (const QString& path : value.split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
    const QString name = path.section(QLatin1Char('/'), -1);
    if (!name.isEmpty()) ports.push_back({name, path});
  }
  return ports;
}

void cSerialPortList::MakeNamesUnique(std::vector<sSerialPortEntry>& ports) {
  std::vector<sSerialPortEntry> kept;
  for (const sSerialPortEntry& port : ports) {
    bool listed = false;
    for (const sSerialPortEntry& other : kept) listed = listed || other.mSystemLocation == port.mSystemLocation;
    if (!listed) kept.push_back(port);
  }
  std::vector<bool> shared(kept.size(), false);
  for (std::size_t i = 0; i < kept.size(); ++i) {
    for (std::size_t j = 0; j < kept.size(); ++j) shared[i] = shared[i] || (i != j && kept[i].mName == kept[j].mName);
  }
  for (std::size_t i = 0; i < kept.size(); ++i) {
    if (shared[i]) kept[i].mName = kept[i].mSystemLocation;
  }
  ports = std::move(kept);
}

std::vector<sSerialPortEntry> cSerialPortList::AcceptedPorts() {
  std::vector<sSerialPortEntry> ports = ParseOverride(qEnvironmentVariable(kEnvironmentVariable));
  for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
    if (IsProcessorPort(info.hasVendorIdentifier() && info.hasProductIdentifier(), info.vendorIdentifier(),
                        info.productIdentifier(), info.description())) {
      ports.push_back({info.portName(), info.systemLocation()});
    }
  }
  MakeNamesUnique(ports);
  return ports;
}
