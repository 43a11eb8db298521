#include "cli/Ripper.h"

#include "cli/ProgressReporter.h"
#include "components/ComponentError.h"
#include "components/IAudioCDGrabber2.h"
#include "components/IAudioFile2.h"
#include "components/IAudioFile2LameEnc.h"
#include "rip/EncoderConfiguration.h"
#include "rip/OutputNaming.h"
#include "rip/WriteTags.h"
#include "settings/SettingsFile.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <vector>

namespace {

constexpr qint64 SpoolChunkBytes = 588 * 4 * 64; // 64 sectors of CD audio

struct EncodeResult
{
    QString error; // empty on success
    bool created = false;
};

// Encodes a spooled track on a pool thread.
EncodeResult encodeSpool(IAudioFile2& file, const QString& spool, const QString& out,
                         const std::atomic<bool>& cancel)
{
    EncodeResult result;
    try {
        QFile in(spool);
        if (!in.open(QIODevice::ReadOnly))
            return {QStringLiteral("Cannot read %1: %2").arg(spool, in.errorString())};
        file.open(out);
        result.created = true;
        std::vector<std::int16_t> buffer(SpoolChunkBytes / sizeof(std::int16_t));
        for (;;) {
            if (cancel)
                break;
            const qint64 got = in.read(reinterpret_cast<char*>(buffer.data()), SpoolChunkBytes);
            if (got < 0)
                throw ComponentError(
                    QStringLiteral("Cannot read %1: %2").arg(spool, in.errorString()));
            if (got == 0)
                break;
            file.write(std::span(buffer.data(), static_cast<size_t>(got) / sizeof(std::int16_t)));
        }
        file.Close();
    } catch (const std::exception& e) {
        result.error = QString::fromUtf8(e.what());
    }
    return result;
}

} // namespace

Ripper::Ripper(const CliOptions& options, const SettingsFile& settings, IAudioCDGrabber2& grabber,
               EncoderFactory factory, ProgressReporter& reporter)
    : m_options(options), m_settings(settings), m_grabber(grabber), m_factory(std::move(factory)),
      m_reporter(reporter), m_lame(m_factory.lameEncoder())
{
    m_jobs = std::max(1, options.jobs);
    m_pool.setMaxThreadCount(m_jobs);
    m_root = options.output.isEmpty() ? storedOutputPath(settings) : options.output;
    m_scheme = options.scheme ? *options.scheme : settings.read(Keys::Main::Output);
}

Ripper::~Ripper()
{
    for (RipTrack& track : m_tracks)
        track.cancel->store(true);
    m_pool.waitForDone();
}

QString Ripper::prepare()
{
    const int count = m_grabber.TrackCount();
    QList<int> numbers = m_options.tracks;
    if (numbers.isEmpty())
        for (int n = 1; n <= count; ++n)
            numbers.append(n);
    for (int number : numbers) {
        if (number > count)
            return QStringLiteral("track %1 is not on the disc (it has %2 tracks)")
                .arg(number)
                .arg(count);
        RipTrack track;
        track.number = number;
        track.row = readTrackRow(m_grabber, number - 1);
        m_tracks.append(track);
    }
    return {};
}

bool Ripper::isTaken(const QString& path) const
{
    // Paths chosen for tracks whose files do not exist yet count as taken too.
    for (const RipTrack& track : m_tracks)
        if (track.path == path)
            return true;
    return isTakenPath(path);
}

QString Ripper::chooseOutputPath(const RipTrack& track)
{
    const QString dir =
        outputDirectory(m_root, m_scheme, track.row.record.Artist, track.row.record.Album);
    return outputFilePath(dir, track.row.caption, extensionForFormat(m_options.outputFormat),
                          [this](const QString& path) { return isTaken(path); });
}

int Ripper::run()
{
    QElapsedTimer clock;
    clock.start();
    for (qsizetype i = 0; i < m_tracks.size() && !m_interrupted; ++i) {
        RipTrack& track = m_tracks[i];
        track.clock.start();
        m_grabber.EndRead();
        m_grabber.CurrentTrack(track.number - 1);
        track.path = chooseOutputPath(track);
        if (spooling()) {
            // One track read ahead: when an encoder finishes, the next track is ready for it.
            waitUntil([this] { return m_running <= m_jobs || m_interrupted; });
            if (m_interrupted)
                break;
            readToSpool(track);
            if (track.state == RipTrack::State::Encoding)
                startEncoder(i);
        } else {
            ripDirect(track);
        }
    }
    waitUntil([this] { return m_running == 0; });
    if (m_interrupted) {
        removeUnfinished();
        return ExitCode::Interrupted;
    }
    m_reporter.summary(m_tracks, clock.elapsed() / 1000.0);
    for (const RipTrack& track : m_tracks)
        if (track.state != RipTrack::State::Done)
            return ExitCode::TrackFailed;
    return ExitCode::Ok;
}

void Ripper::ripDirect(RipTrack& track)
{
    try {
        configureEncoder(m_settings, m_options.outputFormat, *m_grabber.AudioFile(), *m_lame,
                         QString());
        if (grab(track, track.path))
            finishTrack(track);
    } catch (const std::exception& e) {
        failTrack(track, QString::fromUtf8(e.what()));
    }
}

