// Disc images read by the grabber's own reader: cue sheets and cdrdao TOC files in the styles of
// other programs and of this one's rips give the pressed disc's layout, texts, ids and audio;
// what cannot be read is refused naming the sheet and line, without waiting on anything.

#include "GrabberTestSupport.h"

#include "components/lookup/AccurateRip.h"
#include "components/lookup/CddbProtocol.h"
#include "components/lookup/MusicBrainzDisc.h"
#include "rip/RipLog.h"

#include <QDir>
#include <QFile>

#include <random>

#include <sys/stat.h>
#include <unistd.h>

namespace {

class CueNamedBin : public GrabberTest
{
protected:
    static DiscFixture::DiscLayout discWithBin(const std::string& binName,
                                               std::vector<int> sectors = {150, 75})
    {
        DiscFixture::DiscLayout layout = DiscFixture::audioDisc(sectors);
        layout.binName = binName;
        return layout;
    }

    QString writeCue(const QString& name, const QByteArray& text)
    {
        QFile cue(path(name));
        EXPECT_TRUE(cue.open(QIODevice::WriteOnly));
        cue.write(text);
        return cue.fileName();
    }

    // The error ReadDisc raises for the last drive, which driveProblem must report as well.
    static QString readDiscError(TAudioCDGrabber2& grabber)
    {
        const int drive = grabber.DeviceCount();
        EXPECT_EQ(grabber.driveState(drive), DriveState::Empty);
        QString error = QStringLiteral("no error");
        try {
            grabber.ReadDisc();
        } catch (const ComponentError& e) {
            error = e.message();
        }
        EXPECT_EQ(grabber.driveProblem(drive), error);
        EXPECT_EQ(grabber.TrackCount(), 0);
        return error;
    }

    void expectBitExact(TAudioCDGrabber2& grabber, int index, int track, int sectors)
    {
        const QString out = path(QStringLiteral("track%1.wav").arg(index + 1));
        const GrabOutcome outcome = grab(grabber, index, out);
        ASSERT_TRUE(outcome.completed) << outcome.failure.toStdString();
        EXPECT_EQ(mismatchAt(decode(out), expected(track, 0, sectors)), -1);
    }
};

TEST_F(CueNamedBin, TheBinTheSheetNamesIsRead)
{
    DiscFixture::DiscLayout album = discWithBin("My Album.bin");
    album.album = "Named Album";
    auto grabber = grabberFor({makeDisc(QStringLiteral("disc"), album)});
    EXPECT_EQ(grabber->driveState(grabber->DeviceCount()), DriveState::AudioDisc);
    EXPECT_EQ(grabber->driveProblem(grabber->DeviceCount()), QString());
    grabber->ReadDisc();
    ASSERT_EQ(grabber->TrackCount(), 2);
    EXPECT_EQ(grabber->TrackAlbum(), QStringLiteral("Named Album"));
    expectBitExact(*grabber, 1, 2, 75);
}

TEST_F(CueNamedBin, ARelativeNameWinsOverABinNamedLikeTheSheet)
{
    QDir().mkpath(path(QStringLiteral("rel")));
    const QString cue = makeDisc(QStringLiteral("rel/rel"), discWithBin("../t1/base.bin"));
    // Same size, other audio: silence.
    QFile unrelated(path(QStringLiteral("rel/rel.bin")));
    ASSERT_TRUE(unrelated.open(QIODevice::WriteOnly));
    ASSERT_TRUE(unrelated.resize(QFileInfo(path(QStringLiteral("t1/base.bin"))).size()));
    unrelated.close();

    auto grabber = grabberFor({cue});
    grabber->ReadDisc();
    ASSERT_EQ(grabber->TrackCount(), 2);
    expectBitExact(*grabber, 0, 1, 150);
}

TEST_F(CueNamedBin, AMissingBinIsNamed)
{
    DiscFixture::DiscLayout gone = discWithBin("gone/Other.bin");
    gone.missingBin = true;
    auto grabber = grabberFor({makeDisc(QStringLiteral("lost"), gone)});
    EXPECT_EQ(readDiscError(*grabber),
              QStringLiteral("The disc image ") + path(QStringLiteral("lost.cue")) +
                  QStringLiteral(" names ") + path(QStringLiteral("gone/Other.bin")) +
                  QStringLiteral(", which does not exist."));
}

// A FIFO is never opened for reading: that would wait for a writer forever (SIGALRM ends a hung
// test).
TEST_F(CueNamedBin, AFifoAsBinOrSheetIsRefusedAtOnce)
{
    ::alarm(60);
    const QString fifoBin = path(QStringLiteral("fifo.bin"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifoBin).constData(), 0600), 0);
    auto fifoAsBin = grabberFor(
        {writeCue(QStringLiteral("piped.cue"),
                  "FILE \"fifo.bin\" BINARY\r\n  TRACK 01 AUDIO\r\n    INDEX 01 00:00:00\r\n")});
    EXPECT_EQ(readDiscError(*fifoAsBin), QStringLiteral("The disc image ") +
                                             path(QStringLiteral("piped.cue")) +
                                             QStringLiteral(" names ") + fifoBin +
                                             QStringLiteral(", which is not a regular file."));

