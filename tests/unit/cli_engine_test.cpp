#include "cli/CliOptions.h"
#include "cli/QueuedAudioFile.h"
#include "components/ComponentError.h"

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
    EXPECT_EQ(parsed.options.outputFormat, 3);
    EXPECT_EQ(parsed.options.tracks, QList<int>{2});
    EXPECT_EQ(parsed.options.scheme, 3);
    EXPECT_EQ(parsed.options.jobs, 3);
    EXPECT_TRUE(parsed.options.quiet);
    EXPECT_FALSE(
        parseCliOptions({QStringLiteral("x"), QStringLiteral("--quiet=1")}).error.isEmpty());
    EXPECT_FALSE(parseCliOptions({QStringLiteral("x"), QStringLiteral("-f")}).error.isEmpty());
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
