// orvel-cli: command-line access to the program's library functions. Each
// command is one entry of the table below and stays a thin call into the
// library; reports of the library go to standard error.

#include <unistd.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <QJsonDocument>
#include <QString>
#include <QStringList>
#include <cstdio>

#include "OrvelGUI/Core/ApplicationCore.h"
#include "OrvelGUI/Core/ConfigJson.h"
#include "OrvelGUI/Core/ConfigText.h"
#include "OrvelGUI/Core/Configuration.h"
#include "OrvelGUI/Core/RemoteCommand.h"
#include "OrvelGUI/Core/SavesManager.h"
#include "OrvelGUI/Core/SerialDeviceQuery.h"
#include "OrvelGUI/Core/StandaloneAssembly.h"
#include "OrvelGUI/Core/Version.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

struct sCliCommand {
  const char* mName;
  const char* mArguments;
  const char* mDescription;
  int mArgumentCount;  // -1: the command checks its arguments itself
  int (*mRun)(const QStringList& arguments);
};

int RunCipher(const QStringList& arguments, bool encrypt) {
  if (!cSavesManager::CipherFile(arguments.at(0), arguments.at(1), encrypt)) {
    std::fprintf(stderr, "orvel-cli: %s of %s failed\n", encrypt ? "encryption" : "decryption",
                 qPrintable(arguments.at(0)));
    return kExitFailed;
  }
  return kExitOk;
}

int RunEncrypt(const QStringList& arguments) { return RunCipher(arguments, true); }
int RunDecrypt(const QStringList& arguments) { return RunCipher(arguments, false); }

int RunPorts(const QStringList&) {
  for (const QString& name : ListDevicePorts()) std::printf("%s\n", qPrintable(name));
  return kExitOk;
}

int RunVersion(const QStringList& arguments) {
  if (!arguments.isEmpty() && (arguments.size() != 2 || arguments.at(0) != QLatin1String("--port"))) {
    std::fprintf(stderr, "orvel-cli: usage: orvel-cli version [--port NAME]\n");
    return kExitUsage;
  }
  QString version;
  QString error;
  if (!QueryDeviceVersion(arguments.isEmpty() ? QString() : arguments.at(1), 2000, version, error)) {
    std::fprintf(stderr, "%s\n", qPrintable(error));
    return kExitFailed;
  }
  std::printf("%s\n", qPrintable(version));
  return kExitOk;
}

constexpr int kRecallTimeoutMs = 10000;

// FILE [OPTION VALUE] or FILE [FLAG]; false on anything else.
bool ParseFileArguments(const QStringList& arguments, const QString& option, bool takesValue, QString& file,
                        QString& value, bool& flag) {
  if (arguments.isEmpty()) return false;
  file = arguments.at(0);
  if (arguments.size() == 1) return true;
  if (arguments.at(1) != option || arguments.size() != (takesValue ? 3 : 2)) return false;
  flag = true;
  if (takesValue) value = arguments.at(2);
  return true;
}

int RunShow(const QStringList& arguments) {
  QString file;
  QString unused;
  bool json = false;
  if (!ParseFileArguments(arguments, "--json", false, file, unused, json)) {
    std::fprintf(stderr, "orvel-cli: usage: orvel-cli show FILE [--json]\n");
    return kExitUsage;
  }
  if (!QFileInfo(file).isFile()) {
    std::fprintf(stderr, "orvel-cli: %s: no such file\n", qPrintable(file));
    return kExitFailed;
  }
  sConfiguration configuration;
  {
    cStandaloneAssembly assembly(false);
    if (!assembly.Core().RecallConfiguration(QFileInfo(file).absoluteFilePath(), kRecallTimeoutMs)) {
      std::fprintf(stderr, "orvel-cli: %s is not a configuration this program reads\n", qPrintable(file));
      return kExitFailed;
    }
    configuration = ReadConfiguration(assembly.Core());
  }
  if (json) {
    std::printf("%s", QJsonDocument(configjson::Encode(configuration)).toJson(QJsonDocument::Indented).constData());
  } else {
    std::printf("%s", qPrintable(DescribeConfiguration(configuration)));
  }
  return kExitOk;
}

