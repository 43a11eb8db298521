#include "RipCliSupport.h"
#include "components/lookup/MusicBrainzDisc.h"
#include "support/CddbServer.h"
#include "support/MediaProbe.h"
#include "support/MusicBrainzServer.h"

#include <QBuffer>
#include <QImage>
#include <QThread>

#include <taglib/asffile.h>
#include <taglib/asfpicture.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/flacfile.h>
#include <taglib/flacpicture.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/textidentificationframe.h>
#include <taglib/vorbisfile.h>

namespace {

using namespace MusicBrainzJson;

QByteArray jpegImage()
{
    QImage picture(16, 12, QImage::Format_RGB32);
    picture.fill(Qt::darkMagenta);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(picture.save(&buffer, "JPEG"));
    return bytes;
}

QByteArray fileBytes(const QString& path)
{
    QFile in(path);
    return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
}

QByteArray toQt(const TagLib::ByteVector& v)
{
    return QByteArray(v.data(), static_cast<qsizetype>(v.size()));
}

QString toQt(const TagLib::String& s)
{
    return QString::fromStdString(s.to8Bit(true));
}

// The ID3 TXXX value of description, and the first APIC picture.
QString id3UserText(const QString& path, const char* description)
{
    TagLib::MPEG::File file(QFile::encodeName(path).constData());
    TagLib::ID3v2::Tag* tag = file.ID3v2Tag();
    if (!tag)
        return {};
    auto* frame = TagLib::ID3v2::UserTextIdentificationFrame::find(tag, description);
    return frame && frame->fieldList().size() > 1 ? toQt(frame->fieldList()[1]) : QString();
}

QByteArray id3Picture(const QString& path)
{
    TagLib::MPEG::File file(QFile::encodeName(path).constData());
    TagLib::ID3v2::Tag* tag = file.ID3v2Tag();
    if (!tag || tag->frameListMap()["APIC"].isEmpty())
        return {};
    auto* apic =
        dynamic_cast<TagLib::ID3v2::AttachedPictureFrame*>(tag->frameListMap()["APIC"].front());
    EXPECT_EQ(apic->type(), TagLib::ID3v2::AttachedPictureFrame::FrontCover);
    return toQt(apic->picture());
}

QByteArray oggPicture(const QString& path)
{
    TagLib::Ogg::Vorbis::File file(QFile::encodeName(path).constData());
    const auto pictures = file.tag()->pictureList();
    if (pictures.isEmpty())
        return {};
    EXPECT_EQ(pictures.front()->type(), TagLib::FLAC::Picture::FrontCover);
    return toQt(pictures.front()->data());
}

QString oggField(const QString& path, const char* name)
{
    TagLib::Ogg::Vorbis::File file(QFile::encodeName(path).constData());
    const auto& fields = file.tag()->fieldListMap();
    return fields.contains(name) ? toQt(fields[name].front()) : QString();
}

QByteArray flacPicture(const QString& path)
{
    TagLib::FLAC::File file(QFile::encodeName(path).constData());
    const auto pictures = file.pictureList();
    if (pictures.size() != 1)
        return {};
    EXPECT_EQ(pictures.front()->type(), TagLib::FLAC::Picture::FrontCover);
    EXPECT_EQ(pictures.front()->width(), 16);
    return toQt(pictures.front()->data());
}

QString flacField(const QString& path, const char* name)
{
    TagLib::FLAC::File file(QFile::encodeName(path).constData());
    const auto& fields = file.xiphComment()->fieldListMap();
    return fields.contains(name) ? toQt(fields[name].front()) : QString();
}

QByteArray wmaPicture(const QString& path)
{
    TagLib::ASF::File file(QFile::encodeName(path).constData());
    const auto& map = file.tag()->attributeListMap();
    if (!map.contains("WM/Picture"))
        return {};
    return toQt(map["WM/Picture"].front().toPicture().picture());
}

QString wmaAttribute(const QString& path, const char* name)
{
    TagLib::ASF::File file(QFile::encodeName(path).constData());
    const auto& map = file.tag()->attributeListMap();
    return map.contains(name) ? toQt(map[name].front().toString()) : QString();
}

class RipCliMusicBrainzTest : public RipCliTest
{
protected:
    void SetUp() override
    {
        RipCliTest::SetUp();
        const auto found = MusicBrainzServer::running();
        ASSERT_TRUE(found);
        server = *found;
    }