    const QString fifoCue = path(QStringLiteral("fifo.cue"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifoCue).constData(), 0600), 0);
    auto fifoAsCue = grabberFor({fifoCue});
    EXPECT_EQ(readDiscError(*fifoAsCue), QStringLiteral("The disc image ") + fifoCue +
                                             QStringLiteral(" is not a regular file."));
    ::alarm(0);
}

using DiscFixture::ImageStyle;

/// Runs a test from another folder than the images': names in sheets are the sheets' own.
class ElsewhereFolder
{
public:
    ElsewhereFolder() : m_before(QDir::currentPath()) { QDir::setCurrent(QDir::rootPath()); }
    ~ElsewhereFolder() { QDir::setCurrent(m_before); }
    ElsewhereFolder(const ElsewhereFolder&) = delete;
    ElsewhereFolder& operator=(const ElsewhereFolder&) = delete;

private:
    QString m_before;
};

/// Three audio tracks (the first with hidden audio before its INDEX 01, the others with pregaps)
/// and a data track after them: an Enhanced CD.
DiscFixture::DiscLayout enhancedDisc()
{
    DiscFixture::DiscLayout layout = DiscFixture::audioDisc({300, 377, 450});
    layout.pregapSectors = {{1, 40}, {2, 75}, {3, 32}};
    layout.album = "Café Müller";
    layout.performer = "Ensemble Ærø";
    layout.tracks[0].title = "Größe";
    layout.tracks[1].performer = "Zoë Señor";
    layout.isrcs = {{2, "DEA123456789"}};
    layout.catalog = "1234567890123";
    layout.preEmphasis = {2};
    layout.dataTrackSectors = 150;
    return layout;
}

// Each style with a read mode of its own, so every kind of file is also read through paranoia.
struct StyleCase
{
    ImageStyle style;
    int mode;
    const char* name;
};

class ImageStyles : public GrabberTest, public ::testing::WithParamInterface<StyleCase>
{
protected:
    std::unique_ptr<TAudioCDGrabber2> styledDisc(const DiscFixture::DiscLayout& layout)
    {
        auto grabber = grabberFor({makeImage(QStringLiteral("disc"), layout, GetParam().style)});
        grabber->GrabMode(GetParam().mode);
        grabber->ReadDisc();
        return grabber;
    }
};

