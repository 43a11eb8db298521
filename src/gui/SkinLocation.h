#pragma once

#include <QString>
#include <QStringList>

/// The skin file's name.
QString skinFileName();

/// Where the skin file is looked for, in order: beside the program (a build tree, or a copy the
/// user placed there), then the installed data folder <prefix>/share/tunecrest. programDir is the
/// program's folder; empty means the running program's.
QStringList skinSearchPaths(const QString& programDir = QString());

/// The first of skinSearchPaths() that is a file, or empty when none is; tried gets every path
/// looked at, in order.
QString findSkinFile(QStringList* tried = nullptr, const QString& programDir = QString());
