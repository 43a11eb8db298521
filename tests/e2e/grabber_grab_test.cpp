// Grabbing and block reading from disc images through the real libcdio and libcdio-paranoia.

#include "GrabberTestSupport.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

namespace {

constexpr int SectorBytes = DiscFixture::SectorBytes;

class GrabEveryMode : public GrabberTest, public ::testing::WithParamInterface<int>
{
};

TEST_P(GrabEveryMode, GivesBitExactPcmOfEveryTrack)
{
    const std::vector<int> lengths{150, 377, 1201};
    auto grabber = grabberFor({makeDisc(QStringLiteral("disc"), DiscFixture::audioDisc(lengths))});
    grabber->GrabMode(GetParam());
    grabber->ReadDisc();
    ASSERT_EQ(grabber->TrackCount(), 3);

    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const QString out = path(QStringLiteral("track%1.wav").arg(i + 1));
        const GrabOutcome outcome = grab(*grabber, i, out);
        ASSERT_TRUE(outcome.completed) << outcome.failure.toStdString();
        EXPECT_EQ(outcome.progress.count(100.0), 1);
        EXPECT_TRUE(std::is_sorted(outcome.progress.begin(), outcome.progress.end()));
        const auto samples = decode(out);
        EXPECT_EQ(samples.size(), expected(i + 1, 0, lengths[i]).size());
        EXPECT_EQ(mismatchAt(samples, expected(i + 1, 0, lengths[i])), -1);
    }
}

INSTANTIATE_TEST_SUITE_P(Burst_Synch_Secure_Paranoid, GrabEveryMode, ::testing::Values(0, 1, 2, 3));

class Grab : public GrabberTest
{
};

TEST_F(Grab, AbortStopsTheWorkerAndNothingMoreIsWritten)
{
    const int sectors = 75 * 60 * 3;
    auto grabber =
        grabberFor({makeDisc(QStringLiteral("long"), DiscFixture::audioDisc({sectors}))});
    grabber->GrabMode(2);
    grabber->ReadDisc();
    WavAudioFile& wav = wavOf(*grabber);
    wav.setWriteDelay(std::chrono::milliseconds(10));

    QSignalSpy progress(grabber.get(), &IAudioCDGrabber2::OnOperationProgress);
    QSignalSpy failed(grabber.get(), &IAudioCDGrabber2::grabFailed);
    const QString out = path(QStringLiteral("aborted.wav"));
    grabber->GrabToFile(out);
    ASSERT_TRUE(progress.wait(10000));

    QElapsedTimer clock;
    clock.start();
    grabber->AbortGrab();
    const qint64 abortMs = clock.elapsed();
    const int writes = wav.writeCount();
    const qsizetype eventsAtAbort = progress.size();

    QTest::qWait(300);        // delivers whatever the worker had queued
    EXPECT_LT(abortMs, 1000); // waits for the write under way (10 ms), not for the track
    EXPECT_EQ(wav.writeCount(), writes);
    EXPECT_EQ(progress.size(), eventsAtAbort);
    EXPECT_TRUE(failed.isEmpty());
    for (const QList<QVariant>& event : progress)
        EXPECT_LT(event.at(0).toDouble(), 100.0);

    ASSERT_TRUE(wav.IsOpen());
    wav.Close();
    const auto samples = decode(out);
    const int sectorsWritten = static_cast<int>(samples.size() * 2 / SectorBytes);
    EXPECT_GT(sectorsWritten, 0);
    EXPECT_LT(sectorsWritten, sectors);
    EXPECT_EQ(mismatchAt(samples, expected(1, 0, sectorsWritten)), -1);
}

TEST_F(Grab, RefusesASecondGrabAndAFileThatCannotBeCreated)
{
    auto grabber =
        grabberFor({makeDisc(QStringLiteral("disc"), DiscFixture::audioDisc({75 * 60}))});
    grabber->ReadDisc();
    writeAll(path(QStringLiteral("plain")), "a file, not a folder");
    EXPECT_THROW(grabber->GrabToFile(path(QStringLiteral("plain/track.wav"))), ComponentError);

    wavOf(*grabber).setWriteDelay(std::chrono::milliseconds(5));
    grabber->GrabToFile(path(QStringLiteral("first.wav")));
    EXPECT_THROW(grabber->GrabToFile(path(QStringLiteral("second.wav"))), ComponentError);
    EXPECT_FALSE(QFileInfo::exists(path(QStringLiteral("second.wav"))));
    grabber->AbortGrab();
    grabber->AudioFile()->Close();
}

// A BIN cut 1000 bytes into sector 500: track 2 (sectors 300 .. 749) holds 200 readable
// sectors, track 3 (from sector 750) none.
class DamagedImage : public GrabberTest, public ::testing::WithParamInterface<int>
{
protected:
    std::unique_ptr<TAudioCDGrabber2> damagedDisc()
    {
        DiscFixture::DiscLayout layout = DiscFixture::audioDisc({300, 450, 300});
        layout.binBytes = std::int64_t(500) * SectorBytes + 1000;
        auto grabber = grabberFor({makeDisc(QStringLiteral("damaged"), layout)});
        grabber->GrabMode(GetParam());
        grabber->ReadDisc();
        return grabber;
    }
};

