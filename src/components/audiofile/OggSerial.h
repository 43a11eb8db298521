#pragma once

#include "base/PartialFileName.h"

#include <QFileInfo>
#include <QString>

#include <cstdint>

/// The serial number of the Ogg stream of the file at path. It comes from the file's final name
/// rather than chance, so the same track ripped twice gives the same bytes, whether it was
/// written under a partial name first or not; a serial only has to differ between streams of one
/// file.
inline std::uint32_t oggStreamSerialFor(const QString& path)
{
    std::uint32_t hash = 2166136261u; // FNV-1a
    for (const char c : finalFileName(QFileInfo(path).fileName()).toUtf8()) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 16777619u;
    }
    return hash;
}