TEST_P(ImageStyles, GiveThePressedDiscsLayoutTextsAndCodesFromAnyFolder)
{
    const ElsewhereFolder elsewhere;
    auto grabber = styledDisc(enhancedDisc());
    ASSERT_EQ(grabber->TrackCount(), 3);
    // INDEX 01 at 40, 375 and 709; the audio ends at 1127, the data track starts 11400 later.
    struct Track
    {
        int start, sectors, pregap;
        QString title, artist, isrc;
        bool preEmphasis;
    };
    const std::vector<Track> tracks{
        {40, 335, 40, QStringLiteral("Größe"), QStringLiteral("Ensemble Ærø"), {}, false},
        {375, 334, 75, QStringLiteral("Session1 Track2"), QStringLiteral("Zoë Señor"),
         QStringLiteral("DEA123456789"), true},
        {709,
         418,
         32,
         QStringLiteral("Session1 Track3"),
         QStringLiteral("Ensemble Ærø"),
         {},
         false}};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        grabber->CurrentTrack(i);
        EXPECT_EQ(grabber->trackStartSector(), tracks[i].start);
        EXPECT_EQ(grabber->trackSectors(), tracks[i].sectors);
        EXPECT_EQ(grabber->trackPregapSectors(), tracks[i].pregap);
        EXPECT_EQ(grabber->TrackTitle(), tracks[i].title);
        EXPECT_EQ(grabber->TrackArtist(), tracks[i].artist);
        EXPECT_EQ(grabber->TrackAlbum(), QStringLiteral("Café Müller"));
        EXPECT_EQ(grabber->trackIsrc(), tracks[i].isrc);
        EXPECT_EQ(grabber->trackPreEmphasis(), tracks[i].preEmphasis);
    }
    EXPECT_EQ(grabber->discCatalog(), QStringLiteral("1234567890123"));
    EXPECT_EQ(grabber->hiddenTrackSectors(), 40);
    EXPECT_EQ(grabber->freeDBDisc(),
              FreeDBDisc({190, 525, 859, 1127 + 11400 + 150}, 1127 + 11400 + 150 + 150,
                         {false, false, false, true}));
}

TEST_P(ImageStyles, GiveTheDiscsAudioSampleForSample)
{
    const ElsewhereFolder elsewhere;
    const DiscFixture::DiscLayout layout = enhancedDisc();
    auto grabber = styledDisc(layout);
    const std::vector<std::pair<int, int>> tracks{{40, 335}, {375, 334}, {709, 418}};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const QString out = path(QStringLiteral("track%1.wav").arg(i + 1));
        const GrabOutcome outcome = grab(*grabber, i, out);
        ASSERT_TRUE(outcome.completed) << outcome.failure.toStdString();
        EXPECT_EQ(mismatchAt(decode(out), discSectors(layout, tracks[i].first, tracks[i].second)),
                  -1);
        EXPECT_TRUE(grabber->lastGrabReport().unreadable.isEmpty());
    }
    grabber->selectHiddenTrack();
    ASSERT_EQ(grabber->trackSectors(), 40);
    grabber->BeginRead();
    std::vector<std::int16_t> hidden;
    for (QByteArray block = grabber->ReadBlock(10); !block.isEmpty();
         block = grabber->ReadBlock(10))
        hidden.insert(hidden.end(), reinterpret_cast<const std::int16_t*>(block.constData()),
                      reinterpret_cast<const std::int16_t*>(block.constData()) + block.size() / 2);
    EXPECT_EQ(mismatchAt(hidden, discSectors(layout, 0, 40)), -1);
}

INSTANTIATE_TEST_SUITE_P(
    AllStyles, ImageStyles,
    ::testing::Values(StyleCase{ImageStyle::BinCue, 1, "BinCue_Synch"},
                      StyleCase{ImageStyle::WaveCue, 0, "WaveCue_Burst"},
                      StyleCase{ImageStyle::WavePerTrackCue, 2, "WavePerTrackCue_Secure"},
                      StyleCase{ImageStyle::FlacPerTrackCue, 1, "FlacPerTrackCue_Synch"},
                      StyleCase{ImageStyle::TocWave, 3, "TocWave_Paranoid"},
                      StyleCase{ImageStyle::TocRaw, 1, "TocRaw_Synch"}),
    [](const ::testing::TestParamInfo<StyleCase>& info) { return std::string(info.param.name); });