    // A disc of tracks with these lengths in seconds: its image and its MusicBrainz id.
    QString makeDiscOf(const std::vector<int>& seconds, QString& discId)
    {
        FreeDBDisc disc;
        int start = 150;
        for (int s : seconds) {
            disc.trackOffsets.append(start);
            disc.dataTracks.append(false);
            start += s * SectorsPerSecond;
        }
        disc.leadOut = start;
        discId = musicBrainzDisc(disc).id;
        server.forget(discId);
        return makeDisc(QStringLiteral("disc"), seconds);
    }

    Release releaseOf(const QString& discId, int n = 1)
    {
        Release r;
        r.id = mbid(n);
        r.title = QStringLiteral("Night: Songs");
        r.credits = {{QStringLiteral("Nina Q"), QStringLiteral(" & "), mbid(100)},
                     {QStringLiteral("Jo"), {}, mbid(101)}};
        r.date = QStringLiteral("1987-03-02");
        r.country = QStringLiteral("GB");
        r.label = QStringLiteral("Label %1").arg(n);
        r.catalogNumber = QStringLiteral("CAT-%1").arg(n);
        r.barcode = QStringLiteral("50000000000%1").arg(n);
        r.groupId = mbid(200 + n);
        r.genre = QStringLiteral("jazz");
        r.media = {{1,
                    {discId},
                    {{QStringLiteral("Open"), mbid(300), {}},
                     {QStringLiteral("Blue/Green"), mbid(301), {}},
                     {QStringLiteral("Close"), mbid(302), {}}}}};
        return r;
    }

    // The stand-in allows a request every MusicBrainzSpacing milliseconds; each rip is a
    // program of its own.
    RunResult ripSpaced(const QStringList& args)
    {
        QThread::msleep(MusicBrainzSpacing * 11 / 10);
        return rip(args);
    }

    void expectPoliteRequests(const QString& discId)
    {
        EXPECT_EQ(server.violations(discId), QString());
        EXPECT_FALSE(server.requests(discId).isEmpty());
    }

    MusicBrainzServer server;
};

TEST_F(RipCliMusicBrainzTest, AReleaseNamesAndTagsTheFilesAndItsCoverIsSavedAndEmbedded)
{
    QString id;
    const QString cue = makeDiscOf({2, 1, 3}, id);
    server.put(id, ".json", discAnswer(id, {releaseOf(id)}));
    const QByteArray cover = jpegImage();
    server.put(mbid(1), ".cover", cover);
    writeSettings(musicBrainzSettings(server.url));

    QStringList formats{QStringLiteral("mp3"), QStringLiteral("ogg"), QStringLiteral("wma"),
                        QStringLiteral("flac")};
    for (const QString& format : formats) {
        const RunResult r = ripSpaced({QStringLiteral("--musicbrainz"), QStringLiteral("-d"), cue,
                                       QStringLiteral("-f"), format, QStringLiteral("-t"),
                                       QStringLiteral("2"), QStringLiteral("-o"), out(),
                                       QStringLiteral("--scheme"), QStringLiteral("artist-album")});
        ASSERT_EQ(r.code, 0) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(QStringLiteral("Looking up the disc in MusicBrainz...\n")));
        EXPECT_TRUE(r.err.contains(QStringLiteral("MusicBrainz information loaded\n")))
            << r.err.toStdString();
        const QString folder = out() + QStringLiteral("/Nina Q & Jo/Night Songs");
        const QString file = folder + QStringLiteral("/BlueGreen.") + format;
        ASSERT_TRUE(QFileInfo::exists(file)) << filesBelow(out()).join(u' ').toStdString();
        const MediaProbe::TagList tags = MediaProbe::tags(file);
        EXPECT_EQ(MediaProbe::tag(tags, QStringLiteral("title")), QStringLiteral("Blue/Green"));
        EXPECT_EQ(MediaProbe::tag(tags, QStringLiteral("album")), QStringLiteral("Night: Songs"));
        EXPECT_EQ(MediaProbe::tag(tags, QStringLiteral("genre")), QStringLiteral("jazz"));
        // The cover beside the tracks is the served picture, saved once.
        EXPECT_EQ(fileBytes(folder + QStringLiteral("/cover.jpg")), cover);
        if (format == u"mp3") {
            EXPECT_EQ(MediaProbe::tag(tags, QStringLiteral("artist")),
                      QStringLiteral("Nina Q & Jo"));
            EXPECT_EQ(id3UserText(file, "MusicBrainz Album Id"), mbid(1));
            EXPECT_EQ(id3UserText(file, "MusicBrainz Release Group Id"), mbid(201));
            EXPECT_EQ(id3UserText(file, "MusicBrainz Track Id"), mbid(301));
            EXPECT_EQ(id3UserText(file, "MusicBrainz Album Artist Id"), mbid(100));
            EXPECT_EQ(id3Picture(file), cover);
        } else if (format == u"ogg") {
            EXPECT_EQ(oggField(file, "MUSICBRAINZ_ALBUMID"), mbid(1));
            EXPECT_EQ(oggField(file, "MUSICBRAINZ_TRACKID"), mbid(301));
            EXPECT_EQ(oggPicture(file), cover);
        } else if (format == u"flac") {
            EXPECT_EQ(flacField(file, "MUSICBRAINZ_ALBUMID"), mbid(1));
            EXPECT_EQ(flacField(file, "MUSICBRAINZ_RELEASEGROUPID"), mbid(201));
            EXPECT_EQ(flacPicture(file), cover);
        } else {
            EXPECT_EQ(wmaAttribute(file, "MusicBrainz/Album Id"), mbid(1));
            EXPECT_EQ(wmaPicture(file), cover);
        }
    }
    expectPoliteRequests(id);
    EXPECT_TRUE(server.requests(id).front().contains(
        QStringLiteral("inc=artist-credits+recordings+release-groups+genres+labels&fmt=json")));

