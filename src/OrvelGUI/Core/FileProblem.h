#pragma once

#include <QString>

// Why a configuration file could not be written or read, as far as the file
// system tells: the folder is missing, a permission is lacking, the name is
// a folder. Said in words a user acts on ("the folder /x does not exist");
// empty when the file system shows no reason. Any thread; reads only.
namespace fileproblem {

QString ForSaving(const QString& path);
QString ForRecalling(const QString& path);

}  // namespace fileproblem
