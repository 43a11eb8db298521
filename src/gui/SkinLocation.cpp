#include "gui/SkinLocation.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

QString skinFileName()
{
    return QStringLiteral("mp3enc.dll");
}

QStringList skinSearchPaths(const QString& programDir)
{
    const QString dir = programDir.isEmpty() ? QCoreApplication::applicationDirPath() : programDir;
    return {QDir(dir).filePath(skinFileName()),
            QDir::cleanPath(dir + QStringLiteral("/../share/tunecrest/") + skinFileName())};
}

QString findSkinFile(QStringList* tried, const QString& programDir)
{
    if (tried)
        tried->clear();
    for (const QString& path : skinSearchPaths(programDir)) {
        if (tried)
            tried->append(path);
        if (QFileInfo(path).isFile())
            return path;
    }
    return {};
}