// Sheets written by hand with what the styles above leave out: MOTOROLA files, PREGAP and
// POSTGAP, unquoted names, REM lines, a UTF-8 sheet with its byte order mark; a TOC with
// SILENCE, PREGAP, comments and positions in samples.
TEST_F(GrabberTest, HandWrittenSheetsGiveTheirLayoutTextsAndAudio)
{
    // The audio the sheets' files hold: 150 sectors of one signal.
    const DiscFixture::DiscLayout source = DiscFixture::audioDisc({150});
    std::vector<std::int16_t> audio = discSectors(source, 0, 150);
    DiscFixture::writeAudioFile(path(QStringLiteral("motorola disc.raw")).toStdString(), audio,
                                DiscFixture::AudioFileKind::RawBigEndian);
    DiscFixture::writeAudioFile(path(QStringLiteral("disc.wav")).toStdString(), audio,
                                DiscFixture::AudioFileKind::Wave);
    struct Case
    {
        const char* sheet;
        QByteArray text;
        std::vector<int> starts, sectors, pregaps;
        QString album, artist, genre, year;
        // Each track's audio: (sector of the source, sectors), a negative sector for silence.
        std::vector<std::vector<std::pair<int, int>>> pieces;
    };
    const std::vector<Case> cases{
        {"hand.cue",
         "\xEF\xBB\xBFREM GENRE \"Hip Hop\"\r\nREM DATE 1999-05-01\r\nREM DISCID 0A0B0C0D\r\n"
         "REM COMMENT \"by hand\"\r\nPERFORMER \"S\xC3\xB8ren\"\r\nTITLE \"\xC3\x9Cn\xC3\xAF\"\r\n"
         "FILE motorola disc.raw MOTOROLA\r\n  TRACK 01 AUDIO\r\n    FLAGS DCP 4CH\r\n"
         "    INDEX 01 00:00:00\r\n    POSTGAP 00:00:10\r\n  TRACK 02 AUDIO\r\n"
         "    PREGAP 00:00:20\r\n    INDEX 01 00:01:00\r\n",
         {0, 105},
         {105, 75},
         {0, 20},
         QStringLiteral("Ünï"),
         QStringLiteral("Søren"),
         QStringLiteral("Hip Hop"),
         QStringLiteral("1999"),
         {{{0, 75}, {-1, 30}}, {{75, 75}}}},
        {"hand.toc",
         "CD_DA // by hand\nTRACK AUDIO\nPREGAP 00:00:30\nFILE \"disc.wav\" 0 44100\n"
         "SILENCE 00:00:15\n\n// the rest of the file\nTRACK AUDIO\nFILE \"disc.wav\" 44100\n",
         {30, 120},
         {90, 75},
         {30, 0},
         {},
         {},
         {},
         {},
         {{{0, 75}, {-1, 15}}, {{75, 75}}}},
    };
    const ElsewhereFolder elsewhere;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sheet);
        const QString sheet = path(QString::fromLatin1(c.sheet));
        writeAll(sheet, c.text);
        auto grabber = grabberFor({sheet});
        grabber->ReadDisc();
        ASSERT_EQ(grabber->TrackCount(), int(c.starts.size()));
        EXPECT_EQ(grabber->hiddenTrackSectors(), 0);
        for (int i = 0; i < grabber->TrackCount(); ++i) {
            SCOPED_TRACE(i);
            grabber->CurrentTrack(i);
            EXPECT_EQ(grabber->trackStartSector(), c.starts[i]);
            EXPECT_EQ(grabber->trackSectors(), c.sectors[i]);
            EXPECT_EQ(grabber->trackPregapSectors(), c.pregaps[i]);
            EXPECT_EQ(grabber->TrackAlbum(), c.album);
            EXPECT_EQ(grabber->TrackArtist(), c.artist);
            EXPECT_EQ(grabber->TrackGenre(), c.genre);
            EXPECT_EQ(grabber->TrackYear(), c.year);
            std::vector<std::int16_t> expectedAudio;
            for (const auto& [from, count] : c.pieces[i])
                expectedAudio = concat(expectedAudio, from < 0 ? silence(count)
                                                               : discSectors(source, from, count));
            const QString out = path(QStringLiteral("hand%1.wav").arg(i));
            ASSERT_TRUE(grab(*grabber, i, out).completed);
            EXPECT_EQ(mismatchAt(decode(out), expectedAudio), -1);
            QFile::remove(out);
        }
    }
}

