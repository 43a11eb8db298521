#pragma once

#include "rip/CDFreedinfo.h"

#include <QByteArray>
#include <QMap>
#include <QString>

/// Everything the tag step can write into a track's file. Each writer takes its part of it in
/// one place, WriteTags.
struct TagRecord
{
    QString title;
    QString artist;
    QString album;
    QString year;
    QString genre;
    QString comment;
    int trackNumber = 0; // 1-based; 0 unknown
    int trackCount = 0;
    /// Identifiers of online databases, by the tag name they are written under.
    QMap<QString, QString> identifiers;
    /// A front cover, with its MIME type; empty when there is none.
    QByteArray picture;
    QString pictureType;
    int discNumber = 0; // of a set of several discs; 0 none
    int discTotal = 0;
};

/// The record of a track's row.
inline TagRecord tagRecordFor(const CDFreedinfo& row, int trackNumber = 0, int trackCount = 0)
{
    return {row.Title,   row.Artist,  row.Album,  row.Year, row.Genre,
            row.Comment, trackNumber, trackCount, {},       {},
            {},          0,           0};
}
