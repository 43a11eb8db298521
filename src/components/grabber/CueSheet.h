#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

/// One FILE line of a cue sheet.
struct CueFileLine
{
    qsizetype line = 0; // 0-based index among the sheet's lines
    QString name;       // as written, without quotes: relative to the sheet's folder or absolute
    QString type;       // BINARY, MOTOROLA, WAVE, MP3, AIFF; upper case
};

/// The FILE lines of a cue sheet, in order. Quoted names may hold blanks; an unquoted name runs
/// up to the type, the line's last word.
QList<CueFileLine> cueFileLines(const QByteArray& sheet);

/// The sheet with its FILE line at index line replaced by one naming name, type kept.
QByteArray withFileName(const QByteArray& sheet, const CueFileLine& file, const QString& name);
