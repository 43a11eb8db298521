#include "base/CoverImage.h"
#include "components/lookup/MusicBrainzDisc.h"
#include "components/lookup/MusicBrainzInformation.h"
#include "components/lookup/MusicBrainzRelease.h"
#include "support/MusicBrainzServer.h"
#include "tags/ID3Writer.h"

#include "components/lookup/BoundedFetch.h"
#include "support/TempDir.h"

#include <QBuffer>
#include <QEventLoop>
#include <QImage>
#include <QTimer>

namespace {

using namespace MusicBrainzJson;

// The table of contents of the service's own worked example: six tracks.
FreeDBDisc exampleDisc()
{
    return {{150, 15363, 32314, 46592, 63414, 80489}, 95462};
}

FreeDBDisc threeTracks()
{
    return {{150, 15000, 30000}, 45000, {false, false, false}};
}

Release plainRelease(const QString& discId)
{
    Release r;
    r.id = mbid(1);
    r.title = QStringLiteral("Night Songs");
    r.credits = {{QStringLiteral("Nina Q"), QStringLiteral(" & "), mbid(10)},
                 {QStringLiteral("The Qs"), {}, mbid(11)}};
    r.date = QStringLiteral("1987-03-02");
    r.groupId = mbid(2);
    r.genre = QStringLiteral("jazz");
    r.media = {{1,
                {discId},
                {{QStringLiteral("Open"), mbid(21), {}},
                 {QStringLiteral("Blue"), mbid(22), {}},
                 {QStringLiteral("Close"), mbid(23), {}}}}};
    return r;
}

QByteArray image(const char* format)
{
    QImage picture(8, 6, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(picture.save(&buffer, format));
    return bytes;
}

TEST(MusicBrainzDiscTest, IdAndTocFromTheAudioTracks)
{
    const MusicBrainzDisc disc = musicBrainzDisc(exampleDisc());
    EXPECT_EQ(disc.id, QStringLiteral("49HHV7Eb8UKF3aQiNmu1GR8vKTY-"));
    EXPECT_EQ(disc.toc, QStringLiteral("1+6+95462+150+15363+32314+46592+63414+80489"));
    EXPECT_EQ(disc.audioTracks, 6);

    // An Enhanced CD: the data track is left out and the audio session ends 11400 frames
    // before it.
    FreeDBDisc enhanced = threeTracks();
    enhanced.trackOffsets.append(60000);
    enhanced.dataTracks = {false, false, false, true};
    enhanced.leadOut = 70000;
    const MusicBrainzDisc audio = musicBrainzDisc(enhanced);
    EXPECT_EQ(audio.toc, QStringLiteral("1+3+48600+150+15000+30000"));
    EXPECT_EQ(audio.audioTracks, 3);
    EXPECT_FALSE(audio.id.isEmpty());

    // No tracks, or a data disc, give no id.
    EXPECT_TRUE(musicBrainzDisc(FreeDBDisc{}).id.isEmpty());
    EXPECT_TRUE(musicBrainzDisc({{150}, 5000, {true}}).id.isEmpty());
}

// The public service always gets its second between requests; a mirror gets what is stored.
TEST(MusicBrainzDiscTest, RequestSpacingKeepsThePublicServicesSecond)
{
    const QUrl publicServer(QStringLiteral("https://MusicBrainz.org"));
    const QUrl mirror(QStringLiteral("http://127.0.0.1:5000"));
    for (const auto& [server, stored, spacing] :
         {std::tuple{publicServer, 100, 1000}, std::tuple{publicServer, 3000, 3000},
          std::tuple{mirror, 100, 100}, std::tuple{mirror, -5, 1000},
          std::tuple{mirror, 3600000, 1000}})
        EXPECT_EQ(MusicBrainzInformation::requestSpacing(server, stored), spacing)
            << server.toString().toStdString() << ' ' << stored;
}

// Redirects of a lookup stay on the server of the settings; http may become https there.
TEST(MusicBrainzRedirectTest, OnlyTheSameHostAndPortWithHttpsAllowed)
{
    for (const auto& [from, to, followed] :
         {std::tuple{"http://mb.example", "http://MB.example/ws/2/x", true},
          {"http://mb.example", "https://mb.example/ws", true},
          {"http://h:8080", "https://h:8080/x", true},
          {"http://mb.example", "http://mb.example:8000/ws", false},
          {"http://mb.example", "https://mb.example:8443/ws", false},
          {"http://mb.example", "http://mb.example.evil.example/", false},
          {"https://h", "http://h/x", false}})
        EXPECT_EQ(BoundedFetch::isSameServer(QUrl(QLatin1String(from)), QUrl(QLatin1String(to))),
                  followed)
            << from << " to " << to;
}

using MusicBrainzLookupTest = TempDirTest;

// The server of the settings may send a lookup on, at most three times and only to itself, and
// the e-mail address of the settings goes to it alone: not to another server, nor to the
// archive with the cover.
TEST_F(MusicBrainzLookupTest, RedirectsStayOnTheServerAndTheAddressWithIt)
{
    const auto server = MusicBrainzServer::running();
    ASSERT_TRUE(server);
    ForeignServer foreign;
    const QString id = musicBrainzDisc(threeTracks()).id;
    const QString lookup = QStringLiteral("/ws/2/discid/") + id;
    writeAll(path(QStringLiteral("settings.ini")),
             "[Freedb]\nemail=ripper@example.org\n[MusicBrainz]\nserver=" + server->url.toUtf8() +
                 "\ncoverserver=" + server->url.toUtf8() +
                 "\nspacing=" + QByteArray::number(MusicBrainzSpacing) + "\n");
    // A release of its own: other tests may use the stand-in meanwhile.
    Release release = plainRelease(id);
    release.id = mbid(901);
    const struct
    {
        const char* name;
        QStringList redirects;
        int status;
    } cases[] = {
        {"three on the server",
         {lookup, server->url + lookup, lookup},
         FreeDBStatus::MusicBrainzLoaded},
        {"four on the server", {lookup, lookup, lookup, lookup}, FreeDBStatus::MusicBrainzFailed},
        {"another port", {foreign.url() + lookup}, FreeDBStatus::MusicBrainzFailed},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        server->forget(id);
        server->forget(release.id);
        server->put(id, ".json", discAnswer(id, {release}));
        server->put(release.id, ".cover", image("PNG"));
        server->put(id, ".redirect", c.redirects.join(u'\n').toUtf8());
        MusicBrainzInformation info(path(QStringLiteral("settings.ini")));
        int status = 0;
        QByteArray cover;
        QEventLoop loop;
        QObject::connect(&info, &IFreeDBInformation2::entryLoaded, &loop,
                         [&](const FreeDBEntry& entry) { cover = entry.cover; });
        QObject::connect(&info, &IFreeDBInformation2::status, &loop, [&](int s) {
            status = s;
            if (FreeDBStatus::isFinal(s))
                loop.quit();
        });
        QTimer::singleShot(30000, &loop, &QEventLoop::quit);
        info.query(threeTracks());
        loop.exec();
        EXPECT_EQ(status, c.status);
        EXPECT_EQ(foreign.received(), QString());
        EXPECT_EQ(server->violations(id), QString());
        if (c.status != FreeDBStatus::MusicBrainzLoaded)
            continue;
        // The cover came through the archive's redirect, without the address.
        EXPECT_EQ(cover, image("PNG"));
        const QString agent = server->read(release.id, ".cover-requests");
        EXPECT_TRUE(agent.startsWith(QStringLiteral("TunecrestRipper/")));
        EXPECT_FALSE(agent.contains(QStringLiteral("ripper@example.org")));
    }
}

TEST(MusicBrainzReleaseTest, TextsIdentifiersAndTheMediumOfTheDisc)
{
    const QString id = QStringLiteral("abc.-_");
    Release multi = plainRelease(id);
    // The disc is the second of two: its medium is found by the disc id, not by its place.
    multi.media.prepend({1, {QStringLiteral("other")}, multi.media.front().tracks});
    multi.media[1].position = 2;
    multi.media[1].tracks[1].credits = {
        {QStringLiteral("Guest"), QStringLiteral(" feat. "), mbid(12)},
        {QStringLiteral("Nina Q"), {}, mbid(10)}};
    const auto releases = parseMusicBrainzReleases(discAnswer(id, {multi}), id, 3, threeTracks());
    ASSERT_EQ(releases.size(), 1);
    const FreeDBEntry& e = releases.front().entry;
    EXPECT_EQ(e.album, QStringLiteral("Night Songs"));
    EXPECT_EQ(e.artist, QStringLiteral("Nina Q & The Qs"));
    EXPECT_EQ(e.year, QStringLiteral("1987"));
    EXPECT_EQ(e.genre, QStringLiteral("jazz"));
    EXPECT_EQ(e.releaseId, mbid(1));
    EXPECT_EQ(e.releaseGroupId, mbid(2));
    EXPECT_EQ(e.albumArtistId, mbid(10));
    EXPECT_EQ(e.discNumber, 2);
    EXPECT_EQ(e.discTotal, 2);
    ASSERT_EQ(e.tracks.size(), 3);
    EXPECT_EQ(e.tracks[1].title, QStringLiteral("Blue"));
    EXPECT_EQ(e.tracks[1].artist, QStringLiteral("Guest feat. Nina Q"));
    EXPECT_EQ(e.tracks[1].artistId, mbid(12));
    EXPECT_EQ(e.tracks[1].recordingId, mbid(22));
    EXPECT_EQ(e.tracks[0].artist, QString()); // no credit of its own: the album artist's
    const MusicBrainzReleaseSummary& s = releases.front().summary;
    EXPECT_EQ(s.country, QStringLiteral("XE"));
    EXPECT_EQ(s.date, QStringLiteral("1987-03-02"));
}

TEST(MusicBrainzReleaseTest, HostileOrBrokenAnswersGiveCleanTextsOrNothing)
{
    const QString id = QStringLiteral("disc");
    EXPECT_TRUE(parseMusicBrainzReleases("{not json", id, 3, threeTracks()).isEmpty());
    EXPECT_TRUE(parseMusicBrainzReleases("[1,2]", id, 3, threeTracks()).isEmpty());
    EXPECT_TRUE(
        parseMusicBrainzReleases(R"({"releases": "many"})", id, 3, threeTracks()).isEmpty());
    // A medium with another number of tracks does not fit the disc.
    Release shorter = plainRelease(id);
    shorter.media[0].tracks.removeLast();
    EXPECT_TRUE(
        parseMusicBrainzReleases(discAnswer(id, {shorter}), id, 3, threeTracks()).isEmpty());

    // Wrong types count as missing; control characters go, huge texts are cut, identifiers
    // that are no UUIDs are dropped.
    Release hostile = plainRelease(id);
    hostile.title = QStringLiteral("A\u0007lbum\nNight ") + QString(100000, u'x');
    hostile.id = QStringLiteral("../../etc");
    hostile.media[0].tracks[0].title = QStringLiteral("../../x/y\\z");
    QJsonObject root = QJsonDocument::fromJson(discAnswer(id, {hostile})).object();
    QJsonArray list = root.value(QStringLiteral("releases")).toArray();
    QJsonObject release = list.at(0).toObject();
    release.insert(QStringLiteral("date"), 1987);
    release.insert(QStringLiteral("artist-credit"), QStringLiteral("not a list"));
    list.replace(0, release);
    root.insert(QStringLiteral("releases"), list);
    const auto releases =
        parseMusicBrainzReleases(QJsonDocument(root).toJson(), id, 3, threeTracks());
    ASSERT_EQ(releases.size(), 1);
    const FreeDBEntry& e = releases.front().entry;
    EXPECT_TRUE(e.album.startsWith(QStringLiteral("A lbum Night xxx")));
    EXPECT_LE(e.album.size(), 256);
    EXPECT_TRUE(e.releaseId.isEmpty());
    EXPECT_TRUE(e.year.isEmpty());
    EXPECT_TRUE(e.artist.isEmpty());
    // Path characters stay in the texts; the output naming removes them from file names.
    EXPECT_EQ(e.tracks[0].title, QStringLiteral("../../x/y\\z"));
}

TEST(CoverImageTest, OnlyJpegAndPngWhoseHeaderParses)
{
    const QByteArray jpeg = image("JPEG");
    const QByteArray png = image("PNG");
    EXPECT_EQ(coverImageType(jpeg), QStringLiteral("image/jpeg"));
    EXPECT_EQ(coverImageType(png), QStringLiteral("image/png"));
    const CoverImageSize size = coverImageSize(png);
    EXPECT_EQ(size.width, 8u);
    EXPECT_EQ(size.height, 6u);
    EXPECT_EQ(coverImageSize(jpeg).width, 8u);
    EXPECT_EQ(coverImageExtension(QStringLiteral("image/png")), QStringLiteral(".png"));

    EXPECT_TRUE(coverImageType(jpeg.left(20)).isEmpty());
    EXPECT_TRUE(coverImageType(png.left(20)).isEmpty());
    EXPECT_TRUE(coverImageType("<html>not found</html>").isEmpty());
    EXPECT_TRUE(coverImageType(image("BMP")).isEmpty());
    QByteArray huge = jpeg;
    huge.append(MaxCoverBytes, '\0');
    EXPECT_TRUE(coverImageType(huge).isEmpty());
}

TEST(ID3PictureTest, TheTagStaysAsItWasWithoutPictureAndIdentifiers)
{
    ID3StructV2 tag{QStringLiteral("T"),
                    QStringLiteral("A"),
                    QStringLiteral("B"),
                    QStringLiteral("1999"),
                    QStringLiteral("1"),
                    QString(),
                    QStringLiteral("Pop"),
                    {},
                    {},
                    {},
                    {},
                    {}};
    const QByteArray plain = ID3TagImage(tag);
    // Seven frames, each a 10-byte header and its body, and 10 bytes of padding.
    EXPECT_EQ(plain.size(), 10 + 7 * 10 + (2 + 2 + 2 + 2 + 5 + 4 + 5) + 10);
    EXPECT_FALSE(plain.contains("APIC"));
    tag.Picture = image("PNG");
    tag.PictureType = QStringLiteral("image/png");
    const QByteArray withPicture = ID3TagImage(tag);
    // The same seven frames, then the picture's.
    const qsizetype frames = plain.size() - 20;
    EXPECT_EQ(withPicture.mid(10, frames), plain.mid(10, frames));
    EXPECT_EQ(withPicture.mid(10 + frames, 4), QByteArray("APIC"));
}

} // namespace
