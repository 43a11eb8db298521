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
    int pregapSectors = 0; // INDEX 00 up to firstSector; they end the track before
    QString isrc;          // empty: none

    int endSector() const { return firstSector + sectorCount; }
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
};
