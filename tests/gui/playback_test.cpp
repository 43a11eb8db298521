#include "components/player/TAudioPlayer2.h"
#include "gui/MainWindowTestSupport.h"
#include "support/ScriptedGrabber.h"

#include <QAudioDevice>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QMediaDevices>
#include <QMenu>
#include <QProcess>
#include <QSignalSpy>

#include <algorithm>
#include <cstring>

namespace {

constexpr int Rate = 44100;

// Records the test sound server's null sink through its monitor, as raw s16le stereo.
class SinkRecorder final
{
public:
    enum class Latency {
        // The sink runs at 20 ms for the recording's sake: what a stream gave it sounds at once.
        Low,
        // The sink runs at the latency the player's stream asks for, and a halt takes back what
        // it had taken and not yet sounded: the recording holds what a listener hears.
        AsHeard,
    };

    explicit SinkRecorder(Latency latency = Latency::Low)
    {
        const QString sink =
            qEnvironmentVariable("TUNECREST_TEST_SINK", QStringLiteral("tunecrest_null"));
        QStringList arguments{QStringLiteral("--raw"),        QStringLiteral("--format=s16le"),
                              QStringLiteral("--rate=44100"), QStringLiteral("--channels=2"),
                              QStringLiteral("-d"),           sink + QStringLiteral(".monitor")};
        if (latency == Latency::Low)
            arguments << QStringLiteral("--latency-msec=20");
        m_parec.setProgram(QStringLiteral("parec"));
        m_parec.setArguments(arguments);
        m_clock.start();
        m_parec.start();
    }
    ~SinkRecorder()
    {
        if (m_parec.state() != QProcess::NotRunning) {
            m_parec.kill();
            m_parec.waitForFinished(5000);
        }
    }
    SinkRecorder(const SinkRecorder&) = delete;
    SinkRecorder& operator=(const SinkRecorder&) = delete;

    // Waits until the recording runs, so nothing played afterwards is missed.
    bool started()
    {
        if (!m_parec.waitForStarted(5000))
            return false;
        // Silence flows from the monitor as soon as parec is connected.
        for (int i = 0; i < 100 && m_parec.bytesAvailable() == 0; ++i)
            m_parec.waitForReadyRead(50);
        return m_parec.bytesAvailable() > 0;
    }

    // Ends the recording once it holds what sounded up to now (it comes in chunks of the
    // recording's latency); interleaved stereo samples.
    std::vector<std::int16_t> finishWithNow()
    {
        const qint64 bytes = (m_clock.elapsed() + 100) * Rate / 1000 * 4;
        for (int i = 0; i < 100 && m_parec.bytesAvailable() < bytes; ++i)
            m_parec.waitForReadyRead(100);
        return finish();
    }

    // Ends the recording; interleaved stereo samples.
    std::vector<std::int16_t> finish()
    {
        m_parec.terminate();
        m_parec.waitForFinished(5000);
        const QByteArray raw = m_parec.readAllStandardOutput();
        std::vector<std::int16_t> samples(static_cast<std::size_t>(raw.size()) / 2);
        std::memcpy(samples.data(), raw.constData(), samples.size() * 2);
        return samples;
    }

private:
    QProcess m_parec;
    QElapsedTimer m_clock;
};

// The disc's samples of a track at a stereo frame match the recording at a frame.
bool matchesAt(const std::vector<std::int16_t>& recording, std::size_t at, int track,
               std::int64_t frame)
{
    if ((at + 1) * 2 > recording.size())
        return false;
    return recording[at * 2] == DiscFixture::testSample(track, frame, 0) &&
           recording[at * 2 + 1] == DiscFixture::testSample(track, frame, 1);
}

// How many frames of the track, from a frame on, sound without a gap from the recording's
// position at.
std::int64_t stretchLength(const std::vector<std::int16_t>& recording, std::size_t at, int track,
                           std::int64_t frame)
{
    std::int64_t length = 0;
    while (matchesAt(recording, at + length, track, frame + length))
        ++length;
    return length;
}

// Where in the recording, from position from and before until, the track's frame sounds.
std::optional<std::size_t> findFrame(const std::vector<std::int16_t>& recording, std::size_t from,
                                     std::size_t until, int track, std::int64_t frame)
{
    for (std::size_t at = from; at < until; ++at)
        if (stretchLength(recording, at, track, frame) >= 64)
            return at;
    return std::nullopt;
}

// Where the track sounds again after silence: the first sound at or after the recording's
// position from, and the track's frame there, within 50 ms of the frame expected. The sink's
// monitor is not exact where a stream starts, halts or resumes: the server rewinds the sink
// then, and the monitor drops or repeats what is rendered anew (a stream of pacat loses its
// first 20 ms the same way), so the stretch is looked for around the frame expected.
std::optional<std::pair<std::size_t, std::int64_t>>
findSoundAfter(const std::vector<std::int16_t>& recording, std::size_t from, int track,
               std::int64_t expected)
{
    std::size_t at = from;
    while ((at + 1) * 2 <= recording.size() && recording[at * 2] == 0 && recording[at * 2 + 1] == 0)
        ++at;
    for (std::int64_t frame = std::max<std::int64_t>(0, expected - Rate / 20);
         frame < expected + Rate / 20; ++frame)
        if (stretchLength(recording, at, track, frame) >= 64)
            return std::pair{at, frame};
    return std::nullopt;
}

class PlaybackTest : public MainWindowTest
{
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        if (QMediaDevices::defaultAudioOutput().isNull())
            GTEST_FAIL() << "No sound output: the playback tests need the test sound server "
                            "that scripts/test.sh starts (PULSE_SERVER names its socket).";
    }

