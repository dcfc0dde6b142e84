#include "OrvelGUI/Core/AppPaths.h"

#include <QDir>

#include "OrvelGUI/Core/Version.h"

namespace orvelpaths {

namespace {

QString Join(const QString& folder, const QString& name) { return folder + QDir::separator() + name; }

}  // namespace

QString DataRoot() {
  return Join(Join(QDir::homePath(), QString::fromLatin1(kOrvelOrganisationName)),
              QStringLiteral("OrvelGUI-") + QString::fromLatin1(kOrvelVersionText));
}

QString AppDataFolder() { return Join(DataRoot(), QStringLiteral("AppData")); }

QString NonVolatileStorageFile() {
  return Join(Join(AppDataFolder(), QStringLiteral("NonVolatile")), QStringLiteral("NonVolatileRamFile"));
}

QString SaveFolder() { return Join(DataRoot(), QStringLiteral("SaveData")); }

QString DefaultSaveFile() { return Join(SaveFolder(), QStringLiteral("Save.cfg")); }

}  // namespace orvelpaths
