#include "OrvelGUI/Config/DevicePull.h"

#include <QFileInfo>
#include <cstdio>

#include "OrvelGUI/Config/CliArguments.h"
#include "OrvelGUI/Config/SerialDeviceQuery.h"
#include "OrvelGUI/Config/StandaloneAssembly.h"

namespace {

// Connecting, the read-back and the save together.
constexpr int kPullTimeoutMs = 10000;

}  // namespace

int RunPullCommand(const QStringList& arguments) {
  sCommandLine line;
  QString error;
  if (!ParseCommandLine(arguments, {"--port"}, {}, 1, line, error)) {
    std::fprintf(stderr, "orvel-cli: %s\norvel-cli: usage: orvel-cli pull OUT [--port NAME]\n", qPrintable(error));
    return 2;
  }
  const QString out = QFileInfo(line.mPositional.at(0)).absoluteFilePath();
  bool pulled = false;
  {
    // Without meter polling the link asks the device for nothing but the
    // read-back; the assembly's storage is its own, never the program's.
    cStandaloneAssembly assembly(false);
    pulled = PullFromDevice(assembly.Core(), out, line.Option("--port"), kPullTimeoutMs, error);
  }
  if (!pulled) {
    std::fprintf(stderr, "orvel-cli: %s\n", qPrintable(error));
    return 1;
  }
  std::printf(
      "Pulled the processor's settings into %s (band bypasses are not read back: saved as the defaults have them)\n",
      qPrintable(QFileInfo(out).fileName()));
  return 0;
}
