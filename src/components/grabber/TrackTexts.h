#pragma once

#include <QString>

/// The texts of one track as the grabber reports them.
struct TrackTexts
{
    QString title;
    QString artist;
    QString album;
    QString genre;
    QString year;
    QString albumArtist; // the disc's artist as a whole; empty when there is none
};
