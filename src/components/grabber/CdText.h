#pragma once

#include "DiscToc.h"
#include "TrackTexts.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <cdio/cdio.h>

/// A CD-Text string as libcdio hands it over. libcdio converts the disc's ISO-8859-1 to UTF-8;
/// a CUE sheet saved as UTF-8 gets converted a second time, which is undone here.
QString fromCdText(const QByteArray& utf8);

/// The CD-Text of each audio track, in order; empty when the disc has none. A track without its
/// own performer takes the disc's; the album is the disc title; the genre the disc's genre.
QList<TrackTexts> readCdText(CdIo_t* device, const QList<TocTrack>& audioTracks);