class DiscIds : public GrabberTest
{
protected:
    // A cue sheet with tracks at the given INDEX 01 sectors over a sparse BIN ending at leadOut.
    QString sparseDisc(const QString& name, const QList<int>& starts, int leadOut)
    {
        QFile bin(path(name + QStringLiteral(".bin")));
        EXPECT_TRUE(bin.open(QIODevice::WriteOnly) && bin.resize(qint64{leadOut} * 2352));
        QByteArray cue = "FILE \"" + name.toUtf8() + ".bin\" BINARY\n";
        const auto msf = [](int sector) {
            return QStringLiteral("%1:%2:%3")
                .arg(sector / 4500, 2, 10, QChar(u'0'))
                .arg(sector / 75 % 60, 2, 10, QChar(u'0'))
                .arg(sector % 75, 2, 10, QChar(u'0'))
                .toUtf8();
        };
        for (qsizetype i = 0; i < starts.size(); ++i) {
            cue += QStringLiteral("  TRACK %1 AUDIO\n").arg(i + 1, 2, 10, QChar(u'0')).toUtf8();
            if (i == 0 && starts[0] > 0)
                cue += "    INDEX 00 00:00:00\n";
            cue += "    INDEX 01 " + msf(starts[i]) + "\n";
        }
        writeAll(path(name + QStringLiteral(".cue")), cue);
        return path(name + QStringLiteral(".cue"));
    }

    static FreeDBDisc discOf(const QString& sheet)
    {
        EnvGuard drives{"TUNECREST_IMAGE_DRIVES"};
        TAudioCDGrabber2 grabber(std::make_unique<WavAudioFile>());
        grabber.CurrentDevice(grabber.addImageDrive(sheet));
        grabber.ReadDisc();
        return grabber.freeDBDisc();
    }
};

// The examples the MusicBrainz and AccurateRip documentation work through, and an Enhanced CD:
// CDDB counts its data track, MusicBrainz ends the disc 11400 sectors before it, AccurateRip
// leaves it out but ends the disc after it.
TEST_F(DiscIds, FollowThePublishedRules)
{
    const FreeDBDisc musicBrainz =
        discOf(sparseDisc(QStringLiteral("mb"), {0, 15213, 32164, 46442, 63264, 80339}, 95312));
    EXPECT_EQ(musicBrainzDisc(musicBrainz).id, QStringLiteral("49HHV7Eb8UKF3aQiNmu1GR8vKTY-"));

    const FreeDBDisc accurateRip = discOf(
        sparseDisc(QStringLiteral("ar"),
                   {20, 27995, 55030, 73782, 88725, 115730, 140640, 156397, 181252}, 232432));
    EXPECT_EQ(accurateRipDiscId(accurateRip).text(),
              QStringLiteral("009-00105b83-0077b665-8b0c1b09"));

    DiscFixture::DiscLayout enhanced = DiscFixture::audioDisc({300, 450});
    enhanced.dataTrackSectors = 600;
    const FreeDBDisc withData = discOf(makeDisc(QStringLiteral("enhanced"), enhanced));
    const FreeDBDisc audioOnly =
        discOf(makeDisc(QStringLiteral("audio"), DiscFixture::audioDisc({300, 450})));
    EXPECT_EQ(withData.leadOut, 150 + 750 + 11400 + 600);
    EXPECT_EQ(Cddb::discId(withData) & 0xFF, 3u);
    EXPECT_EQ(musicBrainzDisc(withData).id, musicBrainzDisc(audioOnly).id);
    const AccurateRipDiscId arEnhanced = accurateRipDiscId(withData);
    EXPECT_EQ(arEnhanced.trackCount, 2);
    EXPECT_EQ(arEnhanced.id1, 0u + 300 + 750 + 11400 + 600);
    EXPECT_EQ(arEnhanced.id2, 1u + 300 * 2 + (750 + 11400 + 600) * 3);
}

