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
};
