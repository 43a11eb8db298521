#include "rip/WriteTags.h"

#include "tags/FlacTag.h"
#include "tags/ID3Writer.h"
#include "tags/Ogg.h"
#include "tags/WMATag.h"
#include "tags/WMAudioInfo.h"

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

// The names of the identifiers in each format, as the usual readers expect them.
struct IdentifierName
{
    const char* vorbis;
    const char* id3; // TXXX description
    const char* wma;
};
constexpr IdentifierName IdentifierNames[] = {
    {"MUSICBRAINZ_ALBUMID", "MusicBrainz Album Id", "MusicBrainz/Album Id"},
    {"MUSICBRAINZ_RELEASEGROUPID", "MusicBrainz Release Group Id", "MusicBrainz/Release Group Id"},
    {"MUSICBRAINZ_TRACKID", "MusicBrainz Track Id", "MusicBrainz/Track Id"},
    {"MUSICBRAINZ_ALBUMARTISTID", "MusicBrainz Album Artist Id", "MusicBrainz/Album Artist Id"},
    {"MUSICBRAINZ_ARTISTID", "MusicBrainz Artist Id", "MusicBrainz/Artist Id"},
};

// The record's identifiers under the names member picks, in the order of IdentifierNames.
QList<QPair<QString, QString>> identifiers(const TagRecord& tag,
                                           const char* IdentifierName::*member)
{
    QList<QPair<QString, QString>> named;
    for (const IdentifierName& name : IdentifierNames) {
        const QString value = tag.identifiers.value(QLatin1StringView(name.vorbis));
        if (!value.isEmpty())
            named.append({QLatin1StringView(name.*member), value});
    }
    return named;
}

QString partOfSet(const TagRecord& tag)
{
    return tag.discNumber > 0 ? QStringLiteral("%1/%2").arg(tag.discNumber).arg(tag.discTotal)
                              : QString();
}

// What Vorbis comments (Ogg and FLAC) carry beyond the row's texts.
QList<QPair<QString, QString>> vorbisExtra(const TagRecord& tag)
{
    QList<QPair<QString, QString>> extra;
    if (tag.discNumber > 0)
        extra = {{QStringLiteral("DISCNUMBER"), QString::number(tag.discNumber)},
                 {QStringLiteral("DISCTOTAL"), QString::number(tag.discTotal)}};
    return extra + identifiers(tag, &IdentifierName::vorbis);
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
    id3.PartOfSet = partOfSet(tag);
    id3.UserTexts = identifiers(tag, &IdentifierName::id3);
    id3.Picture = tag.picture;
    id3.PictureType = tag.pictureType;
    WriteID3Tag(path, id3);
}

void writeWma(const QString& path, const TagRecord& tag)
{
    WMATagInfo info = rowTexts<WMATagInfo>(tag);
    info.TrackNumber = static_cast<quint16>(std::clamp(tag.trackNumber, 0, 0xFFFF));
    info.Description = tag.comment;
    const QString part = partOfSet(tag);
    if (!part.isEmpty())
        info.Extra.append({QString::fromUtf16(WMAttributeName::PartOfSet), part});
    info.Extra += identifiers(tag, &IdentifierName::wma);
    info.Picture = tag.picture;
    info.PictureType = tag.pictureType;
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
    ogg.extra = vorbisExtra(tag);
    ogg.picture = tag.picture;
    ogg.pictureType = tag.pictureType;
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
    flac.extra = vorbisExtra(tag);
    flac.picture = tag.picture;
    flac.pictureType = tag.pictureType;
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
