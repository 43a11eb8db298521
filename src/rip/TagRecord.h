#pragma once

#include "base/ReplayGain.h"
#include "rip/CDFreedinfo.h"

#include <QByteArray>
#include <QMap>
#include <QString>

#include <optional>

/// ReplayGain 2.0 values (gain in dB to -18 LUFS, sample peak with 1.0 full scale), each written
/// when it is known: the album's only after the last track of a run has been measured.
struct ReplayGainTags
{
    std::optional<double> trackGain;
    std::optional<double> trackPeak;
    std::optional<double> albumGain;
    std::optional<double> albumPeak;

    void setTrack(const ReplayGainValues& values)
    {
        trackGain = values.gain;
        trackPeak = values.peak;
    }
    void setAlbum(const ReplayGainValues& values)
    {
        albumGain = values.gain;
        albumPeak = values.peak;
    }
};

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
    int trackCount = 0;  // the disc's audio tracks, also when only some are ripped
    /// Identifiers of online databases, by the tag name they are written under.
    QMap<QString, QString> identifiers;
    /// A front cover, with its MIME type; empty when there is none.
    QByteArray picture;
    QString pictureType;
    int discNumber = 0; // of a set of several discs; 0 none
    int discTotal = 0;
    /// The artist of the whole album (a disc of several artists has one); empty when unknown.
    QString albumArtist{};
    ReplayGainTags replayGain{};
};

/// The record of a track's row.
inline TagRecord tagRecordFor(const CDFreedinfo& row, int trackNumber = 0, int trackCount = 0)
{
    TagRecord tag;
    tag.title = row.Title;
    tag.artist = row.Artist;
    tag.album = row.Album;
    tag.year = row.Year;
    tag.genre = row.Genre;
    tag.comment = row.Comment;
    tag.trackNumber = trackNumber;
    tag.trackCount = trackCount;
    return tag;
}