    // A window with the real player over a disc of tracks of the lengths given, in seconds.
    std::unique_ptr<Tfm_main> playerWindow(const std::vector<int>& seconds,
                                           const QString& name = QStringLiteral("disc"))
    {
        std::vector<int> sectors;
        for (const int length : seconds)
            sectors.push_back(length * SectorsPerSecond);
        m_cue = makeDisc(name, DiscFixture::audioDisc(sectors));
        return started({m_cue});
    }

    std::unique_ptr<Tfm_main> started(const QStringList& drives)
    {
        m_drives.set(drives.join(u':').toLocal8Bit());
        auto main = windowOver(std::make_unique<TAudioCDGrabber2>(std::make_unique<TAudioFile2>()),
                               true, std::make_unique<TAudioPlayer2>());
        main->FormShow();
        return main;
    }

    static void listMenu(Tfm_main& main, const char* item)
    {
        main.popupMenu(2)->findChild<QAction*>(QLatin1StringView(item))->trigger();
    }

    static QString status(const Tfm_main& main, int index)
    {
        return main.trackModel().text(index, 4);
    }

    // Waits, without spinning, until playback has ended by itself.
    static bool endsWithin(const Tfm_main& main, int ms)
    {
        for (int waited = 0; waited < ms && main.playing(); waited += 20)
            QTest::qWait(20);
        return !main.playing();
    }

    QString m_cue;
};

// The track sounds whole and in order, to its last sample before the end is reported; "play"
// on the playing track and another selected row change nothing; the end leaves "Stop Play" and
// the flag clear.
TEST_F(PlaybackTest, PlaysTheTrackBitExactAndStopsAtItsEnd)
{
    auto main = playerWindow({3, 1});
    SinkRecorder recorder(SinkRecorder::Latency::AsHeard);
    ASSERT_TRUE(recorder.started()) << "parec could not record the test sink's monitor";

    main->Skin1Click(QStringLiteral("play"));
    EXPECT_TRUE(main->playing());
    EXPECT_EQ(status(*main, 0), QStringLiteral("Playing"));
    QTest::qWait(500);
    main->Skin1Click(QStringLiteral("play"));
    main->trackList()->setCurrentIndex(main->trackModel().index(1, 0));
    main->SelectTrackRow();
    EXPECT_EQ(main->currentTrack(), 0);
    EXPECT_EQ(status(*main, 0), QStringLiteral("Playing"));
    EXPECT_EQ(status(*main, 1), QStringLiteral("Unconverter"));

    ASSERT_TRUE(endsWithin(*main, 10000));
    EXPECT_EQ(status(*main, 0), QStringLiteral("Stop Play"));
    const std::vector<std::int16_t> recording = recorder.finishWithNow();
    const auto start = findSoundAfter(recording, 0, 1, 0);
    ASSERT_TRUE(start) << "the track's first samples are not in the recording";
    const auto [at, first] = *start;
    // Whole and in order up to the track's last sample.
    const std::int64_t sounded = stretchLength(recording, at, 1, first);
    EXPECT_EQ(sounded, 3 * Rate - first)
        << "the last " << (3 * Rate - first - sounded) * 1000 / Rate << " ms did not sound";
    EXPECT_TRUE(m_shown.isEmpty()) << m_shown.join(u'|').toStdString();

    // Ended, the current row may change again, and a conversion may start.
    main->SelectTrackRow();
    EXPECT_EQ(main->currentTrack(), 1);
}

