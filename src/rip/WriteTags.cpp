#include "rip/WriteTags.h"

#include "base/ReplayGain.h"
#include "tags/FlacTag.h"
#include "tags/ID3Writer.h"
#include "tags/Mp4Tag.h"
#include "tags/Ogg.h"
#include "tags/WMATag.h"
#include "tags/WMAudioInfo.h"

#include <algorithm>
#include <cmath>

// The writers get the row's title, artist, album, year, genre and comment and the track's number,
// so a player sorts an album by track. A comment typed in the tag editor is expected in the file:
// it goes to each format's comment slot (ID3 COMM, "Comment=", "Description"); an empty one
// writes none, as before.
namespace {

using NamedTexts = QList<QPair<QString, QString>>;

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
    const char* id3; // TXXX description, and the MP4 free-form name
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
NamedTexts identifiers(const TagRecord& tag, const char* IdentifierName::*member)
{
    NamedTexts named;
    for (const IdentifierName& name : IdentifierNames) {
        const QString value = tag.identifiers.value(QLatin1StringView(name.vorbis));
        if (!value.isEmpty())
            named.append({QLatin1StringView(name.*member), value});
    }
    return named;
}

// "-3.21 dB" and "0.987654", as ReplayGain readers expect them.
QString gainText(double gain)
{
    const double rounded = std::round(gain * 100) / 100;
    return QString::asprintf("%.2f dB", rounded == 0 ? 0.0 : rounded);
}

QString peakText(double peak)
{
    return QString::asprintf("%.6f", peak);
}

// The ReplayGain texts that are known, under the names of the format: upper case for Vorbis
// comments and ID3, lower case for MP4 and WMA, as their usual readers write them.
NamedTexts replayGainTexts(const ReplayGainTags& gains, bool lowerCase)
{
    const std::pair<const char*, QString> all[] = {
        {"REPLAYGAIN_TRACK_GAIN", gains.trackGain ? gainText(*gains.trackGain) : QString()},
        {"REPLAYGAIN_TRACK_PEAK", gains.trackPeak ? peakText(*gains.trackPeak) : QString()},
        {"REPLAYGAIN_ALBUM_GAIN", gains.albumGain ? gainText(*gains.albumGain) : QString()},
        {"REPLAYGAIN_ALBUM_PEAK", gains.albumPeak ? peakText(*gains.albumPeak) : QString()},
    };
    NamedTexts texts;
    for (const auto& [name, value] : all) {
        const QString key = QLatin1StringView(name);
        if (!value.isEmpty())
            texts.append({lowerCase ? key.toLower() : key, value});
    }
    return texts;
}

// Opus keeps no ReplayGain texts: its gains are Q7.8 numbers relative to -23 LUFS.
NamedTexts r128Texts(const ReplayGainTags& gains)
{
    NamedTexts texts;
    if (gains.trackGain)
        texts.append(
            {QStringLiteral("R128_TRACK_GAIN"), QString::number(r128Gain(*gains.trackGain))});
    if (gains.albumGain)
        texts.append(
            {QStringLiteral("R128_ALBUM_GAIN"), QString::number(r128Gain(*gains.albumGain))});
    return texts;
}

QString partOfSet(const TagRecord& tag)
{
    return tag.discNumber > 0 ? QStringLiteral("%1/%2").arg(tag.discNumber).arg(tag.discTotal)
                              : QString();
}

QString trackNumberText(const TagRecord& tag)
{
    return tag.trackNumber > 0 ? QString::number(tag.trackNumber) : QString();
}

QString trackTotalText(const TagRecord& tag)
{
    return tag.trackCount > 0 ? QString::number(tag.trackCount) : QString();
}

// What Vorbis comments (Ogg Vorbis, Opus and FLAC) carry beyond the row's texts; the gains are
// each format's own.
NamedTexts vorbisExtra(const TagRecord& tag, bool withTrackTotal)
{
    NamedTexts extra;
    if (!tag.albumArtist.isEmpty())
        extra.append({QStringLiteral("ALBUMARTIST"), tag.albumArtist});
    if (withTrackTotal && !trackTotalText(tag).isEmpty())
        extra.append({QStringLiteral("TRACKTOTAL"), trackTotalText(tag)});
    if (tag.discNumber > 0)
        extra += NamedTexts{{QStringLiteral("DISCNUMBER"), QString::number(tag.discNumber)},
                            {QStringLiteral("DISCTOTAL"), QString::number(tag.discTotal)}};
    return extra + identifiers(tag, &IdentifierName::vorbis);
}

void writeId3(const QString& path, const TagRecord& tag)
{
    ID3StructV2 id3 = rowTexts<ID3StructV2>(tag);
    id3.Track = tag.trackNumber > 0 && tag.trackCount > 0
                    ? trackNumberText(tag) + u'/' + trackTotalText(tag)
                    : trackNumberText(tag);
    id3.Comment = tag.comment;
    id3.AlbumArtist = tag.albumArtist;
    id3.PartOfSet = partOfSet(tag);
    id3.UserTexts = identifiers(tag, &IdentifierName::id3) + replayGainTexts(tag.replayGain, false);
    id3.Picture = tag.picture;
    id3.PictureType = tag.pictureType;
    WriteID3Tag(path, id3);
}

void writeWma(const QString& path, const TagRecord& tag)
{
    WMATagInfo info = rowTexts<WMATagInfo>(tag);
    info.TrackNumber = static_cast<quint16>(std::clamp(tag.trackNumber, 0, 0xFFFF));
    info.Description = tag.comment;
    if (!tag.albumArtist.isEmpty())
        info.Extra.append({QString::fromUtf16(WMAttributeName::AlbumArtist), tag.albumArtist});
    const QString part = partOfSet(tag);
    if (!part.isEmpty())
        info.Extra.append({QString::fromUtf16(WMAttributeName::PartOfSet), part});
    info.Extra += identifiers(tag, &IdentifierName::wma) + replayGainTexts(tag.replayGain, true);
    info.Picture = tag.picture;
    info.PictureType = tag.pictureType;
    writeWmaAttributes(path, info);
}

OGGTag oggTag(const TagRecord& tag)
{
    OGGTag ogg;
    ogg.album = tag.album;
    ogg.title = tag.title;
    ogg.artist = tag.artist;
    ogg.genre = tag.genre;
    ogg.date = tag.year;
    ogg.tracknumber = trackNumberText(tag);
    ogg.comment = tag.comment;
    ogg.extra = vorbisExtra(tag, true);
    ogg.picture = tag.picture;
    ogg.pictureType = tag.pictureType;
    return ogg;
}

void writeOgg(const QString& path, const TagRecord& tag)
{
    OGGTag ogg = oggTag(tag);
    ogg.extra += replayGainTexts(tag.replayGain, false);
    writeOggComments(path, ogg);
}

void writeOpus(const QString& path, const TagRecord& tag)
{
    OGGTag opus = oggTag(tag);
    opus.extra += r128Texts(tag.replayGain);
    writeOggComments(path, opus);
}

void writeFlac(const QString& path, const TagRecord& tag, FlacTagWrite how)
{
    FlacTag flac;
    flac.title = tag.title;
    flac.artist = tag.artist;
    flac.album = tag.album;
    flac.albumArtist = tag.albumArtist;
    flac.date = tag.year;
    flac.genre = tag.genre;
    flac.trackNumber = trackNumberText(tag);
    flac.trackTotal = trackTotalText(tag);
    flac.comment = tag.comment;
    flac.extra = vorbisExtra(tag, false) + replayGainTexts(tag.replayGain, false);
    flac.picture = tag.picture;
    flac.pictureType = tag.pictureType;
    writeFlacComments(path, flac, how);
}

void writeMp4(const QString& path, const TagRecord& tag)
{
    Mp4Tag mp4;
    mp4.title = tag.title;
    mp4.artist = tag.artist;
    mp4.albumArtist = tag.albumArtist;
    mp4.album = tag.album;
    mp4.date = tag.year;
    mp4.genre = tag.genre;
    mp4.comment = tag.comment;
    mp4.trackNumber = tag.trackNumber;
    mp4.trackTotal = tag.trackCount;
    mp4.discNumber = tag.discNumber;
    mp4.discTotal = tag.discTotal;
    mp4.freeForm = identifiers(tag, &IdentifierName::id3) + replayGainTexts(tag.replayGain, true);
    mp4.picture = tag.picture;
    mp4.pictureType = tag.pictureType;
    writeMp4Tags(path, mp4);
}

void writeTags(const QString& path, const TagRecord& tag, const QString& extension,
               FlacTagWrite flacWrite)
{
    const QString kind =
        (extension.isEmpty() ? path.mid(path.lastIndexOf(u'.')) : extension).toLower();
    if (kind == u".mp3")
        writeId3(path, tag);
    if (kind == u".wma")
        writeWma(path, tag);
    if (kind == u".ogg")
        writeOgg(path, tag);
    if (kind == u".opus")
        writeOpus(path, tag);
    if (kind == u".flac")
        writeFlac(path, tag, flacWrite);
    if (kind == u".m4a")
        writeMp4(path, tag);
}

} // namespace

void WriteTags(const QString& path, const TagRecord& tag, const QString& extension)
{
    writeTags(path, tag, extension, FlacTagWrite::InPlace);
}

void RewriteTags(const QString& path, const TagRecord& tag)
{
    writeTags(path, tag, {}, FlacTagWrite::ThroughSibling);
}
