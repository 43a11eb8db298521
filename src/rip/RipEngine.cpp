#include "rip/RipEngine.h"

#include "base/ComponentError.h"
#include "base/IAudioCDGrabber2.h"
#include "base/IAudioFile2.h"
#include "base/IAudioFile2LameEnc.h"
#include "base/ReadMode.h"
#include "base/ReplayGain.h"
#include "components/audiofile/SpoolFile.h"
#include "components/lookup/CddbProtocol.h"
#include "rip/EncoderConfiguration.h"
#include "rip/OutputNaming.h"
#include "rip/ReleaseTags.h"
#include "rip/TrackFile.h"
#include "rip/TrackListModel.h"
#include "rip/WriteTags.h"
#include "settings/SettingsFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <vector>

namespace {

constexpr qint64 SpoolChunkBytes = 588 * 4 * 64; // 64 sectors of CD audio

QString errorText(const std::exception& e)
{
    return QString::fromUtf8(e.what());
}

// Encodes a spooled track into out, on a pool thread; lock holds out's lock.
void encodeSpool(IAudioFile2& file, const Spool& spool, const QString& out,
                 const std::atomic<bool>& cancel, UniqueFd& lock, bool measure)
{
    file.measureReplayGain(measure);
    file.open(out);
    lock = lockPartialFile(out);
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
}

} // namespace

RipEngine::RipEngine(RipRequest request, const SettingsFile& settings, IAudioCDGrabber2& grabber,
                     const TrackListModel& list, IAudioFile2LameEnc& lame, EncoderFactory factory,
                     SpoolFile* spool)
    : m_request(std::move(request)), m_settings(settings), m_grabber(grabber), m_list(list),
      m_lame(lame), m_factory(std::move(factory)), m_spool(spool)
{
    m_request.jobs = std::max(1, m_request.jobs);
    m_pool.setMaxThreadCount(m_request.jobs);
    m_extension = extensionForFormat(m_request.format);
}

RipEngine::~RipEngine()
{
    for (RipTrack& track : m_tracks)
        track.cancel->store(true);
    m_pool.waitForDone();
}

void RipEngine::setRows(const QList<int>& rows)
{
    m_tracks.clear();
    m_totalSeconds = 0;
    const auto add = [this](int index, int number, int sectors) {
        RipTrack track;
        track.index = index;
        track.number = number;
        track.sectors = sectors;
        track.caption = captionOf(track);
        m_totalSeconds += track.seconds();
        m_tracks.push_back(std::move(track));
    };
    if (m_request.hiddenTrack && m_grabber.hiddenTrackSectors() > 0 && m_list.rowCount() > 0)
        add(RipTrack::HiddenTrack, 0, m_grabber.hiddenTrackSectors());
    for (const int row : rows)
        add(row, row + 1, m_list.sectors(row));
}

CDFreedinfo RipEngine::textsOf(const RipTrack& track) const
{
    if (track.index != RipTrack::HiddenTrack)
        return m_list.record(track.index);
    // The hidden audio belongs to the first track's disc texts, under a title of its own.
    CDFreedinfo texts = m_list.record(0);
    texts.Title = captionOf(track);
    return texts;
}

QString RipEngine::captionOf(const RipTrack& track) const
{
    return track.index == RipTrack::HiddenTrack ? QStringLiteral("Track00")
                                                : m_list.caption(track.index);
}

void RipEngine::selectTrack(const RipTrack& track)
{
    if (track.index == RipTrack::HiddenTrack)
        m_grabber.selectHiddenTrack();
    else
        m_grabber.CurrentTrack(track.index);
}

