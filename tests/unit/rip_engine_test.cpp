#include "cli/ProgressReporter.h"
#include "cli/Ripper.h"
#include "components/audiofile/SpoolFile.h"
#include "rip/TrackFile.h"
#include "settings/SettingsFile.h"
#include "support/RecordingEncoders.h"
#include "support/ScriptedGrabber.h"
#include "support/TempDir.h"
#include "support/WavAudioFile.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QTcpServer>
#include <QTimer>

#include <chrono>

namespace {

using namespace std::chrono_literals;

// Drives the rip engine in process, through a scripted grabber and WAV files.
class RipEngineTest : public TempDirTest
{
protected:
    RipEngineTest() : m_settings(path(QStringLiteral("settings.ini")))
    {
        m_options.outputFormat = OutputFormatNumber::Wav; // no tags: the audio lands as it came
        m_options.output = path(QStringLiteral("out"));
        m_options.scheme = 0;
        // The rip log and cue sheet only where a test is about them.
        m_options.log = false;
        m_options.cue = false;
        m_options.playlist = false;
        m_options.accurateRip = false; // the tests that want the database say so
    }

    struct Result
    {
        int code = -1;
        QStringList files;
        QString errors;
    };

    Result rip(ScriptedGrabber& grabber, int jobs, SpoolFile* spool,
               std::chrono::milliseconds encodeDelay = 0ms,
               const std::function<void(Ripper&)>& during = {})
    {
        m_options.jobs = jobs;
        QString out, err;
        QTextStream outStream(&out), errStream(&err);
        ProgressReporter reporter(outStream, errStream, false, false);
        Ripper ripper(m_options, m_settings, grabber,
                      {[encodeDelay] {
                           auto file = std::make_unique<WavAudioFile>();
                           file->setWriteDelay(encodeDelay);
                           return file;
                       },
                       [this] { return std::make_unique<RecordingLameEncoder>(m_lameLog); }},
                      reporter, spool);
        ripper.prepare();
        QTimer poll;
        if (during) {
            QObject::connect(&poll, &QTimer::timeout, &ripper, [&] { during(ripper); });
            poll.start(5);
        }
        Result result;
        result.code = ripper.run();
        errStream.flush();
        result.errors = err;
        result.files = QDir(m_options.output).entryList(QDir::Files | QDir::Hidden, QDir::Name);
        return result;
    }

    qint64 dataBytes(const QString& name) const
    {
        return QFileInfo(m_options.output + u'/' + name).size() - 44;
    }

