#include "base/ComponentError.h"
#include "cli/CliOptions.h"
#include "cli/ProgressReporter.h"
#include "components/audiofile/QueuedAudioFile.h"

#include <QFile>

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

namespace {

TEST(TrackListTest, RangesAndSingleTracks)
{
    EXPECT_EQ(parseTrackList(QStringLiteral("1,3-5")), (QList<int>{1, 3, 4, 5}));
    EXPECT_EQ(parseTrackList(QStringLiteral("4, 2 ,4,1-2")), (QList<int>{4, 2, 1}));
    for (const char* bad : {"", "0", "5-3", "1,,2", "1-2-3", "a", "-2", "3-", "1-5000"})
        EXPECT_FALSE(parseTrackList(QLatin1StringView(bad))) << bad;
}

TEST(CliOptionsTest, ValuesInlineOrSeparate)
{
    const ParsedOptions parsed = parseCliOptions(
        {QStringLiteral("tunecrest-rip"), QStringLiteral("--format=ogg"), QStringLiteral("-t"),
         QStringLiteral("2"), QStringLiteral("--scheme"), QStringLiteral("Artist-Album"),
         QStringLiteral("-j"), QStringLiteral("3"), QStringLiteral("-q")});
    ASSERT_TRUE(parsed.error.isEmpty()) << parsed.error.toStdString();
    EXPECT_EQ(parsed.options.outputFormat, OutputFormatNumber::OggVorbis);
    EXPECT_EQ(parsed.options.tracks, QList<int>{2});
    EXPECT_EQ(parsed.options.scheme, 3);
    EXPECT_EQ(parsed.options.jobs, 3);
    EXPECT_TRUE(parsed.options.quiet);
    EXPECT_FALSE(
        parseCliOptions({QStringLiteral("x"), QStringLiteral("--quiet=1")}).error.isEmpty());
    EXPECT_FALSE(parseCliOptions({QStringLiteral("x"), QStringLiteral("-f")}).error.isEmpty());

    // A short option's value may be attached; a long one's only after "=".
    const ParsedOptions attached =
        parseCliOptions({QStringLiteral("x"), QStringLiteral("-j1"), QStringLiteral("-t2-3"),
                         QStringLiteral("-fmp3")});
    ASSERT_TRUE(attached.error.isEmpty()) << attached.error.toStdString();
    EXPECT_EQ(attached.options.jobs, 1);
    EXPECT_EQ(attached.options.tracks, (QList<int>{2, 3}));
    EXPECT_EQ(attached.options.outputFormat, OutputFormatNumber::Mp3);
    EXPECT_FALSE(parseCliOptions({QStringLiteral("x"), QStringLiteral("-qj1")}).error.isEmpty());
    EXPECT_FALSE(parseCliOptions({QStringLiteral("x"), QStringLiteral("--jobs1")}).error.isEmpty());
}

TEST(CliOptionsTest, ReadOffsetWithinThreeThousandSamplesEitherWay)
{
    const ParsedOptions parsed =
        parseCliOptions({QStringLiteral("x"), QStringLiteral("--offset"), QStringLiteral("-30"),
                         QStringLiteral("--verify"), QStringLiteral("--find-offset")});
    ASSERT_TRUE(parsed.error.isEmpty()) << parsed.error.toStdString();
    EXPECT_EQ(parsed.options.offset, -30);
    EXPECT_TRUE(parsed.options.verify);
    EXPECT_TRUE(parsed.options.findOffset);
    EXPECT_TRUE(parsed.options.accurateRip);
    EXPECT_EQ(
        parseCliOptions({QStringLiteral("x"), QStringLiteral("--offset=3000")}).options.offset,
        3000);
    EXPECT_FALSE(parseCliOptions({QStringLiteral("x"), QStringLiteral("--no-accuraterip")})
                     .options.accurateRip);
    for (const char* bad : {"3001", "-3001", "6a", ""})
        EXPECT_FALSE(parseCliOptions(
                         {QStringLiteral("x"), QStringLiteral("--offset"), QLatin1StringView(bad)})
                         .error.isEmpty())
            << bad;
}

TEST(ProgressReporterTest, TerminalLineIsClearedAndShowsTheWholeRip)
{
    QString out, err;
    QTextStream outStream(&out), errStream(&err);
    ProgressReporter reporter(outStream, errStream, false, true);
    RipTrack track;
    track.number = 3;
    track.caption = QStringLiteral("Evil\x1b[2J");
    reporter.trackProgress(track, 50, 95.7, {1, 4, 37.5, -1});
    reporter.trackProgress(track, 60, 9.5, {1, 4, 40, 3725});
    outStream.flush();
    // Every redraw clears the line first, so a shorter one leaves nothing of the last behind.
    EXPECT_EQ(out.count(QStringLiteral("\r\x1b[K")), 2);
    EXPECT_TRUE(out.contains(QStringLiteral("[1/4 tracks, 38%]"))) << out.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("[1/4 tracks, 40%, 1:02:05 left]")));
    // The title's own escape sequence is never sent.
    EXPECT_TRUE(out.contains(QStringLiteral("\"Evil?[2J\"")));
    EXPECT_EQ(out.count(u'\x1b'), 2);
    EXPECT_EQ(formatDuration(125.4), QStringLiteral("2:05"));
    EXPECT_EQ(printable(QStringLiteral("a\tb\u0085c")), QStringLiteral("a?b?c"));
}