void RipEngine::start()
{
    m_started = true;
    m_clock.start();
    m_discTracks = m_grabber.TrackCount();
    m_record = beginRipRecord(m_settings, m_grabber, m_request.format);
    m_record.program = QCoreApplication::applicationName();
    m_record.version = QCoreApplication::applicationVersion();
    m_record.discId = Cddb::discIdText(Cddb::discId(m_grabber.freeDBDisc()));
    m_record.testCopy = m_request.testCopy;
    if (m_request.readOffset)
        m_record.readOffset = *m_request.readOffset;
    for (RipTrack& track : m_tracks) {
        const CDFreedinfo texts = textsOf(track);
        track.record =
            track.index == RipTrack::HiddenTrack
                ? hiddenTrackRecord(m_record, m_grabber, texts.Title, texts.Artist)
                : trackRecordFor(m_record, m_grabber, track.number, texts.Title, texts.Artist);
    }
    m_grabber.setDeEmphasis(m_request.deEmphasis);
    if (!m_tracks.empty()) {
        const CDFreedinfo disc = textsOf(m_tracks.front());
        m_record.album = disc.Album;
        m_record.performer = disc.Artist;
        m_record.genre = disc.Genre;
        m_record.year = disc.Year;
        m_record.comment = disc.Comment;
    }
    if (m_request.prepareRoot) {
        try {
            prepareOutputFolder(m_request.root);
        } catch (const std::exception& e) {
            m_error = errorText(e);
            m_finished = true;
            emit finished();
            return;
        }
    }
    askAccurateRip();
    connect(&m_grabber, &IAudioCDGrabber2::OnOperationProgress, this, &RipEngine::onGrabProgress);
    connect(&m_grabber, &IAudioCDGrabber2::grabFailed, this, &RipEngine::onGrabFailed);
    readNext();
    checkFinished();
}

void RipEngine::askAccurateRip()
{
    // The database is asked once for the run; a verified run needs its word on every track.
    if (m_tracks.empty() || !(m_request.accurateRip || m_request.verify))
        return;
    if (m_request.verify) {
        m_grabber.GrabMode(readModeValue(ReadMode::Burst));
        m_record.readMode =
            QStringLiteral("Burst, then Paranoid for the tracks AccurateRip does not confirm");
    }
    m_accurateRipLookup = std::make_unique<AccurateRipLookup>();
    connect(m_accurateRipLookup.get(), &AccurateRipLookup::answered, this,
            &RipEngine::accurateRipAnswered);
    m_accurateRipLookup->start(m_settings.path(), accurateRipDiscId(m_grabber.freeDBDisc()));
}

void RipEngine::accurateRipAnswered(const AccurateRipAnswer& answer)
{
    m_accurateRipLookup.release()->deleteLater(); // it is still in its own signal
    m_accurateRip = answer;
    m_record.accurateRip = answer.logLine();
    emit note(m_record.accurateRip);
    // The tracks read meanwhile get their verdicts now; one a verified run holds goes on.
    for (RipTrack& track : m_tracks) {
        if (track.awaitingVerdict) {
            track.awaitingVerdict = false;
            copyRead(track);
            readNext();
        } else if (track.record.copy && track.record.accurateRip.isEmpty() && !track.rereading) {
            judgeCopy(track);
        }
    }
    checkFinished();
}

void RipEngine::run()
{
    QEventLoop loop;
    connect(this, &RipEngine::finished, &loop, &QEventLoop::quit);
    start();
    if (!m_finished)
        loop.exec();
    if (!m_error.isEmpty())
        throw ComponentError(m_error);
}

int RipEngine::positionOf(const RipTrack& track) const
{
    return static_cast<int>(&track - m_tracks.data());
}

RipTrack* RipEngine::readingTrack()
{
    return m_reading < 0 ? nullptr : &m_tracks[static_cast<std::size_t>(m_reading)];
}

bool RipEngine::mayReadAhead() const
{
    if (std::any_of(m_tracks.begin(), m_tracks.end(),
                    [](const RipTrack& t) { return t.awaitingVerdict; }))
        return false;
    // With spooling, one track is read ahead of the encoders: when one finishes, the next
    // track is ready for it, and no more spools wait than that.
    if (!spooling())
        return true;
    const auto waiting = std::count_if(m_tracks.begin(), m_tracks.end(), [](const RipTrack& t) {
        return t.state == RipTrack::State::Spooled || t.state == RipTrack::State::Encoding;
    });
    return waiting <= m_request.jobs;
}

void RipEngine::readNext()
{
    while (m_reading < 0 && !m_stopped && !m_finished && m_next < m_tracks.size() && mayReadAhead())
        startRead(m_tracks[m_next++]);
}

QString RipEngine::folderArtist(const CDFreedinfo& texts) const
{
    // One album, one folder: the run's rows share an artist, which names it (edits in the tag
    // editor too), or the disc's artist as a whole does.
    const bool shared = std::all_of(m_tracks.begin(), m_tracks.end(), [&](const RipTrack& t) {
        return textsOf(t).Artist == texts.Artist;
    });
    return shared || m_list.albumArtist().isEmpty() ? texts.Artist : m_list.albumArtist();
}

