#pragma once

#include "rip/TagRecord.h"

#include <QString>

/// The tag step: writes title, artist, album artist, album, year, genre, comment, track number
/// and total, the identifiers, the cover and the ReplayGain values of tag into the finished file
/// at path, with the writer its extension calls for (.mp3 ID3, .wma attributes, .ogg, .opus and
/// .flac Vorbis comments, .m4a MP4 items; none for others). extension, lower-cased with its dot,
/// stands for the path's own when the file is still under a partial name. A writer's error is
/// raised to the caller as ComponentError with its reason.
void WriteTags(const QString& path, const TagRecord& tag, const QString& extension = {});

/// The same for a file that already carries its final name, as when the album's ReplayGain values
/// are added after the last track: every writer then goes through a sibling that replaces the
/// file in one rename (FLAC's too, which WriteTags edits in place), so the file under its name is
/// whole whatever happens. Writing the whole record again leaves the same tags as writing it once.
void RewriteTags(const QString& path, const TagRecord& tag);
