#include "RipCliSupport.h"
#include "support/MediaProbe.h"

#include <QRegularExpression>

#include <zlib.h>

namespace {

constexpr int Second = SectorsPerSecond;

class RipLogTest : public RipCliTest
{
protected:
    void SetUp() override
    {
        RipCliTest::SetUp();
        writeReports = true;
    }

    // Three tracks of two seconds; the second and third begin with pregaps of 30 and 45 sectors.
    DiscFixture::DiscLayout pregapDisc() const
    {
        DiscFixture::DiscLayout disc;
        disc.album = "Live: Bootleg";
        disc.performer = "Art/Pop";
        disc.genre = "Rock";
        disc.catalog = "0123456789012";
        for (int n = 1; n <= 3; ++n)
            disc.tracks.push_back({2 * Second, "Song " + std::to_string(n), {}});
        disc.pregapSectors = {{2, 30}, {3, 45}};
        disc.isrcs = {{2, "USRC17607839"}};
        return disc;
    }

    QString writeImage(const QString& name, const DiscFixture::DiscLayout& disc)
    {
        const QString cue = path(name + QStringLiteral(".cue"));
        DiscFixture::writeDisc(cue.toStdString(), disc);
        return cue;
    }

    static QString text(const QString& file) { return QString::fromUtf8(readAll(file)); }

    static QString crcOf(const QByteArray& bytes)
    {
        const auto crc = crc32_z(0, reinterpret_cast<const Bytef*>(bytes.constData()),
                                 static_cast<std::size_t>(bytes.size()));
        return QStringLiteral("%1").arg(crc, 8, 16, QLatin1Char('0')).toUpper();
    }

    static RunResult runTool(const QString& program, const QStringList& args)
    {
        QProcess process;
        process.start(program, args);
        EXPECT_TRUE(process.waitForFinished(30000)) << program.toStdString();
        return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
                QString::fromUtf8(process.readAllStandardError())};
    }
};

// FILE names are relative to the sheet's own folder whatever folder -o names and wherever the
// ripper runs; no control character of a disc's texts reaches the sheet or the log.
TEST_F(RipLogTest, SheetsResolveFromRelativeFoldersAndCarryNoControlCharacters)
{
    DiscFixture::DiscLayout disc = DiscFixture::audioDisc({Second});
    disc.album = "Alb";
    disc.performer = "Art";
    disc.tracks[0].title = "\x1b]0;PWN\x07\x1b[2JEvil";
    const QString image = writeImage(QStringLiteral("evil"), disc);
    QDir(root()).mkpath(QStringLiteral("sub"));
    struct Case
    {
        const char* from;
        QStringList options;
        const char* folder;
    };
    for (const Case& c : {Case{"", {QStringLiteral("-o"), QStringLiteral("o1")}, "o1"},
                          Case{"",
                               {QStringLiteral("-o"), QStringLiteral("o4"),
                                QStringLiteral("--scheme"), QStringLiteral("artist-album")},
                               "o4/Art/Alb"},
                          Case{"sub", {QStringLiteral("-o"), QStringLiteral("../o3")}, "o3"}}) {
        const RunResult r = rip(
            QStringList{QStringLiteral("-d"), image, QStringLiteral("-f"), QStringLiteral("wav")} +
                c.options,
            {}, path(QLatin1StringView(c.from)));
        ASSERT_EQ(r.code, 0) << r.err.toStdString();
        const QString folder = path(QLatin1StringView(c.folder));
        const QString sheet = text(folder + QStringLiteral("/Alb.cue"));
        const QRegularExpressionMatch file =
            QRegularExpression(QStringLiteral("FILE \"([^\"]+)\" WAVE")).match(sheet);
        ASSERT_TRUE(file.hasMatch()) << sheet.toStdString();
        EXPECT_TRUE(QFileInfo::exists(folder + u'/' + file.captured(1)))
            << c.folder << ": " << file.captured(1).toStdString();
        for (const QString& written : {sheet, text(folder + QStringLiteral("/Alb.log"))})
            EXPECT_FALSE(written.contains(
                QRegularExpression(QStringLiteral("[\\x00-\\x08\\x0b\\x0c\\x0e-\\x1f\\x7f]"))))
                << written.toStdString();
        EXPECT_TRUE(sheet.contains(QStringLiteral("TITLE \"]0;PWN[2JEvil\"")));
    }
}

