#pragma once

#include "base/IAudioCDGrabber2.h"
#include "base/IFreeDBInformation2.h"
#include "components/grabber/DiscToc.h"
#include "components/grabber/Drive.h"
#include "components/grabber/ReadOptions.h"
#include "components/grabber/TrackTexts.h"

#include <QList>

#include <memory>

class BlockReadAhead;
class OffsetChecksums;
class IAudioFile2;
class MediaWatcher;
struct GrabRun;

/// The CD grabber over libcdio and libcdio-paranoia: hardware drives and disc-image drives,
/// table of contents and CD-Text, grabbing on a worker thread, block reading for playback.
class TAudioCDGrabber2 final : public IAudioCDGrabber2
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TAudioCDGrabber2)
public:
    /// ReadBlock's count is in these: 8 sectors, 8/75 s (about 0.1 s) of audio.
    static constexpr int SectorsPerBlockUnit = 8;
    /// Interleaved 16-bit stereo samples in one sector.
    static constexpr std::size_t SamplesPerSector = 588 * 2;
    /// How far a block read runs ahead of ReadBlock: ten seconds of audio.
    static constexpr std::size_t ReadAheadSamples = 10 * 75 * SamplesPerSector;

    /// audioFile is the file every grab writes through. The drives are found at once; Initialize
    /// finds them anew and selects the first.
    explicit TAudioCDGrabber2(std::unique_ptr<IAudioFile2> audioFile, QObject* parent = nullptr);
    ~TAudioCDGrabber2() override;

    void Initialize() override;
    void Uninitialize() override;
    /// Leaves an open block read alone: playback goes on through a re-read of the same disc.
    void ReadDisc() override;
    /// Opens AudioFile() at fileName (its failure is thrown from here), then grabs the current
    /// track on a worker thread. Throws ComponentError while another grab runs.
    void GrabToFile(const QString& fileName) override;
    /// Stops the grab and returns when its worker has written its last; no event of it follows.
    /// lastGrabReport() then describes what the grab wrote (complete false).
    void AbortGrab() override;

    int DeviceCount() const override;
    void CurrentDevice(int number) override;
    int currentDevice() const override;
    QString DeviceText1() const override;
    QString DeviceText2() const override;
    QString DeviceText3() const override;
    QString DeviceTag() const override;

    int TrackCount() const override;
    void CurrentTrack(int index) override;
    int TrackLength1() const override;
    int TrackLength2() const override;
    int TrackLength3() const override;
    int trackSectors() const override;
    bool hasTrackTitle() const override;
    QString TrackArtist() const override;
    QString TrackAlbum() const override;
    QString albumArtist() const override;
    QString TrackTitle() const override;
    QString TrackGenre() const override;
    QString TrackYear() const override;

    /// Adds an image drive for the disc image at path after the others and returns its number.
    /// Any path works, also one with a ':' that the environment variable cannot carry.
    int addImageDrive(const QString& path);
    /// The drive at path: a block device (/dev/sr0, or a link to one) is a hardware drive, its
    /// number among the drives found when it is one of them, else added after them; any other
    /// path is an image drive as addImageDrive adds it (a path where nothing is yet gives an
    /// empty drive). Returns its number.
    int addDrive(const QString& path) override;

    /// Values outside 0 .. 3 select Synch (1).
    void GrabMode(int mode) override;
    /// Values outside 0 .. 2 select Stop (0).
    void ErrorAction(int action) override;
    /// Values outside 0 .. 100 select 1.
    void ReadRetries(int retries) override;
    void setReadOffset(int samples) override;

    /// Reads the audio track index (0-based; it becomes the current one) once, in the grab mode,
    /// with margin samples (at most 3000) either side, for its checksums at every offset within
    /// ±margin. Waits for the read; throws ComponentError when it fails.
    OffsetChecksums readAtAllOffsets(int index, int margin);

    /// Block reading in plain reads, whatever the grab mode; the error action applies. The
    /// track is read ahead on a thread of its own, so ReadBlock waits only for the first blocks.
    void BeginRead() override;
    void EndRead() override;
    /// count is in units of SectorsPerBlockUnit sectors. Returns an empty array at the end of
    /// the track, and when no read is open (a player event may still ask after EndRead).
    QByteArray ReadBlock(int count) override;

    IAudioFile2* AudioFile() override;
    void TestRead() override;
    GrabReport lastGrabReport() const override;
    QString discCatalog() const override;
    QString trackIsrc() const override;
    int trackStartSector() const override;
    int trackPregapSectors() const override;
    int hiddenTrackSectors() const override;
    void selectHiddenTrack() override;
    bool trackPreEmphasis() const override;
    void setDeEmphasis(bool on) override;

    /// Looks the disc of the last ReadDisc up; a disc changed before the entry arrives keeps its
    /// own texts. An empty drive reports NoEntry.
    void QueryFreeDB(IFreeDBInformation2& info, int mode) override;
    /// The disc of the last ReadDisc as a lookup sees it: every track of its table of contents,
    /// which for an image is the pressed disc's layout (an Enhanced CD's data session after the
    /// gap between the sessions).
    FreeDBDisc freeDBDisc() const override;

    /// A disc image that cannot be read (a missing or unusable BIN, a cue sheet of another
    /// kind, a FIFO) is Empty here; driveProblem says why.
    DriveState driveState(int number) const override;
    /// Why the disc in drive number (1-based) cannot be read, as ReadDisc would raise it ("The
    /// disc image X names Y, which does not exist."); empty when the drive is empty, holds a
    /// readable disc, or number is no drive.
    QString driveProblem(int number) const override;
    DriveDescription describeDrive(int number) const override;

    /// Texts from a loaded CDDB entry, one per audio track in order; they take precedence over
    /// CD-Text. Dropped when the disc or the drive changes.
    void setLoadedEntry(const QList<TrackTexts>& texts);
    void clearLoadedEntry();
    /// The table of contents of the last ReadDisc, data tracks included.
    const DiscToc& discToc() const { return m_toc; }

private:
    void findAllDrives();
    const Drive& driveAt(int number) const;
    const Drive& currentDrive() const;
    /// The current track, or the hidden track one audio as a track numbered 0.
    TocTrack currentTocTrack() const;
    TrackPlace currentPlace() const;
    /// The texts of the current track from the loaded entry or CD-Text; an empty title where
    /// there is none.
    TrackTexts ownTexts() const;
    /// The same with the placeholder title where there is none.
    TrackTexts currentTexts() const;
    void forgetDisc();
    void onMediaChanged();
    void loadEntry(const FreeDBEntry& entry);
    /// The current track, checked for a grab to start, with any earlier grab ended.
    TocTrack trackToGrab();
    void startGrab(const TocTrack& track, IAudioFile2* file);
    void endGrab();

    std::unique_ptr<IAudioFile2> m_audioFile;
    QList<Drive> m_drives;
    QList<DriveDescription> m_descriptions;
    int m_device = 0; // 1-based; 0 none
    DiscToc m_toc;
    QList<TocTrack> m_audioTracks;
    QList<TrackTexts> m_cdText;
    QList<TrackTexts> m_loadedEntry;
    int m_track = -1;
    int m_hiddenSectors = 0;
    bool m_hiddenSelected = false; // the current track is the hidden track one audio
    ReadOptions m_options;
    MediaWatcher* m_watcher;
    std::unique_ptr<BlockReadAhead> m_blockReader;
    std::unique_ptr<GrabRun> m_grab;
    quint64 m_grabSerial = 0;
    GrabReport m_report;
};
