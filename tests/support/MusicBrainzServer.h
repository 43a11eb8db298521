#pragma once

#include "base/IFreeDBInformation2.h"
#include "support/LoopbackServer.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <optional>

/// The loopback MusicBrainz and Cover Art Archive stand-in that the test command starts
/// (scripts/mb-server.sh). Its answers are files in its folder (tests/fixtures/mb_server.py).
struct MusicBrainzServer
{
    QString url;    // http://127.0.0.1:<port>, for the server and coverserver settings
    QString folder; // where its answers go

    /// The running server; fails the test (and gives nothing) when the test command did not
    /// start one.
    static std::optional<MusicBrainzServer> running()
    {
        const auto server = LoopbackServer::fromEnvironment(
            "TUNECREST_MB_SERVER", "TUNECREST_MB_DIR", "MusicBrainz", "scripts/mb-server.sh",
            "start_mb_server");
        if (!server)
            return std::nullopt;
        return MusicBrainzServer{server->address, server->folder};
    }

    /// The name the server files answers for a disc id under.
    static QString fileName(const QString& name)
    {
        QString safe = name;
        safe.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9_-]")), QStringLiteral("_"));
        return safe;
    }

    QString filePath(const QString& name, const char* suffix) const
    {
        return QDir(folder).filePath(fileName(name) + QLatin1StringView(suffix));
    }

    /// Puts an answer file; empty bytes remove it.
    void put(const QString& name, const char* suffix, const QByteArray& bytes) const
    {
        LoopbackServer::putFile(filePath(name, suffix), bytes);
    }

    QString read(const QString& name, const char* suffix) const
    {
        QFile in(filePath(name, suffix));
        return in.open(QIODevice::ReadOnly) ? QString::fromUtf8(in.readAll()) : QString();
    }

    /// The requests the server got for the disc, one line each.
    QStringList requests(const QString& discId) const
    {
        return read(discId, ".requests").split(u'\n', Qt::SkipEmptyParts);
    }

    /// Broken rules (User-Agent, spacing, query) the server saw for the disc.
    QString violations(const QString& discId) const { return read(discId, ".violations"); }

    /// Answers and logs of the disc left by an earlier run are removed.
    void forget(const QString& discId) const
    {
        const QString prefix = fileName(discId);
        for (const QString& name : QDir(folder).entryList({prefix + u'*'}, QDir::Files))
            QFile::remove(QDir(folder).filePath(name));
    }
};

/// The milliseconds between two requests the tests ask of the client, and the stand-in checks
/// (tests/fixtures/mb_server.py); the public service's second would make the tests slow.
inline constexpr int MusicBrainzSpacing = 100;

/// The settings of a lookup against the stand-in: MusicBrainz and its covers there, CDDB off
/// (no server) unless cddbProxy is given.
inline QByteArray musicBrainzSettings(const QString& url, int timeout = 10000,
                                      const QByteArray& more = {})
{
    return "[Freedb]\ntimeout=" + QByteArray::number(timeout) +
           "\n[MusicBrainz]\nserver=" + url.toUtf8() + "\ncoverserver=" + url.toUtf8() +
           "\nspacing=" + QByteArray::number(MusicBrainzSpacing) + "\n" + more;
}