TEST_P(DamagedImage, StopFailsNamingDeviceTrackAndSector)
{
    auto grabber = damagedDisc();
    grabber->ErrorAction(0);
    const GrabOutcome outcome = grab(*grabber, 1, path(QStringLiteral("stop.wav")));
    EXPECT_FALSE(outcome.completed);
    EXPECT_TRUE(outcome.failure.contains(path(QStringLiteral("damaged.cue"))))
        << outcome.failure.toStdString();
    EXPECT_TRUE(outcome.failure.contains(QStringLiteral("track 2")));
    EXPECT_TRUE(outcome.failure.contains(QStringLiteral("sector 500")));

    const GrabOutcome intact = grab(*grabber, 0, path(QStringLiteral("intact.wav")));
    EXPECT_TRUE(intact.completed);
    EXPECT_EQ(mismatchAt(decode(path(QStringLiteral("intact.wav"))), expected(1, 0, 300)), -1);
}

TEST_P(DamagedImage, SilenceKeepsTheLengthAndCutLeavesTheSectorsOut)
{
    auto grabber = damagedDisc();
    grabber->ErrorAction(1);
    const GrabOutcome silenced = grab(*grabber, 1, path(QStringLiteral("silence.wav")));
    ASSERT_TRUE(silenced.completed) << silenced.failure.toStdString();
    EXPECT_EQ(mismatchAt(decode(path(QStringLiteral("silence.wav"))),
                         concat(expected(2, 0, 200), silence(250))),
              -1);

    grabber->ErrorAction(2);
    const GrabOutcome cut = grab(*grabber, 1, path(QStringLiteral("cut.wav")));
    ASSERT_TRUE(cut.completed) << cut.failure.toStdString();
    EXPECT_EQ(mismatchAt(decode(path(QStringLiteral("cut.wav"))), expected(2, 0, 200)), -1);
}

TEST_P(DamagedImage, ATrackPastTheEndOfTheImageCannotBeGrabbed)
{
    auto grabber = damagedDisc();
    ASSERT_EQ(grabber->TrackCount(), 3);
    grabber->CurrentTrack(2);
    EXPECT_EQ(grabber->TrackLength2(), 0);
    grabber->ErrorAction(1);
    EXPECT_THROW(grabber->GrabToFile(path(QStringLiteral("none.wav"))), ComponentError);
    EXPECT_FALSE(QFileInfo::exists(path(QStringLiteral("none.wav"))));
}

TEST_P(DamagedImage, AnEmptyBinGivesSilenceOrFails)
{
    DiscFixture::DiscLayout layout = DiscFixture::audioDisc({300, 450});
    layout.binBytes = 0;
    auto grabber = grabberFor({makeDisc(QStringLiteral("empty"), layout)});
    grabber->GrabMode(GetParam());
    grabber->ReadDisc();
    grabber->ErrorAction(1);
    const GrabOutcome silenced = grab(*grabber, 0, path(QStringLiteral("silence.wav")));
    ASSERT_TRUE(silenced.completed) << silenced.failure.toStdString();
    EXPECT_EQ(mismatchAt(decode(path(QStringLiteral("silence.wav"))), silence(300)), -1);

    grabber->ErrorAction(0);
    const GrabOutcome stopped = grab(*grabber, 0, path(QStringLiteral("stop.wav")));
    EXPECT_TRUE(stopped.failure.contains(QStringLiteral("sector 0")))
        << stopped.failure.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Burst_Synch_Secure_Paranoid, DamagedImage, ::testing::Values(0, 1, 2, 3));

class BlockRead : public GrabberTest
{
};

TEST_F(BlockRead, GivesTheTrackInBlocksOfCountTimesEightSectors)
{
    auto grabber =
        grabberFor({makeDisc(QStringLiteral("disc"), DiscFixture::audioDisc({75, 700}))});
    grabber->ReadDisc();
    grabber->CurrentTrack(1);
    grabber->BeginRead();
    std::vector<std::int16_t> samples;
    QList<qsizetype> sizes;
    for (QByteArray block = grabber->ReadBlock(10); !block.isEmpty();
         block = grabber->ReadBlock(10)) {
        sizes.append(block.size());
        const auto* data = reinterpret_cast<const std::int16_t*>(block.constData());
        samples.insert(samples.end(), data, data + block.size() / 2);
    }
    EXPECT_EQ(mismatchAt(samples, expected(2, 0, 700)), -1);
    ASSERT_EQ(sizes.size(), 9); // 8 blocks of 80 sectors and 60 sectors
    EXPECT_EQ(sizes.first(), 80 * SectorBytes);
    EXPECT_EQ(sizes.last(), 60 * SectorBytes);
    EXPECT_TRUE(grabber->ReadBlock(10).isEmpty());

    grabber->EndRead();
    grabber->EndRead();
    EXPECT_TRUE(grabber->ReadBlock(10).isEmpty());
}