    // Without embedding, the files carry no picture; the cover file stays as it is.
    writeSettings(musicBrainzSettings(server.url, 10000, "embedcover=0\n"));
    const RunResult plain =
        ripSpaced({QStringLiteral("--musicbrainz"), QStringLiteral("-d"), cue, QStringLiteral("-f"),
                   QStringLiteral("mp3"), QStringLiteral("-t"), QStringLiteral("1"),
                   QStringLiteral("-o"), out(), QStringLiteral("-q")});
    ASSERT_EQ(plain.code, 0) << plain.err.toStdString();
    EXPECT_EQ(id3Picture(out() + QStringLiteral("/Open.mp3")), QByteArray());
    EXPECT_EQ(id3UserText(out() + QStringLiteral("/Open.mp3"), "MusicBrainz Album Id"), mbid(1));
}

TEST_F(RipCliMusicBrainzTest, SeveralReleasesAreListedAndReleasePicksOne)
{
    QString id;
    const QString cue = makeDiscOf({1, 2, 2}, id);
    Release second = releaseOf(id, 2);
    second.title = QStringLiteral("Second Edition");
    server.put(id, ".json", discAnswer(id, {releaseOf(id, 1), second}));
    writeSettings(musicBrainzSettings(server.url, 10000, "coverart=0\n"));

    const auto albumOf = [&](const QStringList& extra) {
        const RunResult r =
            ripSpaced(QStringList{QStringLiteral("--list"), QStringLiteral("--musicbrainz"),
                                  QStringLiteral("-d"), cue} +
                      extra);
        EXPECT_EQ(r.code, 0) << r.err.toStdString();
        return r;
    };
    const RunResult first = albumOf({});
    EXPECT_TRUE(first.out.contains(QStringLiteral("Night: Songs"))) << first.out.toStdString();
    EXPECT_TRUE(first.err.contains(QStringLiteral("2 releases")));
    EXPECT_TRUE(first.err.contains(
        QStringLiteral("2  Nina Q & Jo / Second Edition  1987-03-02 GB  Label 2 CAT-2  "
                       "500000000002  ") +
        mbid(2)))
        << first.err.toStdString();
    EXPECT_TRUE(albumOf({QStringLiteral("--release"), QStringLiteral("2")})
                    .out.contains(QStringLiteral("Second Edition")));
    EXPECT_TRUE(albumOf({QStringLiteral("--release"), mbid(2)})
                    .out.contains(QStringLiteral("Second Edition")));
    // A release that is not in the list: a warning, and the disc's own texts.
    const RunResult none = albumOf({QStringLiteral("--release"), QStringLiteral("7")});
    EXPECT_TRUE(none.err.contains(QStringLiteral("no release of the list matches")));
    EXPECT_TRUE(none.out.contains(QStringLiteral("Live: Bootleg"))) << none.out.toStdString();
    expectPoliteRequests(id);

    const RunResult alone =
        rip({QStringLiteral("--release"), QStringLiteral("2"), QStringLiteral("-d"), cue});
    EXPECT_EQ(alone.code, 2) << alone.err.toStdString();
}

