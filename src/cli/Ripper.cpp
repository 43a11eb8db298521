#include "cli/Ripper.h"

#include "cli/ProgressReporter.h"
#include "cli/SpoolFile.h"
#include "components/ComponentError.h"
#include "components/IAudioCDGrabber2.h"
#include "components/IAudioFile2.h"
#include "components/IAudioFile2LameEnc.h"
#include "rip/EncoderConfiguration.h"
#include "rip/OutputNaming.h"
#include "rip/ReleaseTags.h"
#include "rip/TrackFile.h"
#include "settings/SettingsFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>

#include <vector>

namespace {

constexpr qint64 SpoolChunkBytes = 588 * 4 * 64; // 64 sectors of CD audio

QString errorText(const std::exception& e)
{
    return QString::fromUtf8(e.what());
}

// Encodes a spooled track on a pool thread; the error text, empty on success.
QString encodeSpool(IAudioFile2& file, const Spool& spool, const QString& out,
                    const std::atomic<bool>& cancel)
{
    try {
        file.open(out);
        std::vector<std::int16_t> buffer(SpoolChunkBytes / sizeof(std::int16_t));
        for (qint64 offset = 0; offset < spool.size() && !cancel;) {
            const qint64 got =
                spool.read(offset, reinterpret_cast<char*>(buffer.data()), SpoolChunkBytes);
            if (got == 0)
                break;
            offset += got;
            file.write(std::span(buffer.data(), static_cast<size_t>(got) / sizeof(std::int16_t)));
        }
        file.Close();
    } catch (const std::exception& e) {
        return errorText(e);
    }
    return {};
}

} // namespace

Ripper::Ripper(const CliOptions& options, const SettingsFile& settings, IAudioCDGrabber2& grabber,
               EncoderFactory factory, ProgressReporter& reporter, SpoolFile* spool)
    : m_options(options), m_settings(settings), m_grabber(grabber), m_factory(std::move(factory)),
      m_reporter(reporter), m_spool(spool), m_lame(m_factory.lameEncoder())
{
    m_jobs = std::max(1, options.jobs);
    m_pool.setMaxThreadCount(m_jobs);
    m_root = options.output.isEmpty() ? storedOutputPath(settings) : options.output;
    m_scheme = options.scheme ? *options.scheme : settings.read(Keys::Main::Output);
    m_extension = extensionForFormat(m_options.outputFormat);
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
    m_discTracks = count;
    const QString discId = m_record.discId;
    const QString accurateRip = m_record.accurateRip;
    m_record = beginRipRecord(m_settings, m_grabber, m_options.outputFormat);
    m_record.discId = discId;
    m_record.accurateRip = accurateRip;
    if (m_options.offset)
        m_record.readOffset = *m_options.offset;
    if (m_verify)
        m_record.readMode = QStringLiteral("Burst, then Paranoid for the tracks AccurateRip does "
                                           "not confirm");
    m_record.program = QCoreApplication::applicationName();
    m_record.version = QCoreApplication::applicationVersion();
    m_record.testCopy = m_options.testCopy;
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
        track.record = trackRecordFor(m_record, m_grabber, number, track.row.record.Title,
                                      track.row.record.Artist);
        m_totalSeconds += track.row.seconds();
        m_tracks.push_back(std::move(track));
    }
    if (!m_tracks.empty()) {
        const CDFreedinfo& disc = m_tracks.front().row.record;
        m_record.album = disc.Album;
        m_record.performer = disc.Artist;
        m_record.genre = disc.Genre;
        m_record.year = disc.Year;
        m_record.comment = disc.Comment;
    }
    return {};
}

void Ripper::start()
{
    m_clock.start();
    m_startError = prepareOutputFolder(m_root);
    if (!m_startError.isEmpty()) {
        m_finished = true;
        emit finished(ExitCode::TrackFailed);
        return;
    }
    connect(&m_grabber, &IAudioCDGrabber2::OnOperationProgress, this, &Ripper::onGrabProgress);
    connect(&m_grabber, &IAudioCDGrabber2::grabFailed, this, &Ripper::onGrabFailed);
    readNext();
    checkFinished();
}

int Ripper::run()
{
    int code = ExitCode::Ok;
    QEventLoop loop;
    connect(this, &Ripper::finished, &loop, [&](int exitCode) {
        code = exitCode;
        loop.quit();
    });
    start();
    if (!m_finished)
        loop.exec();
    return code;
}