bool RipEngine::isTaken(const QString& path) const
{
    // Paths chosen for tracks whose files do not have their names yet count as taken too.
    for (const RipTrack& track : m_tracks)
        if (track.path == path && !track.partial.isEmpty())
            return true;
    return isTakenPath(path);
}

void RipEngine::nameTrack(RipTrack& track)
{
    // The texts as they stand now name the file.
    const CDFreedinfo texts = textsOf(track);
    track.directory =
        outputDirectory(m_request.root, m_request.scheme, folderArtist(texts), texts.Album);
    const TemplateName name = applyFileTemplate(
        m_request.nameTemplate, {track.number, captionOf(track), texts.Artist, m_list.albumArtist(),
                                 texts.Album, texts.Year, texts.Genre, m_entry.discNumber});
    track.directory = outputSubfolder(track.directory, name.folders);
    track.caption = captionOf(track);
    track.stem = name.stem;
    m_lastDirectory = track.directory;
    if (!m_swept.contains(track.directory)) {
        m_swept << track.directory;
        sweepStalePartials(track.directory);
    }
}

void RipEngine::chooseOutputPath(RipTrack& track)
{
    track.path = outputFilePath(track.directory, track.stem, m_extension, track.number,
                                [this](const QString& path) { return isTaken(path); });
}

void RipEngine::startRead(RipTrack& track)
{
    track.clock.start();
    try {
        nameTrack(track);
        emit trackStarting(positionOf(track));
        m_grabber.EndRead(); // any block reading left over from playback
        selectTrack(track);
        chooseOutputPath(track);
        if (m_request.format == OutputFormatNumber::RealMedia) {
            // A format that produces nothing: no encoding, no file, no tags.
            track.state = RipTrack::State::Skipped;
            track.path.clear();
            return;
        }
        if (!spooling()) {
            configureEncoder(m_settings, m_request.format, *m_grabber.AudioFile(), m_lame,
                             m_request.mp3CommandLine);
            m_grabber.AudioFile()->measureReplayGain(m_request.replayGain);
        }
        closeAudioFile();
        track.partial = freshPartialPath(track.path);
        track.state = RipTrack::State::Reading;
        emit trackStarted(positionOf(track));
        m_grabber.GrabToFile(spooling() ? QDir::tempPath() : track.partial);
        if (!spooling())
            track.lock = std::make_shared<UniqueFd>(lockPartialFile(track.partial));
        m_reading = positionOf(track);
    } catch (const std::exception& e) {
        closeAudioFileQuietly();
        trackError(track, errorText(e));
    }
}

void RipEngine::onGrabProgress(double percent)
{
    RipTrack* reading = readingTrack();
    if (!reading)
        return;
    RipTrack& track = *reading;
    const double elapsed = track.clock.elapsed() / 1000.0;
    emit trackProgress(m_reading, percent,
                       elapsed > 0 ? track.seconds() * percent / 100.0 / elapsed : 0,
                       progress(percent));
    if (percent < 100.0)
        return;
    m_reading = -1;
    if (track.testing) {
        testReadEnded(track, {});
    } else {
        track.record.copy = m_grabber.lastGrabReport();
        // A verified run decides on the database's word, which may still be on its way: the
        // track waits for it, and no other read starts meanwhile.
        if (m_request.verify && awaitingAccurateRip() && !track.rereading) {
            track.awaitingVerdict = true;
            return;
        }
        copyRead(track);
    }
    readNext();
    checkFinished();
}

void RipEngine::copyRead(RipTrack& track)
{
    const std::optional<AccurateRipVerdict> verdict =
        awaitingAccurateRip() ? std::nullopt : judgeCopy(track);
    if (readAgainIfUnverified(track, verdict))
        return;
    readComplete(track);
    if (m_request.testCopy && track.state != RipTrack::State::Failed && !m_stopped && !m_finished)
        startTestRead(track);
}

std::optional<AccurateRipVerdict> RipEngine::judgeCopy(RipTrack& track)
{
    if (!m_accurateRip || !track.record.copy || track.number < 1)
        return std::nullopt;
    const auto verdict =
        judgeAccurateRip(*m_accurateRip, track.number - 1, track.record.copy->accurateRip);
    track.record.accurateRip = accurateRipVerdictText(verdict);
    emit trackJudged(positionOf(track));
    return verdict;
}

