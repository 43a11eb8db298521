#include "RipCliSupport.h"
#include "components/lookup/CddbProtocol.h"
#include "support/CddbServer.h"
#include "support/MediaProbe.h"

namespace {

class RipCliLookupTest : public RipCliTest
{
protected:
    void SetUp() override
    {
        RipCliTest::SetUp();
        const auto found = CddbServer::running();
        ASSERT_TRUE(found);
        server = *found;
    }

    // The id of a disc of tracks with these lengths in seconds, as a drive reports it.
    QString discIdOf(const std::vector<int>& seconds)
    {
        FreeDBDisc disc;
        int start = 150;
        for (int s : seconds) {
            disc.trackOffsets.append(start);
            start += s * SectorsPerSecond;
        }
        disc.leadOut = start;
        const QString id = Cddb::discIdText(Cddb::discId(disc));
        server.forget(id);
        return id;
    }

    CddbServer server;
};

TEST_F(RipCliLookupTest, TheEntryNamesAndTagsTheFilesAndTheLogGoesToStandardError)
{
    const std::vector<int> seconds{2, 1, 3};
    const QString cue = makeDisc(QStringLiteral("disc"), seconds);
    const QString id = discIdOf(seconds);
    server.answer(id, QStringLiteral("jazz"),
                  "DTITLE=Nina Q / Night: Songs\r\nDYEAR=1987\r\nTTITLE0=Open\r\n"
                  "TTITLE1=Blue/Green\r\nTTITLE2=Close\r\n");
    writeSettings(freedbSettings(server.proxy));

    const RunResult listed =
        rip({QStringLiteral("--list"), QStringLiteral("--lookup"), QStringLiteral("-d"), cue});
    ASSERT_EQ(listed.code, 0) << listed.err.toStdString();
    EXPECT_TRUE(listed.out.contains(QStringLiteral(" 2  00:01  Blue/Green  Nina Q  Night: Songs")))
        << listed.out.toStdString();
    EXPECT_TRUE(listed.err.contains(QStringLiteral("Connecting to  server...\n")));
    EXPECT_TRUE(listed.err.contains(QStringLiteral("FreeDB information loaded\n")))
        << listed.err.toStdString();

    const RunResult r = rip(
        {QStringLiteral("--lookup"), QStringLiteral("-d"), cue, QStringLiteral("-f"),
         QStringLiteral("mp3"), QStringLiteral("-t"), QStringLiteral("2"), QStringLiteral("-o"),
         out(), QStringLiteral("--scheme"), QStringLiteral("artist-album"), QStringLiteral("-q")});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_FALSE(r.err.contains(QStringLiteral("Connecting"))) << r.err.toStdString();
    const QString file = out() + QStringLiteral("/Nina Q/Night Songs/BlueGreen.mp3");
    EXPECT_EQ(filesBelow(out()), QStringList{QStringLiteral("Nina Q/Night Songs/BlueGreen.mp3")});
    const MediaProbe::TagList tags = MediaProbe::tags(file);
    EXPECT_EQ(MediaProbe::tag(tags, QStringLiteral("title")), QStringLiteral("Blue/Green"));
    EXPECT_EQ(MediaProbe::tag(tags, QStringLiteral("artist")), QStringLiteral("Nina Q"));
    EXPECT_EQ(MediaProbe::tag(tags, QStringLiteral("album")), QStringLiteral("Night: Songs"));
    EXPECT_EQ(MediaProbe::tag(tags, QStringLiteral("genre")), QStringLiteral("Jazz"));
}

// A various-artists entry: the tracks of different artists share the album's folder, named after
// the entry's disc artist, and the cue sheet and log lie beside them.
TEST_F(RipCliLookupTest, AVariousArtistsEntryKeepsTheAlbumInOneFolder)
{
    const std::vector<int> seconds{1, 1, 2};
    const QString cue = makeDisc(QStringLiteral("disc"), seconds);
    server.answer(discIdOf(seconds), QStringLiteral("misc"),
                  "DTITLE=Various / Summer Hits\r\nTTITLE0=Artist A / First Song\r\n"
                  "TTITLE1=Artist B / Second Song\r\nTTITLE2=Artist C / Third Song\r\n");
    writeSettings(freedbSettings(server.proxy));
    writeReports = true;
    const RunResult r =
        rip({QStringLiteral("--lookup"), QStringLiteral("-d"), cue, QStringLiteral("-f"),
             QStringLiteral("wav"), QStringLiteral("-o"), out(), QStringLiteral("--scheme"),
             QStringLiteral("artist-album"), QStringLiteral("-q")});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(filesBelow(out()),
              (QStringList{QStringLiteral("Various/Summer Hits/First Song.wav"),
                           QStringLiteral("Various/Summer Hits/Second Song.wav"),
                           QStringLiteral("Various/Summer Hits/Summer Hits.cue"),
                           QStringLiteral("Various/Summer Hits/Summer Hits.log"),
                           QStringLiteral("Various/Summer Hits/Third Song.wav")}));
}

TEST_F(RipCliLookupTest, NoEntryOrNoServerIsAWarningAndTheDiscsOwnTextsAreUsed)
{
    const std::vector<int> seconds{2, 1, 4};
    const QString cue = makeDisc(QStringLiteral("disc"), seconds);
    discIdOf(seconds);
    for (const QString& proxy : {server.proxy, refusingProxy()}) {
        writeSettings(freedbSettings(proxy, 1, 2000));
        const RunResult r = rip({QStringLiteral("--lookup"), QStringLiteral("-d"), cue,
                                 QStringLiteral("-f"), QStringLiteral("wav"), QStringLiteral("-t"),
                                 QStringLiteral("1"), QStringLiteral("-o"), out()});
        ASSERT_EQ(r.code, 0) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(QStringLiteral("warning:"))) << r.err.toStdString();
        EXPECT_TRUE(QFileInfo::exists(out() + QStringLiteral("/Song 1.wav")))
            << filesBelow(out()).join(u' ').toStdString();
        QFile::remove(out() + QStringLiteral("/Song 1.wav"));
    }
}

} // namespace