// The cue sheet a rip writes beside its FLAC and WAVE files (pregaps at the end of the file
// before) opens as the disc it was ripped from.
TEST_F(DiscIds, ARipsCueSheetReadsBackAsTheDisc)
{
    DiscFixture::DiscLayout layout = DiscFixture::audioDisc({300, 377, 450});
    layout.pregapSectors = {{2, 75}, {3, 32}};
    auto original = grabberFor({makeDisc(QStringLiteral("original"), layout)});
    original->ReadDisc();
    QDir().mkpath(path(QStringLiteral("rip/Artist")));
    RipRecord rip;
    for (int i = 0; i < 3; ++i) {
        const QString wav = path(QStringLiteral("rip/Artist/%1 Song.wav").arg(i + 1));
        ASSERT_TRUE(grab(*original, i, wav).completed);
        RipTrackRecord track;
        track.toc = {i + 1, original->trackStartSector(), original->trackSectors(),
                     original->trackPregapSectors()};
        track.title = QStringLiteral("Song %1").arg(i + 1);
        track.file = wav;
        // The second file as FLAC, encoded by the flac tool.
        if (i == 1) {
            track.file = path(QStringLiteral("rip/Artist/2 Song.flac"));
            QProcess flac;
            flac.start(QStringLiteral("flac"),
                       {QStringLiteral("-s"), QStringLiteral("-o"), track.file, wav});
            ASSERT_TRUE(flac.waitForFinished(30000) && flac.exitCode() == 0);
        }
        rip.toc.append(track.toc);
        rip.tracks.append(track);
    }
    const QString sheet = path(QStringLiteral("rip/Album.cue"));
    writeAll(sheet, cueSheetText(rip, path(QStringLiteral("rip"))).toUtf8());

    const ElsewhereFolder elsewhere;
    auto ripped = grabberFor({sheet});
    ripped->ReadDisc();
    ASSERT_EQ(ripped->TrackCount(), 3);
    EXPECT_EQ(ripped->freeDBDisc(), original->freeDBDisc());
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const QString again = path(QStringLiteral("again%1.wav").arg(i + 1));
        ASSERT_TRUE(grab(*ripped, i, again).completed);
        EXPECT_EQ(ripped->trackPregapSectors(), rip.toc[i].pregapSectors);
        EXPECT_EQ(mismatchAt(decode(again),
                             decode(path(QStringLiteral("rip/Artist/%1 Song.wav").arg(i + 1)))),
                  -1);
    }
}

class HostileSheets : public GrabberTest
{
protected:
    void SetUp() override
    {
        // One second of audio as a BIN and a WAVE file, and a WAVE file of the wrong kind.
        std::vector<std::int16_t> second(75 * 588 * 2);
        DiscFixture::discAudio(DiscFixture::audioDisc({75}), 0, second);
        DiscFixture::writeAudioFile(path(QStringLiteral("ok.wav")).toStdString(), second,
                                    DiscFixture::AudioFileKind::Wave);
        writeAll(
            path(QStringLiteral("ok.bin")),
            QByteArray(reinterpret_cast<const char*>(second.data()), qsizetype(second.size() * 2)));
        QByteArray mono = readAll(path(QStringLiteral("ok.wav")));
        mono[22] = 1;                                      // channels
        qToLittleEndian<quint32>(22050, mono.data() + 24); // sample rate
        writeAll(path(QStringLiteral("mono.wav")), mono);
    }

    QString readDiscError(const QString& sheet)
    {
        auto grabber = grabberFor({sheet});
        try {
            grabber->ReadDisc();
        } catch (const ComponentError& error) {
            return error.message();
        }
        return QStringLiteral("no error");
    }
};

