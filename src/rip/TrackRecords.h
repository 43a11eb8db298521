#pragma once

#include "rip/CDFreedinfo.h"

#include <QString>

class IAudioCDGrabber2;

/// What one track of the disc shows in the list.
struct TrackRow
{
    QString caption; // the track name, also the base of the output file name
    QString time;    // "mm:ss:f" as the grabber measures it
    int sectors = 0; // the same length in sectors, 75 a second
    double seconds() const { return sectors / 75.0; }
    CDFreedinfo record;
};

/// Selects track index on the grabber and reads its row: placeholder titles become "Track03",
/// empty artist and album "Unknown Artist" and "Unknown Album". comment is kept.
TrackRow readTrackRow(IAudioCDGrabber2& grabber, int index, const QString& comment = {});

/// The disc's artist as a whole, as the list keeps it beside its rows.
QString readAlbumArtist(IAudioCDGrabber2& grabber);

/// The list's time text: minutes and seconds with two digits, frames as they are (04:05:7).
QString formatTrackTime(int minutes, int seconds, int frames);
