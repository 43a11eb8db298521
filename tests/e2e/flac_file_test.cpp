#include "base/ComponentError.h"
#include "components/audiofile/TAudioFile2.h"
#include "rip/WriteTags.h"
#include "support/MediaProbe.h"
#include "support/TempDir.h"
#include "support/TestSignal.h"

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