    CliOptions m_options;
    SettingsFile m_settings;
    QStringList m_lameLog;
};

TEST_F(RipEngineTest, FailingMiddleTrackFailsAloneInBothSchedules)
{
    for (const int jobs : {1, 2}) {
        m_options.output = path(QStringLiteral("out%1").arg(jobs));
        SpoolFile* spool = nullptr;
        std::unique_ptr<IAudioFile2> file;
        if (jobs > 1) {
            auto spoolFile = std::make_unique<SpoolFile>();
            spool = spoolFile.get();
            file = std::move(spoolFile);
        } else {
            file = std::make_unique<WavAudioFile>();
        }
        ScriptedGrabber grabber(std::move(file), {75, 150, 75});
        grabber.failTrack(1);
        const Result r = rip(grabber, jobs, spool);
        EXPECT_EQ(r.code, 1) << jobs;
        EXPECT_TRUE(r.errors.contains(QStringLiteral("track 2 failed: sector 1 cannot be read")))
            << r.errors.toStdString();
        // The tracks on either side are whole; nothing of the failed one, nothing partial.
        EXPECT_EQ(r.files, (QStringList{QStringLiteral("T1.wav"), QStringLiteral("T3.wav")}));
        EXPECT_EQ(dataBytes(QStringLiteral("T1.wav")), 75 * 588 * 4);
        EXPECT_EQ(dataBytes(QStringLiteral("T3.wav")), 75 * 588 * 4);
        // Each track was read once, under a partial name (or into a spool).
        ASSERT_EQ(grabber.grabbed.size(), 3);
        if (jobs == 1) {
            EXPECT_TRUE(QFileInfo(grabber.grabbed[0]).fileName().startsWith(u".T1.wav."));
        }
    }
}

TEST_F(RipEngineTest, AbortDuringTheLastEncodeKeepsOnlyFinishedTracks)
{
    auto spoolFile = std::make_unique<SpoolFile>();
    SpoolFile* spool = spoolFile.get();
    ScriptedGrabber grabber(std::move(spoolFile), {75, 75, 750});
    bool interrupted = false;
    const Result r = rip(grabber, 2, spool, 30ms, [&](Ripper& ripper) {
        const auto& tracks = ripper.tracks();
        if (!interrupted && tracks[0].state == RipTrack::State::Done &&
            tracks[1].state == RipTrack::State::Done &&
            tracks[2].state == RipTrack::State::Encoding) {
            interrupted = true;
            ripper.interrupt();
        }
    });
    ASSERT_TRUE(interrupted);
    EXPECT_EQ(r.code, ExitCode::Interrupted);
    EXPECT_EQ(r.files, (QStringList{QStringLiteral("T1.wav"), QStringLiteral("T2.wav")}));
}

TEST_F(RipEngineTest, FileTakingTheNameMeanwhileGetsTheNextFreeName)
{
    ScriptedGrabber grabber(std::make_unique<WavAudioFile>(), {75});
    grabber.grabMilliseconds = 100;
    QDir().mkpath(m_options.output);
    const QString taken = m_options.output + QStringLiteral("/T1.wav");
    // Another program makes the file while the track is read.
    const Result r = rip(grabber, 1, nullptr, 0ms, [&](Ripper& ripper) {
        if (ripper.tracks()[0].state == RipTrack::State::Reading && !QFileInfo::exists(taken))
            writeAll(taken, "theirs");
    });
    EXPECT_EQ(r.code, 0) << r.errors.toStdString();
    EXPECT_EQ(r.files, (QStringList{QStringLiteral("T1.wav"), QStringLiteral("T1_01.wav")}));
    EXPECT_EQ(readAll(taken), QByteArray("theirs"));
    EXPECT_EQ(dataBytes(QStringLiteral("T1_01.wav")), 75 * 588 * 4);
}

// The AccurateRip database is asked while the first track is read, and its answer is waited for
// only by the log (up to the time-out), never by the reads; an interrupt does not wait for it.
TEST_F(RipEngineTest, TheDatabaseIsAskedWhileTheFirstTrackIsRead)
{
    QTcpServer mute; // takes the connection and never answers
    ASSERT_TRUE(mute.listen(QHostAddress::LocalHost));
    writeAll(path(QStringLiteral("settings.ini")),
             QStringLiteral("[AccurateRip]\nserver=http://127.0.0.1:%1\n[Freedb]\ntimeout=1500\n")
                 .arg(mute.serverPort())
                 .toUtf8());
    m_options.accurateRip = true;
    m_options.log = true;
    ScriptedGrabber grabber(std::make_unique<WavAudioFile>(), {75, 75});
    // Both tracks are read and named before the verdicts, which come with the answer.
    QStringList verdictsWhenRead;
    const Result r = rip(grabber, 1, nullptr, 0ms, [&](Ripper& ripper) {
        const auto& tracks = ripper.tracks();
        if (verdictsWhenRead.isEmpty() && tracks[1].state == RipTrack::State::Done)
            verdictsWhenRead << tracks[0].record.accurateRip << tracks[1].record.accurateRip;
    });
    EXPECT_EQ(r.code, 0) << r.errors.toStdString();
    EXPECT_EQ(verdictsWhenRead, (QStringList{QString(), QString()}));
    const QString log = QString::fromUtf8(readAll(m_options.output + QStringLiteral("/Album.log")));
    EXPECT_TRUE(log.contains(QStringLiteral("could not be asked: no answer in time")))
        << log.toStdString();

    // Interrupted while the database is silent, the rip ends without waiting out the time-out.
    writeAll(path(QStringLiteral("settings.ini")),
             QStringLiteral("[AccurateRip]\nserver=http://127.0.0.1:%1\n[Freedb]\ntimeout=60000\n")
                 .arg(mute.serverPort())
                 .toUtf8());
    m_options.output = path(QStringLiteral("stopped"));
    QElapsedTimer clock;
    clock.start();
    const Result stopped =
        rip(grabber, 1, nullptr, 0ms, [](Ripper& ripper) { ripper.interrupt(); });
    EXPECT_EQ(stopped.code, ExitCode::Interrupted);
    EXPECT_LT(clock.elapsed(), 30000);
}

TEST(TrackFileTest, PublishNeverReplacesAFile)
{
    QTemporaryDir dir;
    const QString final = dir.filePath(QStringLiteral("Song.ogg"));
    const QString partial = freshPartialPath(final);
    EXPECT_TRUE(QFileInfo(partial).fileName().startsWith(QStringLiteral(".Song.ogg.")));
    for (const auto& [file, text] : {std::pair{partial, "new"}, std::pair{final, "old"}}) {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    const QString next = dir.filePath(QStringLiteral("Song_01.ogg"));
    EXPECT_EQ(publishTrackFile(partial, final, [&] { return next; }), next);
    QFile old(final), fresh(next);
    ASSERT_TRUE(old.open(QIODevice::ReadOnly) && fresh.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), QByteArray("old"));
    EXPECT_EQ(fresh.readAll(), QByteArray("new"));
    EXPECT_FALSE(QFileInfo::exists(partial));
}

TEST_F(RipEngineTest, DifferingTestAndCopyCrcsKeepTheFileAndFailTheRip)
{
    ScriptedGrabber grabber(std::make_unique<WavAudioFile>(), {75, 75});
    grabber.report.crc = 0x1234;
    grabber.testReport.crc = 0x1234;
    m_options.testCopy = true;
    m_options.log = true;
    m_options.tracks = {1};
    EXPECT_EQ(rip(grabber, 1, nullptr).code, 0);
    const QString log = QString::fromUtf8(readAll(m_options.output + QStringLiteral("/Album.log")));
    EXPECT_TRUE(log.contains(QStringLiteral("Test CRC: 00001234"))) << log.toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral("Result: Test and copy OK")));

    grabber.testReport.crc = 0x4321;
    m_options.tracks = {2};
    const Result r = rip(grabber, 1, nullptr);
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.files, (QStringList{QStringLiteral("Album.log"), QStringLiteral("Album_01.log"),
                                    QStringLiteral("T1.wav"), QStringLiteral("T2.wav")}));
    const QString second =
        QString::fromUtf8(readAll(m_options.output + QStringLiteral("/Album_01.log")));
    EXPECT_TRUE(second.contains(QStringLiteral("Copy CRC: 00001234")));
    EXPECT_TRUE(second.contains(QStringLiteral("Test CRC: 00004321")));
    EXPECT_TRUE(second.contains(QStringLiteral("Result: Test and copy CRCs differ")))
        << second.toStdString();
    EXPECT_TRUE(second.contains(QStringLiteral("test and copy CRCs differ for 1 track(s)")));
}

} // namespace
