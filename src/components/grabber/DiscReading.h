#pragma once

#include "CdioHandles.h"
#include "DiscToc.h"
#include "Drive.h"

/// The disc in a drive, opened for reading; nullptr when the drive is empty or holds an ISO 9660
/// image, which has no CD layout and counts as a data disc. Throws ComponentError when there is
/// a disc that cannot be read.
CdIoHandle openDisc(const Drive& drive);

/// Reads the table of contents. Throws ComponentError when the disc has none.
DiscToc readToc(CdIo_t* device, const Drive& drive);

/// Adds the media catalogue number and each audio track's ISRC and pregap, where the disc has
/// them. Kept apart from readToc: a drive answers these slowly, and only a read of the disc
/// needs them.
void readDiscCodes(CdIo_t* device, DiscToc& toc);

/// The first sector that cannot be read: an image ends with its data file (libcdio puts the
/// lead-out there), a hardware disc has no such end below its lead-out.
int readableEnd(CdIo_t* device, const Drive& drive);

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
