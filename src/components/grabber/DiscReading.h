#pragma once

#include "Disc.h"
#include "DiscToc.h"
#include "Drive.h"

#include <memory>

/// The disc in a drive, opened for reading; null when the drive is empty or holds an ISO 9660
/// image, which has no CD layout and counts as a data disc. Throws ComponentError when there is
/// a disc that cannot be read.
std::unique_ptr<Disc> openDisc(const Drive& drive);

/// Hidden track one audio: the sectors before the first track's INDEX 01 (its pregap) when the
/// first track is audio and some sample in them is not zero; else 0. Sectors that cannot be
/// read count as silence.
int hiddenTrackSectors(Disc& disc, const DiscToc& toc);

/// What a look at a drive found: its state, and for a disc that cannot be read at all (which
/// counts as Empty) the reason, as ReadDisc would raise it; the reason is empty otherwise.
struct DriveCheck
{
    DriveState state = DriveState::Empty;
    QString problem;
};

/// Opens the drive's disc and reads its table of contents.
DriveCheck checkDrive(const Drive& drive);

/// Empty, a disc with an audio track, or a data-only disc. A disc that cannot be read at all
/// counts as Empty, as an unreadable drive does: checkDrive and ReadDisc say what is wrong.
DriveState stateOf(const Drive& drive);
