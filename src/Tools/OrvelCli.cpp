// orvel-cli: command-line access to the program's library functions. Each
// command is one entry of the table below and stays a thin call into the
// library; reports of the library go to standard error.

#include <unistd.h>

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <cstdio>
#include <memory>

#include "EWNet/Core/ErrLog.h"
#include "OrvelGUI/Config/ConfigCommands.h"
#include "OrvelGUI/Config/ConfigJson.h"
#include "OrvelGUI/Config/ConfigText.h"
#include "OrvelGUI/Config/Configuration.h"
#include "OrvelGUI/Config/DevicePull.h"
#include "OrvelGUI/Config/NetworkCommand.h"
#include "OrvelGUI/Config/PortChoice.h"
#include "OrvelGUI/Config/RemoteCommand.h"
#include "OrvelGUI/Config/SafeWrite.h"
#include "OrvelGUI/Config/SerialDeviceQuery.h"
#include "OrvelGUI/Config/StandaloneAssembly.h"
#include "OrvelGUI/Core/ApplicationCore.h"
#include "OrvelGUI/Core/PortAliases.h"
#include "OrvelGUI/Core/SavesManager.h"
#include "OrvelGUI/Core/SerialPortList.h"
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
  bool mDraws = false;  // paints text into images: needs the GUI application
};

int Failed(const QString& message) {
  std::fprintf(stderr, "orvel-cli: %s\n", qPrintable(message));
  return kExitFailed;
}

// The whole output is made first and written safely: a failed write leaves
// an existing OUT as it was.
int RunCipher(const QStringList& arguments, bool encrypt) {
  const char* what = encrypt ? "encryption" : "decryption";
  QFile in(arguments.at(0));
  if (!in.open(QIODevice::ReadOnly)) return Failed(arguments.at(0) + ": " + in.errorString());
  QByteArray out;
  QBuffer buffer(&out);
  buffer.open(QIODevice::WriteOnly);
  if (!cSavesManager::CipherData(&in, &buffer, encrypt)) {
    return Failed(QString("%1 of %2 failed").arg(what, arguments.at(0)));
  }
  QString error;
  if (!safewrite::WriteFile(arguments.at(1), out, error)) return Failed(error);
  return kExitOk;
}

int RunEncrypt(const QStringList& arguments) { return RunCipher(arguments, true); }
int RunDecrypt(const QStringList& arguments) { return RunCipher(arguments, false); }

bool JsonFlag(QStringList& arguments) { return arguments.removeAll(QStringLiteral("--json")) > 0; }

void PrintJson(const QJsonObject& object) {
  std::printf("%s", QJsonDocument(object).toJson(QJsonDocument::Indented).constData());
}

// One port a line: its name, then the stable links that lead to it, each
// after a tab, so that the first field stays the name a --port takes.
int RunPorts(const QStringList& given) {
  QStringList arguments = given;
  const bool json = JsonFlag(arguments);
  if (!arguments.isEmpty()) {
    std::fprintf(stderr, "orvel-cli: usage: orvel-cli ports [--json]\n");
    return kExitUsage;
  }
  const QString aliasFolder = cPortAliases::Folder();
  QJsonArray list;
  for (const sSerialPortEntry& port : cSerialPortList::AcceptedPorts()) {
    const QStringList aliases = cPortAliases::AliasesOf(port.mSystemLocation, aliasFolder);
    if (json) {
      list.append(QJsonObject{
          {"name", port.mName}, {"path", port.mSystemLocation}, {"links", QJsonArray::fromStringList(aliases)}});
      continue;
    }
    QString line = port.mName;
    for (const QString& alias : aliases) line += QLatin1Char('\t') + alias;
    std::printf("%s\n", qPrintable(line));
  }
  if (json) PrintJson(QJsonObject{{"ports", list}});
  return kExitOk;
}

// Device commands say which port they use before they connect.
sPortChoice AnnouncePort(const QString& requested) {
  const sPortChoice choice = ChoosePort(requested);
  if (choice.mFound) std::fprintf(stderr, "%s\n", qPrintable(PortChoiceText(choice)));
  return choice;
}

