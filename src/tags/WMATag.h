#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
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
    // Set only when not empty: more texts by attribute name, then the front cover.
    QList<QPair<QString, QString>> Extra;
    QByteArray Picture; // "WM/Picture"
    QString PictureType;
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
/// included) and "WM/TrackNumber" in the WMA file at path, in that order, and commits them. The
/// file keeps its permission bits. Throws ComponentError "Cannot open <file>: <reason>" when it
/// cannot be read or is not ASF, and "Cannot write <file>: <reason>" when an attribute call
/// fails or the file cannot be rewritten ("No space left on device" on a full disk), or "Cannot
/// create a file in <folder>: <reason>"; the file is then unchanged.
void writeWmaAttributes(const QString& path, const WMATagInfo& info);

/// The same with the result as a number: -1 when the file carries the attributes, 0 when it
/// does not.
qint32 WriteWMATag(const QString& path, const WMATagInfo& info);
