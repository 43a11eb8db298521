#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
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
    // After those, when set: more comments by their names, then the front cover as a
    // METADATA_BLOCK_PICTURE comment.
    QList<QPair<QString, QString>> extra;
    QByteArray picture;
    QString pictureType; // its MIME type
};

/// Replaces the Vorbis comments of the Ogg Vorbis or Ogg Opus file at path with those of tag, in
/// the order Title, Artist, Album, TrackNumber, Date, Genre, Comment, as UTF-8. The stream is
/// written into a freshly named sibling (SafeRewrite), which then replaces the file in one rename
/// and takes its permission bits. Throws ComponentError "Cannot open <file>: <reason>" when the
/// file cannot be opened or is neither stream, "Cannot create a file in <folder>: <reason>" when
/// the sibling cannot be made, and "Cannot write comments: <file>: <reason>" when the new stream
/// cannot be written or cannot take the file's place (a full disk gives "No space left on device");
/// the file is then unchanged and no sibling remains.
void writeOggComments(const QString& path, const OGGTag& tag);

/// The same, returning true once the file carries the new comments; errors are raised as above.
bool WriteOGGTag(const QString& path, const OGGTag& tag);
