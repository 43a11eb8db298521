#include "settings/Locations.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace Locations {

QString settingsFilePath()
{
#ifdef Q_OS_WIN
    const QString dir = qEnvironmentVariable("WINDIR", QStringLiteral("C:\\Windows"));
    return QDir(dir).filePath(QLatin1StringView(SettingsFileName));
#else
    QString dir = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (dir.isEmpty() || !QDir::isAbsolutePath(dir))
        dir = QDir::home().filePath(QStringLiteral(".config"));
    return QDir(dir).filePath(QLatin1StringView(SettingsFileName));
#endif
}

QString localFreeDBPath(const QString& settingsPath)
{
    return QFileInfo(settingsPath).dir().filePath(QLatin1StringView(LocalFreeDBFileName));
}

QString defaultOutputPath()
{
    const QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    return QDir::toNativeSeparators(music.isEmpty() ? QDir::homePath() : music);
}

} // namespace Locations
