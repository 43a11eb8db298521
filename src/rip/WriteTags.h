#pragma once

#include "rip/TagRecord.h"

#include <QString>

/// The tag step: writes title, artist, album, year, genre, comment and track number of tag into the
/// finished file at
/// path, with the writer its extension calls for (.mp3 ID3, .wma attributes, .ogg and .flac
/// Vorbis comments; none for others). extension, lower-cased with its dot, stands for the path's
/// own when the file is still under a partial name. A writer's error is raised to the caller as
/// ComponentError with its reason.
void WriteTags(const QString& path, const TagRecord& tag, const QString& extension = {});
