#include "components/lookup/MusicBrainzRelease.h"

#include "components/lookup/CddbProtocol.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace {

QString text(const QJsonObject& o, QLatin1StringView key)
{
    return Cddb::cleanText(o.value(key).toString());
}

// An identifier is a UUID; anything else is dropped rather than written into a tag.
QString mbid(const QJsonObject& o)
{
    static const QRegularExpression uuid(
        QStringLiteral("^[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}$"));
    const QString id = o.value(QLatin1StringView("id")).toString();
    return uuid.match(id).hasMatch() ? id : QString();
}

// The credited names with their join phrases ("A feat. B"), and the first artist's id.
QString creditedArtist(const QJsonObject& o, QString* firstId = nullptr)
{
    QString name;
    const QJsonArray credit = o.value(QLatin1StringView("artist-credit")).toArray();
    for (const QJsonValue& v : credit) {
        const QJsonObject part = v.toObject();
        QString shown = part.value(QLatin1StringView("name")).toString();
        const QJsonObject artist = part.value(QLatin1StringView("artist")).toObject();
        if (shown.isEmpty())
            shown = artist.value(QLatin1StringView("name")).toString();
        name += shown + part.value(QLatin1StringView("joinphrase")).toString();
        if (firstId && firstId->isEmpty())
            *firstId = mbid(artist);
        if (name.size() > Cddb::MaxFieldLength * 4)
            break;
    }
    return Cddb::cleanText(name);
}

// The genre with the most votes.
QString topGenre(const QJsonObject& o)
{
    QString best;
    int votes = -1;
    for (const QJsonValue& v : o.value(QLatin1StringView("genres")).toArray()) {
        const QJsonObject genre = v.toObject();
        const int count = genre.value(QLatin1StringView("count")).toInt();
        const QString name = text(genre, QLatin1StringView("name"));
        if (!name.isEmpty() && count > votes) {
            best = name;
            votes = count;
        }
    }
    return best;
}

QString year(const QString& date)
{
    static const QRegularExpression leadingYear(QStringLiteral("^(\\d{4})"));
    const auto match = leadingYear.match(date);
    return match.hasMatch() ? match.captured(1) : QString();
}

bool holdsDisc(const QJsonObject& medium, const QString& discId)
{
    for (const QJsonValue& v : medium.value(QLatin1StringView("discs")).toArray())
        if (!discId.isEmpty() && v.toObject().value(QLatin1StringView("id")).toString() == discId)
            return true;
    return false;
}

// The medium that holds the disc (by its id, else the first with as many tracks); it must
// have a track for each audio track.
QJsonObject discMedium(const QJsonArray& media, const QString& discId, int audioTracks)
{
    const auto fits = [audioTracks](const QJsonObject& medium) {
        return medium.value(QLatin1StringView("tracks")).toArray().size() == audioTracks;
    };
    for (const QJsonValue& v : media)
        if (holdsDisc(v.toObject(), discId) && fits(v.toObject()))
            return v.toObject();
    for (const QJsonValue& v : media)
        if (fits(v.toObject()))
            return v.toObject();
    return {};
}

MusicBrainzReleaseSummary summaryOf(const QJsonObject& release)
{
    MusicBrainzReleaseSummary s;
    s.id = mbid(release);
    s.title = text(release, QLatin1StringView("title"));
    s.artist = creditedArtist(release);
    s.date = text(release, QLatin1StringView("date"));
    s.country = text(release, QLatin1StringView("country"));
    s.barcode = text(release, QLatin1StringView("barcode"));
    const QJsonArray labels = release.value(QLatin1StringView("label-info")).toArray();
    if (!labels.isEmpty()) {
        const QJsonObject info = labels.first().toObject();
        s.label =
            text(info.value(QLatin1StringView("label")).toObject(), QLatin1StringView("name"));
        s.catalogNumber = text(info, QLatin1StringView("catalog-number"));
    }
    return s;
}

FreeDBTrack trackOf(const QJsonObject& track)
{
    FreeDBTrack t;
    const QJsonObject recording = track.value(QLatin1StringView("recording")).toObject();
    t.title = text(track, QLatin1StringView("title"));
    if (t.title.isEmpty())
        t.title = text(recording, QLatin1StringView("title"));
    // A track's own credit names its artist; without one the recording's does.
    const QJsonObject& credited =
        track.value(QLatin1StringView("artist-credit")).toArray().isEmpty() ? recording : track;
    t.artist = creditedArtist(credited, &t.artistId);
    t.recordingId = mbid(recording);
    return t;
}

bool entryOf(const QJsonObject& release, const QJsonObject& medium, int mediaCount,
             const FreeDBDisc& disc, FreeDBEntry& entry)
{
    const QJsonArray tracks = medium.value(QLatin1StringView("tracks")).toArray();
    entry.disc = disc;
    entry.album = text(release, QLatin1StringView("title"));
    entry.artist = creditedArtist(release, &entry.albumArtistId);
    entry.year = year(text(release, QLatin1StringView("date")));
    const QJsonObject group = release.value(QLatin1StringView("release-group")).toObject();
    entry.genre = topGenre(release);
    if (entry.genre.isEmpty())
        entry.genre = topGenre(group);
    entry.releaseId = mbid(release);
    entry.releaseGroupId = mbid(group);
    if (mediaCount > 1) {
        entry.discNumber = medium.value(QLatin1StringView("position")).toInt();
        entry.discTotal = entry.discNumber > 0 ? mediaCount : 0;
    }
    // Every audio track needs a title: a release that names none would only replace the disc's
    // own texts with placeholders.
    qsizetype next = 0;
    for (qsizetype i = 0; i < disc.trackOffsets.size(); ++i) {
        const bool data = i < disc.dataTracks.size() && disc.dataTracks.at(i);
        if (data) {
            entry.tracks.append(FreeDBTrack{});
            continue;
        }
        if (next >= tracks.size())
            return false;
        entry.tracks.append(trackOf(tracks.at(next++).toObject()));
        if (entry.tracks.back().title.isEmpty())
            return false;
    }
    return next == tracks.size() && !entry.album.isEmpty();
}

} // namespace

QList<MusicBrainzRelease> parseMusicBrainzReleases(const QByteArray& json, const QString& discId,
                                                   int audioTracks, const FreeDBDisc& disc)
{
    QList<MusicBrainzRelease> releases;
    const QJsonObject root = QJsonDocument::fromJson(json).object();
    for (const QJsonValue& v : root.value(QLatin1StringView("releases")).toArray()) {
        const QJsonObject release = v.toObject();
        const QJsonArray media = release.value(QLatin1StringView("media")).toArray();
        const QJsonObject medium = discMedium(media, discId, audioTracks);
        MusicBrainzRelease r;
        if (medium.isEmpty() ||
            !entryOf(release, medium, static_cast<int>(media.size()), disc, r.entry))
            continue;
        r.summary = summaryOf(release);
        releases.append(r);
    }
    return releases;
}
