#pragma once

#include "rip/CDFreedinfo.h"

#include <QString>

/// Writes title, artist, album, year and genre of tag into the finished file at path, with the
/// writer its extension calls for (.mp3 ID3, .wma attributes, .ogg Vorbis comments; none for
/// others). A writer's error is raised to the caller. Returns false when a writer reports that it
/// could not tag the file.
bool WriteTags(const QString& path, const CDFreedinfo& tag);