TEST(ProgressReporterTest, FailedOutputIsReportedOnce)
{
    QFile full(QStringLiteral("/dev/full"));
    ASSERT_TRUE(full.open(QIODevice::WriteOnly));
    QTextStream outStream(&full);
    QString err;
    QTextStream errStream(&err);
    ProgressReporter reporter(outStream, errStream, false, false);
    int closed = 0;
    reporter.setOutputClosedHandler([&] { ++closed; });
    RipTrack track;
    reporter.trackStarted(track);
    reporter.trackEncoding(track);
    EXPECT_EQ(closed, 1);
}

// Records what reaches it; fails the write that brings it past failAfter samples.
class RecordingFile final : public IAudioFile2
{
public:
    void Close() override { open_ = false; }
    void SetWaveFormat(int, int, int) override {}
    void SetMp3Encoder(IAudioFile2LameEnc*) override {}
    void SetOggVorbisFormat(int, int, int, int, int, int) override {}
    void SetWmaFormat(int) override {}
    void SetFlacFormat(int, bool) override {}
    void SetOpusFormat(int) override {}
    void SetAacFormat(int) override {}
    void measureReplayGain(bool) override {}
    std::unique_ptr<ReplayGainMeter> takeReplayGainMeter() override { return nullptr; }
    bool IsOpen() const override { return open_; }
    void OptionFlag(int) override {}
    void open(const QString&) override { open_ = true; }
    void write(std::span<const std::int16_t> samples) override
    {
        if (samples_.size() + samples.size() > failAfter)
            throw ComponentError(QStringLiteral("disk full"));
        samples_.insert(samples_.end(), samples.begin(), samples.end());
    }

    std::atomic<bool> open_ = false;
    std::vector<std::int16_t> samples_;
    std::size_t failAfter = SIZE_MAX;
};

TEST(QueuedAudioFileTest, EverySampleArrivesInOrderBeforeClose)
{
    auto recording = std::make_unique<RecordingFile>();
    RecordingFile& inner = *recording;
    QueuedAudioFile file(std::move(recording));
    file.open(QStringLiteral("x"));
    std::vector<std::int16_t> expected;
    for (int piece = 0; piece < 200; ++piece) {
        std::vector<std::int16_t> samples(1000 + piece);
        for (std::size_t i = 0; i < samples.size(); ++i)
            samples[i] = static_cast<std::int16_t>(expected.size() + i);
        expected.insert(expected.end(), samples.begin(), samples.end());
        file.write(samples);
    }
    file.Close();
    EXPECT_FALSE(inner.IsOpen());
    EXPECT_EQ(inner.samples_, expected);
}

TEST(QueuedAudioFileTest, EncoderErrorIsRaisedAndTheFileClosed)
{
    auto recording = std::make_unique<RecordingFile>();
    RecordingFile& inner = *recording;
    inner.failAfter = 5000;
    QueuedAudioFile file(std::move(recording));
    file.open(QStringLiteral("x"));
    const std::vector<std::int16_t> piece(1000);
    bool raised = false;
    try {
        for (int i = 0; i < 100; ++i)
            file.write(piece);
        file.Close();
    } catch (const ComponentError& e) {
        raised = true;
        EXPECT_EQ(e.message(), QStringLiteral("disk full"));
    }
    EXPECT_TRUE(raised);
    if (inner.IsOpen()) {
        EXPECT_THROW(file.Close(), ComponentError);
    }
    EXPECT_FALSE(inner.IsOpen());
    EXPECT_LE(inner.samples_.size(), 5000u);
}

} // namespace
