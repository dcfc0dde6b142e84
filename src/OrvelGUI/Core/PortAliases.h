#pragma once

#include <QString>
#include <QStringList>

// The stable names the package's udev rule gives the processor's ports:
// symbolic links named orvel-* in /dev that lead to a port's device. The
// port list names ports by their kernel names; these tell a user which name
// stays with the unit.
class cPortAliases {
 public:
  static constexpr const char* kDefaultFolder = "/dev";
  static constexpr const char* kPrefix = "orvel-";
  // Another folder to search instead of /dev (for tests, where no rule runs).
  static constexpr const char* kFolderVariable = "ORVEL_PORT_ALIAS_DIR";

  // The folder the links are searched in: ORVEL_PORT_ALIAS_DIR when set,
  // else /dev.
  static QString Folder();
  // The absolute paths of the orvel-* links in `folder` that lead to the same
  // file as `portPath`, sorted by name. A port that does not exist has none;
  // a link that is the port's own path is not its alias.
  static QStringList AliasesOf(const QString& portPath, const QString& folder);
};
