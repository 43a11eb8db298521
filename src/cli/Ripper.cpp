#include "cli/Ripper.h"

#include "base/ComponentError.h"
#include "base/IAudioCDGrabber2.h"
#include "base/IAudioFile2LameEnc.h"
#include "cli/ProgressReporter.h"
#include "rip/OutputNaming.h"
#include "settings/SettingsFile.h"

#include <QDir>

namespace {

RipRequest requestFor(const CliOptions& options, const SettingsFile& settings)
{
    RipRequest request;
    request.format = options.outputFormat;
    request.root =
        QDir(options.output.isEmpty() ? storedOutputPath(settings) : options.output).absolutePath();
    request.scheme = options.scheme ? *options.scheme : settings.read(Keys::Main::Output);
    request.jobs = options.jobs;
    request.log = options.log;
    request.cue = options.cue;
    request.testCopy = options.testCopy;
    // A stored Main/Verify gives way to --no-accuraterip: a verified rip needs the database.
    request.verify = options.verify || (options.accurateRip && settings.read(Keys::Main::Verify));
    request.accurateRip = options.accurateRip && settings.read(Keys::AccurateRip::Enabled);
    request.readOffset = options.offset;
    request.nameTemplate =
        options.nameTemplate ? *options.nameTemplate : settings.read(Keys::Main::FileTemplate);
    request.replayGain = options.replayGain || settings.read(Keys::Main::ReplayGain);
    request.playlist = options.playlist && settings.read(Keys::Main::Playlist);
    request.deEmphasis = options.deEmphasis || settings.read(Keys::Main::RemoveEmphasis);
    request.hiddenTrack = options.hiddenTrack;
    return request;
}

} // namespace

Ripper::Ripper(const CliOptions& options, const SettingsFile& settings, IAudioCDGrabber2& grabber,
               EncoderFactory factory, ProgressReporter& reporter, SpoolFile* spool)
    : m_options(options), m_settings(settings), m_grabber(grabber), m_reporter(reporter),
      m_lame(factory.lameEncoder())
{
    m_engine = std::make_unique<RipEngine>(requestFor(options, settings), settings, grabber, m_list,
                                           *m_lame, std::move(factory), spool);
    RipEngine& engine = *m_engine;
    const auto track = [&engine](int position) -> const RipTrack& {
        return engine.tracks()[static_cast<std::size_t>(position)];
    };
    connect(&engine, &RipEngine::trackStarted, this,
            [this, track](int position) { m_reporter.trackStarted(track(position)); });
    connect(&engine, &RipEngine::trackProgress, this,
            [this, track](int position, double percent, double speed, const RipProgress& overall) {
                m_reporter.trackProgress(track(position), percent, speed, overall);
            });
    connect(&engine, &RipEngine::trackEncoding, this,
            [this, track](int position) { m_reporter.trackEncoding(track(position)); });
    connect(&engine, &RipEngine::trackDone, this,
            [this, track](int position, const RipProgress& overall) {
                m_reporter.trackDone(track(position), overall);
            });
    connect(&engine, &RipEngine::trackFailed, this,
            [this, track](int position) { m_reporter.trackFailed(track(position)); });
    connect(&engine, &RipEngine::note, this,
            [this](const QString& line) { m_reporter.note(line); });
}

Ripper::~Ripper() = default;

void Ripper::prepare()
{
    const int count = m_grabber.TrackCount();
    m_list.clearRows();
    m_list.resizeTable(count);
    for (int index = 0; index < count; ++index)
        m_list.appendTrack(readTrackRow(m_grabber, index));
    m_list.setAlbumArtist(readAlbumArtist(m_grabber));
    QList<int> rows;
    for (const int number : m_options.tracks) {
        if (number > count)
            throw ComponentError(QStringLiteral("track %1 is not on the disc (it has %2 tracks)")
                                     .arg(number)
                                     .arg(count));
        rows.append(number - 1);
    }
    if (m_options.tracks.isEmpty())
        for (int index = 0; index < count; ++index)
            rows.append(index);
    m_engine->setRows(rows);
}

void Ripper::setLookedUpEntry(const FreeDBEntry& entry)
{
    m_engine->setLookedUpEntry(entry);
}

int Ripper::run()
{
    m_engine->run();
    if (!m_engine->wasStopped())
        m_reporter.summary(m_engine->tracks(), m_engine->elapsedSeconds());
    return exitCode();
}

void Ripper::interrupt(int exitCode)
{
    if (m_interruptCode != 0 || m_engine->isFinished())
        return;
    m_interruptCode = exitCode;
    m_engine->stop();
}

int Ripper::exitCode() const
{
    if (m_interruptCode != 0)
        return m_interruptCode;
    for (const RipTrack& track : m_engine->tracks())
        if (track.state != RipTrack::State::Done || !track.record.error.isEmpty() ||
            track.record.crcMismatch())
            return ExitCode::TrackFailed;
    return ExitCode::Ok;
}