bool Ripper::mayReadAhead() const
{
    // With spooling, one track is read ahead of the encoders: when one finishes, the next
    // track is ready for it, and no more spools wait than that.
    if (!spooling())
        return true;
    int waiting = 0;
    for (const RipTrack& track : m_tracks)
        if (track.state == RipTrack::State::Spooled || track.state == RipTrack::State::Encoding)
            ++waiting;
    return waiting <= m_jobs;
}

void Ripper::readNext()
{
    while (m_reading < 0 && !m_interrupted && m_next < m_tracks.size() && mayReadAhead())
        startRead(m_tracks[m_next++]);
}

bool Ripper::isTaken(const QString& path) const
{
    // Paths chosen for tracks whose files do not have their names yet count as taken too.
    for (const RipTrack& track : m_tracks)
        if (track.path == path && !track.partial.isEmpty())
            return true;
    return isTakenPath(path);
}

void Ripper::chooseOutputPath(RipTrack& track)
{
    track.directory =
        outputDirectory(m_root, m_scheme, track.row.record.Artist, track.row.record.Album);
    track.path = outputFilePath(track.directory, track.row.caption, m_extension, track.number,
                                [this](const QString& path) { return isTaken(path); });
    track.partial = freshPartialPath(track.path);
}

void Ripper::startRead(RipTrack& track)
{
    track.clock.start();
    try {
        m_grabber.EndRead();
        m_grabber.CurrentTrack(track.number - 1);
        chooseOutputPath(track);
        closeAudioFile();
        if (!spooling())
            configureEncoder(m_settings, m_options.outputFormat, *m_grabber.AudioFile(), *m_lame,
                             QString());
        track.state = RipTrack::State::Reading;
        m_reporter.trackStarted(track);
        m_grabber.GrabToFile(spooling() ? QDir::tempPath() : track.partial);
        m_reading = static_cast<int>(&track - m_tracks.data());
    } catch (const std::exception& e) {
        closeAudioFile();
        failTrack(track, errorText(e));
    }
}

void Ripper::onGrabProgress(double percent)
{
    if (m_reading < 0)
        return;
    RipTrack& track = m_tracks[static_cast<std::size_t>(m_reading)];
    const double elapsed = track.clock.elapsed() / 1000.0;
    m_reporter.trackProgress(track, percent,
                             elapsed > 0 ? track.row.seconds() * percent / 100.0 / elapsed : 0,
                             progress(percent));
    if (percent < 100.0)
        return;
    m_reading = -1;
    if (track.testing) {
        testReadEnded(track, {});
    } else {
        track.record.copy = m_grabber.lastGrabReport();
        if (readAgainIfUnverified(track, judgeCopy(track))) {
            checkFinished();
            return;
        }
        readComplete(track);
        if (m_options.testCopy && track.state != RipTrack::State::Failed && !m_interrupted)
            startTestRead(track);
    }
    readNext();
    checkFinished();
}

void Ripper::setAccurateRip(const AccurateRipAnswer& answer, bool verify)
{
    m_accurateRip = answer;
    m_verify = verify;
    m_record.accurateRip = answer.logLine();
}

std::optional<AccurateRipVerdict> Ripper::judgeCopy(RipTrack& track)
{
    if (!m_accurateRip || !track.record.copy)
        return std::nullopt;
    const auto verdict =
        judgeAccurateRip(*m_accurateRip, track.number - 1, track.record.copy->accurateRip);
    track.record.accurateRip = accurateRipVerdictText(verdict);
    return verdict;
}

bool Ripper::readAgainIfUnverified(RipTrack& track,
                                   const std::optional<AccurateRipVerdict>& verdict)
{
    if (!m_verify || track.rereading || m_interrupted)
        return false;
    if (verdict && verdict->accurate()) {
        track.record.readPath = QStringLiteral("Burst, confirmed by AccurateRip");
        return false;
    }
    track.rereading = true;
    track.record.readPath =
        QStringLiteral("Burst, not confirmed by AccurateRip; read again in Paranoid mode");
    // The burst read's audio goes: its file (or spool) is closed and dropped.
    closeAudioFile();
    if (spooling())
        m_spool->takeSpool();
    removePartial(track);
    constexpr int Burst = 0;
    constexpr int Paranoid = 3;
    m_grabber.GrabMode(Paranoid);
    startRead(track);
    m_grabber.GrabMode(Burst); // the read in progress keeps its mode
    return true;
}