int RunRecall(const QStringList& arguments) {
  QString file;
  QString port;
  bool named = false;
  if (!ParseFileArguments(arguments, "--port", true, file, port, named)) {
    std::fprintf(stderr, "orvel-cli: usage: orvel-cli recall FILE [--port NAME]\n");
    return kExitUsage;
  }
  const QString name = QFileInfo(file).fileName();
  const bool terminal = ::isatty(STDERR_FILENO) != 0;
  sDeviceRecallResult result;
  bool ok = false;
  {
    cStandaloneAssembly assembly(false);
    ok = RecallIntoDevice(
        assembly.Core(), QFileInfo(file).absoluteFilePath(), port, kRecallTimeoutMs,
        [terminal](std::size_t waiting) {
          if (terminal) std::fprintf(stderr, "\rPackets waiting: %-6zu", waiting);
        },
        result);
  }
  if (terminal) std::fprintf(stderr, "\n");
  if (!result.mError.isEmpty()) std::fprintf(stderr, "%s\n", qPrintable(result.mError));
  if (result.mRecalled) {
    std::fprintf(stderr, "Written in %llu ticks, %lld ms\n", static_cast<unsigned long long>(result.mTicks),
                 static_cast<long long>(result.mMilliseconds));
  }
  std::printf("Recall %s %s\n", qPrintable(name), ok ? "Successful" : "Failed");
  return ok ? kExitOk : kExitFailed;
}
int RunRemote(const QStringList& arguments) { return RunRemoteCli(arguments); }

const sCliCommand kCommands[] = {
    {"encrypt", "IN OUT",
     "Encipher file IN into OUT with the program's key, exactly as a saved configuration (the last block is "
     "zero-padded to 8 bytes).",
     2, RunEncrypt},
    {"decrypt", "IN OUT",
     "Decipher file IN into OUT as a recall does; the length of IN must be a multiple of 8. OUT keeps the "
     "padding bytes.",
     2, RunDecrypt},
    {"ports", "", "List the device's serial ports, one name a line (ORVEL_SERIAL_PORTS=PATH:PATH adds ports).", 0,
     RunPorts},
    {"version", "[--port NAME]",
     "Connect to the device (the first listed port unless named), print its firmware version and disconnect; "
     "fails when no version reply comes within 2 seconds.",
     -1, RunVersion},
    {"recall", "FILE [--port NAME]",
     "Connect to the device as version does, recall configuration FILE exactly as the loader's Recall button "
     "does, wait until every packet is written, disconnect. Prints \"Recall NAME Successful\" or \"Recall NAME "
     "Failed\"; exits 0 only when the recall succeeded and every packet was written.",
     -1, RunRecall},
    {"show", "FILE [--json]",
     "Print configuration FILE unit by unit with decoded values, as the program reads it (no device needed); "
     "--json prints the stable JSON form instead.",
     -1, RunShow},
    {"remote", "HOST[:PORT] find NAME | get NAME PARAM | set NAME PARAM VALUE | watch NAME PARAM [--seconds N]",
     "Reach a running program's object network over TCP (port 51321 unless given): print an object's handle, "
     "print or set a parameter (PARAM: number from 0, or method code from 4096), or print its values as they "
     "change (10 seconds unless given). Values are hex bytes, followed by their meaning where the parameter is "
     "known; known parameters also take values such as -6dB, 1kHz, 5ms or on.",
     -1, RunRemote},
};

void PrintHelp(std::FILE* to) {
  std::fprintf(to,
               "Usage: orvel-cli COMMAND [ARGUMENTS]\n       orvel-cli --help\n\n%s %s command-line tool.\n\n"
               "Commands:\n",
               kOrvelApplicationName, kOrvelVersionText);
  for (const sCliCommand& command : kCommands) {
    std::fprintf(to, "  %s%s%s\n      %s\n", command.mName, *command.mArguments ? " " : "", command.mArguments,
                 command.mDescription);
  }
  std::fprintf(to,
               "\nErrors are written to standard error; the exit status is 0 on success, %d when the command "
               "failed and %d for a usage error.\n",
               kExitFailed, kExitUsage);
}

const sCliCommand* FindCommand(const QString& name) {
  for (const sCliCommand& command : kCommands) {
    if (name == QLatin1String(command.mName)) return &command;
  }
  return nullptr;
}

}  // namespace

int main(int argc, char* argv[]) {
  QCoreApplication application(argc, argv);
  QStringList arguments = QCoreApplication::arguments();
  arguments.removeFirst();
  if (arguments.isEmpty()) {
    PrintHelp(stderr);
    return kExitUsage;
  }
  const QString name = arguments.takeFirst();
  if (name == QLatin1String("--help") || name == QLatin1String("-h") || name == QLatin1String("help")) {
    PrintHelp(stdout);
    return kExitOk;
  }
  const sCliCommand* command = FindCommand(name);
  if (command == nullptr) {
    std::fprintf(stderr, "orvel-cli: unknown command '%s' (see orvel-cli --help)\n", qPrintable(name));
    return kExitUsage;
  }
  if (command->mArgumentCount >= 0 && arguments.size() != command->mArgumentCount) {
    std::fprintf(stderr, "orvel-cli: usage: orvel-cli %s %s\n", command->mName, command->mArguments);
    return kExitUsage;
  }
  return command->mRun(arguments);
}
