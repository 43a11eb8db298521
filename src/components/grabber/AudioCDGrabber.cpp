#include "AudioCDGrabber.h"

#include "AccurateRipChecksum.h"
#include "BlockReadAhead.h"
#include "DiscReading.h"
#include "GrabWorker.h"
#include "MediaWatcher.h"
#include "TrackReader.h"
#include "base/ComponentError.h"
#include "base/IAudioFile2.h"

#include <QFileInfo>
#include <QThread>
#include <QTimer>

#include <atomic>

namespace {

constexpr int SectorsPerSecond = 75;

/// Ends the thread's event loop and waits for it before deleting it.
struct StoppingThreadDeleter
{
    void operator()(QThread* thread) const
    {
        thread->quit();
        thread->wait();
        std::default_delete<QThread>()(thread);
    }
};

} // namespace

/// One grab: its cancel flag, its worker and the thread the worker runs on. Destroying it
/// cancels the grab and waits for the worker to stop.
struct GrabRun
{
    GrabRun() = default;
    GrabRun(const GrabRun&) = delete;
    GrabRun& operator=(const GrabRun&) = delete;
    ~GrabRun() { cancel = true; }

    std::atomic<bool> cancel{false};
    bool active = true; // until its last event is delivered, or it is aborted
    std::unique_ptr<GrabWorker> worker;
    // Declared last, so the thread stops before the worker and the flag go.
    std::unique_ptr<QThread, StoppingThreadDeleter> thread;
};

TAudioCDGrabber2::TAudioCDGrabber2(std::unique_ptr<IAudioFile2> audioFile, QObject* parent)
    : IAudioCDGrabber2(parent), m_audioFile(std::move(audioFile)), m_watcher(new MediaWatcher(this))
{
    connect(m_watcher, &MediaWatcher::changed, this, &TAudioCDGrabber2::onMediaChanged);
    // The drives are known from the start, so their states can be asked before Initialize.
    findAllDrives();
}

void TAudioCDGrabber2::findAllDrives()
{
    m_drives = findDrives();
    for (const Drive& drive : std::as_const(m_drives))
        m_descriptions.append(describe(drive));
}

TAudioCDGrabber2::~TAudioCDGrabber2()
{
    AbortGrab();
    EndRead();
}

void TAudioCDGrabber2::Initialize()
{
    Uninitialize();
    findAllDrives();
    if (!m_drives.isEmpty())
        CurrentDevice(1);
}

void TAudioCDGrabber2::Uninitialize()
{
    AbortGrab();
    EndRead();
    m_watcher->stop();
    forgetDisc();
    clearLoadedEntry();
    m_drives.clear();
    m_descriptions.clear();
    m_device = 0;
}

void TAudioCDGrabber2::ReadDisc()
{
    const Drive& drive = currentDrive();
    forgetDisc();
    const std::unique_ptr<Disc> disc = openDisc(drive);
    if (!disc)
        return;
    m_toc = disc->readToc();
    disc->readDiscCodes(m_toc);
    m_audioTracks = m_toc.audioTracks();
    m_cdText = disc->readTexts(m_audioTracks);
    m_hiddenSectors = ::hiddenTrackSectors(*disc, m_toc);
    m_track = m_audioTracks.isEmpty() ? -1 : 0;
}

TocTrack TAudioCDGrabber2::trackToGrab()
{
    if (m_grab && m_grab->active)
        throw ComponentError(
            QStringLiteral("A grab is already running on %1.").arg(currentDrive().path));
    const TocTrack track = currentTocTrack();
    if (track.sectorCount <= 0)
        throw ComponentError(QStringLiteral("Track %1 of the disc in %2 holds no audio: the disc "
                                            "image ends before it.")
                                 .arg(track.number)
                                 .arg(currentDrive().path));
    endGrab();
    m_report = {};
    return track;
}

void TAudioCDGrabber2::GrabToFile(const QString& fileName)
{
    const TocTrack track = trackToGrab();
    m_audioFile->open(fileName);
    startGrab(track, m_audioFile.get());
}

void TAudioCDGrabber2::TestRead()
{
    startGrab(trackToGrab(), nullptr);
}