bool RipEngine::readAgainIfUnverified(RipTrack& track,
                                      const std::optional<AccurateRipVerdict>& verdict)
{
    if (!m_request.verify || !m_accurateRip || track.rereading || m_stopped)
        return false;
    if (verdict && verdict->accurate()) {
        track.record.readPath = QStringLiteral("Burst, confirmed by AccurateRip");
        return false;
    }
    track.rereading = true;
    track.record.readPath =
        QStringLiteral("Burst, not confirmed by AccurateRip; read again in Paranoid mode");
    // The burst read's audio goes: its file (or spool) is closed and dropped.
    closeAudioFileQuietly();
    if (spooling())
        m_spool->takeSpool();
    removePartial(track);
    m_grabber.GrabMode(readModeValue(ReadMode::Paranoid));
    startRead(track);
    m_grabber.GrabMode(readModeValue(ReadMode::Burst)); // the read under way keeps its mode
    return true;
}

void RipEngine::startTestRead(RipTrack& track)
{
    // The second read only computes its CRC: nothing is written or spooled.
    try {
        selectTrack(track);
        track.testing = true;
        m_grabber.TestRead();
        m_reading = positionOf(track);
    } catch (const std::exception& e) {
        testReadEnded(track, errorText(e));
    }
}

void RipEngine::testReadEnded(RipTrack& track, const QString& error)
{
    track.testing = false;
    if (error.isEmpty())
        track.record.test = m_grabber.lastGrabReport();
    else
        track.record.error = QStringLiteral("the test read failed: ") + error;
}

void RipEngine::onGrabFailed(const QString& message)
{
    RipTrack* reading = readingTrack();
    if (!reading)
        return;
    RipTrack& track = *reading;
    m_reading = -1;
    const QString reason = message.isEmpty() ? QStringLiteral("The read ended early.") : message;
    if (track.testing) {
        testReadEnded(track, reason);
    } else {
        track.record.copy = m_grabber.lastGrabReport();
        closeAudioFileQuietly();
        trackError(track, reason);
    }
    readNext();
    checkFinished();
}

void RipEngine::readComplete(RipTrack& track)
{
    try {
        closeAudioFile();
    } catch (const std::exception& e) {
        trackError(track, errorText(e));
        return;
    }
    if (!spooling())
        track.loudness = m_grabber.AudioFile()->takeReplayGainMeter();
    if (!spooling()) {
        finishTrack(track);
        return;
    }
    track.spool = m_spool->takeSpool();
    track.state = RipTrack::State::Spooled;
    emit trackEncoding(positionOf(track));
    startEncoders();
}

void RipEngine::startEncoders()
{
    for (std::size_t i = 0; i < m_tracks.size() && m_running < m_request.jobs && !m_stopped; ++i)
        if (m_tracks[i].state == RipTrack::State::Spooled)
            startEncoder(i);
}

void RipEngine::startEncoder(std::size_t index)
{
    RipTrack& track = m_tracks[index];
    std::shared_ptr<IAudioFile2> file = m_factory.audioFile();
    std::shared_ptr<IAudioFile2LameEnc> lame = m_factory.lameEncoder();
    try {
        configureEncoder(m_settings, m_request.format, *file, *lame, m_request.mp3CommandLine);
    } catch (const std::exception& e) {
        trackError(track, errorText(e));
        return;
    }
    track.state = RipTrack::State::Encoding;
    ++m_running;
    track.lock = std::make_shared<UniqueFd>();
    m_pool.start([this, index, file, lame, spool = track.spool, out = track.partial,
                  cancel = track.cancel, lock = track.lock, measure = m_request.replayGain] {
        // The encoder's error goes to the engine's thread as text; nothing is thrown across.
        QString error;
        std::shared_ptr<ReplayGainMeter> loudness;
        try {
            encodeSpool(*file, *spool, out, *cancel, *lock, measure);
            loudness = file->takeReplayGainMeter();
        } catch (const std::exception& e) {
            error = errorText(e);
        }
        QMetaObject::invokeMethod(
            this,
            [this, index, error, loudness] {
                m_tracks[index].loudness = loudness;
                encoderFinished(index, error);
            },
            Qt::QueuedConnection);
    });
}

void RipEngine::encoderFinished(std::size_t index, const QString& error)
{
    --m_running;
    RipTrack& track = m_tracks[index];
    track.spool.reset();
    if (m_stopped) {
        removePartial(track);
        track.state = RipTrack::State::Failed;
    } else if (!error.isEmpty()) {
        trackError(track, error);
    } else {
        finishTrack(track);
    }
    startEncoders();
    readNext();
    checkFinished();
}

