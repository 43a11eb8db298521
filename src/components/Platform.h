#pragma once

#include <QString>

/// Where the platform keeps things the program needs.
namespace Platform {

/// Name of the settings file.
inline constexpr const char* SettingsFileName = "LumRipwellconverter.ini";

/// $XDG_CONFIG_HOME/LumRipwellconverter.ini, else ~/.config/LumRipwellconverter.ini
/// (the Windows directory on Windows).
QString settingsFilePath();

/// The user's music folder: the output folder when none is stored.
QString defaultOutputPath();

/// The path separator of output paths: "/" here, "\" on Windows.
inline constexpr char16_t PathSeparator =
#ifdef Q_OS_WIN
    u'\\';
#else
    u'/';
#endif

} // namespace Platform