int RunVersion(const QStringList& given) {
  QStringList arguments = given;
  const bool json = JsonFlag(arguments);
  if (!arguments.isEmpty() && (arguments.size() != 2 || arguments.at(0) != QLatin1String("--port"))) {
    std::fprintf(stderr, "orvel-cli: usage: orvel-cli version [--port NAME] [--json]\n");
    return kExitUsage;
  }
  const QString requested = arguments.isEmpty() ? QString() : arguments.at(1);
  const sPortChoice port = AnnouncePort(requested);
  QString version;
  QString error;
  if (!QueryDeviceVersion(requested, 2000, version, error)) {
    std::fprintf(stderr, "orvel-cli: %s\n", qPrintable(ExplainOpenFailure(error, port)));
    return kExitFailed;
  }
  if (json) {
    PrintJson(QJsonObject{{"version", version}, {"port", port.mName}, {"path", port.mPath}});
  } else {
    std::printf("%s\n", qPrintable(version));
  }
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
      std::fprintf(stderr,
                   "orvel-cli: %s is not a configuration this program reads, or holds values the processor cannot "
                   "realise\n",
                   qPrintable(file));
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

// What reached the processor, said plainly: a recall that did not arrive
// whole leaves the processor with part of the new configuration.
void PrintDelivery(const sDeviceRecallResult& result) {
  const auto count = [](std::uint64_t n) { return static_cast<unsigned long long>(n); };
  if (result.mHeld) {
    std::fprintf(stderr, "Written in %llu ticks, %lld ms: %llu packets, all acknowledged by the processor\n",
                 count(result.mTicks), static_cast<long long>(result.mMilliseconds), count(result.mPackets));
    return;
  }
  if (result.mTimedOut) {
    std::fprintf(stderr, "The processor did not acknowledge every packet within %lld ms",
                 static_cast<long long>(result.mMilliseconds));
  } else {
    std::fprintf(stderr, "The link to the processor was lost during the recall");
  }
  std::fprintf(stderr, ": %llu of %llu packets written, %llu acknowledged.\n", count(result.mWritten),
               count(result.mPackets), count(result.mAcknowledged));
  if (result.mWritten == 0) {
    std::fprintf(stderr, "The processor still holds the configuration it had before.\n");
  } else if (result.mTimedOut) {
    std::fprintf(stderr, "It may hold a partial configuration: recall the file again once it answers.\n");
  } else {
    std::fprintf(stderr,
                 "The processor now holds a partial configuration: recall the file again once it is connected.\n");
  }
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
  const sPortChoice choice = AnnouncePort(port);
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
  if (!result.mError.isEmpty()) std::fprintf(stderr, "%s\n", qPrintable(ExplainOpenFailure(result.mError, choice)));
  if (result.mRecalled) PrintDelivery(result);
  std::printf("Recall %s %s\n", qPrintable(name), ok ? "Successful" : "Failed");
  return ok ? kExitOk : kExitFailed;
}

int RunRemote(const QStringList& arguments) { return RunRemoteCli(arguments); }
int RunNetwork(const QStringList& arguments) {
  QTextStream out(stdout);
  QTextStream err(stderr);
  return RunNetworkCommand(arguments, out, err);
}

const sCliCommand kCommands[] = {
    {"encrypt", "IN OUT",
     "Encipher file IN into OUT with the program's key, exactly as a saved configuration (the last block is "
     "zero-padded to 8 bytes).",
     2, RunEncrypt},
    {"decrypt", "IN OUT",
     "Decipher file IN into OUT as a recall does; the length of IN must be a multiple of 8. OUT keeps the "
     "padding bytes.",
     2, RunDecrypt},
    {"ports", "[--json]",
     "List the device's serial ports, one a line: its name (ports that share a name are listed by their device "
     "path), then, after a tab each, the /dev/orvel-* links the package's udev rule made for it "
     "(ORVEL_SERIAL_PORTS=PATH:PATH adds ports). --json prints {\"ports\": [{\"name\", \"path\", \"links\": "
     "[...]}]}.",
     -1, RunPorts},
    {"version", "[--port NAME] [--json]",
     "Connect to the device (the first listed port unless named: NAME is a name ports lists or a device path), "
     "print its firmware version and disconnect; fails when no version reply comes within 2 seconds. Standard "
     "error names the port used (\"Port NAME (PATH), the first listed port\") and why a port did not open. "
     "--json prints {\"version\", \"port\", \"path\"}.",
     -1, RunVersion},
    {"recall", "FILE [--port NAME]",
     "Connect to the device as version does (naming the port on standard error), recall configuration FILE exactly as "
     "the loader's Recall button "
     "does, wait until the processor has acknowledged every packet, disconnect. Prints \"Recall NAME Successful\" "
     "or \"Recall NAME Failed\", and on standard error how many packets were written and acknowledged; exits 0 "
     "only when the processor holds the whole configuration.",
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
    {"network", "allow LIST|off|show",
     "Change or show which peers a running program's object network lets in (the setting network/allow, also "
     "what the editor's network switch changes): LIST is a comma-separated list of addresses and CIDR ranges "
     "(192.168.1.0/24), \"local\" (the subnets of this machine's interfaces) or \"any\"; \"off\" lets in "
     "this machine's loopback addresses only, as when nothing is set. A running program takes a change for its "
     "next peers within a second; connected peers stay. ORVEL_NETWORK_ALLOW replaces the setting for a run.",
     2, RunNetwork},
    {"defaults", "OUT", "Write the configuration a freshly started program holds, as it would save it.", -1,
     RunDefaultsCommand},
    {"create", "JSON OUT",
     "Write a configuration file from a JSON document of the form show --json prints (\"-\" reads standard input). "
     "Fields left out keep their defaults. A value may be given by its stored code (frequency, width, gain, type, "
     "slope, left, right) or in its unit (frequency_hz, q, gain_db, type_name, slope_name, left_ms, right_ms; a "
     "bell's width also as realised_q, the Q its curve realises), which becomes the nearest code; when both are given "
     "they must mean the same code (or the unit value be the "
     "code's own), else the document is refused naming both. The strips, panels, equalisers (\"eq\") and bands "
     "arrays may hold any number of entries: each is placed by its \"index\" (from 0), its \"name\" (strips, "
     "panels) or \"side\" (eq), else by its position; what is left out keeps its defaults. With a panel's gang on, "
     "the right equaliser follows the left. Unknown keys, values out of range and values the processor cannot "
     "realise (strip gains above +12.04 dB, band gains beyond +-15 dB, NOTCH bands, frequencies whose designs are "
     "unstable, pass-filter slopes the panel has not the sections for) are refused with their path or unit, and "
     "nothing is written.",
     -1, RunCreateCommand},
    {"biquads", "FILE [--json]",
     "For each of the 36 filter addresses: the owning unit, the design inputs, the five integers in wire order "
     "(b0, -a1, b1, -a2, b2) as the device receives them after recalling FILE, the packet's sync words and bytes, "
     "and the section's response at the design frequency. --json prints a list of objects with \"address\", "
     "\"unit\", \"coefficients\", \"words\", \"bytes\", \"design\" and \"response_db\".",
     -1, RunBiquadsCommand},
    {"response", "FILE [--panel low|mid|high | --sum] [--side left|right] [--csv | --png OUT]",
     "The response of each output's filter chain (pass filters and every band, from the quantised integers the "
     "device receives, at 96 kHz), 24 points per octave from 10 Hz to 40 kHz: magnitude (dB), phase (degrees, "
     "wrapped) and group delay (ms, computed analytically from the sections and delays). --sum gives instead, per "
     "side, the electrical sum of the Low, Mid and High outputs, each through its chain, output strip (gain, mute, "
     "polarity, as the strip driver sends it) and delay, after the input strip. A table, CSV (columns NAME, NAME "
     "phase_deg, NAME group_delay_ms per curve), or a PNG chart with magnitude and phase panels.",
     -1, RunResponseCommand, true},
    {"export", "FILE --format rew|camilladsp|text [--panel low|mid|high] [--side left|right]",
     "rew: per output, filter-settings text for the room-measurement program and PC equalisers (\"Filter 1: ON PK "
     "Fc 100.0 Hz Gain -3.0 dB Q 2.00\"): the bands (PK, \"LS 6dB\"/\"HS 6dB\" for the first-order shelves, HP/LP "
     "for the Butterworth bands, OFF when bypassed), then one line per section of the panel's high-pass and "
     "low-pass (HPQ/LPQ with Q, HP1/LP1 first order). camilladsp: the whole processor as a CamillaDSP version 3 "
     "configuration (96 kHz devices to replace, input strips, a mixer to the six outputs Low L .. High R, per "
     "output its pass filters, bands, delay and output strip with polarity and mute); no --panel or --side. text: "
     "the quantised coefficients as lists (a0 = 1). Frequencies, gains and Q are those of the standard 96 kHz "
     "biquads that give the curves the processor realises.",
     -1, RunExportCommand},
    {"import", "TEXT --into FILE --panel low|mid|high --side left|right|both [--max-error DB] [--json] OUT",
     "Read filter-settings text (as export rew writes it, the room-measurement program's, or the PC equaliser's "
     "\"Preamp: -6 dB\" and \"Filter: ON PK Fc 100 Hz Gain -3 dB Q 1.41\" with PK, LS/HS (12 dB/octave), "
     "\"LS 6dB\", LSC/HSC with a Q or a slope in dB, HP/LP, HPQ/LPQ, HP1/LP1; \"-\" reads standard input) into "
     "one panel of FILE and write OUT. OFF and None lines are skipped. Each filter goes to a band whose frequency "
     "range holds it (its own number first), at the nearest codes; bands left over are bypassed; second-order "
     "shelves become first-order ones. Consecutive HPQ/HP1 (LPQ/LP1) lines set the panel's high-pass (low-pass) "
     "to the slope and frequency that come closest. Preamp lines move the output strip's fader by their sum. "
     "Reports, per line, what was asked, what was set and the largest difference of the two curves between 20 Hz "
     "and 20 kHz; a difference above --max-error (1 dB unless given) refuses the text, as do more filters than "
     "bands, types no band takes and values the processor cannot realise, with the line at fault named and nothing "
     "written. --json prints {\"text\", \"into\", \"out\", \"panel\", \"side\", \"max_error_db\", \"written\", "
     "\"error\", \"filters\": [{\"lines\", \"texts\", \"output\", \"set\", \"largest_difference_db\"}], "
     "\"preamp\": [{\"output\", \"preamp_db\", \"fader_before\", \"fader_after\", \"largest_difference_db\"}], "
     "\"skipped\": [{\"line\", \"text\", \"reason\"}], \"bypassed\": [{\"output\", \"band\"}]} instead of the "
     "report (on a refusal \"written\" false and \"error\" only).",
     -1, RunImportCommand},
    {"verify", "FILE [--port NAME] [--json]",
     "Connect (naming the port on standard error), read the device's settings back (the sync sequence: commands "
     "7, 9 and 3) and list every value in which the device differs from what recalling FILE would send, by unit "
     "and parameter, in FILE's terms (an output strip's polarity as show prints it). Exit 0 when the processor "
     "holds FILE, 1 when it differs, 3 when the processor could not be read (no port, no answer, a read-back cut "
     "short; the message says how long it waited), 2 for a usage error or a FILE this program does not read. Band "
     "bypasses and coefficients are not read back by the device. --json prints {\"file\", \"port\", \"path\", "
     "\"read\", \"holds\", \"error\", \"differences\": [{\"unit\", \"parameter\", \"file\", \"device\"}]}.",
     -1, RunVerifyCommand},
    {"diff", "A B [--json]",
     "List every value in which configuration files A and B differ, by unit and parameter, in the units show "
     "prints (\"LMH 2:  HPF Unit frequency: a.cfg 80.00 Hz (21398), b.cfg 100.00 Hz (22005)\"), then their "
     "number. Exit 0 when they hold the same values, 1 when they differ, 2 for a usage error or a file this "
     "program does not read. --json prints {\"a\", \"b\", \"same\", \"differences\": [{\"unit\", "
     "\"parameter\", \"a\", \"b\"}]}.",
     -1, RunDiffCommand},
    {"pull", "OUT [--port NAME]",
     "Connect, read the device's settings back as every connect does, and write them as configuration file OUT "
     "(its values as show prints them), replacing OUT only when complete. Band bypasses and coefficients are not "
     "read back: OUT has the defaults' band bypasses. Nothing is written, and the exit status is 1, when the device "
     "stops answering or reports a value it could not realise.",
     -1, RunPullCommand},
};

void PrintHelp(std::FILE* to) {
  std::fprintf(
      to,
      "Usage: orvel-cli COMMAND [ARGUMENTS]\n  or:  orvel-cli --verbose COMMAND [ARGUMENTS]\n  or:  orvel-cli --help | "
      "--version\n\n%s %s command-line tool. --verbose also prints the program's notifications (\"Notification: "
      "Succeeded opening port\").\n\n"
      "Commands:\n",
      kOrvelApplicationName, kOrvelVersionText);
  for (const sCliCommand& command : kCommands) {
    std::fprintf(to, "  %s%s%s\n      %s\n", command.mName, *command.mArguments ? " " : "", command.mArguments,
                 command.mDescription);
  }
  std::fprintf(to,
               "\nErrors are written to standard error; the exit status is 0 on success, %d when the command "
               "failed (also when standard output could not be written) and %d for a usage error; verify and diff "
               "say above what theirs mean. Files are written whole or not at all: a write that fails leaves an "
               "existing file as it was; FIFOs and devices are written in place.\n",
               kExitFailed, kExitUsage);
}

const sCliCommand* FindCommand(const QString& name) {
  for (const sCliCommand& command : kCommands) {
    if (name == QLatin1String(command.mName)) return &command;
  }
  return nullptr;
}

void PrintCommandHelp(const sCliCommand& command) {
  std::printf("Usage: orvel-cli %s %s\n\n%s\n", command.mName, command.mArguments, command.mDescription);
}

// Errors always reach standard error; the link's notifications ("Succeeded
// opening port") only with --verbose, as they tell a user nothing the result
// does not.
void KeepNotificationsQuiet() {
  ewlog::SetSink([](const std::string& line) {
    static const std::string kNotification = "Notification: ";
    if (line.compare(0, kNotification.size(), kNotification) == 0) return;
    std::fprintf(stderr, "%s\n", line.c_str());
  });
}

int RunCommand(QStringList arguments, int& argc, char* argv[]);

}  // namespace

int main(int argc, char* argv[]) {
  QStringList arguments;
  for (int i = 1; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  safewrite::WatchStandardOutput();
  if (arguments.removeAll(QStringLiteral("--verbose")) == 0) KeepNotificationsQuiet();
  int status = RunCommand(arguments, argc, argv);
  // Output that did not arrive (a full disk, a closed pipe behind standard
  // output) is a failure, whatever the command made of it.
  QString error;
  if (!safewrite::FinishStandardOutput(error)) {
    std::fprintf(stderr, "orvel-cli: %s\n", qPrintable(error));
    if (status == kExitOk) status = kExitFailed;
  }
  return status;
}

namespace {

int RunCommand(QStringList arguments, int& argc, char* argv[]) {
  const sCliCommand* drawing = arguments.isEmpty() ? nullptr : FindCommand(arguments.first());
  std::unique_ptr<QCoreApplication> application;
  if (drawing != nullptr && drawing->mDraws && arguments.contains("--png")) {
    // Text in images needs fonts, which only a GUI application has; no screen is needed.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    application = std::make_unique<QGuiApplication>(argc, argv);
  } else {
    application = std::make_unique<QCoreApplication>(argc, argv);
  }
  if (arguments.isEmpty()) {
    PrintHelp(stderr);
    return kExitUsage;
  }
  const QString name = arguments.takeFirst();
  if (name == QLatin1String("--help") || name == QLatin1String("-h") || name == QLatin1String("help")) {
    PrintHelp(stdout);
    return kExitOk;
  }
  if (name == QLatin1String("--version")) {
    // The version without the "V" of the window titles, as GNU tools print it.
    const char* number = kOrvelVersionText[0] == 'V' ? kOrvelVersionText + 1 : kOrvelVersionText;
    std::printf("orvel-cli %s\n", number);
    return kExitOk;
  }
  const sCliCommand* command = FindCommand(name);
  if (command == nullptr) {
    std::fprintf(stderr, "orvel-cli: unknown command '%s' (see orvel-cli --help)\n", qPrintable(name));
    return kExitUsage;
  }
  if (arguments.contains("--help")) {
    PrintCommandHelp(*command);
    return kExitOk;
  }
  if (command->mArgumentCount >= 0 && arguments.size() != command->mArgumentCount) {
    std::fprintf(stderr, "orvel-cli: usage: orvel-cli %s %s\n", command->mName, command->mArguments);
    return kExitUsage;
  }
  return command->mRun(arguments);
}

}  // namespace
