#pragma once

#include <QString>

/// Where the program keeps its settings and, unless told otherwise, the files it makes.
namespace Locations {

/// Name of the settings file.
inline constexpr const char* SettingsFileName = "LumRipwellconverter.ini";

/// $XDG_CONFIG_HOME/LumRipwellconverter.ini, else ~/.config/LumRipwellconverter.ini
/// (the Windows directory on Windows).
QString settingsFilePath();

/// Name of the local disc-information file, kept beside the settings file.
inline constexpr const char* LocalFreeDBFileName = "CDFreeDB.ini";

/// The local disc-information file: CDFreeDB.ini in the folder of settingsPath.
QString localFreeDBPath(const QString& settingsPath);

/// The user's music folder: the output folder when none is stored.
QString defaultOutputPath();

} // namespace Locations
