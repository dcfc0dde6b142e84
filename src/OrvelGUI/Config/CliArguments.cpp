#include "OrvelGUI/Config/CliArguments.h"

#include <QFile>

bool ParseCommandLine(const QStringList& arguments, const QStringList& valueOptions, const QStringList& flags,
                      int positional, sCommandLine& out, QString& error) {
  out = sCommandLine{};
  for (int i = 0; i < arguments.size(); ++i) {
    const QString& a = arguments.at(i);
    if (a.startsWith("--")) {
      if (out.mOptions.contains(a) || out.mFlags.contains(a)) {
        error = a + " is given twice";
        return false;
      }
      if (flags.contains(a)) {
        out.mFlags << a;
      } else if (valueOptions.contains(a)) {
        if (i + 1 >= arguments.size()) {
          error = a + " needs a value";
          return false;
        }
        out.mOptions.insert(a, arguments.at(++i));
      } else {
        error = "unknown option " + a;
        return false;
      }
    } else {
      out.mPositional << a;
    }
  }
  if (out.mPositional.size() != positional) {
    error = QString("expected %1 argument%2, got %3")
                .arg(positional)
                .arg(positional == 1 ? "" : "s")
                .arg(out.mPositional.size());
    return false;
  }
  return true;
}

bool ParsePanelName(const QString& text, int& panel) {
  const QStringList names = {"low", "mid", "high"};
  panel = int(names.indexOf(text.toLower()));
  return panel >= 0;
}

bool ParseSideName(const QString& text, bool allowBoth, int& side) {
  const QString lower = text.toLower();
  side = lower == "left" ? 0 : lower == "right" ? 1 : -1;
  return side >= 0 || (allowBoth && lower == "both");
}

bool ReadInput(const QString& path, QByteArray& contents, QString& error) {
  QFile file;
  const bool opened =
      path == "-" ? file.open(stdin, QIODevice::ReadOnly) : (file.setFileName(path), file.open(QIODevice::ReadOnly));
  if (!opened) {
    error = path + ": " + file.errorString();
    return false;
  }
  contents = file.readAll();
  return true;
}
