#pragma once

#include <QString>

/// The texts written as Vorbis comments; empty ones are left out.
struct OGGTag
{
    QString album;       // "Album="
    QString title;       // "Title="
    QString artist;      // "Artist="
    QString comment;     // "Comment="
    QString genre;       // "Genre="
    QString date;        // "Date="
    QString tracknumber; // "TrackNumber="
};

/// The sibling a file is rewritten through: its extension replaced by ".temp" (song.ogg gives
/// song.temp in the same folder; a file that already ends in ".temp" gets a second one).
QString OGGTempPath(const QString& path);

/// Replaces the Vorbis comments of the Ogg Vorbis file at path with those of tag, in the order
/// Title, Artist, Album, TrackNumber, Date, Genre, Comment, as UTF-8. The stream is written into
/// the ".temp" sibling, which then replaces the file in one rename and takes its permission bits.
/// Returns true when the file carries the new comments; false when the finished stream could not
/// take the file's place (the file is then unchanged). Throws ComponentError "Cannot open <file>:
/// <reason>" when the file or the sibling cannot be opened or the file is no Ogg Vorbis stream, and
/// "Cannot write comments: <reason>" when the new stream cannot be written; the file is then
/// unchanged and no sibling remains.
bool WriteOGGTag(const QString& path, const OGGTag& tag);
