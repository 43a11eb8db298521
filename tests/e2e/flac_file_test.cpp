#include "base/ComponentError.h"
#include "components/audiofile/TAudioFile2.h"
#include "components/audiofile/TAudioFile2LameEnc.h"
#include "rip/WriteTags.h"
#include "support/MediaProbe.h"
#include "support/TempDir.h"
#include "support/TestSignal.h"

#include <QDir>
#include <QProcess>

#include <gtest/gtest.h>

namespace {

constexpr int CdRate = 44100;

struct ToolOutput
{
    bool ok = false;
    QString text;
};

// The reference tools of the format: flac tests a file, metaflac lists its blocks.
ToolOutput runTool(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    const bool finished = process.waitForFinished(60000);
    return {finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0,
            QString::fromUtf8(process.readAll())};
}

class FlacFileTest : public TempDirTest
{
protected:
    /// Writes the test signal in pieces of the given sizes, in turn, and closes.
    QString encode(const QString& name, int frames, std::vector<int> pieces, int level = 5,
                   bool verify = false)
    {
        const QString file = path(name);
        m_source = cdTestSignal(frames);
        TAudioFile2 audioFile;
        audioFile.SetFlacFormat(level, verify);
        audioFile.open(file);
        for (std::size_t done = 0, i = 0; done < m_source.size() / 2; ++i) {
            const std::size_t count =
                std::min<std::size_t>(pieces[i % pieces.size()], m_source.size() / 2 - done);
            audioFile.write(std::span(m_source).subspan(done * 2, count * 2));
            done += count;
        }
        audioFile.Close();
        return file;
    }

