#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

/// The texts written as Vorbis comments of a FLAC file; empty ones are left out.
struct FlacTag
{
    QString title;       // TITLE
    QString artist;      // ARTIST
    QString album;       // ALBUM
    QString date;        // DATE
    QString genre;       // GENRE
    QString trackNumber; // TRACKNUMBER
    QString trackTotal;  // TRACKTOTAL
    QString comment;     // COMMENT
    // More fields by name (identifiers, disc number), set after those.
    QList<QPair<QString, QString>> extra;
    // A front cover: a PICTURE block of type 3 in place of any earlier front cover.
    QByteArray picture;
    QString pictureType; // its MIME type
};

/// Replaces the fields of tag in the Vorbis comment block of the FLAC file at path (other fields
/// stay), as UTF-8, through libFLAC's metadata interface. The block is rewritten in place when the
/// padding after it has room, which the writer leaves; else libFLAC rewrites the file. Throws
/// ComponentError "Cannot write comments to <file>: <reason>" when the file is no FLAC file or
/// cannot be written; the audio is never touched.
void writeFlacComments(const QString& path, const FlacTag& tag);