TEST_F(HostileSheets, AreRefusedNamingTheSheetAndLine)
{
    struct Case
    {
        const char* name;
        QByteArray text;
        int line;         // 0: the message names no line
        QString expected; // what the message says after the sheet's name (and line)
    };
    const QByteArray bin = "FILE \"ok.bin\" BINARY\n  TRACK 01 AUDIO\n";
    const QList<Case> cases{
        {"track.cue", "TRACK 01 AUDIO\n", 1, QStringLiteral("TRACK comes before any FILE")},
        {"gap.cue", bin + "INDEX 01 00:00:00\nTRACK 03 AUDIO\n", 4,
         QStringLiteral("track 3 follows track 1")},
        {"seconds.cue", bin + "INDEX 01 00:62:00\n", 3,
         QStringLiteral("INDEX needs a time as mm:ss:ff")},
        {"back.cue", bin + "INDEX 00 00:00:10\nINDEX 01 00:00:00\n", 4,
         QStringLiteral("INDEX 01 lies before")},
        {"order.cue", bin + "INDEX 02 00:00:00\n", 3, QStringLiteral("INDEX 02 is out of order")},
        {"noindex.cue", bin + "TRACK 02 AUDIO\n", 3, QStringLiteral("track 1 has no INDEX 01")},
        {"flag.cue", bin + "FLAGS PRE XYZ\n", 3, QStringLiteral("unknown flag XYZ")},
        {"isrc.cue", bin + "ISRC 123\n", 3, QStringLiteral("ISRC 123 is not 12 letters")},
        {"long.cue", bin + "INDEX 01 9999:00:00\n", 3,
         QStringLiteral("the image would be longer than any CD")},
        {"mp3.cue", "FILE \"song.mp3\" MP3\n", 1, QStringLiteral("song.mp3 is an MP3 file")},
        {"notwave.cue", "FILE \"ok.bin\" WAVE\n", 1,
         QStringLiteral("ok.bin is neither a WAVE nor a FLAC")},
        {"mono.cue", "FILE \"mono.wav\" WAVE\n", 1,
         QStringLiteral(
             "is a WAVE file of 22050 Hz, 16 bits, 1 channel(s); only 44100 Hz 16-bit stereo")},
        {"sizes.cue",
         "FILE ok.bin BINARY\nTRACK 01 MODE1/2048\nINDEX 01 00:00:00\nTRACK 02 AUDIO\n", 4,
         QStringLiteral("track 2 has sectors of 2352 bytes in a file with sectors of 2048")},
        {"data.cue", "FILE \"ok.wav\" WAVE\nTRACK 01 MODE1/2352\n", 2,
         QStringLiteral("data track 1 lies in an audio file")},
        {"word.cue", "HELLO world\n", 1, QStringLiteral("unknown command HELLO")},
        {"start.toc", "CD_DA\nTRACK AUDIO\nFILE \"ok.wav\" 0 00:01:00\nSTART 00:02:00\n", 4,
         QStringLiteral("the track's START lies past its end")},
        {"mode.toc", "CD_DA\nTRACK SOMETHING\n", 2, QStringLiteral("TRACK needs a mode")},
        {"string.toc", "CD_DA\nTRACK AUDIO\nFILE \"ok.wav 0\n", 3,
         QStringLiteral("a string is not closed")},
        {"datafile.toc", "CD_ROM\nTRACK MODE1\nFILE \"ok.bin\" 0\n", 3,
         QStringLiteral("an audio FILE lies in a data track")},
        {"fifo.toc", "CD_DA\nTRACK AUDIO\nFIFO \"x\" 0\n", 3,
         QStringLiteral("FIFO sources cannot be read")},
        {"text.toc", "CD_DA\nCD_TEXT { LANGUAGE 0 {\n TITLE \"x\"\n", 3,
         QStringLiteral("is not closed")},
        {"nest.toc",
         "CD_DA\nCD_TEXT { LANGUAGE 0 { SIZE_INFO " + QByteArray(40, '{') + QByteArray(40, '}') +
             " } }\n",
         2, QStringLiteral("braces nest too deep")},
        {"many.toc", "CD_DA\n" + QByteArray("TRACK AUDIO\nSILENCE 00:01:00\n").repeated(100), 200,
         QStringLiteral("a disc holds at most 99 tracks")},
        {"gone.cue", "FILE \"sub\\gone.wav\" WAVE\n", 0,
         QStringLiteral(" names ") + path(QStringLiteral("sub/gone.wav")) +
             QStringLiteral(", which does not exist.")},
        {"empty.cue", "REM nothing here\n", 0, QStringLiteral(" names no data file.")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString sheet = path(QString::fromLatin1(c.name));
        writeAll(sheet, c.text);
        const QString message = readDiscError(sheet);
        const QString prefix = QStringLiteral("The disc image ") + sheet +
                               (c.line > 0 ? QStringLiteral(", line %1: ").arg(c.line) : QString());
        EXPECT_TRUE(message.startsWith(prefix) && message.contains(c.expected))
            << message.toStdString();
    }
}

// Sheets in every style with random damage: each opens or is refused with a ComponentError
// naming it; nothing crashes (the sanitizer build watches) or hangs.
TEST_F(HostileSheets, MutatedSheetsOpenOrAreRefused)
{
    ::alarm(300);
    DiscFixture::DiscLayout layout = enhancedDisc();
    layout.tracks = {{40, "Eins", {}}, {30, {}, {}}};
    layout.pregapSectors = {{1, 10}, {2, 5}};
    layout.isrcs.clear();
    layout.dataTrackSectors = 20;
    QList<QByteArray> seeds;
    for (ImageStyle style : {ImageStyle::BinCue, ImageStyle::FlacPerTrackCue, ImageStyle::TocWave,
                             ImageStyle::TocRaw}) {
        const QString sheet = makeImage(QStringLiteral("seed%1").arg(seeds.size()), layout, style);
        seeds.append(readAll(sheet));
    }
    const QByteArray pieces[] = {"INDEX 01 99:59:74\n",
                                 "TRACK 99 AUDIO\n",
                                 "FILE \"ok.wav\" WAVE\n",
                                 "PREGAP 00:02:00\n",
                                 "POSTGAP 00:00:01\n",
                                 "START\n",
                                 "{",
                                 "}",
                                 "\"",
                                 "#999999999999 ",
                                 "SILENCE 4294967297\n",
                                 "\\",
                                 "TRACK MODE2_FORM_MIX RW_RAW\n",
                                 "ZERO 00:00:01\n",
                                 "DATAFILE \"ok.bin\" 1\n",
                                 "REM DATE \"\n",
                                 "\xEF\xBB\xBF",
                                 "\xC3(",
                                 "\n",
                                 "00:00:00 "};
    std::mt19937 random(20240613);
    int opened = 0;
    int refused = 0;
    for (int round = 0; round < 400; ++round) {
        const int seed = round % int(seeds.size());
        QList<QByteArray> lines = seeds.at(seed).split('\n');
        for (int edits = 1 + int(random() % 2); edits > 0; --edits) {
            const auto line = qsizetype(random() % std::uint32_t(lines.size()));
            QByteArray& text = lines[line];
            switch (random() % 6) {
            case 0:
                lines.insert(line, pieces[random() % std::size(pieces)]);
                break;
            case 1:
                lines.removeAt(line);
                break;
            case 2:
                lines.insert(line, text);
                break;
            case 3:
                for (char& c : text) {
                    if (c >= '0' && c <= '9' && random() % 3 == 0)
                        c = char('0' + random() % 10);
                }
                break;
            case 4:
                if (!text.isEmpty())
                    text[qsizetype(random() % std::uint32_t(text.size()))] = char(random() % 256);
                break;
            default:
                text.truncate(qsizetype(random() % std::uint32_t(text.size() + 1)));
            }
            if (lines.isEmpty())
                lines.append(QByteArray());
        }
        const QByteArray text = lines.join('\n');
        const QString sheet =
            path(seed == 2 || seed == 3 ? QStringLiteral("fuzz.toc") : QStringLiteral("fuzz.cue"));
        writeAll(sheet, text);
        auto grabber = grabberFor({sheet});
        try {
            grabber->ReadDisc();
            for (int i = 0; i < grabber->TrackCount(); ++i) {
                grabber->CurrentTrack(i);
                grabber->BeginRead();
                grabber->ReadBlock(1);
                grabber->EndRead();
            }
            ++opened;
        } catch (const ComponentError& error) {
            EXPECT_TRUE(error.message().contains(sheet)) << error.message().toStdString();
            ++refused;
        }
        QFile::remove(sheet);
    }
    EXPECT_GT(opened, 20);
    EXPECT_GT(refused, 20);
    ::alarm(0);
}

} // namespace
