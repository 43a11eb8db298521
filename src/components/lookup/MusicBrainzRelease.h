#pragma once

#include "base/IFreeDBInformation2.h"

#include <QByteArray>
#include <QList>
#include <QString>

/// What a list of releases shows to choose one.
struct MusicBrainzReleaseSummary
{
    QString id;
    QString title;
    QString artist;
    QString date;
    QString country;
    QString label;
    QString catalogNumber;
    QString barcode;
};

/// A release of a disc lookup: its summary and the entry it gives for the disc.
struct MusicBrainzRelease
{
    MusicBrainzReleaseSummary summary;
    FreeDBEntry entry;
};

/// The releases of a web-service answer to a disc-id or TOC lookup (JSON) that hold a medium
/// with the disc's audio tracks: the medium that lists discId, else the first one with
/// audioTracks tracks. Texts are cleaned; values of the wrong type count as missing. The
/// entries' tracks follow disc: one per track, data tracks with empty texts.
QList<MusicBrainzRelease> parseMusicBrainzReleases(const QByteArray& json, const QString& discId,
                                                   int audioTracks, const FreeDBDisc& disc);