TEST_F(RipCliMusicBrainzTest, VariousArtistsAndASecondDiscOfASet)
{
    QString id;
    const QString cue = makeDiscOf({3, 1, 1}, id);
    Release set = releaseOf(id);
    set.credits = {{QStringLiteral("Various Artists"), {}, mbid(150)}};
    Medium first{1, {QStringLiteral("another-disc")}, set.media[0].tracks};
    set.media[0].position = 2;
    set.media[0].tracks[0].credits = {{QStringLiteral("Ann"), {}, mbid(160)}};
    set.media[0].tracks[1].credits = {{QStringLiteral("Bo"), QStringLiteral(" vs. "), mbid(161)},
                                      {QStringLiteral("Cy"), {}, mbid(162)}};
    set.media.prepend(first);
    server.put(id, ".json", discAnswer(id, {set}));
    writeSettings(musicBrainzSettings(server.url, 10000, "coverart=0\n"));

    // Tracks of different artists share one album folder, named after the release's artist.
    const RunResult r = ripSpaced(
        {QStringLiteral("--musicbrainz"), QStringLiteral("-d"), cue, QStringLiteral("-f"),
         QStringLiteral("ogg"), QStringLiteral("-t"), QStringLiteral("1-2"), QStringLiteral("-o"),
         out(), QStringLiteral("-q"), QStringLiteral("--scheme"), QStringLiteral("artist-album")});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const QString folder = out() + QStringLiteral("/Various Artists/Night Songs");
    EXPECT_EQ(filesBelow(out()),
              (QStringList{QStringLiteral("Various Artists/Night Songs/BlueGreen.ogg"),
                           QStringLiteral("Various Artists/Night Songs/Open.ogg")}));
    const QString open = folder + QStringLiteral("/Open.ogg");
    const QString blue = folder + QStringLiteral("/BlueGreen.ogg");
    EXPECT_EQ(oggField(open, "ARTIST"), QStringLiteral("Ann"));
    EXPECT_EQ(oggField(blue, "ARTIST"), QStringLiteral("Bo vs. Cy"));
    EXPECT_EQ(oggField(blue, "MUSICBRAINZ_ARTISTID"), mbid(161));
    EXPECT_EQ(oggField(blue, "MUSICBRAINZ_ALBUMARTISTID"), mbid(150));
    EXPECT_EQ(oggField(blue, "ALBUMARTIST"), QStringLiteral("Various Artists"));
    EXPECT_EQ(oggField(blue, "DISCNUMBER"), QStringLiteral("2"));
    EXPECT_EQ(oggField(blue, "DISCTOTAL"), QStringLiteral("2"));
    EXPECT_EQ(oggPicture(blue), QByteArray());
    EXPECT_FALSE(QFileInfo::exists(folder + QStringLiteral("/cover.jpg")));
}

TEST_F(RipCliMusicBrainzTest, AnUnknownIdIsFoundByItsTocAndABusyServerIsAskedAgain)
{
    QString id;
    const QString cue = makeDiscOf({1, 1, 3}, id);
    server.put(id, ".toc.json", tocAnswer({releaseOf(id)}));
    server.put(id, ".busy", "1");
    writeSettings(musicBrainzSettings(server.url, 10000, "coverart=0\n"));

    const RunResult r = ripSpaced(
        {QStringLiteral("--list"), QStringLiteral("--musicbrainz"), QStringLiteral("-d"), cue});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("Blue/Green  Nina Q & Jo  Night: Songs")))
        << r.out.toStdString() << r.err.toStdString();
    const QStringList requests = server.requests(id);
    ASSERT_EQ(requests.size(), 3) << requests.join(u'\n').toStdString();
    EXPECT_FALSE(requests[1].contains(QStringLiteral("toc="))); // the retry after 503
    EXPECT_TRUE(requests[2].contains(QStringLiteral("toc=1+3+")));
    expectPoliteRequests(id);
}