void Ripper::startTestRead(RipTrack& track)
{
    // The second read only computes its CRC: nothing is written or spooled.
    try {
        m_grabber.CurrentTrack(track.number - 1);
        track.testing = true;
        m_grabber.TestRead();
        m_reading = static_cast<int>(&track - m_tracks.data());
    } catch (const std::exception& e) {
        testReadEnded(track, errorText(e));
    }
}

void Ripper::testReadEnded(RipTrack& track, const QString& error)
{
    track.testing = false;
    if (error.isEmpty())
        track.record.test = m_grabber.lastGrabReport();
    else
        track.record.error = QStringLiteral("the test read failed: ") + error;
}

void Ripper::onGrabFailed(const QString& message)
{
    if (m_reading < 0)
        return;
    RipTrack& track = m_tracks[static_cast<std::size_t>(m_reading)];
    m_reading = -1;
    const QString reason = message.isEmpty() ? QStringLiteral("the read ended early") : message;
    if (track.testing) {
        testReadEnded(track, reason);
        readNext();
        checkFinished();
        return;
    }
    track.record.copy = m_grabber.lastGrabReport();
    closeAudioFile();
    failTrack(track, reason);
    readNext();
    checkFinished();
}

void Ripper::readComplete(RipTrack& track)
{
    try {
        m_grabber.AudioFile()->Close();
    } catch (const std::exception& e) {
        failTrack(track, errorText(e));
        return;
    }
    if (!spooling()) {
        finishTrack(track);
        return;
    }
    track.spool = m_spool->takeSpool();
    track.state = RipTrack::State::Spooled;
    m_reporter.trackEncoding(track);
    startEncoders();
}

void Ripper::startEncoders()
{
    for (std::size_t i = 0; i < m_tracks.size() && m_running < m_jobs && !m_interrupted; ++i)
        if (m_tracks[i].state == RipTrack::State::Spooled)
            startEncoder(i);
}

void Ripper::startEncoder(std::size_t index)
{
    RipTrack& track = m_tracks[index];
    std::shared_ptr<IAudioFile2> file = m_factory.audioFile();
    std::shared_ptr<IAudioFile2LameEnc> lame = m_factory.lameEncoder();
    try {
        configureEncoder(m_settings, m_options.outputFormat, *file, *lame, QString());
    } catch (const std::exception& e) {
        failTrack(track, errorText(e));
        return;
    }
    track.state = RipTrack::State::Encoding;
    ++m_running;
    m_pool.start([this, index, file, lame, spool = track.spool, out = track.partial,
                  cancel = track.cancel] {
        const QString error = encodeSpool(*file, *spool, out, *cancel);
        QMetaObject::invokeMethod(
            this, [this, index, error] { encoderFinished(index, error); }, Qt::QueuedConnection);
    });
}

void Ripper::encoderFinished(std::size_t index, const QString& error)
{
    --m_running;
    RipTrack& track = m_tracks[index];
    track.spool.reset();
    if (m_interrupted) {
        removePartial(track);
        track.state = RipTrack::State::Failed;
    } else if (!error.isEmpty()) {
        failTrack(track, error);
    } else {
        finishTrack(track);
    }
    startEncoders();
    readNext();
    checkFinished();
}

void Ripper::finishTrack(RipTrack& track)
{
    try {
        TagRecord tag = tagRecordFor(track.row.record, track.number, m_discTracks);
        addEntryTags(tag, m_entry, track.number - 1,
                     m_settings.read(Keys::MusicBrainz::EmbedCover));
        track.path =
            finishTrackFile(track.partial, track.path,
                            {track.directory, track.row.caption, m_extension, track.number}, tag,
                            [this](const QString& path) { return isTaken(path); });
    } catch (const std::exception& e) {
        failTrack(track, errorText(e));
        return;
    }
    track.partial.clear();
    const QString coverLine = saveCover(m_entry, track.directory);
    if (!coverLine.isEmpty())
        m_reporter.note(coverLine);
    track.state = RipTrack::State::Done;
    track.size = QFileInfo(track.path).size();
    track.elapsed = track.clock.elapsed() / 1000.0;
    m_reporter.trackDone(track, progress(0));
}

