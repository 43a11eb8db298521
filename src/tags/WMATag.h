#pragma once

#include <QString>

/// The texts and track number written as Windows Media attributes. Texts longer than their
/// field's capacity (WMATagCapacity) are cut.
struct WMATagInfo
{
    QString Year;            // "WM/Year"
    quint16 TrackNumber = 0; // "WM/TrackNumber", a 32-bit number
    QString Artist;          // "Author"
    QString Title;           // "Title"
    QString Album;           // "WM/AlbumTitle"
    QString Description;     // "Description"
    QString Genre;           // "WM/Genre"
};

/// The most characters each text of WMATagInfo carries into the file.
namespace WMATagCapacity {
inline constexpr qsizetype Year = 127;
inline constexpr qsizetype Artist = 127;
inline constexpr qsizetype Title = 127;
inline constexpr qsizetype Album = 127;
inline constexpr qsizetype Description = 254;
inline constexpr qsizetype Genre = 31;
} // namespace WMATagCapacity

/// Sets "Author", "Title", "WM/AlbumTitle", "WM/Year", "Description", "WM/Genre" (empty texts
/// included) and "WM/TrackNumber" in the WMA file at path, in that order, and commits them.
/// Returns -1 when the file carries them, 0 when it cannot be opened, is not ASF or cannot be
/// rewritten; the file is then unchanged. The file keeps its permission bits. When the rewrite
/// failed for a reason of the file system, error (if given) receives "Cannot write <file>:
/// <reason>" ("No space left on device" on a full disk).
qint32 WriteWMATag(const QString& path, const WMATagInfo& info, QString* error = nullptr);
