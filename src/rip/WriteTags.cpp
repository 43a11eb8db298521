#include "rip/WriteTags.h"

#include "components/ComponentError.h"
#include "tags/ID3Writer.h"
#include "tags/Ogg.h"
#include "tags/WMATag.h"

// The run hands the writers the row's title, artist, album, year and genre; the comment and the
// track number of the record are left empty, so every format's tag holds the same texts.
namespace {

bool writeId3(const QString& path, const TagRecord& tag)
{
    ID3StructV2 id3;
    id3.Title = tag.title;
    id3.Artist = tag.artist;
    id3.Album = tag.album;
    id3.Year = tag.year;
    id3.Genre = tag.genre;
    WriteID3Tag(path, id3);
    return true;
}

bool writeWma(const QString& path, const TagRecord& tag)
{
    WMATagInfo info;
    info.Title = tag.title;
    info.Artist = tag.artist;
    info.Album = tag.album;
    info.Year = tag.year;
    info.Genre = tag.genre;
    QString error;
    if (WriteWMATag(path, info, &error) == -1)
        return true;
    if (!error.isEmpty())
        throw ComponentError(error);
    return false;
}

bool writeOgg(const QString& path, const TagRecord& tag)
{
    OGGTag ogg;
    ogg.album = tag.album;
    ogg.title = tag.title;
    ogg.artist = tag.artist;
    ogg.genre = tag.genre;
    ogg.date = tag.year;
    return WriteOGGTag(path, ogg);
}

} // namespace

bool WriteTags(const QString& path, const TagRecord& tag, const QString& extension)
{
    const QString kind =
        (extension.isEmpty() ? path.mid(path.lastIndexOf(u'.')) : extension).toLower();
    if (kind == u".mp3")
        return writeId3(path, tag);
    if (kind == u".wma")
        return writeWma(path, tag);
    if (kind == u".ogg")
        return writeOgg(path, tag);
    return true;
}
