// orvel-devsim: a stand-in for the audio processor on a pseudo-terminal, for
// tests and for anyone without the hardware.

#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QRegularExpression>
#include <cerrno>
#include <cstdio>

#include "DevSim/DeviceSimulator.h"
#include "OrvelGUI/Config/DeviceState.h"

namespace {

const char* kDescription =
    "Simulates the audio processor on a pseudo-terminal. The first line of standard output is the device\n"
    "path to open (the --link path when given). The program answers the packet protocol: the version\n"
    "request, acknowledgements of filter, strip and delay commands, the three sync requests from what it\n"
    "was sent, and meter requests with levels that follow the strip gains and mutes.\n"
    "\n"
    "Like a powered processor it keeps what it was sent from one connection to the next. It starts holding\n"
    "what a freshly started program sends, or, with --state, what recalling FILE.cfg sends (computed by the\n"
    "program's own units).\n"
    "\n"
    "It runs until SIGTERM or SIGINT (exit 0), until standard input closes when --exit-on-eof is given\n"
    "(exit 0), or until it hangs up on purpose with --hangup-after (exit 0). Start-up failures exit 1.\n"
    "\n"
    "--log writes one JSON object per line: {\"t\":ms,\"dir\":\"rx\"|\"tx\",\"type\":n,\"len\":n,\n"
    "\"payload\":\"hex\",\"fields\":{...}}; rx is a command received, tx a reply sent. Deliberate faults\n"
    "are logged with \"fault\", the hang-up as {\"t\":ms,\"event\":\"hangup\"}.";

}  // namespace

int main(int argc, char* argv[]) {
  QCoreApplication application(argc, argv);
  QCoreApplication::setApplicationName("orvel-devsim");

  QCommandLineParser parser;
  parser.setApplicationDescription(kDescription);
  parser.addHelpOption();
  const QCommandLineOption link("link", "Also make a symbolic link PATH to the device.", "PATH");
  const QCommandLineOption firmware("firmware", "Firmware version MAJOR.MINOR to report (default 1.4).", "VERSION",
                                    "1.4");
  const QCommandLineOption log("log", "Write the JSON packet log to FILE.", "FILE");
  const QCommandLineOption noReply("no-reply", "Read every command, answer none.");
  const QCommandLineOption split("split-bytes", "Write every reply one byte at a time.");
  const QCommandLineOption splitPause("split-pause", "Pause between single bytes (default 1).", "MS", "1");
  const QCommandLineOption garbage("garbage", "Send noise bytes before every reply.");
  const QCommandLineOption oversize("oversize", "Send a header with an impossible length before every reply.");
  const QCommandLineOption unknown("unknown-types", "Send replies of types 5 and 10 before every reply.");
  const QCommandLineOption hangUp("hangup-after", "Cut the reply to command N in half and close the line, then exit.",
                                  "N");
  const QCommandLineOption silentAfter("silent-after",
                                       "Answer the first N commands, then none (they still take effect).", "N");
  const QCommandLineOption eof("exit-on-eof", "Exit when standard input is closed.");
  const QCommandLineOption state("state", "Start holding what recalling configuration FILE sends.", "FILE");
  const QCommandLineOption implausible("implausible-records",
                                       "Report an unknown flag bit in filter record 8 (Mid, first left slot) and "
                                       "+80 dB on strip 0 when read back.");
  parser.addOptions({link, firmware, log, noReply, split, splitPause, garbage, oversize, unknown, hangUp, silentAfter,
                     eof, state, implausible});
  parser.process(application);

  devsim::sSimulatorOptions options;
  const QRegularExpressionMatch version = QRegularExpression("^(\\d{1,3})\\.(\\d{1,3})$").match(parser.value(firmware));
  if (!version.hasMatch() || version.captured(1).toInt() > 255 || version.captured(2).toInt() > 255) {
    std::fprintf(stderr, "orvel-devsim: --firmware wants MAJOR.MINOR with numbers up to 255\n");
    return 1;
  }
  options.mFirmwareMajor = static_cast<std::uint8_t>(version.captured(1).toInt());
  options.mFirmwareMinor = static_cast<std::uint8_t>(version.captured(2).toInt());
  options.mLinkPath = parser.value(link).toStdString();
  options.mLogPath = parser.value(log).toStdString();
  options.mFaults.mNoReply = parser.isSet(noReply);
  options.mFaults.mSplitBytes = parser.isSet(split);
  options.mFaults.mSplitPauseMs = parser.value(splitPause).toInt();
  options.mFaults.mGarbage = parser.isSet(garbage);
  options.mFaults.mOversize = parser.isSet(oversize);
  options.mFaults.mUnknownTypes = parser.isSet(unknown);
  // A packet count of at least 1, when the option is given.
  const auto count = [&parser](const QCommandLineOption& option, int& into) {
    if (!parser.isSet(option)) return true;
    bool ok = false;
    into = parser.value(option).toInt(&ok);
    if (ok && into >= 1) return true;
    std::fprintf(stderr, "orvel-devsim: --%s wants a packet count of at least 1\n", qPrintable(option.names().first()));
    return false;
  };
  if (!count(hangUp, options.mFaults.mHangUpAfter) || !count(silentAfter, options.mFaults.mSilentAfter)) return 1;
  options.mFaults.mImplausibleRecords = parser.isSet(implausible);
  {
    // Before any thread of the simulator exists: the units run here once,
    // on this thread, and are gone again before the line opens.
    std::vector<sDeviceCommand> commands;
    QString error;
    if (!DeviceStateCommands(parser.value(state), commands, error)) {
      std::fprintf(stderr, "orvel-devsim: --state: %s\n", qPrintable(error));
      return 1;
    }
    for (const sDeviceCommand& command : commands)
      options.mInitialCommands.push_back({command.mType, command.mPayload});
  }

  // The two ending signals are blocked in every thread (the simulator's
  // threads inherit the mask) and read from a descriptor, so no handler runs
  // on whichever thread the kernel picks and none can be lost.
  sigset_t ending;
  sigemptyset(&ending);
  sigaddset(&ending, SIGTERM);
  sigaddset(&ending, SIGINT);
  ::pthread_sigmask(SIG_BLOCK, &ending, nullptr);
  const int signalReader = ::signalfd(-1, &ending, SFD_CLOEXEC);
  if (signalReader < 0) {
    std::perror("orvel-devsim: signalfd");
    return 1;
  }
  devsim::cDeviceSimulator simulator(options);
  std::string error;
  const bool started = simulator.Start(error);
  if (!started) {
    std::fprintf(stderr, "orvel-devsim: %s\n", error.c_str());
    return 1;
  }
  std::printf("%s\n", simulator.DevicePath().c_str());
  std::fflush(stdout);

  const bool watchStdin = parser.isSet(eof);
  for (;;) {
    pollfd fds[2] = {{signalReader, POLLIN, 0}, {watchStdin ? STDIN_FILENO : -1, POLLIN, 0}};
    const int ready = ::poll(fds, 2, 100);
    if (ready < 0 && errno != EINTR) break;
    if (fds[0].revents & POLLIN) break;
    if (fds[1].revents & (POLLIN | POLLHUP)) {
      char buffer[256];
      if (::read(STDIN_FILENO, buffer, sizeof buffer) <= 0) break;
    }
    if (simulator.HasHungUp()) break;
  }
  simulator.Stop();
  return 0;
}