// The list's "Play" pauses and resumes: the recording holds silence at the pause and then the
// very next samples. "Stop" while paused ends playback.
TEST_F(PlaybackTest, PauseResumesWithTheNextSamplesAndStopWhilePaused)
{
    auto main = playerWindow({3});
    SinkRecorder recorder;
    ASSERT_TRUE(recorder.started()) << "parec could not record the test sink's monitor";

    listMenu(*main, "Play2");
    ASSERT_TRUE(main->playing());
    QTest::qWait(700);
    listMenu(*main, "Play2");
    EXPECT_EQ(status(*main, 0), QStringLiteral("Pause"));
    EXPECT_TRUE(main->playing());
    QTest::qWait(600);
    main->Skin1Click(QStringLiteral("play"));
    EXPECT_EQ(status(*main, 0), QStringLiteral("Playing"));
    ASSERT_TRUE(endsWithin(*main, 10000));

    const std::vector<std::int16_t> recording = recorder.finish();
    const auto start = findSoundAfter(recording, 0, 1, 0);
    ASSERT_TRUE(start) << "the track's first samples are not in the recording";
    const std::int64_t played = stretchLength(recording, start->first, 1, start->second);
    const std::int64_t paused = start->second + played; // the first frame after the pause
    ASSERT_GT(played, Rate / 10);
    ASSERT_LT(paused, 3 * Rate);
    // Only silence follows (findSoundAfter skips it), then the track goes on where it paused.
    const std::size_t silence = start->first + static_cast<std::size_t>(played);
    const auto resumed = findSoundAfter(recording, silence, 1, paused);
    ASSERT_TRUE(resumed) << "the samples after the pause are not in the recording (paused at "
                         << paused << ")";
    EXPECT_GT(resumed->first - silence, std::size_t(Rate / 4)) << "no pause in the recording";
    // From 100 ms after the resumption on, past the monitor's unsteady start, the rest of the
    // track sounds whole up to its last sample.
    const std::int64_t later = resumed->second + Rate / 10;
    const auto laterAt = findFrame(recording, resumed->first, resumed->first + Rate / 5, 1, later);
    ASSERT_TRUE(laterAt) << "the track does not go on after the pause";
    EXPECT_EQ(stretchLength(recording, *laterAt, 1, later), 3 * Rate - later);

    // Stop while paused.
    main->Skin1Click(QStringLiteral("play"));
    ASSERT_TRUE(main->playing());
    main->Skin1Click(QStringLiteral("pause"));
    EXPECT_EQ(status(*main, 0), QStringLiteral("Pause"));
    listMenu(*main, "Stop3");
    EXPECT_FALSE(main->playing());
    EXPECT_EQ(status(*main, 0), QStringLiteral("Stop Play"));
    // Stopped for good: the player's remaining events start nothing.
    QTest::qWait(300);
    EXPECT_FALSE(main->playing());
    EXPECT_EQ(status(*main, 0), QStringLiteral("Stop Play"));
    EXPECT_TRUE(m_shown.isEmpty()) << m_shown.join(u'|').toStdString();
}

// Playback and a run exclude each other; an empty list has nothing to play; a removed image
// ends playback without an error.
TEST_F(PlaybackTest, RunsEmptyListsAndRemovedImages)
{
    auto main = playerWindow({1});
    main->Skin1Click(QStringLiteral("play"));
    ASSERT_TRUE(main->playing());
    main->Skin1Click(QStringLiteral("converter"));
    EXPECT_EQ(m_shown, QStringList{QStringLiteral("Please stop playing first.")});
    ASSERT_TRUE(endsWithin(*main, 10000));
    m_shown.clear();
    main->convertTo(OutputFormatNumber::Wav);
    QDirIterator files(path(QStringLiteral("out")), QDir::Files, QDirIterator::Subdirectories);
    EXPECT_TRUE(files.hasNext()) << "the run after playback wrote nothing";
    EXPECT_TRUE(m_shown.isEmpty()) << m_shown.join(u'|').toStdString();

    // The image removed while a track plays.
    main.reset();
    main = playerWindow({3}, QStringLiteral("second"));
    main->Skin1Click(QStringLiteral("play"));
    ASSERT_TRUE(main->playing());
    QTest::qWait(300);
    QSignalSpy changes(&main->grabber(), &IAudioCDGrabber2::OnMediaChange);
    QFile::remove(m_cue);
    ASSERT_TRUE(changes.wait(5000));
    EXPECT_FALSE(main->playing());
    EXPECT_EQ(main->trackModel().rowCount(), 0);
    QTest::qWait(500);
    EXPECT_TRUE(m_shown.isEmpty()) << m_shown.join(u'|').toStdString();

    // The empty drive's list ignores every play command.
    EXPECT_EQ(main->currentTrack(), -1);
    main->Skin1Click(QStringLiteral("play"));
    main->Skin1Click(QStringLiteral("pause"));
    main->Skin1Click(QStringLiteral("playstop"));
    listMenu(*main, "Play2");
    listMenu(*main, "Stop3");
    EXPECT_FALSE(main->playing());
    EXPECT_TRUE(m_shown.isEmpty()) << m_shown.join(u'|').toStdString();
}

