#include "rip/WriteTags.h"

#include "tags/ID3Writer.h"
#include "tags/Ogg.h"
#include "tags/WMATag.h"

bool WriteTags(const QString& path, const CDFreedinfo& tag)
{
    const QString extension = path.mid(path.lastIndexOf(u'.')).toLower();
    bool written = true;
    if (extension == u".mp3") {
        ID3StructV2 id3;
        id3.Title = tag.Title;
        id3.Artist = tag.Artist;
        id3.Album = tag.Album;
        id3.Year = tag.Year;
        id3.Genre = tag.Genre;
        WriteID3Tag(path, id3);
    }
    if (extension == u".wma") {
        WMATagInfo info;
        info.Title = tag.Title;
        info.Artist = tag.Artist;
        info.Album = tag.Album;
        info.Year = tag.Year;
        info.Genre = tag.Genre;
        written = WriteWMATag(path, info) == -1;
    }
    if (extension == u".ogg") {
        OGGTag ogg;
        ogg.album = tag.Album;
        ogg.title = tag.Title;
        ogg.artist = tag.Artist;
        ogg.genre = tag.Genre;
        ogg.date = tag.Year;
        written = WriteOGGTag(path, ogg);
    }
    return written;
}