void RipEngine::finishTrack(RipTrack& track)
{
    try {
        track.tag = tagFor(track);
        track.path = finishTrackFile(
            track.partial, track.path, {track.directory, track.stem, m_extension, track.number},
            track.tag, [this](const QString& path) { return isTaken(path); });
    } catch (const std::exception& e) {
        trackError(track, errorText(e));
        return;
    }
    track.partial.clear();
    track.lock.reset();
    track.record.file = track.path;
    if (track.loudness)
        track.record.trackGain = track.loudness->trackValues();
    saveCover(track);
    track.state = RipTrack::State::Done;
    track.size = QFileInfo(track.path).size();
    track.elapsed = track.clock.elapsed() / 1000.0;
    emit trackDone(positionOf(track), progress(0));
}

TagRecord RipEngine::tagFor(const RipTrack& track) const
{
    // The texts as they stand now: the tag editor may have changed them during the read.
    TagRecord tag = tagRecordFor(textsOf(track), track.number, m_discTracks);
    tag.albumArtist = m_list.albumArtist();
    addEntryTags(tag, m_entry, track.number - 1, m_settings.read(Keys::MusicBrainz::EmbedCover));
    if (track.loudness)
        if (const auto values = track.loudness->trackValues())
            tag.replayGain.setTrack(*values);
    return tag;
}

void RipEngine::tagAlbumGain()
{
    // Only a whole album has an album gain: after a stop or a failed track the files keep their
    // track values alone.
    std::vector<const ReplayGainMeter*> meters;
    for (const RipTrack& track : m_tracks) {
        if (track.state == RipTrack::State::Skipped)
            continue;
        if (track.state != RipTrack::State::Done || !track.loudness)
            return;
        meters.push_back(track.loudness.get());
    }
    const std::optional<ReplayGainValues> album = albumValues(meters);
    if (!album)
        return;
    for (RipTrack& track : m_tracks) {
        if (track.state != RipTrack::State::Done)
            continue;
        track.tag.replayGain.setAlbum(*album);
        // A file that cannot take the album values keeps its track values; the rip is done.
        try {
            RewriteTags(track.path, track.tag);
            track.record.albumGain = album;
        } catch (const std::exception& e) {
            emit note(errorText(e));
        }
    }
}

void RipEngine::saveCover(const RipTrack& track)
{
    // A cover that cannot be saved is said; the track is done all the same.
    try {
        const QString line = ::saveCover(m_entry, track.directory);
        if (!line.isEmpty())
            emit note(line);
    } catch (const std::exception& e) {
        emit note(errorText(e));
    }
}

void RipEngine::trackError(RipTrack& track, const QString& error)
{
    failTrack(track, error);
    if (!m_request.stopAtFirstError || m_finished)
        return;
    // The run ends here: what is under way stops and its unfinished files go.
    m_error = error;
    m_stopped = true;
    m_accurateRipLookup.reset();
    for (RipTrack& other : m_tracks)
        other.cancel->store(true);
    if (m_reading >= 0) {
        m_grabber.AbortGrab();
        closeAudioFileQuietly();
        m_reading = -1;
    }
}

void RipEngine::failTrack(RipTrack& track, const QString& error)
{
    track.state = RipTrack::State::Failed;
    track.error = error;
    track.record.error = error;
    track.spool.reset();
    removePartial(track);
    emit trackFailed(positionOf(track));
}

void RipEngine::removePartial(RipTrack& track)
{
    // The partial name was free when chosen and only this run writes to it.
    if (!track.partial.isEmpty())
        QFile::remove(track.partial);
    track.partial.clear();
    track.lock.reset();
}

void RipEngine::closeAudioFile()
{
    IAudioFile2& file = *m_grabber.AudioFile();
    if (file.IsOpen())
        file.Close();
}

void RipEngine::closeAudioFileQuietly()
{
    // Only the file of a track that has failed or been stopped is still open here; it goes.
    try {
        closeAudioFile();
    } catch (const std::exception&) {
    }
}

