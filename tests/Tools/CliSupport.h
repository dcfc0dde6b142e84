#pragma once

// Running orvel-cli and orvel-devsim as the separate processes a user would
// start.

#include <QElapsedTimer>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <memory>

inline const QString kBin = QStringLiteral(ORVEL_BIN_DIR);

struct sRun {
  int mExit = -1;
  QString mOut;
  QString mErr;
};

// A running orvel-devsim and the device path from its first output line.
struct sSimProcess {
  std::unique_ptr<QProcess> mProcess = std::make_unique<QProcess>();
  QString mPath;

  ~sSimProcess() {
    if (mProcess->state() != QProcess::NotRunning) {
      mProcess->kill();
      mProcess->waitForFinished(5000);
    }
  }
};

inline std::unique_ptr<sSimProcess> StartDevSim(const QStringList& arguments) {
  auto sim = std::make_unique<sSimProcess>();
  sim->mProcess->start(kBin + "/orvel-devsim", arguments);
  if (!sim->mProcess->waitForStarted(5000)) return nullptr;
  QElapsedTimer timer;
  timer.start();
  while (!sim->mProcess->canReadLine() && timer.elapsed() < 5000) sim->mProcess->waitForReadyRead(100);
  if (!sim->mProcess->canReadLine()) return nullptr;
  sim->mPath = QString::fromLocal8Bit(sim->mProcess->readLine()).trimmed();
  return sim;
}

// -1 for a process that crashed.
inline int ExitCodeOf(const QProcess& process) {
  return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

// Waits for a started orvel-cli and collects its output; a run that does not
// end is killed and counts as a crash.
inline sRun FinishCli(QProcess& cli) {
  sRun run;
  if (!cli.waitForFinished(15000)) {
    cli.kill();
    cli.waitForFinished(5000);
    return run;
  }
  run.mExit = ExitCodeOf(cli);
  run.mOut = QString::fromLocal8Bit(cli.readAllStandardOutput());
  run.mErr = QString::fromLocal8Bit(cli.readAllStandardError());
  return run;
}

inline sRun RunCli(const QStringList& arguments, const QString& ports) {
  QProcess cli;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("ORVEL_SERIAL_PORTS", ports);
  cli.setProcessEnvironment(env);
  cli.start(kBin + "/orvel-cli", arguments);
  return FinishCli(cli);
}

inline bool WaitForExit(QProcess& process, int& exitCode) {
  if (!process.waitForFinished(5000)) return false;
  exitCode = ExitCodeOf(process);
  return true;
}