void Ripper::readToSpool(RipTrack& track)
{
    try {
        if (!m_spoolDir)
            m_spoolDir = std::make_unique<QTemporaryDir>(QDir::tempPath() +
                                                         QStringLiteral("/tunecrest-rip-XXXXXX"));
        if (!m_spoolDir->isValid())
            throw ComponentError(
                QStringLiteral("Cannot make a folder for the read tracks in %1: %2")
                    .arg(QDir::tempPath(), m_spoolDir->errorString()));
        track.spool = m_spoolDir->filePath(QStringLiteral("track%1.pcm").arg(track.number));
        if (grab(track, track.spool))
            track.state = RipTrack::State::Encoding;
    } catch (const std::exception& e) {
        failTrack(track, QString::fromUtf8(e.what()));
    }
}

bool Ripper::grab(RipTrack& track, const QString& target)
{
    IAudioFile2& file = *m_grabber.AudioFile();
    closeAudioFile();
    track.state = RipTrack::State::Reading;
    m_reporter.trackStarted(track);
    bool complete = false;
    try {
        m_grabber.GrabToFile(target);
        track.fileCreated = track.fileCreated || target == track.path;
        complete = waitForGrab(track);
        if (file.IsOpen())
            file.Close();
    } catch (...) {
        closeAudioFile();
        throw;
    }
    return complete;
}

void Ripper::closeAudioFile()
{
    IAudioFile2& file = *m_grabber.AudioFile();
    try {
        if (file.IsOpen())
            file.Close();
    } catch (const std::exception&) {
        // Only a file of a track that has failed is still open here; the track's files go.
    }
}

bool Ripper::waitForGrab(RipTrack& track)
{
    bool complete = false;
    QString error;
    bool ended = false;
    const QMetaObject::Connection progress =
        connect(&m_grabber, &IAudioCDGrabber2::OnOperationProgress, this, [&](double percent) {
            const double elapsed = track.clock.elapsed() / 1000.0;
            m_reporter.trackProgress(
                track, percent, elapsed > 0 ? track.row.seconds * percent / 100.0 / elapsed : 0);
            if (percent == 100.0) {
                complete = ended = true;
                if (m_wait)
                    m_wait->quit();
            }
        });
    const QMetaObject::Connection failed =
        connect(&m_grabber, &IAudioCDGrabber2::grabFailed, this, [&](const QString& message) {
            error = message;
            ended = true;
            if (m_wait)
                m_wait->quit();
        });
    waitUntil([&] { return ended || m_interrupted; });
    disconnect(progress);
    disconnect(failed);
    if (m_interrupted) {
        m_grabber.AbortGrab();
        return false;
    }
    if (!complete)
        failTrack(track, error);
    return complete;
}

void Ripper::startEncoder(qsizetype index)
{
    RipTrack& track = m_tracks[index];
    std::shared_ptr<IAudioFile2> file = m_factory.audioFile();
    std::shared_ptr<IAudioFile2LameEnc> lame = m_factory.lameEncoder();
    try {
        configureEncoder(m_settings, m_options.outputFormat, *file, *lame, QString());
    } catch (const std::exception& e) {
        failTrack(track, QString::fromUtf8(e.what()));
        return;
    }
    m_reporter.trackEncoding(track);
    ++m_running;
    m_pool.start([this, index, file, lame, spool = track.spool, out = track.path,
                  cancel = track.cancel] {
        const EncodeResult result = encodeSpool(*file, spool, out, *cancel);
        QMetaObject::invokeMethod(
            this, [this, index, result] { encoderFinished(index, result.error, result.created); },
            Qt::QueuedConnection);
    });
}

void Ripper::encoderFinished(qsizetype index, const QString& error, bool created)
{
    --m_running;
    RipTrack& track = m_tracks[index];
    track.fileCreated = created;
    QFile::remove(track.spool);
    track.spool.clear();
    if (m_interrupted) {
        removeOwnFile(track); // cut short: the file holds part of the track
        track.state = RipTrack::State::Failed;
    } else if (!error.isEmpty())
        failTrack(track, error);
    else
        finishTrack(track);
    if (m_wait)
        m_wait->quit();
}

void Ripper::finishTrack(RipTrack& track)
{
    try {
        if (!WriteTags(track.path, track.row.record))
            throw std::runtime_error("the tags could not be written");
    } catch (const std::exception& e) {
        failTrack(track, QString::fromUtf8(e.what()));
        return;
    }
    track.state = RipTrack::State::Done;
    track.size = QFileInfo(track.path).size();
    track.elapsed = track.clock.elapsed() / 1000.0;
    m_reporter.trackDone(track);
}

void Ripper::failTrack(RipTrack& track, const QString& error)
{
    track.state = RipTrack::State::Failed;
    track.error = error.isEmpty() ? QStringLiteral("the read ended early") : error;
    removeOwnFile(track);
    if (!track.spool.isEmpty())
        QFile::remove(track.spool);
    m_reporter.trackFailed(track);
}

void Ripper::removeOwnFile(RipTrack& track)
{
    // Only a file this run created goes: if another program made one of that name between the
    // choice of the name and the start of the track, creating ours failed and theirs stays.
    if (track.fileCreated)
        QFile::remove(track.path);
    track.fileCreated = false;
}

void Ripper::waitUntil(const std::function<bool()>& done)
{
    while (!done()) {
        QEventLoop loop;
        m_wait = &loop;
        loop.exec();
        m_wait = nullptr;
    }
}

void Ripper::interrupt()
{
    m_interrupted = true;
    for (RipTrack& track : m_tracks)
        track.cancel->store(true);
    if (m_wait)
        m_wait->quit();
}

void Ripper::removeUnfinished()
{
    m_pool.waitForDone();
    closeAudioFile();
    for (RipTrack& track : m_tracks) {
        if (track.state == RipTrack::State::Done || track.state == RipTrack::State::Failed)
            continue;
        removeOwnFile(track);
        if (!track.spool.isEmpty())
            QFile::remove(track.spool);
    }
}