void Ripper::failTrack(RipTrack& track, const QString& error)
{
    track.state = RipTrack::State::Failed;
    track.error = error;
    track.spool.reset();
    removePartial(track);
    m_reporter.trackFailed(track);
}

void Ripper::removePartial(RipTrack& track)
{
    // The partial name was free when chosen and only this run writes to it.
    if (!track.partial.isEmpty())
        QFile::remove(track.partial);
    track.partial.clear();
}

void Ripper::closeAudioFile()
{
    IAudioFile2& file = *m_grabber.AudioFile();
    try {
        if (file.IsOpen())
            file.Close();
    } catch (const std::exception&) {
        // Only the file of a track that has failed or been stopped is still open here; it goes.
    }
}

void Ripper::interrupt(int exitCode)
{
    if (m_interrupted || m_finished)
        return;
    m_interrupted = true;
    m_exitCode = exitCode;
    for (RipTrack& track : m_tracks)
        track.cancel->store(true);
    if (m_reading >= 0) {
        m_grabber.AbortGrab();
        closeAudioFile();
        RipTrack& track = m_tracks[static_cast<std::size_t>(m_reading)];
        // A track under its test read has its file already; only the test is lost.
        if (track.testing)
            testReadEnded(track, QStringLiteral("interrupted"));
        else
            track.state = RipTrack::State::Failed;
        m_reading = -1;
    }
    checkFinished();
}

void Ripper::checkFinished()
{
    if (m_finished || m_reading >= 0 || m_running > 0)
        return;
    if (!m_interrupted) {
        for (const RipTrack& track : m_tracks)
            if (track.state == RipTrack::State::Waiting || track.state == RipTrack::State::Spooled)
                return;
    }
    m_finished = true;
    if (m_interrupted) {
        for (RipTrack& track : m_tracks) {
            track.spool.reset();
            removePartial(track);
        }
        writeReports();
        emit finished(m_exitCode);
        return;
    }
    m_reporter.summary(m_tracks, m_clock.elapsed() / 1000.0);
    m_exitCode = ExitCode::Ok;
    for (const RipTrack& track : m_tracks)
        if (track.state != RipTrack::State::Done || !track.record.error.isEmpty() ||
            track.record.crcMismatch())
            m_exitCode = ExitCode::TrackFailed;
    writeReports();
    emit finished(m_exitCode);
}

void Ripper::writeReports()
{
    if (!m_options.log && !m_options.cue)
        return;
    RipRecord record = m_record;
    bool failed = false;
    for (const RipTrack& track : m_tracks) {
        RipTrackRecord entry = track.record;
        const bool done = track.state == RipTrack::State::Done;
        entry.file = done ? track.path : QString();
        if (!done && entry.error.isEmpty())
            entry.error = !track.error.isEmpty() ? track.error
                          : m_interrupted        ? QStringLiteral("interrupted")
                                                 : QStringLiteral("not read");
        failed = failed || !entry.ok();
        record.tracks.append(entry);
    }
    record.outcome = m_interrupted ? RipRecord::Outcome::Interrupted
                     : failed      ? RipRecord::Outcome::Failed
                                   : RipRecord::Outcome::Complete;
    const QString fallback = m_tracks.empty() || m_tracks.front().directory.isEmpty()
                                 ? QDir(m_root).absolutePath() + PathSeparator
                                 : m_tracks.front().directory;
    m_reportError = writeRipReports(record, fallback, m_options.log, m_options.cue);
}

RipProgress Ripper::progress(double currentPercent) const
{
    RipProgress result;
    result.total = static_cast<int>(m_tracks.size());
    double readSeconds = 0;
    for (const RipTrack& track : m_tracks) {
        if (track.state == RipTrack::State::Done || track.state == RipTrack::State::Failed)
            ++result.done;
        if (track.state == RipTrack::State::Reading)
            readSeconds += track.row.seconds() * currentPercent / 100.0;
        else if (track.state != RipTrack::State::Waiting)
            readSeconds += track.row.seconds();
    }
    const double fraction = m_totalSeconds > 0 ? readSeconds / m_totalSeconds : 0;
    result.percent = fraction * 100.0;
    const double elapsed = m_clock.elapsed() / 1000.0;
    if (fraction > 0.01 && elapsed > 1)
        result.secondsLeft = elapsed / fraction - elapsed;
    return result;
}
