#include "OrvelGUI/Core/FileProblem.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace {

QString Tr(const char* text) { return QCoreApplication::translate("fileproblem", text); }

QString Native(const QString& path) { return QDir::toNativeSeparators(path); }

}  // namespace

namespace fileproblem {

QString ForSaving(const QString& path) {
  if (path.isEmpty()) return Tr("no file name was given");
  const QFileInfo file(path);
  const QFileInfo folder(file.absolutePath());
  if (!folder.exists()) return Tr("the folder %1 does not exist").arg(Native(folder.filePath()));
  if (!folder.isDir()) return Tr("%1 is not a folder").arg(Native(folder.filePath()));
  if (file.isDir()) return Tr("%1 is a folder").arg(Native(file.filePath()));
  if (file.exists() && !file.isWritable()) return Tr("%1 is read-only").arg(Native(file.filePath()));
  // A save writes a new file beside the old one and then replaces it.
  if (!folder.isWritable()) return Tr("no permission to write in %1").arg(Native(folder.filePath()));
  return QString();
}

QString ForRecalling(const QString& path) {
  if (path.isEmpty()) return Tr("no file name was given");
  const QFileInfo file(path);
  if (!file.exists()) return Tr("%1 does not exist").arg(Native(file.filePath()));
  if (file.isDir()) return Tr("%1 is a folder").arg(Native(file.filePath()));
  if (!file.isReadable()) return Tr("no permission to read %1").arg(Native(file.filePath()));
  return QString();
}

}  // namespace fileproblem