// Closing the window while a track plays silences it at once, and the teardown is quiet.
TEST_F(PlaybackTest, ClosingTheWindowEndsTheSound)
{
    auto main = playerWindow({5});
    main->show();
    main->Skin1Click(QStringLiteral("play"));
    ASSERT_TRUE(main->playing());
    QTest::qWait(400);
    main->close();
    EXPECT_FALSE(main->playing());
    QTest::qWait(100);
    SinkRecorder after;
    ASSERT_TRUE(after.started()) << "parec could not record the test sink's monitor";
    QTest::qWait(400);
    main.reset();
    QTest::qWait(200);
    const std::vector<std::int16_t> recording = after.finish();
    ASSERT_GT(recording.size(), std::size_t(Rate / 2));
    EXPECT_TRUE(std::all_of(recording.begin(), recording.end(), [](std::int16_t s) {
        return s == 0;
    })) << "the track still sounded after its window was closed";
}

// A player that only counts what it is asked.
// Playback's reaction to events of the disc, with a player that only counts.
using PlaybackEventTest = MainWindowTest;

class CountingPlayer final : public IAudioPlayer2
{
public:
    void Play() override { ++plays; }
    void Stop() override { ++stops; }
    void PlayArray(const QByteArray&) override { ++blocks; }
    void SetFormat(int, int) override {}
    int plays = 0;
    int stops = 0;
    int blocks = 0;
};

// A disc that goes while its blocks are read ends playback quietly; a read error on a disc
// that is still there reaches the user.
TEST_F(PlaybackEventTest, ADiscGoneWhileReadingEndsPlaybackQuietly)
{
    auto grabber = std::make_unique<ScriptedGrabber>(std::make_unique<TAudioFile2>(),
                                                     std::vector<int>{750, 750});
    ScriptedGrabber& disc = *grabber;
    auto player = std::make_unique<CountingPlayer>();
    CountingPlayer& counts = *player;
    auto main = windowOver(std::move(grabber), true, std::move(player));
    main->FormShow();
    main->Skin1Click(QStringLiteral("play"));
    ASSERT_TRUE(main->playing());
    EXPECT_EQ(counts.blocks, 2);

    disc.readError = QStringLiteral("The drive reports no disc.");
    disc.state = DriveState::Empty;
    emit counts.OnEndArrayPlay();
    QTest::qWait(50);
    EXPECT_FALSE(main->playing());
    EXPECT_EQ(main->trackModel().text(0, 4), QStringLiteral("Stop Play"));
    EXPECT_TRUE(m_shown.isEmpty()) << m_shown.join(u'|').toStdString();

    disc.state = DriveState::AudioDisc;
    EXPECT_THROW(main->Skin1Click(QStringLiteral("play")), ComponentError);
    // The player, given nothing, runs dry and ends playback.
    emit counts.OnEndPlay();
    QTest::qWait(50);
    EXPECT_FALSE(main->playing());
}

// Run with PULSE_SERVER at a socket that does not exist (a test entry of its own: the sound
// server is looked for once per process).
class PlaybackNoServerTest : public PlaybackTest
{
protected:
    void SetUp() override { MainWindowTest::SetUp(); }
};

TEST_F(PlaybackNoServerTest, SaysSoOnceAndTheWindowStaysUsable)
{
    ASSERT_TRUE(QMediaDevices::defaultAudioOutput().isNull())
        << "this test expects no sound server to be reachable";
    auto main = playerWindow({1});
    main->Skin1Click(QStringLiteral("play"));
    EXPECT_EQ(m_shown, QStringList{QStringLiteral("No sound output device is available.")});
    EXPECT_FALSE(main->playing());
    EXPECT_EQ(status(*main, 0), QStringLiteral("Stop Play"));

    // Nothing plays, so nothing is paused or stopped; a run still works.
    m_shown.clear();
    main->Skin1Click(QStringLiteral("pause"));
    main->Skin1Click(QStringLiteral("playstop"));
    EXPECT_TRUE(m_shown.isEmpty());
    main->convertTo(OutputFormatNumber::Wav);
    QDirIterator files(path(QStringLiteral("out")), QDir::Files, QDirIterator::Subdirectories);
    EXPECT_TRUE(files.hasNext()) << "the run wrote nothing";
    EXPECT_TRUE(m_shown.isEmpty()) << m_shown.join(u'|').toStdString();
}

} // namespace
