// Grabbing and block reading from disc images through the real libcdio and libcdio-paranoia.

#include "GrabberTestSupport.h"

#include "components/grabber/DeEmphasis.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <cmath>
#include <cstring>
#include <random>
#include <thread>

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
        // Nothing of the track was unreadable, whatever a secure read found beyond it.
        EXPECT_TRUE(grabber->lastGrabReport().unreadable.isEmpty());
    }
}

INSTANTIATE_TEST_SUITE_P(Burst_Synch_Secure_Paranoid, GrabEveryMode, ::testing::Values(0, 1, 2, 3));

class Grab : public GrabberTest
{
};

// CRC-32 as zlib reckons it, worked out bit by bit here.
quint32 crc32Of(const std::vector<std::int16_t>& samples)
{
    quint32 crc = 0xFFFFFFFFu;
    for (const std::int16_t sample : samples) {
        for (const int shift : {0, 8}) {
            crc ^= static_cast<quint8>(static_cast<quint16>(sample) >> shift);
            for (int bit = 0; bit < 8; ++bit)
                crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
    }
    return ~crc;
}

// The abort waits only for the write under way; the report is that of what was written, with
// the sectors that could not be read (a damaged disc read with Silence, stopped past its cut).
TEST_F(Grab, AbortStopsTheWorkerAndNothingMoreIsWritten)
{
    const int sectors = 75 * 60 * 3;
    const int cut = 300; // the damaged disc's BIN ends inside this sector of the first track
    for (const bool damaged : {false, true}) {
        SCOPED_TRACE(damaged ? "damaged" : "whole");
        const QString name = damaged ? QStringLiteral("damaged") : QStringLiteral("long");
        DiscFixture::DiscLayout layout = DiscFixture::audioDisc({sectors, 75});
        if (damaged)
            layout.binBytes = std::int64_t(cut) * SectorBytes + 1000;
        auto grabber = grabberFor({makeDisc(name, layout)});
        grabber->GrabMode(2);
        grabber->ErrorAction(1);
        grabber->ReadDisc();
        WavAudioFile& wav = wavOf(*grabber);
        wav.setWriteDelay(std::chrono::milliseconds(10));

        QSignalSpy progress(grabber.get(), &IAudioCDGrabber2::OnOperationProgress);
        QSignalSpy failed(grabber.get(), &IAudioCDGrabber2::grabFailed);
        const QString out = path(name + QStringLiteral(".wav"));
        grabber->GrabToFile(out);
        const double stopPast = damaged ? 100.0 * (cut + 50) / sectors : 0.0;
        do
            ASSERT_TRUE(progress.wait(10000));
        while (progress.last().at(0).toDouble() <= stopPast);

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
        EXPECT_GT(sectorsWritten, damaged ? cut : 0);
        EXPECT_LT(sectorsWritten, sectors);
        const int readable = damaged ? cut : sectorsWritten;
        EXPECT_EQ(mismatchAt(samples,
                             concat(expected(1, 0, readable), silence(sectorsWritten - readable))),
                  -1);

        const GrabReport report = grabber->lastGrabReport();
        EXPECT_FALSE(report.complete);
        EXPECT_EQ(report.crc, crc32Of(samples));
        int peak = 0;
        for (const std::int16_t sample : samples)
            peak = std::max(peak, std::abs(int{sample}));
        EXPECT_EQ(report.peak, peak);
        QList<int> lost;
        for (int sector = readable; sector < sectorsWritten; ++sector)
            lost.append(sector);
        EXPECT_EQ(report.unreadable, lost);
    }
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

// An image that shrinks while a track is read: what is gone ends as unreadable sectors under the
// error action, in every secure mode, however often paranoia would retry.
class ShrinkingImage : public GrabberTest, public ::testing::WithParamInterface<int>
{
protected:
    static constexpr int Sectors = 75 * 60 * 2;

    // Starts grabbing track 1 slowly, cuts the BIN 300 sectors (and 1000 bytes) past where the
    // grab is, and lets it go on at full speed; returns where the cut is.
    int grabAndCut(TAudioCDGrabber2& grabber, const QString& out)
    {
        WavAudioFile& wav = wavOf(grabber);
        wav.setWriteDelay(std::chrono::milliseconds(20));
        QSignalSpy progress(&grabber, &IAudioCDGrabber2::OnOperationProgress);
        grabber.CurrentTrack(0);
        grabber.GrabToFile(out);
        EXPECT_TRUE(progress.wait(10000));
        const int cut = int(progress.last().at(0).toDouble() * Sectors / 100) + 300;
        QFile bin(path(QStringLiteral("shrinking.bin")));
        EXPECT_TRUE(bin.resize(qint64(cut) * SectorBytes + 1000));
        wav.setWriteDelay(std::chrono::milliseconds(0));
        return cut;
    }

    std::unique_ptr<TAudioCDGrabber2> shrinkingDisc(int errorAction)
    {
        auto grabber = grabberFor(
            {makeDisc(QStringLiteral("shrinking"), DiscFixture::audioDisc({Sectors, 75}))});
        grabber->GrabMode(GetParam());
        grabber->ErrorAction(errorAction);
        grabber->ReadDisc();
        return grabber;
    }

    // Waits for the grab's end: true when it completed, false when it failed.
    static bool waitForEnd(TAudioCDGrabber2& grabber, QString& failure)
    {
        QEventLoop loop;
        bool completed = false;
        QObject::connect(&grabber, &IAudioCDGrabber2::OnOperationProgress, &loop, [&](double p) {
            if (p == 100.0) {
                completed = true;
                loop.quit();
            }
        });
        QObject::connect(&grabber, &IAudioCDGrabber2::grabFailed, &loop, [&](const QString& m) {
            failure = m;
            loop.quit();
        });
        QTimer::singleShot(60000, &loop, &QEventLoop::quit);
        loop.exec();
        grabber.AudioFile()->Close();
        return completed;
    }
};

TEST_P(ShrinkingImage, WhatIsGoneEndsAsUnreadableSectors)
{
    auto grabber = shrinkingDisc(1);
    const QString out = path(QStringLiteral("silenced.wav"));
    const int cut = grabAndCut(*grabber, out);
    QString failure;
    ASSERT_TRUE(waitForEnd(*grabber, failure)) << failure.toStdString();
    const QList<int> unreadable = grabber->lastGrabReport().unreadable;
    ASSERT_FALSE(unreadable.isEmpty());
    EXPECT_GE(unreadable.first(), cut);
    EXPECT_EQ(unreadable.last(), Sectors - 1);
    // Each sector is the disc's or, listed as unreadable, silence.
    const auto samples = decode(out);
    ASSERT_EQ(samples.size(), expected(1, 0, Sectors).size());
    const std::size_t sectorSamples = DiscFixture::FramesPerSector * 2;
    for (int sector = 0; sector < Sectors; ++sector) {
        const auto from = samples.begin() + std::ptrdiff_t(sector * sectorSamples);
        const std::vector<std::int16_t> got(from, from + std::ptrdiff_t(sectorSamples));
        const bool lost = unreadable.contains(sector);
        ASSERT_EQ(got, lost ? silence(1) : expected(1, sector, sector + 1)) << "sector " << sector;
    }

    auto stopping = shrinkingDisc(0);
    const int stopCut = grabAndCut(*stopping, path(QStringLiteral("stopped.wav")));
    EXPECT_FALSE(waitForEnd(*stopping, failure));
    const QList<int> stoppedAt = stopping->lastGrabReport().unreadable;
    ASSERT_FALSE(stoppedAt.isEmpty());
    EXPECT_GE(stoppedAt.first(), stopCut);
    EXPECT_TRUE(failure.contains(QStringLiteral("sector %1 is unreadable").arg(stoppedAt.first())))
        << failure.toStdString();
}

// Reads that never agree (an image rewritten all the time) end all the same: paranoia gets a
// bounded number of passes at a sector before it counts as unreadable.
class StalledRead : public ShrinkingImage
{
};

TEST_P(StalledRead, EndsWhenReadsNeverAgree)
{
    auto grabber =
        grabberFor({makeDisc(QStringLiteral("shrinking"), DiscFixture::audioDisc({750, 75}))});
    grabber->GrabMode(GetParam());
    grabber->ErrorAction(1);
    grabber->ReadDisc();
    std::atomic<bool> stop{false};
    std::thread rewriter([&] {
        QFile bin(path(QStringLiteral("shrinking.bin")));
        ASSERT_TRUE(bin.open(QIODevice::ReadWrite));
        std::mt19937 random(7);
        QByteArray noise(75 * SectorBytes, '\0');
        for (int sector = 0; !stop; sector = (sector + 75) % 825) {
            for (char& c : noise)
                c = char(random());
            bin.seek(qint64(sector) * SectorBytes);
            bin.write(noise);
        }
    });
    // Slowly, so that the image changes under every read.
    wavOf(*grabber).setWriteDelay(std::chrono::milliseconds(20));
    grabber->GrabToFile(path(QStringLiteral("noise.wav")));
    QString failure;
    const bool completed = waitForEnd(*grabber, failure);
    stop = true;
    rewriter.join();
    EXPECT_TRUE(completed) << failure.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Synch_Secure_Paranoid, ShrinkingImage, ::testing::Values(1, 2, 3));
INSTANTIATE_TEST_SUITE_P(Synch_Secure_Paranoid, StalledRead, ::testing::Values(1, 2, 3));

// Audio before the first track's INDEX 01 is offered as a track 0 when it is not digital
// silence.
TEST_F(Grab, HiddenTrackOneAudioIsATrackZeroOfItsOwn)
{
    DiscFixture::DiscLayout hidden = DiscFixture::audioDisc({150, 75});
    hidden.pregapSectors = {{1, 75}};
    DiscFixture::DiscLayout silent = hidden;
    silent.audio = [](int track, std::int64_t frame, std::span<std::int16_t> samples) {
        DiscFixture::testSignal(track, frame, samples);
        for (std::size_t i = 0; i < samples.size(); ++i) {
            if (track == 1 && frame + std::int64_t(i / 2) < 75 * DiscFixture::FramesPerSector)
                samples[i] = 0;
        }
    };
    writeAll(path(QStringLiteral("pregap.cue")),
             "FILE \"silent.bin\" BINARY\n  TRACK 01 AUDIO\n    PREGAP 00:01:00\n    INDEX 01 "
             "00:00:00\n");
    auto grabber = grabberFor({makeDisc(QStringLiteral("hidden"), hidden),
                               makeDisc(QStringLiteral("silent"), silent),
                               path(QStringLiteral("pregap.cue"))});
    const int first = grabber->DeviceCount() - 2;
    for (int drive = first + 1; drive <= first + 2; ++drive) {
        grabber->CurrentDevice(drive);
        grabber->ReadDisc();
        EXPECT_EQ(grabber->hiddenTrackSectors(), 0);
        EXPECT_EQ(grabber->trackStartSector(), 75);
        EXPECT_THROW(grabber->selectHiddenTrack(), ComponentError);
    }

    grabber->CurrentDevice(first);
    grabber->ReadDisc();
    ASSERT_EQ(grabber->hiddenTrackSectors(), 75);
    grabber->selectHiddenTrack();
    EXPECT_EQ(grabber->TrackCount(), 2);
    EXPECT_EQ(grabber->TrackLength2(), 1);
    EXPECT_EQ(grabber->trackStartSector(), 0);
    EXPECT_EQ(grabber->trackPregapSectors(), 0);
    EXPECT_FALSE(grabber->hasTrackTitle());
    EXPECT_EQ(grabber->TrackTitle(), QStringLiteral("Session1 Track0"));
    const QString out = path(QStringLiteral("track0.wav"));
    QEventLoop loop;
    QObject::connect(grabber.get(), &IAudioCDGrabber2::OnOperationProgress, &loop,
                     [&](double percent) {
                         if (percent == 100.0)
                             loop.quit();
                     });
    grabber->GrabToFile(out);
    loop.exec();
    grabber->AudioFile()->Close();
    EXPECT_EQ(mismatchAt(decode(out), expected(1, 0, 75)), -1);
    // A numbered track again: track 1 from its INDEX 01, without the hidden audio.
    const GrabOutcome first1 = grab(*grabber, 0, path(QStringLiteral("track1.wav")));
    ASSERT_TRUE(first1.completed);
    EXPECT_EQ(grabber->trackStartSector(), 75);
    EXPECT_EQ(mismatchAt(decode(path(QStringLiteral("track1.wav"))), expected(1, 75, 150)), -1);
}

namespace {

/// The gain (as a ratio) from in to out, from the RMS of their second halves.
double gainOf(const std::vector<std::int16_t>& in, const std::vector<std::int16_t>& out)
{
    double inPower = 0;
    double outPower = 0;
    for (std::size_t i = in.size() / 2; i < in.size() && i < out.size(); ++i) {
        inPower += double(in[i]) * in[i];
        outPower += double(out[i]) * out[i];
    }
    return std::sqrt(outPower / inPower);
}

double decibels(double ratio)
{
    return 20 * std::log10(ratio);
}

std::vector<std::int16_t> throughFfmpeg(const QString& folder, const std::vector<std::int16_t>& in)
{
    const QString raw = folder + QStringLiteral("/tone.raw");
    QFile file(raw);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(reinterpret_cast<const char*>(in.data()), qsizetype(in.size() * 2));
    file.close();
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"),
                 {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-f"),
                  QStringLiteral("s16le"), QStringLiteral("-ar"), QStringLiteral("44100"),
                  QStringLiteral("-ac"), QStringLiteral("2"), QStringLiteral("-i"), raw,
                  QStringLiteral("-af"), QStringLiteral("aemphasis=mode=reproduction:type=cd"),
                  QStringLiteral("-f"), QStringLiteral("s16le"), QStringLiteral("-")});
    EXPECT_TRUE(ffmpeg.waitForFinished(30000) && ffmpeg.exitCode() == 0);
    const QByteArray bytes = ffmpeg.readAllStandardOutput();
    QFile::remove(raw);
    std::vector<std::int16_t> out(std::size_t(bytes.size() / 2));
    std::memcpy(out.data(), bytes.constData(), out.size() * 2);
    return out;
}

} // namespace

// The de-emphasis follows the standard's 50/15 µs curve, as FFmpeg's aemphasis filter does
// where that one is exact (FFmpeg holds 1 kHz at 0 dB, and bends off it at the top).
TEST_F(Grab, DeEmphasisFollowsTheStandardCurveAndFfmpeg)
{
    for (const double frequency :
         {100.0, 1000.0, 2000.0, 3183.0, 5000.0, 8000.0, 12000.0, 16000.0}) {
        SCOPED_TRACE(frequency);
        std::vector<std::int16_t> tone(44100 * 2);
        for (std::size_t i = 0; i < tone.size(); ++i)
            tone[i] = std::int16_t(12000 * std::sin(2 * M_PI * frequency * double(i / 2) / 44100));
        std::vector<std::int16_t> ours = tone;
        DeEmphasis filter;
        filter.apply(ours);
        const double omega = 2 * M_PI * frequency;
        const double standard =
            decibels(std::hypot(1, omega * 15e-6) / std::hypot(1, omega * 50e-6));
        const double ffmpegAt1k = 20 * std::log10(1.0 / std::hypot(1, 2 * M_PI * 1000 * 50e-6) *
                                                  std::hypot(1, 2 * M_PI * 1000 * 15e-6));
        const double ffmpeg = decibels(gainOf(tone, throughFfmpeg(root(), tone))) + ffmpegAt1k;
        const double mine = decibels(gainOf(tone, ours));
        EXPECT_NEAR(mine, standard, 0.1);
        EXPECT_NEAR(mine, ffmpeg, std::max(0.1, std::abs(ffmpeg - standard) + 0.1));
    }
}

// Tracks flagged for pre-emphasis are de-emphasized when asked, in grabs and block reads alike;
// their AccurateRip checksums stay those of the disc's audio.
TEST_F(Grab, DeEmphasisAppliesToFlaggedTracksWhenSwitchedOn)
{
    DiscFixture::DiscLayout layout = DiscFixture::audioDisc({150, 150});
    layout.preEmphasis = {2};
    auto grabber = grabberFor({makeDisc(QStringLiteral("emphasis"), layout)});
    grabber->ReadDisc();
    grabber->CurrentTrack(0);
    EXPECT_FALSE(grabber->trackPreEmphasis());
    grabber->CurrentTrack(1);
    EXPECT_TRUE(grabber->trackPreEmphasis());

    ASSERT_TRUE(grab(*grabber, 1, path(QStringLiteral("plain.wav"))).completed);
    const GrabReport plain = grabber->lastGrabReport();
    EXPECT_FALSE(plain.deEmphasized);
    EXPECT_EQ(mismatchAt(decode(path(QStringLiteral("plain.wav"))), expected(2, 0, 150)), -1);

    grabber->setDeEmphasis(true);
    ASSERT_TRUE(grab(*grabber, 0, path(QStringLiteral("unflagged.wav"))).completed);
    EXPECT_FALSE(grabber->lastGrabReport().deEmphasized);
    EXPECT_EQ(mismatchAt(decode(path(QStringLiteral("unflagged.wav"))), expected(1, 0, 150)), -1);

    ASSERT_TRUE(grab(*grabber, 1, path(QStringLiteral("flagged.wav"))).completed);
    const GrabReport flagged = grabber->lastGrabReport();
    EXPECT_TRUE(flagged.deEmphasized);
    EXPECT_EQ(flagged.accurateRip, plain.accurateRip);
    EXPECT_NE(flagged.crc, plain.crc);
    // What is written is the track de-emphasized: FFmpeg's filter takes as much out of it,
    // within FFmpeg's own departures from the curve at the top.
    const auto written = decode(path(QStringLiteral("flagged.wav")));
    std::vector<std::int16_t> ours = expected(2, 0, 150);
    DeEmphasis().apply(ours);
    EXPECT_EQ(mismatchAt(written, ours), -1);
    const double byFfmpeg =
        decibels(gainOf(expected(2, 0, 150), throughFfmpeg(root(), expected(2, 0, 150))));
    EXPECT_NEAR(decibels(gainOf(expected(2, 0, 150), written)), byFfmpeg, 0.7);
    EXPECT_LT(byFfmpeg, -3.0);

    grabber->CurrentTrack(1);
    grabber->BeginRead();
    std::vector<std::int16_t> played;
    for (QByteArray block = grabber->ReadBlock(10); !block.isEmpty();
         block = grabber->ReadBlock(10))
        played.insert(played.end(), reinterpret_cast<const std::int16_t*>(block.constData()),
                      reinterpret_cast<const std::int16_t*>(block.constData()) + block.size() / 2);
    EXPECT_EQ(mismatchAt(played, written), -1);
}

} // namespace
