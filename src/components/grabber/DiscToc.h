#pragma once

#include <QList>
#include <QString>

/// One track of a disc's table of contents. Sectors are logical sector numbers (LSN).
struct TocTrack
{
    int number = 0;      // the disc's own track number
    int firstSector = 0; // LSN
    int sectorCount = 0; // 75 a second; 0 when an image ends before the track starts
    bool audio = false;
    int pregapSectors = 0;    // INDEX 00 up to firstSector; they end the track before
    QString isrc;             // empty: none
    bool preEmphasis = false; // recorded with 50/15 µs pre-emphasis

    int endSector() const { return firstSector + sectorCount; }
};

/// Where a track lies among the disc's audio tracks: what the read offset and the AccurateRip
/// checksums need beyond the track itself.
struct TrackPlace
{
    bool first = true;  // the disc's first audio track
    bool last = true;   // its last audio track
    int audioStart = 0; // LSN of the first audio sector; a shifted read finds silence before it
    int audioEnd = 0;   // LSN after the last audio sector, and silence from there
};

/// The table of contents of the disc in a drive.
struct DiscToc
{
    QList<TocTrack> tracks; // every track, data tracks included
    int leadOut = 0;        // LSN of the lead-out
    QString catalog;        // media catalogue number; empty: none

    QList<TocTrack> audioTracks() const
    {
        QList<TocTrack> audio;
        for (const TocTrack& track : tracks) {
            if (track.audio)
                audio.append(track);
        }
        return audio;
    }

    /// The place of the audio track that starts at firstSector.
    TrackPlace placeOf(const TocTrack& track) const
    {
        const QList<TocTrack> audio = audioTracks();
        if (audio.isEmpty())
            return {true, true, track.firstSector, track.endSector()};
        return {audio.front().firstSector == track.firstSector,
                audio.back().firstSector == track.firstSector, audio.front().firstSector,
                audio.back().endSector()};
    }
};
