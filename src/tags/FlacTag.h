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
    QString albumArtist; // ALBUMARTIST
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

/// How the comments reach the file.
enum class FlacTagWrite {
    // The metadata blocks are rewritten in place when the padding has room, which the writer
    // leaves; else libFLAC rewrites the file. For a file that has no final name yet.
    InPlace,
    // The file is written anew into a sibling that replaces it in one rename (SafeRewrite), so a
    // file under its final name is never half-written.
    ThroughSibling,
};

/// Replaces the fields of tag in the Vorbis comment block of the FLAC file at path (other fields
/// stay), as UTF-8, through libFLAC's metadata interface. Throws ComponentError "Cannot write
/// comments to <file>: <reason>" when the file is no FLAC file or cannot be written (or "Cannot
/// create a file in <folder>: <reason>" when the sibling cannot be made); the audio is never
/// touched.
void writeFlacComments(const QString& path, const FlacTag& tag,
                       FlacTagWrite how = FlacTagWrite::InPlace);