// Answers shaped as the web service's JSON (version 2): a disc-id lookup gives the disc and the
// releases that hold it; each release has its artist credit, label info, release group and
// media with their discs and tracks.
namespace MusicBrainzJson {

/// One credited artist: the name as credited, the join phrase after it, the artist's id.
struct Credit
{
    QString name;
    QString joinPhrase;
    QString artistId;
};

inline QJsonArray artistCredit(const QList<Credit>& credits)
{
    QJsonArray array;
    for (const Credit& c : credits)
        array.append(QJsonObject{
            {QStringLiteral("name"), c.name},
            {QStringLiteral("joinphrase"), c.joinPhrase},
            {QStringLiteral("artist"), QJsonObject{{QStringLiteral("id"), c.artistId},
                                                   {QStringLiteral("name"), c.name},
                                                   {QStringLiteral("sort-name"), c.name}}}});
    return array;
}

struct Track
{
    QString title;
    QString recordingId;
    QList<Credit> credits; // empty: none of its own
};

struct Medium
{
    int position = 1;
    QStringList discIds;
    QList<Track> tracks;
};

struct Release
{
    QString id;
    QString title;
    QList<Credit> credits;
    QString date;
    QString country = QStringLiteral("XE");
    QString barcode;
    QString label;
    QString catalogNumber;
    QString groupId;
    QString genre; // the release group's
    QList<Medium> media;
};

inline QJsonObject medium(const Medium& m)
{
    QJsonArray discs;
    for (const QString& id : m.discIds)
        discs.append(QJsonObject{{QStringLiteral("id"), id},
                                 {QStringLiteral("sectors"), 0},
                                 {QStringLiteral("offset-count"), m.tracks.size()},
                                 {QStringLiteral("offsets"), QJsonArray()}});
    QJsonArray tracks;
    int n = 0;
    for (const Track& t : m.tracks) {
        ++n;
        QJsonObject recording{{QStringLiteral("id"), t.recordingId},
                              {QStringLiteral("title"), t.title},
                              {QStringLiteral("length"), 1000}};
        QJsonObject track{{QStringLiteral("id"), QStringLiteral("%1").arg(n)},
                          {QStringLiteral("number"), QString::number(n)},
                          {QStringLiteral("position"), n},
                          {QStringLiteral("title"), t.title},
                          {QStringLiteral("length"), 1000},
                          {QStringLiteral("recording"), recording}};
        if (!t.credits.isEmpty())
            track.insert(QStringLiteral("artist-credit"), artistCredit(t.credits));
        tracks.append(track);
    }
    return {
        {QStringLiteral("position"), m.position}, {QStringLiteral("format"), QStringLiteral("CD")},
        {QStringLiteral("title"), QString()},     {QStringLiteral("track-count"), m.tracks.size()},
        {QStringLiteral("track-offset"), 0},      {QStringLiteral("discs"), discs},
        {QStringLiteral("tracks"), tracks}};
}

inline QJsonObject release(const Release& r)
{
    QJsonArray media;
    for (const Medium& m : r.media)
        media.append(medium(m));
    QJsonArray genres;
    if (!r.genre.isEmpty())
        genres.append(QJsonObject{{QStringLiteral("name"), r.genre},
                                  {QStringLiteral("count"), 3},
                                  {QStringLiteral("id"), QStringLiteral("g")}});
    return {{QStringLiteral("id"), r.id},
            {QStringLiteral("title"), r.title},
            {QStringLiteral("status"), QStringLiteral("Official")},
            {QStringLiteral("date"), r.date},
            {QStringLiteral("country"), r.country},
            {QStringLiteral("barcode"), r.barcode},
            {QStringLiteral("artist-credit"), artistCredit(r.credits)},
            {QStringLiteral("label-info"),
             QJsonArray{QJsonObject{
                 {QStringLiteral("catalog-number"), r.catalogNumber},
                 {QStringLiteral("label"), QJsonObject{{QStringLiteral("id"), QStringLiteral("l")},
                                                       {QStringLiteral("name"), r.label}}}}}},
            {QStringLiteral("release-group"),
             QJsonObject{{QStringLiteral("id"), r.groupId},
                         {QStringLiteral("title"), r.title},
                         {QStringLiteral("primary-type"), QStringLiteral("Album")},
                         {QStringLiteral("genres"), genres}}},
            {QStringLiteral("genres"), QJsonArray()},
            {QStringLiteral("media"), media}};
}

/// The answer to discid/<id>: the disc and its releases.
inline QByteArray discAnswer(const QString& discId, const QList<Release>& releases)
{
    QJsonArray list;
    for (const Release& r : releases)
        list.append(release(r));
    return QJsonDocument(QJsonObject{{QStringLiteral("id"), discId},
                                     {QStringLiteral("sectors"), 0},
                                     {QStringLiteral("offset-count"), 0},
                                     {QStringLiteral("offsets"), QJsonArray()},
                                     {QStringLiteral("releases"), list}})
        .toJson(QJsonDocument::Compact);
}

/// The answer to a TOC lookup: the releases of discs close to it.
inline QByteArray tocAnswer(const QList<Release>& releases)
{
    QJsonArray list;
    for (const Release& r : releases)
        list.append(release(r));
    return QJsonDocument(QJsonObject{{QStringLiteral("release-count"), releases.size()},
                                     {QStringLiteral("release-offset"), 0},
                                     {QStringLiteral("releases"), list}})
        .toJson(QJsonDocument::Compact);
}

/// An id of the form the service gives its entities, numbered.
inline QString mbid(int n)
{
    return QStringLiteral("00000000-0000-4000-8000-%1").arg(n, 12, 10, QChar(u'0'));
}

} // namespace MusicBrainzJson