// Audio hidden before track 1 and a track recorded with pre-emphasis: --list shows them, --htoa
// rips the hidden audio as track 0, and the cue sheet keeps both (INDEX 00 of track 1 in track
// 0's file, FLAGS PRE), so the rip's own sheet reads back as the same disc. With --deemphasis
// the file holds de-emphasised audio and the sheet no longer flags it.
TEST_F(RipLogTest, HiddenTrackAndPreEmphasisReachTheListTheLogAndTheCueSheet)
{
    DiscFixture::DiscLayout disc = DiscFixture::audioDisc({2 * Second, 2 * Second});
    disc.album = "Hidden";
    disc.pregapSectors = {{1, 30}};
    disc.preEmphasis = {2};
    const QString image = writeImage(QStringLiteral("hidden"), disc);
    const auto tracksOf = [](const QString& listed) {
        return listed.mid(listed.indexOf(QStringLiteral("Tracks:")));
    };
    const RunResult listed = rip({QStringLiteral("--list"), QStringLiteral("-d"), image});
    ASSERT_EQ(listed.code, 0) << listed.err.toStdString();
    EXPECT_TRUE(listed.out.contains(QStringLiteral("   0  00:00  (audio before track 1")))
        << listed.out.toStdString();
    EXPECT_TRUE(listed.out.contains(QStringLiteral("  [pre-emphasis]\n")));

    for (const bool deEmphasis : {false, true}) {
        SCOPED_TRACE(deEmphasis);
        const QString folder = path(deEmphasis ? QStringLiteral("flat") : QStringLiteral("kept"));
        QStringList args{QStringLiteral("-d"),
                         image,
                         QStringLiteral("-f"),
                         QStringLiteral("flac"),
                         QStringLiteral("--htoa"),
                         QStringLiteral("-o"),
                         folder};
        if (deEmphasis)
            args << QStringLiteral("--deemphasis");
        const RunResult r = rip(args);
        ASSERT_EQ(r.code, 0) << r.err.toStdString();
        EXPECT_EQ(filesBelow(folder),
                  (QStringList{QStringLiteral("Hidden.cue"), QStringLiteral("Hidden.log"),
                               QStringLiteral("Track00.flac"), QStringLiteral("Track01.flac"),
                               QStringLiteral("Track02.flac")}));
        const QString cue = text(folder + QStringLiteral("/Hidden.cue"));
        EXPECT_TRUE(
            cue.contains(QStringLiteral("FILE \"Track00.flac\" WAVE\r\n  TRACK 01 AUDIO\r\n")))
            << cue.toStdString();
        EXPECT_TRUE(cue.contains(QStringLiteral(
            "    INDEX 00 00:00:00\r\nFILE \"Track01.flac\" WAVE\r\n    INDEX 01 00:00:00\r\n")));
        EXPECT_EQ(cue.contains(QStringLiteral("  TRACK 02 AUDIO\r\n    FLAGS PRE\r\n")),
                  !deEmphasis)
            << cue.toStdString();
        const QString log = text(folder + QStringLiteral("/Hidden.log"));
        EXPECT_TRUE(log.contains(QStringLiteral("Hidden track one audio: 0:00.30")));
        EXPECT_TRUE(log.contains(deEmphasis ? QStringLiteral("Pre-emphasis: yes, removed")
                                            : QStringLiteral("Pre-emphasis: yes, kept")));
        // The hidden audio is the image's first 30 sectors, and the sheet is the same disc.
        std::vector<std::int16_t> hidden(std::size_t{30} * 588 * 2);
        DiscFixture::discAudio(disc, 0, hidden);
        EXPECT_EQ(MediaProbe::decode(folder + QStringLiteral("/Track00.flac")), hidden);
        if (!deEmphasis) {
            const RunResult again = rip({QStringLiteral("--list"), QStringLiteral("-d"),
                                         folder + QStringLiteral("/Hidden.cue")});
            EXPECT_EQ(tracksOf(again.out), tracksOf(listed.out)) << again.err.toStdString();
        }
    }
}

