#include "rip/WriteTags.h"

#include "tags/ID3Writer.h"
#include "tags/Ogg.h"
#include "tags/WMATag.h"

// The run hands the writers the row's title, artist, album, year and genre; the comment and the
// track number of the record are left empty, so every format's tag holds the same texts.
namespace {

// The ID3 and WMA records name these five fields alike.
template <typename Record> Record rowTexts(const TagRecord& tag)
{
    Record record;
    record.Title = tag.title;
    record.Artist = tag.artist;
    record.Album = tag.album;
    record.Year = tag.year;
    record.Genre = tag.genre;
    return record;
}

void writeOgg(const QString& path, const TagRecord& tag)
{
    OGGTag ogg;
    ogg.album = tag.album;
    ogg.title = tag.title;
    ogg.artist = tag.artist;
    ogg.genre = tag.genre;
    ogg.date = tag.year;
    writeOggComments(path, ogg);
}

} // namespace

void WriteTags(const QString& path, const TagRecord& tag, const QString& extension)
{
    const QString kind =
        (extension.isEmpty() ? path.mid(path.lastIndexOf(u'.')) : extension).toLower();
    if (kind == u".mp3")
        WriteID3Tag(path, rowTexts<ID3StructV2>(tag));
    if (kind == u".wma")
        writeWmaAttributes(path, rowTexts<WMATagInfo>(tag));
    if (kind == u".ogg")
        writeOgg(path, tag);
}