TEST_F(RipCliMusicBrainzTest, NoReleaseTimeOutOrBrokenAnswersKeepTheDiscsOwnTexts)
{
    QString id;
    const QString cue = makeDiscOf({2, 2, 1}, id);
    const auto listed = [&](int timeout) {
        writeSettings(musicBrainzSettings(server.url, timeout));
        const RunResult r = ripSpaced(
            {QStringLiteral("--list"), QStringLiteral("--musicbrainz"), QStringLiteral("-d"), cue});
        EXPECT_EQ(r.code, 0) << r.err.toStdString();
        EXPECT_TRUE(r.out.contains(QStringLiteral("Café Müller  Art/Pop  Live: Bootleg")))
            << r.out.toStdString();
        EXPECT_TRUE(r.err.contains(QStringLiteral("warning:"))) << r.err.toStdString();
        return r.err;
    };
    EXPECT_TRUE(listed(10000).contains(QStringLiteral("No MusicBrainz release for this CD.\n")));

    for (const QByteArray& broken :
         {QByteArray("{\"releases\": [{\"title\": 7, \"media\": \"x\"}]"), QByteArray("<html>"),
          QByteArray(R"({"releases": [{"title": "A", "media": [{"tracks": [1, 2, 3]}]}]})")}) {
        server.put(id, ".json", broken);
        EXPECT_TRUE(listed(10000).contains(QStringLiteral("No MusicBrainz release")));
    }

    server.put(id, ".hang", "1");
    EXPECT_TRUE(listed(1500).contains(QStringLiteral("did not answer within 1500 ms")));
    server.put(id, ".hang", {});
    expectPoliteRequests(id);
}

TEST_F(RipCliMusicBrainzTest, ABrokenOrOversizedCoverIsSkippedAndAnOwnCoverKept)
{
    QString id;
    const QString cue = makeDiscOf({1, 3, 1}, id);
    server.put(id, ".json", discAnswer(id, {releaseOf(id)}));
    writeSettings(musicBrainzSettings(server.url));
    QByteArray oversized = jpegImage();
    oversized.append(10 * 1024 * 1024, '\0');
    for (const QByteArray& bad : {QByteArray("GIF89a broken"), jpegImage().left(30), oversized}) {
        server.put(mbid(1), ".cover", bad);
        const RunResult r =
            ripSpaced({QStringLiteral("--musicbrainz"), QStringLiteral("-d"), cue,
                       QStringLiteral("-f"), QStringLiteral("mp3"), QStringLiteral("-t"),
                       QStringLiteral("1"), QStringLiteral("-o"), out()});
        ASSERT_EQ(r.code, 0) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(QStringLiteral("cover"))) << r.err.toStdString();
        EXPECT_EQ(id3Picture(out() + QStringLiteral("/Open.mp3")), QByteArray());
        EXPECT_EQ(filesBelow(out()), QStringList{QStringLiteral("Open.mp3")});
        QFile::remove(out() + QStringLiteral("/Open.mp3"));
    }

    // A cover of the user's own is never written over.
    server.put(mbid(1), ".cover", jpegImage());
    writeAll(out() + QStringLiteral("/cover.jpg"), "mine");
    const RunResult r =
        ripSpaced({QStringLiteral("--musicbrainz"), QStringLiteral("-d"), cue, QStringLiteral("-f"),
                   QStringLiteral("mp3"), QStringLiteral("-t"), QStringLiteral("1"),
                   QStringLiteral("-o"), out(), QStringLiteral("-q")});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(fileBytes(out() + QStringLiteral("/cover.jpg")), QByteArray("mine"));
    EXPECT_EQ(id3Picture(out() + QStringLiteral("/Open.mp3")), jpegImage());
}

TEST_F(RipCliMusicBrainzTest, LookupAsksMusicBrainzWhenCddbFails)
{
    QString id;
    const QString cue = makeDiscOf({3, 2, 1}, id);
    server.put(id, ".json", discAnswer(id, {releaseOf(id)}));
    writeSettings(
        "[Freedb]\nproxy=" + refusingProxy().toUtf8() +
        "\ntimeout=3000\n[MusicBrainz]\nspacing=" + QByteArray::number(MusicBrainzSpacing) +
        "\nserver=" + server.url.toUtf8() + "\ncoverart=0\n");
    const RunResult r = ripSpaced(
        {QStringLiteral("--list"), QStringLiteral("--lookup"), QStringLiteral("-d"), cue});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("Connection failed!\ntunecrest-rip: Looking up the "
                                              "disc in MusicBrainz...\n")))
        << r.err.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("Night: Songs")));

    // Switched off, CDDB's answer is the last word.
    QThread::msleep(MusicBrainzSpacing * 11 / 10);
    writeSettings("[Freedb]\nproxy=" + refusingProxy().toUtf8() +
                  "\n[MusicBrainz]\nenabled=0\nserver=" + server.url.toUtf8() + "\n");
    const RunResult off =
        rip({QStringLiteral("--list"), QStringLiteral("--lookup"), QStringLiteral("-d"), cue});
    EXPECT_FALSE(off.err.contains(QStringLiteral("MusicBrainz"))) << off.err.toStdString();
    EXPECT_EQ(server.requests(id).size(), 1);
}

} // namespace