    std::vector<std::int16_t> m_source;
};

TEST_F(FlacFileTest, DecodesToTheSamplesItWasGivenWithAFilledSeekTable)
{
    const int frames = 25 * CdRate + 1234; // three seek points and an odd last block
    for (const auto& [level, verify] : {std::pair{0, false}, std::pair{5, true}, {8, false}}) {
        SCOPED_TRACE(level);
        const QString file = encode(QStringLiteral("level%1.flac").arg(level), frames, {588});
        const auto info = MediaProbe::probe(file);
        ASSERT_TRUE(info);
        EXPECT_EQ(info->codecName, QStringLiteral("flac"));
        EXPECT_EQ(info->sampleRate, CdRate);
        EXPECT_EQ(info->channels, 2);
        EXPECT_EQ(MediaProbe::decode(file), m_source);
        const ToolOutput test = runTool(QStringLiteral("flac"), {QStringLiteral("-t"), file});
        EXPECT_TRUE(test.ok) << test.text.toStdString();

        const ToolOutput seek =
            runTool(QStringLiteral("metaflac"),
                    {QStringLiteral("--list"), QStringLiteral("--block-type=SEEKTABLE"), file});
        ASSERT_TRUE(seek.ok) << seek.text.toStdString();
        EXPECT_TRUE(seek.text.contains(QStringLiteral("seek points: 3")))
            << seek.text.toStdString();
        EXPECT_FALSE(seek.text.contains(QStringLiteral("PLACEHOLDER"))) << seek.text.toStdString();
    }
}

TEST_F(FlacFileTest, SameAudioInOtherPiecesGivesTheSameBytes)
{
    const QString a = encode(QStringLiteral("a.flac"), 3 * CdRate, {588});
    const QString b = encode(QStringLiteral("b.flac"), 3 * CdRate, {4096 * 3, 7, 1});
    EXPECT_EQ(readAll(a), readAll(b));
}

TEST_F(FlacFileTest, TagStepWritesVorbisCommentsWithoutMovingTheAudio)
{
    const QString file = encode(QStringLiteral("t.flac"), 2 * CdRate, {588});
    const QByteArray before = readAll(file);
    TagRecord tag{QStringLiteral("Café Müller"),
                  QStringLiteral("Art/Pop"),
                  QStringLiteral("Live: Bootleg"),
                  QStringLiteral("1999"),
                  QStringLiteral("Rock"),
                  QStringLiteral("a comment"),
                  2,
                  11,
                  {},
                  {},
                  {}};
    WriteTags(file, tag);
    // A second run replaces the fields rather than adding to them; an empty one goes.
    tag.comment.clear();
    tag.title = QStringLiteral("Café Müller (live)");
    WriteTags(file, tag);

    const QByteArray after = readAll(file);
    ASSERT_EQ(after.size(), before.size());
    const qsizetype audioStart = before.size() - 2 * CdRate; // far past the metadata
    EXPECT_EQ(after.mid(audioStart), before.mid(audioStart));

    const ToolOutput tags =
        runTool(QStringLiteral("metaflac"), {QStringLiteral("--export-tags-to=-"), file});
    ASSERT_TRUE(tags.ok) << tags.text.toStdString();
    EXPECT_EQ(tags.text,
              QStringLiteral("TITLE=Café Müller (live)\nARTIST=Art/Pop\nALBUM=Live: Bootleg\n"
                             "DATE=1999\nGENRE=Rock\nTRACKNUMBER=2\nTRACKTOTAL=11\n"));
    EXPECT_TRUE(runTool(QStringLiteral("flac"), {QStringLiteral("-t"), file}).ok);
    EXPECT_EQ(MediaProbe::decode(file), m_source);
}

// The tag step in every format: album artist, the track's number among the disc's tracks, and
// the ReplayGain values, the album's added afterwards to the named file, as ffprobe reads them.
TEST_F(FlacFileTest, EveryFormatTakesAlbumArtistTrackTotalAndReplayGain)
{
    const QStringList upper{QStringLiteral("REPLAYGAIN_TRACK_GAIN=-3.21 dB"),
                            QStringLiteral("REPLAYGAIN_TRACK_PEAK=0.500000"),
                            QStringLiteral("REPLAYGAIN_ALBUM_GAIN=1.50 dB"),
                            QStringLiteral("REPLAYGAIN_ALBUM_PEAK=0.900000")};
    const QStringList lower = QStringList(upper)
                                  .replaceInStrings(u"REPLAYGAIN", u"replaygain")
                                  .replaceInStrings(u"_TRACK_", u"_track_")
                                  .replaceInStrings(u"_ALBUM_", u"_album_")
                                  .replaceInStrings(u"_GAIN", u"_gain")
                                  .replaceInStrings(u"_PEAK", u"_peak");
    // Opus: Q7.8 relative to -23 LUFS, so (-3.214 - 5) * 256 and (1.5 - 5) * 256.
    const QStringList r128{QStringLiteral("R128_TRACK_GAIN=-2103"),
                           QStringLiteral("R128_ALBUM_GAIN=-896")};
    const QStringList vorbisTrack{QStringLiteral("track=3"), QStringLiteral("TRACKTOTAL=12")};
    struct Case
    {
        const char* name;
        std::function<void(TAudioFile2&)> choose;
        QStringList expected; // key=value as ffprobe shows them (album_artist for every format)
    };
    TAudioFile2LameEnc lame;
    const Case cases[] = {
        {"t.mp3", [&](TAudioFile2& f) { f.SetMp3Encoder(&lame); },
         QStringList{QStringLiteral("album_artist=Various"), QStringLiteral("track=3/12")} + upper},
        {"t.ogg", [](TAudioFile2& f) { f.SetOggVorbisFormat(44100, 2, 128, 0, 0, -1); },
         QStringList{QStringLiteral("album_artist=Various")} + vorbisTrack + upper},
        {"t.flac", [](TAudioFile2& f) { f.SetFlacFormat(5, false); },
         QStringList{QStringLiteral("album_artist=Various")} + vorbisTrack + upper},
        {"t.m4a", [](TAudioFile2& f) { f.SetAacFormat(192); },
         QStringList{QStringLiteral("album_artist=Various"), QStringLiteral("track=3/12")} + lower},
        {"t.wma", [](TAudioFile2& f) { f.SetWmaFormat(10); },
         QStringList{QStringLiteral("album_artist=Various"), QStringLiteral("track=3")} + lower},
        {"t.opus", [](TAudioFile2& f) { f.SetOpusFormat(96); },
         QStringList{QStringLiteral("album_artist=Various")} + vorbisTrack + r128},
    };
    TagRecord tag;
    tag.title = QStringLiteral("Song");
    tag.albumArtist = QStringLiteral("Various");
    tag.trackNumber = 3;
    tag.trackCount = 12;
    tag.replayGain.setTrack({-3.214, 0.5});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString file = path(QLatin1String(c.name));
        TAudioFile2 audioFile;
        c.choose(audioFile);
        audioFile.open(file);
        audioFile.write(cdTestSignal(CdRate));
        audioFile.Close();
        const QByteArray audio = MediaProbe::decodeBytes(file);
        WriteTags(file, tag);
        TagRecord withAlbum = tag;
        withAlbum.replayGain.setAlbum({1.5, 0.9});
        RewriteTags(file, withAlbum);

        const MediaProbe::TagList tags = MediaProbe::tags(file);
        EXPECT_EQ(MediaProbe::tag(tags, QStringLiteral("title")), QStringLiteral("Song"));
        for (const QString& expected : c.expected) {
            const QString key = expected.section(u'=', 0, 0);
            EXPECT_EQ(QString(key + u'=' + MediaProbe::tag(tags, key)), expected);
        }
        EXPECT_EQ(MediaProbe::decodeBytes(file), audio);
    }
    // A cover larger than the padding: the FLAC file is written anew, still through a sibling.
    TagRecord covered = tag;
    covered.picture = QByteArray(20000, 'p');
    covered.pictureType = QStringLiteral("image/png");
    const QString flac = path(QStringLiteral("t.flac"));
    const QByteArray audio = MediaProbe::decodeBytes(flac);
    RewriteTags(flac, covered);
    const ToolOutput pictures =
        runTool(QStringLiteral("metaflac"),
                {QStringLiteral("--list"), QStringLiteral("--block-type=PICTURE"), flac});
    EXPECT_TRUE(pictures.text.contains(QStringLiteral("data length: 20000")))
        << pictures.text.toStdString();
    EXPECT_TRUE(runTool(QStringLiteral("flac"), {QStringLiteral("-t"), flac}).ok);
    EXPECT_EQ(MediaProbe::decodeBytes(flac), audio);
    // No sibling of a rewrite is left.
    EXPECT_EQ(QDir(root()).entryList(QDir::Files | QDir::Hidden).size(), std::size(cases));
}

TEST_F(FlacFileTest, BadLevelIsRefusedAndNoFlacFileIsNoTagTarget)
{
    TAudioFile2 audioFile;
    EXPECT_THROW(audioFile.SetFlacFormat(9, false), ComponentError);
    EXPECT_THROW(audioFile.SetFlacFormat(-1, false), ComponentError);
    EXPECT_THROW(audioFile.open(path(QStringLiteral("x.flac"))), ComponentError);
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("x.flac"))));

    const QString notFlac = path(QStringLiteral("not.flac"));
    writeAll(notFlac, QByteArray(5000, 'x'));
    EXPECT_THROW(WriteTags(notFlac, TagRecord{}), ComponentError);
    EXPECT_EQ(readAll(notFlac), QByteArray(5000, 'x'));
}

} // namespace