// Every read is shifted by the read offset, across the tracks' boundaries, with silence beyond
// the disc's first and last audio sectors.
TEST_F(BlockRead, TheReadOffsetShiftsTheAudioWithSilenceBeyondTheDisc)
{
    auto grabber =
        grabberFor({makeDisc(QStringLiteral("disc"), DiscFixture::audioDisc({100, 50, 100}))});
    grabber->ReadDisc();
    const auto readTrack = [&](int index, int offset) {
        grabber->setReadOffset(offset);
        grabber->CurrentTrack(index);
        grabber->BeginRead();
        std::vector<std::int16_t> samples;
        for (QByteArray block = grabber->ReadBlock(10); !block.isEmpty();
             block = grabber->ReadBlock(10)) {
            const auto* data = reinterpret_cast<const std::int16_t*>(block.constData());
            samples.insert(samples.end(), data, data + block.size() / 2);
        }
        grabber->EndRead();
        return samples;
    };
    const auto frames = [](std::vector<std::int16_t> samples, std::size_t from, std::size_t count) {
        return std::vector<std::int16_t>(samples.begin() + static_cast<std::ptrdiff_t>(2 * from),
                                         samples.begin() +
                                             static_cast<std::ptrdiff_t>(2 * (from + count)));
    };
    constexpr std::size_t Sector = DiscFixture::FramesPerSector;

    // -30: the first track starts with 30 frames of silence and ends 30 frames early.
    const std::vector<std::int16_t> first = readTrack(0, -30);
    ASSERT_EQ(first.size(), 2 * 100 * Sector);
    EXPECT_EQ(frames(first, 0, 30), std::vector<std::int16_t>(60, 0));
    EXPECT_EQ(frames(first, 30, 100 * Sector - 30),
              frames(expected(1, 0, 100), 0, 100 * Sector - 30));

    // +700 (more than a sector): the middle track reaches 700 frames into the last.
    const std::vector<std::int16_t> middle = readTrack(1, 700);
    ASSERT_EQ(middle.size(), 2 * 50 * Sector);
    EXPECT_EQ(frames(middle, 0, 50 * Sector - 700),
              frames(expected(2, 0, 50), 700, 50 * Sector - 700));
    EXPECT_EQ(frames(middle, 50 * Sector - 700, 700), frames(expected(3, 0, 2), 0, 700));

    // +6: the last track ends with 6 frames of silence, past the disc's end.
    const std::vector<std::int16_t> last = readTrack(2, 6);
    ASSERT_EQ(last.size(), 2 * 100 * Sector);
    EXPECT_EQ(frames(last, 0, 100 * Sector - 6), frames(expected(3, 0, 100), 6, 100 * Sector - 6));
    EXPECT_EQ(frames(last, 100 * Sector - 6, 6), std::vector<std::int16_t>(12, 0));

    // Out of range: no offset.
    EXPECT_EQ(readTrack(2, 3001), expected(3, 0, 100));
}

TEST_F(BlockRead, AnUnreadableSectorWithStopThrowsAndEndsTheRead)
{
    DiscFixture::DiscLayout layout = DiscFixture::audioDisc({300, 450, 300});
    layout.binBytes = std::int64_t(400) * SectorBytes;
    auto grabber = grabberFor({makeDisc(QStringLiteral("damaged"), layout)});
    grabber->ReadDisc();
    grabber->ErrorAction(0);
    grabber->CurrentTrack(1);
    grabber->BeginRead();
    EXPECT_EQ(grabber->ReadBlock(10).size(), 80 * SectorBytes);
    // The sectors before the unreadable one still sound; the error follows them.
    EXPECT_EQ(grabber->ReadBlock(10).size(), 20 * SectorBytes);
    EXPECT_THROW(grabber->ReadBlock(10), ComponentError);
    EXPECT_TRUE(grabber->ReadBlock(10).isEmpty());
}

// The read runs ahead of its consumer: blocks taken after a pause come at once, and ending
// the read while the thread is busy returns promptly.
TEST_F(BlockRead, ReadsAheadAndEndsPromptly)
{
    auto grabber =
        grabberFor({makeDisc(QStringLiteral("long"), DiscFixture::audioDisc({75, 75 * 60}))});
    grabber->ReadDisc();
    grabber->CurrentTrack(1);
    grabber->BeginRead();
    ASSERT_EQ(grabber->ReadBlock(10).size(), 80 * SectorBytes);
    QThread::msleep(300);
    QElapsedTimer clock;
    clock.start();
    std::vector<std::int16_t> samples;
    for (int block = 0; block < 20; ++block) {
        const QByteArray data = grabber->ReadBlock(10);
        ASSERT_EQ(data.size(), 80 * SectorBytes);
        const auto* pcm = reinterpret_cast<const std::int16_t*>(data.constData());
        samples.insert(samples.end(), pcm, pcm + data.size() / 2);
    }
    EXPECT_LT(clock.elapsed(), 100) << "the blocks were read when asked for, not ahead";
    EXPECT_EQ(mismatchAt(samples, expected(2, 80, 21 * 80)), -1);
    clock.restart();
    grabber->EndRead();
    EXPECT_LT(clock.elapsed(), 1000);
    EXPECT_TRUE(grabber->ReadBlock(10).isEmpty());
}

} // namespace