void RipEngine::stop()
{
    if (!m_started || m_stopped || m_finished)
        return;
    m_stopped = true;
    for (RipTrack& track : m_tracks)
        track.cancel->store(true);
    // A stop takes effect at once: the database's answer is not waited for.
    m_accurateRipLookup.reset();
    for (RipTrack& track : m_tracks) {
        if (!track.awaitingVerdict)
            continue;
        // Read but not yet judged: kept as read, or dropped with the other unfinished files.
        track.awaitingVerdict = false;
        if (m_request.keepStoppedTrack) {
            readComplete(track);
        } else {
            closeAudioFileQuietly();
            track.state = RipTrack::State::Failed;
        }
    }
    if (RipTrack* reading = readingTrack()) {
        RipTrack& track = *reading;
        m_grabber.AbortGrab();
        m_reading = -1;
        if (track.testing) {
            // The track has its file already; only the test is lost.
            if (m_request.keepStoppedTrack)
                track.testing = false;
            else
                testReadEnded(track, QStringLiteral("interrupted"));
        } else if (m_request.keepStoppedTrack && !spooling()) {
            // What was read is kept: the file is closed, tagged and named.
            track.record.copy = m_grabber.lastGrabReport();
            track.record.error = QStringLiteral("stopped");
            track.record.stopped = true;
            try {
                closeAudioFile();
            } catch (const std::exception& e) {
                trackError(track, errorText(e));
            }
            if (track.state == RipTrack::State::Reading)
                finishTrack(track);
        } else {
            closeAudioFileQuietly();
            track.state = RipTrack::State::Failed;
        }
    }
    checkFinished();
}

void RipEngine::checkFinished()
{
    // The log waits for the database's answer, which has a deadline of its own.
    if (m_finished || !m_started || m_reading >= 0 || m_running > 0 || awaitingAccurateRip())
        return;
    if (!m_stopped) {
        for (const RipTrack& track : m_tracks)
            if (track.state == RipTrack::State::Waiting || track.state == RipTrack::State::Spooled)
                return;
    }
    m_finished = true;
    for (RipTrack& track : m_tracks) {
        track.spool.reset();
        removePartial(track);
    }
    if (m_request.replayGain && !m_stopped && m_error.isEmpty())
        tagAlbumGain();
    writeReports();
    emit finished();
}

void RipEngine::writeReports()
{
    if (!m_request.log && !m_request.cue && !m_request.playlist)
        return;
    RipRecord record = m_record;
    bool failed = false;
    for (const RipTrack& track : m_tracks) {
        if (track.state == RipTrack::State::Skipped)
            continue;
        RipTrackRecord entry = track.record;
        const bool done = track.state == RipTrack::State::Done;
        entry.file = done ? track.path : QString();
        if (!done && entry.error.isEmpty())
            entry.error = !track.error.isEmpty() ? track.error
                          : m_stopped            ? QStringLiteral("interrupted")
                                                 : QStringLiteral("not read");
        failed = failed || !entry.ok();
        record.tracks.append(entry);
    }
    if (record.tracks.isEmpty())
        return;
    record.outcome = !m_error.isEmpty() ? RipRecord::Outcome::Failed
                     : m_stopped        ? RipRecord::Outcome::Interrupted
                     : failed           ? RipRecord::Outcome::Failed
                                        : RipRecord::Outcome::Complete;
    const QString fallback = m_tracks.front().directory.isEmpty()
                                 ? QDir(m_request.root).absolutePath() + PathSeparator
                                 : m_tracks.front().directory;
    // A log that cannot be written does not change the run's outcome; it is said apart.
    try {
        writeRipReports(record, fallback, {m_request.log, m_request.cue, m_request.playlist});
    } catch (const std::exception& e) {
        m_reportError = errorText(e);
    }
}

RipProgress RipEngine::progress(double currentPercent) const
{
    RipProgress result;
    result.total = static_cast<int>(m_tracks.size());
    double readSeconds = 0;
    for (const RipTrack& track : m_tracks) {
        if (track.state == RipTrack::State::Done || track.state == RipTrack::State::Failed ||
            track.state == RipTrack::State::Skipped)
            ++result.done;
        if (track.state == RipTrack::State::Reading)
            readSeconds += track.seconds() * currentPercent / 100.0;
        else if (track.state != RipTrack::State::Waiting)
            readSeconds += track.seconds();
    }
    const double fraction = m_totalSeconds > 0 ? readSeconds / m_totalSeconds : 0;
    result.percent = fraction * 100.0;
    const double elapsed = m_clock.elapsed() / 1000.0;
    if (fraction > 0.01 && elapsed > 1)
        result.secondsLeft = elapsed / fraction - elapsed;
    return result;
}