void TAudioCDGrabber2::startGrab(const TocTrack& track, IAudioFile2* file)
{
    auto run = std::make_unique<GrabRun>();
    run->worker = std::make_unique<GrabWorker>(currentDrive(), track, currentPlace(), m_options,
                                               file, run->cancel);
    run->thread.reset(new QThread);
    run->worker->moveToThread(run->thread.get());
    connect(run->thread.get(), &QThread::started, run->worker.get(), &GrabWorker::run);

    // The worker's signals arrive queued; those of a grab that has since ended are dropped.
    const quint64 serial = ++m_grabSerial;
    connect(run->worker.get(), &GrabWorker::progress, this, [this, serial](double percent) {
        if (serial != m_grabSerial)
            return;
        if (percent == 100.0)
            m_grab->active = false;
        emit OnOperationProgress(percent);
    });
    connect(run->worker.get(), &GrabWorker::retry, this, [this, serial](int retry, int sector) {
        if (serial == m_grabSerial)
            emit OnGrabRetry(retry, sector);
    });
    connect(run->worker.get(), &GrabWorker::reported, this,
            [this, serial](const GrabReport& report) {
                if (serial == m_grabSerial)
                    m_report = report;
            });
    connect(run->worker.get(), &GrabWorker::failed, this, [this, serial](const QString& message) {
        if (serial != m_grabSerial)
            return;
        m_grab->active = false;
        emit grabFailed(message);
    });
    run->thread->start();
    m_grab = std::move(run);
}

void TAudioCDGrabber2::AbortGrab()
{
    endGrab();
}

void TAudioCDGrabber2::endGrab()
{
    if (!m_grab)
        return;
    ++m_grabSerial; // what the worker still sends reaches nobody
    const bool stopped = m_grab->active;
    m_grab->cancel = true;
    m_grab->thread.reset(); // waits for the worker's last write
    // A stopped grab's report is that of what it wrote before the stop.
    if (stopped)
        m_report = m_grab->worker->report();
    m_grab.reset();
}

int TAudioCDGrabber2::addDrive(const QString& path)
{
    if (!isBlockDevice(path))
        return addImageDrive(path);
    const QString device = QFileInfo(path).canonicalFilePath();
    for (qsizetype i = 0; i < m_drives.size(); ++i) {
        const Drive& drive = m_drives.at(i);
        if (!drive.isImage() && QFileInfo(drive.path).canonicalFilePath() == device)
            return static_cast<int>(i + 1);
    }
    const Drive drive = hardwareDrive(path);
    m_drives.append(drive);
    m_descriptions.append(describe(drive));
    return DeviceCount();
}

int TAudioCDGrabber2::addImageDrive(const QString& path)
{
    const Drive drive = imageDrive(path);
    m_drives.append(drive);
    m_descriptions.append(describe(drive));
    return DeviceCount();
}

int TAudioCDGrabber2::DeviceCount() const
{
    return static_cast<int>(m_drives.size());
}

void TAudioCDGrabber2::CurrentDevice(int number)
{
    const Drive& drive = driveAt(number);
    m_device = number;
    EndRead();
    forgetDisc();
    clearLoadedEntry();
    m_watcher->watch(drive);
}

int TAudioCDGrabber2::currentDevice() const
{
    return m_device;
}

QString TAudioCDGrabber2::DeviceText1() const
{
    return m_device > 0 ? m_descriptions.at(m_device - 1).text1 : QString();
}

QString TAudioCDGrabber2::DeviceText2() const
{
    return m_device > 0 ? m_descriptions.at(m_device - 1).text2 : QString();
}

QString TAudioCDGrabber2::DeviceText3() const
{
    return m_device > 0 ? m_descriptions.at(m_device - 1).text3 : QString();
}

QString TAudioCDGrabber2::DeviceTag() const
{
    return m_device > 0 ? m_descriptions.at(m_device - 1).tag : QString();
}

int TAudioCDGrabber2::TrackCount() const
{
    return static_cast<int>(m_audioTracks.size());
}

void TAudioCDGrabber2::CurrentTrack(int index)
{
    if (index < 0 || index >= TrackCount())
        throw ComponentError(
            QStringLiteral("There is no track %1 on the disc in %2; it has %3.")
                .arg(index + 1)
                .arg(m_device > 0 ? currentDrive().path : QStringLiteral("no drive"))
                .arg(TrackCount()));
    m_track = index;
    m_hiddenSelected = false;
}

int TAudioCDGrabber2::hiddenTrackSectors() const
{
    return m_hiddenSectors;
}

void TAudioCDGrabber2::selectHiddenTrack()
{
    if (m_hiddenSectors <= 0)
        throw ComponentError(
            QStringLiteral("The disc in %1 has no hidden audio before its first track.")
                .arg(m_device > 0 ? currentDrive().path : QStringLiteral("no drive")));
    m_hiddenSelected = true;
}

bool TAudioCDGrabber2::trackPreEmphasis() const
{
    return currentTocTrack().preEmphasis;
}

void TAudioCDGrabber2::setDeEmphasis(bool on)
{
    m_options.deEmphasis = on;
}

int TAudioCDGrabber2::TrackLength1() const
{
    return trackSectors() / (SectorsPerSecond * 60);
}

int TAudioCDGrabber2::TrackLength2() const
{
    return trackSectors() / SectorsPerSecond % 60;
}

int TAudioCDGrabber2::TrackLength3() const
{
    return trackSectors() % SectorsPerSecond;
}

