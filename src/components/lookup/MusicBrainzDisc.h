#pragma once

#include "base/IFreeDBInformation2.h"

#include <QString>

/// A disc as the MusicBrainz web service names it.
struct MusicBrainzDisc
{
    QString id;  // 28 characters; empty when the table of contents was refused
    QString toc; // "first last lead-out offset..." for the toc parameter, blanks as '+'
    int audioTracks = 0;
};

/// The disc id and TOC string of disc, computed by libdiscid. Only the audio tracks count: an
/// Enhanced CD's data track ends the audio session 11400 frames before it starts.
MusicBrainzDisc musicBrainzDisc(const FreeDBDisc& disc);
