#pragma once

// orvel-loader started as the separate process a user starts, offscreen,
// with a home folder, a temporary folder (where the single-instance guard's
// key lives) and an object-network port of its own, so that tests running
// side by side never meet each other's copy.

#include <signal.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

struct sLoaderPlace {
  QTemporaryDir mHome;
  QTemporaryDir mTemp;
};

class cLoaderProcess {
 public:
  // `program` is orvel-loader unless another of the product's programs is
  // named (orvel-editor).
  cLoaderProcess(const sLoaderPlace& place, const QStringList& arguments = {},
                 const QProcessEnvironment& extra = QProcessEnvironment(),
                 const QString& program = QStringLiteral("orvel-loader")) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("HOME", place.mHome.path());
    environment.insert("TMPDIR", place.mTemp.path());
    environment.insert("XDG_RUNTIME_DIR", place.mTemp.path());
    environment.insert("ORVEL_NETWORK_PORT", "0");
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("QT_QUICK_BACKEND", "software");
    // The sanitizers' summary of suppressed leaks would follow the program's
    // last line.
    environment.insert("LSAN_OPTIONS", environment.value("LSAN_OPTIONS") + ":print_suppressions=0");
    for (const QString& key : extra.keys()) environment.insert(key, extra.value(key));
    mProcess.setProcessEnvironment(environment);
    mProcess.setProcessChannelMode(QProcess::MergedChannels);
    mProcess.start(QStringLiteral(ORVEL_BIN_DIR "/") + program, arguments);
  }
  ~cLoaderProcess() {
    if (mProcess.state() != QProcess::NotRunning) {
      mProcess.kill();
      mProcess.waitForFinished(5000);
    }
  }
  cLoaderProcess(const cLoaderProcess&) = delete;
  cLoaderProcess& operator=(const cLoaderProcess&) = delete;

  // Everything the program wrote so far (debug and error output).
  QByteArray Output() {
    mOutput += mProcess.readAll();
    return mOutput;
  }
  bool WaitForOutput(const QByteArray& text, int timeoutMs = 15000) {
    QElapsedTimer timer;
    timer.start();
    while (!Output().contains(text)) {
      if (timer.elapsed() > timeoutMs || mProcess.state() == QProcess::NotRunning) return Output().contains(text);
      mProcess.waitForReadyRead(50);
    }
    return true;
  }
  // The port the object network listens on, once the program has said so.
  quint16 NetworkPort() {
    if (!WaitForOutput("listening on TCP port")) return 0;
    static const QRegularExpression kPort("listening on TCP port (\\d+)");
    return quint16(kPort.match(QString::fromLocal8Bit(Output())).captured(1).toUInt());
  }
  bool Signal(int number) { return ::kill(pid_t(mProcess.processId()), number) == 0; }
  // The exit code after a normal exit; -1 after a crash or a time-out.
  int WaitForExit(int timeoutMs = 15000) {
    if (!mProcess.waitForFinished(timeoutMs)) return -1;
    Output();
    return mProcess.exitStatus() == QProcess::NormalExit ? mProcess.exitCode() : -1;
  }
  bool IsRunning() const { return mProcess.state() == QProcess::Running; }

 private:
  QProcess mProcess;
  QByteArray mOutput;
};
