#pragma once

#include <QString>

// Where the program keeps its data below the user's home folder. Every path is
// computed from QDir::homePath() at the time of the call.
namespace orvelpaths {

// home/Tessmark/OrvelGUI-V1.00
QString DataRoot();
// DataRoot()/AppData
QString AppDataFolder();
// AppDataFolder()/NonVolatile/NonVolatileRamFile
QString NonVolatileStorageFile();
// DataRoot()/SaveData
QString SaveFolder();
// SaveFolder()/Save.cfg
QString DefaultSaveFile();

}  // namespace orvelpaths
