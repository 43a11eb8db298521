#pragma once

#include "base/IFreeDBInformation2.h"
#include "rip/TagRecord.h"

#include <QString>

/// Adds what a looked-up entry has beyond the row's texts to the tag of the disc's audio track
/// audioIndex (0-based): its MusicBrainz identifiers, its place in a set of discs, and, when
/// embedCover is set, its front cover. An entry without them leaves tag as it is.
void addEntryTags(TagRecord& tag, const FreeDBEntry& entry, int audioIndex, bool embedCover);

/// Saves the entry's front cover in folder as "cover.jpg" or "cover.png" (by its content),
/// unless a file of that name is there already. Returns a line for the log saying what was
/// saved; empty when nothing was to be saved. Throws ComponentError when it cannot be written.
QString saveCover(const FreeDBEntry& entry, const QString& folder);
