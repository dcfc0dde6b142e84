#include "OrvelGUI/Core/PortAliases.h"

#include <QDir>
#include <QFileInfo>

QString cPortAliases::Folder() {
  const QString folder = qEnvironmentVariable(kFolderVariable);
  return folder.isEmpty() ? QString::fromLatin1(kDefaultFolder) : folder;
}

QStringList cPortAliases::AliasesOf(const QString& portPath, const QString& folder) {
  QStringList aliases;
  const QFileInfo port(portPath);
  const QString portFile = QDir::cleanPath(port.absoluteFilePath());
  // A port that is gone has no canonical path; neither has a dangling link,
  // and the two must not be taken for one another.
  const QString target = port.canonicalFilePath();
  if (target.isEmpty()) return aliases;
  const QFileInfoList links =
      QDir(folder).entryInfoList({QString::fromLatin1(kPrefix) + QLatin1Char('*')}, QDir::AllEntries, QDir::Name);
  for (const QFileInfo& link : links) {
    if (!link.isSymLink() || QDir::cleanPath(link.absoluteFilePath()) == portFile) continue;
    if (link.canonicalFilePath() == target) aliases << link.absoluteFilePath();
  }
  return aliases;
}