GrabReport TAudioCDGrabber2::lastGrabReport() const
{
    return m_report;
}

QString TAudioCDGrabber2::discCatalog() const
{
    return m_toc.catalog;
}

QString TAudioCDGrabber2::trackIsrc() const
{
    return currentTocTrack().isrc;
}

int TAudioCDGrabber2::trackStartSector() const
{
    return currentTocTrack().firstSector;
}

int TAudioCDGrabber2::trackPregapSectors() const
{
    return currentTocTrack().pregapSectors;
}

int TAudioCDGrabber2::trackSectors() const
{
    return m_track < 0 ? 0 : currentTocTrack().sectorCount;
}

bool TAudioCDGrabber2::hasTrackTitle() const
{
    return !ownTexts().title.isEmpty();
}

QString TAudioCDGrabber2::TrackArtist() const
{
    return currentTexts().artist;
}
QString TAudioCDGrabber2::albumArtist() const
{
    return currentTexts().albumArtist;
}

QString TAudioCDGrabber2::TrackAlbum() const
{
    return currentTexts().album;
}
QString TAudioCDGrabber2::TrackTitle() const
{
    return currentTexts().title;
}
QString TAudioCDGrabber2::TrackGenre() const
{
    return currentTexts().genre;
}
QString TAudioCDGrabber2::TrackYear() const
{
    return currentTexts().year;
}

void TAudioCDGrabber2::GrabMode(int mode)
{
    m_options.mode = ReadOptions::modeFromValue(mode);
}

void TAudioCDGrabber2::ErrorAction(int action)
{
    m_options.errorAction = ReadOptions::errorActionFromValue(action);
}

void TAudioCDGrabber2::ReadRetries(int retries)
{
    m_options.retries = ReadOptions::retriesFromValue(retries);
}

void TAudioCDGrabber2::setReadOffset(int samples)
{
    m_options.offset = ReadOptions::offsetFromValue(samples);
}

OffsetChecksums TAudioCDGrabber2::readAtAllOffsets(int index, int margin)
{
    CurrentTrack(index);
    const TocTrack track = trackToGrab();
    const int sectors = (2 * margin + AccurateRipChecksum::FramesPerSector - 1) /
                        AccurateRipChecksum::FramesPerSector;
    // The track and margin frames either side: read from -margin, sectors longer.
    TocTrack wider = track;
    wider.sectorCount += sectors;
    ReadOptions options = m_options;
    options.offset = -margin;
    const TrackPlace place = currentPlace();
    TrackReader reader(currentDrive(), wider, place, options, ReadEvents{});
    std::vector<std::int16_t> wide;
    constexpr int SectorsPerRead = 75;
    while (reader.readNext(SectorsPerRead, wide)) {
    }
    return OffsetChecksums(std::move(wide),
                           qint64{track.sectorCount} * AccurateRipChecksum::FramesPerSector, margin,
                           place.first, place.last);
}

void TAudioCDGrabber2::BeginRead()
{
    ReadOptions plain = m_options;
    plain.mode = ReadMode::Burst;
    const Drive& drive = currentDrive();
    const TocTrack track = currentTocTrack();
    const TrackPlace place = currentPlace();
    auto makeReader = [&](const std::atomic<bool>& cancel) {
        ReadEvents events{[this](int retry, int sector) { emit OnGrabRetry(retry, sector); },
                          &cancel};
        return std::make_unique<TrackReader>(drive, track, place, plain, std::move(events));
    };
    m_blockReader.reset();
    m_blockReader = std::make_unique<BlockReadAhead>(makeReader, ReadAheadSamples,
                                                     m_options.deEmphasizes(track.preEmphasis));
}

void TAudioCDGrabber2::EndRead()
{
    m_blockReader.reset();
}

QByteArray TAudioCDGrabber2::ReadBlock(int count)
{
    if (!m_blockReader || count <= 0)
        return {};
    std::vector<std::int16_t> pcm;
    try {
        pcm = m_blockReader->take(std::size_t(count) * SectorsPerBlockUnit * SamplesPerSector);
    } catch (const ComponentError&) {
        EndRead();
        throw;
    }
    return QByteArray(reinterpret_cast<const char*>(pcm.data()),
                      static_cast<qsizetype>(pcm.size() * sizeof(std::int16_t)));
}

IAudioFile2* TAudioCDGrabber2::AudioFile()
{
    return m_audioFile.get();
}

DriveState TAudioCDGrabber2::driveState(int number) const
{
    return stateOf(driveAt(number));
}

QString TAudioCDGrabber2::driveProblem(int number) const
{
    if (number < 1 || number > m_drives.size())
        return QString();
    return checkDrive(m_drives.at(number - 1)).problem;
}

DriveDescription TAudioCDGrabber2::describeDrive(int number) const
{
    driveAt(number);
    return m_descriptions.at(number - 1);
}