// "mm:ss:ff" in sectors.
int sectorsOf(const QString& time)
{
    const QStringList parts = time.split(u':');
    return (parts[0].toInt() * 60 + parts[1].toInt()) * Second + parts[2].toInt();
}

TEST_F(RipLogTest, CueSheetPutsTheFilesEndToEndAsTheDiscWithItsPregaps)
{
    const DiscFixture::DiscLayout disc = pregapDisc();
    const QString image = writeImage(QStringLiteral("gaps"), disc);
    const RunResult r = rip({QStringLiteral("-d"), image, QStringLiteral("-f"),
                             QStringLiteral("flac"), QStringLiteral("-o"), out()});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(filesBelow(out()),
              (QStringList{QStringLiteral("Live Bootleg.cue"), QStringLiteral("Live Bootleg.log"),
                           QStringLiteral("Song 1.flac"), QStringLiteral("Song 2.flac"),
                           QStringLiteral("Song 3.flac")}));
    const QString sheet = out() + QStringLiteral("/Live Bootleg.cue");

    // An outside reader understands it.
    const RunResult print = runTool(QStringLiteral("cueprint"),
                                    {QStringLiteral("-d"), QStringLiteral("%P|%T|%N\n"),
                                     QStringLiteral("-t"), QStringLiteral("%n|%t|%p|%i\n"), sheet});
    ASSERT_EQ(print.code, 0) << print.err.toStdString();
    EXPECT_EQ(print.out, QStringLiteral("Art/Pop|Live: Bootleg|3\n1|Song 1|Art/Pop|\n"
                                        "2|Song 2|Art/Pop|USRC17607839\n3|Song 3|Art/Pop|\n"));
    // Split before each pregap, its reader cuts the first file at 2 s and the second at 1.45 s
    // (seconds and sectors), where the next track's pregap begins.
    const RunResult breaks =
        runTool(QStringLiteral("cuebreakpoints"), {QStringLiteral("--prepend-gaps"), sheet});
    ASSERT_EQ(breaks.code, 0) << breaks.err.toStdString();
    EXPECT_EQ(breaks.out, QStringLiteral("0:02.00\n0:01.45\n"));
    const QString lines = text(sheet);
    EXPECT_TRUE(lines.startsWith(QStringLiteral("REM GENRE \"Rock\"\r\n"))) << lines.toStdString();
    EXPECT_TRUE(lines.contains(QStringLiteral("\r\nCATALOG 0123456789012\r\n")));

    // The files laid end to end give the image's audio; each INDEX 00 lies where the image puts
    // its pregap.
    QByteArray joined;
    qsizetype fileStart = 0; // of the file the lines speak of, in the joined audio
    QList<int> pregapStarts;
    for (const QString& line : lines.split(QStringLiteral("\r\n"))) {
        const auto file = QRegularExpression(QStringLiteral("^FILE \"(.*)\" WAVE$")).match(line);
        if (file.hasMatch()) {
            fileStart = joined.size();
            joined += MediaProbe::decodeBytes(out() + u'/' + file.captured(1));
        }
        const auto index = QRegularExpression(QStringLiteral("^    INDEX 00 (.*)$")).match(line);
        if (index.hasMatch())
            pregapStarts << static_cast<int>(fileStart / DiscFixture::SectorBytes) +
                                sectorsOf(index.captured(1));
    }
    const QByteArray bin = readAll(path(QStringLiteral("gaps.bin")));
    EXPECT_EQ(joined.size(), bin.size());
    EXPECT_TRUE(joined == bin);
    EXPECT_EQ(pregapStarts, (QList<int>{2 * Second, 4 * Second}));
}

