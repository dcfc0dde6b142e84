#include "OrvelGUI/Config/DeviceState.h"

#include <QTemporaryDir>

#include "OrvelGUI/Config/OfflineAssembly.h"
#include "OrvelGUI/Core/SerialOutbox.h"
#include "OrvelGUI/Core/SerialPortManager.h"

bool DeviceStateCommands(const QString& path, std::vector<sDeviceCommand>& commands, QString& error) {
  cOfflineAssembly assembly;
  if (path.isEmpty()) {
    // A recall sends every filter, strip and delay; what the units send
    // while they are made reaches no image. The defaults go through a file
    // of their own, so that all of them are sent.
    QTemporaryDir scratch;
    const QString defaults = scratch.filePath("defaults.cfg");
    if (!scratch.isValid() || !assembly.Save(defaults, error) || !assembly.Recall(defaults, error)) return false;
  } else if (!assembly.Recall(path, error)) {
    return false;
  }
  const cSerialInterface::sImage image = assembly.Image();
  if (image.mFilters.size() != std::size_t(cSerialPortManager::kFilterRecordCount) ||
      image.mStrips.size() != std::size_t(cSerialPortManager::kStripCount) ||
      image.mDelays.size() != std::size_t(cSerialPortManager::kDelayCount)) {
    error = QString("the recall sent %1 filters, %2 strips and %3 delays, not the whole processor")
                .arg(image.mFilters.size())
                .arg(image.mStrips.size())
                .arg(image.mDelays.size());
    return false;
  }
  commands.clear();
  UBYTE payload[cSerialOutbox::kMaxPayload];
  const auto add = [&](UBYTE type, ULONG length) {
    commands.push_back({type, std::vector<UBYTE>(payload, payload + length)});
  };
  for (const auto& filter : image.mFilters) {
    add(cSerialPortManager::PACKET_FILTER, cSerialOutbox::EncodeFilter(filter.second, payload));
  }
  for (const auto& strip : image.mStrips) {
    add(cSerialPortManager::PACKET_STRIP, cSerialOutbox::EncodeStrip(strip.second, payload));
  }
  for (const auto& delay : image.mDelays) {
    add(cSerialPortManager::PACKET_DELAY, cSerialOutbox::EncodeDelay(delay.second, payload));
  }
  return true;
}
