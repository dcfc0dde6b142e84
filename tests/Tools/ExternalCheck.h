#pragma once

// Running the Python checkers of tests/Tools with the system's interpreter
// (which has Debian's python3-yaml and python3-numpy).

#include <QProcess>
#include <QString>
#include <QStringList>

#include "Tools/CliSupport.h"

inline sRun RunChecker(const QString& script, const QStringList& arguments) {
  QProcess checker;
  checker.setWorkingDirectory(QStringLiteral(ORVEL_SOURCE_DIR) + "/tests/Tools");
  checker.start(QStringLiteral(ORVEL_PYTHON), QStringList{script} + arguments);
  return FinishCli(checker);
}
