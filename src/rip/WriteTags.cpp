#include "rip/WriteTags.h"

#include "tags/FlacTag.h"
#include "tags/ID3Writer.h"
#include "tags/Ogg.h"
#include "tags/WMATag.h"

#include <algorithm>

// The writers get the row's title, artist, album, year, genre and comment and the track's number,
// so a player sorts an album by track. A comment typed in the tag editor is expected in the file:
// it goes to each format's comment slot (ID3 COMM, "Comment=", "Description"); an empty one
// writes none, as before.
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

QString trackNumberText(const TagRecord& tag)
{
    return tag.trackNumber > 0 ? QString::number(tag.trackNumber) : QString();
}

void writeId3(const QString& path, const TagRecord& tag)
{
    ID3StructV2 id3 = rowTexts<ID3StructV2>(tag);
    id3.Track = trackNumberText(tag);
    id3.Comment = tag.comment;
    WriteID3Tag(path, id3);
}

void writeWma(const QString& path, const TagRecord& tag)
{
    WMATagInfo info = rowTexts<WMATagInfo>(tag);
    info.TrackNumber = static_cast<quint16>(std::clamp(tag.trackNumber, 0, 0xFFFF));
    info.Description = tag.comment;
    writeWmaAttributes(path, info);
}

void writeOgg(const QString& path, const TagRecord& tag)
{
    OGGTag ogg;
    ogg.album = tag.album;
    ogg.title = tag.title;
    ogg.artist = tag.artist;
    ogg.genre = tag.genre;
    ogg.date = tag.year;
    ogg.tracknumber = trackNumberText(tag);
    ogg.comment = tag.comment;
    writeOggComments(path, ogg);
}

void writeFlac(const QString& path, const TagRecord& tag)
{
    FlacTag flac;
    flac.title = tag.title;
    flac.artist = tag.artist;
    flac.album = tag.album;
    flac.date = tag.year;
    flac.genre = tag.genre;
    flac.trackNumber = trackNumberText(tag);
    flac.trackTotal = tag.trackCount > 0 ? QString::number(tag.trackCount) : QString();
    flac.comment = tag.comment;
    writeFlacComments(path, flac);
}

} // namespace

void WriteTags(const QString& path, const TagRecord& tag, const QString& extension)
{
    const QString kind =
        (extension.isEmpty() ? path.mid(path.lastIndexOf(u'.')) : extension).toLower();
    if (kind == u".mp3")
        writeId3(path, tag);
    if (kind == u".wma")
        writeWma(path, tag);
    if (kind == u".ogg")
        writeOgg(path, tag);
    if (kind == u".flac")
        writeFlac(path, tag);
}