TEST_F(RipLogTest, LogGivesTheTocAndTheCrcsOfTheTracksAsRead)
{
    const DiscFixture::DiscLayout disc = pregapDisc();
    const QString image = writeImage(QStringLiteral("gaps"), disc);
    const RunResult r =
        rip({QStringLiteral("-d"), image, QStringLiteral("-f"), QStringLiteral("wav"),
             QStringLiteral("-o"), out(), QStringLiteral("--test-copy"), QStringLiteral("-t"),
             QStringLiteral("1,3")});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const QString log = text(out() + QStringLiteral("/Live Bootleg.log"));
    const QByteArray bin = readAll(path(QStringLiteral("gaps.bin")));
    // A track runs from its INDEX 01 to the next one's: track 1 sectors 0 .. 179, track 3
    // sectors 345 .. 449.
    const QByteArray first = bin.left(180 * DiscFixture::SectorBytes);
    const QByteArray third = bin.mid(345 * DiscFixture::SectorBytes);
    const QStringList lines{
        QStringLiteral("Drive: disc image ") + image,
        QStringLiteral("Read mode: Synch"),
        QStringLiteral("Error action: Stop"),
        QStringLiteral("Test and copy: on"),
        QStringLiteral("Output format: WAV, defaults"),
        QStringLiteral("Catalog: 0123456789012"),
        QStringLiteral("      2 |  0:02.30 |  0:02.15 |          180 |         344"),
        QStringLiteral("Copy CRC: ") + crcOf(first),
        QStringLiteral("Test CRC: ") + crcOf(first),
        QStringLiteral("Copy CRC: ") + crcOf(third),
        QStringLiteral("Test CRC: ") + crcOf(third),
        QStringLiteral("Result: Test and copy OK"),
        QStringLiteral("Summary: 2 of 2 tracks ripped without errors; the rip completed.")};
    for (const QString& expected : lines)
        EXPECT_TRUE(log.contains(expected)) << expected.toStdString() << "\n" << log.toStdString();
    EXPECT_EQ(log.count(QStringLiteral("Result: Test and copy OK")), 2);
    EXPECT_FALSE(log.contains(QStringLiteral("Track 02\n")));
    // A disc whose reads run past its end in Synch mode: only sectors a track could not read are
    // named, and there are none.
    const QString even =
        writeImage(QStringLiteral("even"), DiscFixture::audioDisc({225, 225, 150}));
    ASSERT_EQ(rip({QStringLiteral("-d"), even, QStringLiteral("-f"), QStringLiteral("wav"),
                   QStringLiteral("-o"), path(QStringLiteral("even"))})
                  .code,
              0);
    EXPECT_EQ(text(path(QStringLiteral("even/Unknown Album.log")))
                  .count(QStringLiteral("Unreadable sectors: none")),
              3);

    // Asked not to, it writes neither.
    const QString quiet = path(QStringLiteral("quiet"));
    ASSERT_EQ(rip({QStringLiteral("-d"), image, QStringLiteral("-f"), QStringLiteral("wav"),
                   QStringLiteral("-o"), quiet, QStringLiteral("-t"), QStringLiteral("1"),
                   QStringLiteral("--no-log"), QStringLiteral("--no-cue")})
                  .code,
              0);
    EXPECT_EQ(filesBelow(quiet), QStringList{QStringLiteral("Song 1.wav")});
}

TEST_F(RipLogTest, SilencedSectorsOfADamagedImageAreNamed)
{
    DiscFixture::DiscLayout disc = pregapDisc();
    // The BIN ends at sector 250, in the middle of the second track (180 .. 344).
    disc.binBytes = std::int64_t{250} * DiscFixture::SectorBytes;
    const QString image = writeImage(QStringLiteral("damaged"), disc);
    writeSettings("[Format]\nstop=1\n");
    const RunResult r =
        rip({QStringLiteral("-d"), image, QStringLiteral("-f"), QStringLiteral("flac"),
             QStringLiteral("-o"), out(), QStringLiteral("-t"), QStringLiteral("2")});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const QString log = text(out() + QStringLiteral("/Live Bootleg.log"));
    QStringList silenced;
    for (int sector = 250; sector < 345; ++sector)
        silenced << QString::number(sector);
    EXPECT_TRUE(log.contains(QStringLiteral("Error action: Silence")));
    EXPECT_TRUE(log.contains(QStringLiteral("Unreadable sectors: ") +
                             silenced.join(QStringLiteral(", ")) + QStringLiteral(" (Silence)")))
        << log.toStdString();
}

} // namespace