void TAudioCDGrabber2::setLoadedEntry(const QList<TrackTexts>& texts)
{
    m_loadedEntry = texts;
}

void TAudioCDGrabber2::clearLoadedEntry()
{
    m_loadedEntry.clear();
}

void TAudioCDGrabber2::QueryFreeDB(IFreeDBInformation2& info, int mode)
{
    Q_UNUSED(mode);
    // One connection per lookup object: the statuses of queries in a row come through it in
    // order.
    disconnect(&info, nullptr, this, nullptr);
    connect(&info, &IFreeDBInformation2::status, this,
            [this](int status) { emit OnFreeDBQueryStatus(status); });
    connect(&info, &IFreeDBInformation2::entryLoaded, this, &TAudioCDGrabber2::loadEntry);
    if (m_audioTracks.isEmpty()) {
        QTimer::singleShot(0, this, [this] { emit OnFreeDBQueryStatus(FreeDBStatus::NoEntry); });
        return;
    }
    info.query(freeDBDisc());
}

FreeDBDisc TAudioCDGrabber2::freeDBDisc() const
{
    // Lookups count frames from the start of the disc: sector 0 lies after the 2-second lead-in.
    constexpr int LeadIn = 150;
    FreeDBDisc disc;
    for (const TocTrack& track : m_toc.tracks) {
        disc.trackOffsets.append(track.firstSector + LeadIn);
        disc.dataTracks.append(!track.audio);
    }
    disc.leadOut = m_toc.leadOut + LeadIn;
    return disc;
}

void TAudioCDGrabber2::loadEntry(const FreeDBEntry& entry)
{
    // The entry names every track of the table of contents; the audio tracks take theirs.
    if (entry.disc != freeDBDisc() || entry.tracks.size() != m_toc.tracks.size())
        return;
    QList<TrackTexts> texts;
    for (qsizetype i = 0; i < m_toc.tracks.size(); ++i) {
        if (!m_toc.tracks.at(i).audio)
            continue;
        const FreeDBTrack& track = entry.tracks.at(i);
        texts.append({track.title, track.artist.isEmpty() ? entry.artist : track.artist,
                      entry.album, entry.genre, entry.year, entry.artist});
    }
    setLoadedEntry(texts);
}

const Drive& TAudioCDGrabber2::driveAt(int number) const
{
    if (number < 1 || number > DeviceCount())
        throw ComponentError(QStringLiteral("There is no CD drive number %1; %2 drives were found.")
                                 .arg(number)
                                 .arg(DeviceCount()));
    return m_drives.at(number - 1);
}

const Drive& TAudioCDGrabber2::currentDrive() const
{
    if (m_device < 1)
        throw ComponentError(QStringLiteral("No CD drive is selected."));
    return driveAt(m_device);
}

TocTrack TAudioCDGrabber2::currentTocTrack() const
{
    if (m_track < 0)
        throw ComponentError(
            QStringLiteral("No track is selected on the disc in %1.").arg(currentDrive().path));
    if (!m_hiddenSelected)
        return m_audioTracks.at(m_track);
    TocTrack hidden;
    hidden.number = 0;
    hidden.firstSector = 0;
    hidden.sectorCount = m_hiddenSectors;
    hidden.audio = true;
    hidden.preEmphasis = m_audioTracks.front().preEmphasis;
    return hidden;
}

TrackPlace TAudioCDGrabber2::currentPlace() const
{
    const TocTrack track = currentTocTrack();
    if (!m_hiddenSelected)
        return m_toc.placeOf(track);
    // Before the disc's first audio track, reading on into it.
    return {true, false, 0, m_audioTracks.back().endSector()};
}

TrackTexts TAudioCDGrabber2::ownTexts() const
{
    if (m_track < 0)
        return {};
    const int index = m_hiddenSelected ? 0 : m_track;
    TrackTexts texts = index < m_loadedEntry.size() ? m_loadedEntry.at(index)
                       : index < m_cdText.size()    ? m_cdText.at(index)
                                                    : TrackTexts{};
    if (m_hiddenSelected)
        texts.title.clear();
    return texts;
}

TrackTexts TAudioCDGrabber2::currentTexts() const
{
    if (m_track < 0)
        return {};
    TrackTexts texts = ownTexts();
    if (texts.title.isEmpty())
        texts.title =
            QStringLiteral("Session1 Track") + QString::number(m_hiddenSelected ? 0 : m_track + 1);
    return texts;
}

void TAudioCDGrabber2::forgetDisc()
{
    m_toc = {};
    m_audioTracks.clear();
    m_cdText.clear();
    m_track = -1;
    m_hiddenSectors = 0;
    m_hiddenSelected = false;
}

void TAudioCDGrabber2::onMediaChanged()
{
    clearLoadedEntry();
    emit OnMediaChange();
}
