#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

// The arguments of one command-line command: positional values, options
// that take a value ("--port NAME") and flags ("--json").
struct sCommandLine {
  QStringList mPositional;
  QMap<QString, QString> mOptions;
  QStringList mFlags;

  bool Has(const QString& flag) const { return mFlags.contains(flag); }
  QString Option(const QString& name) const { return mOptions.value(name); }
};

// False, with `error`, for an unknown option, a missing value, an option
// given twice or another number of positional values than `positional`.
bool ParseCommandLine(const QStringList& arguments, const QStringList& valueOptions, const QStringList& flags,
                      int positional, sCommandLine& out, QString& error);

// "low", "mid", "high" as 0..2 and "left", "right" (and "both" when allowed)
// as 0, 1 (-1); false for anything else.
bool ParsePanelName(const QString& text, int& panel);
bool ParseSideName(const QString& text, bool allowBoth, int& side);

// The whole of a file, or of standard input for "-".
bool ReadInput(const QString& path, QByteArray& contents, QString& error);
