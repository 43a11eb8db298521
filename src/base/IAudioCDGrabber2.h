#pragma once

#include "base/IFreeDBInformation2.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

class IAudioFile2;

/// What a drive holds.
enum class DriveState { Empty, AudioDisc, DataDisc };

/// A drive's description, as the settings dialog lists it.
struct DriveDescription
{
    QString tag;   // device path or image path
    QString text1; // vendor, or "Disc Image"
    QString text2; // model, or the image's file name
    QString text3; // revision, or the image kind ("CUE", "TOC", "NRG", "ISO")
};

/// The AccurateRip checksums of a track as read: v1, v2, and v1 over its sector 450 alone (0
/// when the track is shorter), which the database keeps for finding offsets.
struct AccurateRipSums
{
    quint32 v1 = 0;
    quint32 v2 = 0;
    quint32 frame450 = 0;

    friend bool operator==(const AccurateRipSums&, const AccurateRipSums&) = default;
};

/// What the last read of a track found, for the rip log.
struct GrabReport
{
    quint32 crc = 0;       // CRC-32 (zlib's) of the track's PCM as read, after the error action
    int peak = 0;          // the largest sample magnitude, 0 .. 32768
    QList<int> unreadable; // sectors (LSN) that could not be read, in order
    bool complete = false; // the read reached the track's end
    AccurateRipSums accurateRip; // of the audio as read, the read offset applied
    // The track has pre-emphasis and de-emphasis was on: the audio handed on (and so crc and
    // peak) is de-emphasized; accurateRip stays that of the audio as on the disc.
    bool deEmphasized = false;
};

/// The CD grabber: finds drives, reads the disc, grabs a track into the audio file.
/// Events are delivered on the thread that owns the object (the GUI thread).
/// Failing calls throw ComponentError.
class IAudioCDGrabber2 : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    ~IAudioCDGrabber2() override = default;

    virtual void Initialize() = 0;
    virtual void Uninitialize() = 0;
    /// Reads the table of contents and disc texts of the current drive.
    virtual void ReadDisc() = 0;
    /// Starts grabbing the current track into fileName through AudioFile(); returns at once.
    virtual void GrabToFile(const QString& fileName) = 0;
    virtual void AbortGrab() = 0;

    virtual int DeviceCount() const = 0;
    /// Selects the drive by its 1-based number.
    virtual void CurrentDevice(int number) = 0;
    virtual int currentDevice() const = 0;
    virtual QString DeviceText1() const = 0;
    virtual QString DeviceText2() const = 0;
    virtual QString DeviceText3() const = 0;
    virtual QString DeviceTag() const = 0;

    virtual int TrackCount() const = 0;
    /// Selects the track (0-based) that the track properties, GrabToFile and BeginRead act on.
    virtual void CurrentTrack(int index) = 0;
    virtual int TrackLength1() const = 0; // minutes
    virtual int TrackLength2() const = 0; // seconds
    virtual int TrackLength3() const = 0; // frames, 75 a second
    /// The current track's length as one value, in sectors (75 a second).
    virtual int trackSectors() const = 0;
    /// Whether the current track has a title of its own; TrackTitle() gives a placeholder
    /// ("Session1 Track3") when it has not.
    virtual bool hasTrackTitle() const = 0;
    virtual QString TrackArtist() const = 0;
    virtual QString TrackAlbum() const = 0;
    virtual QString TrackTitle() const = 0;
    virtual QString TrackGenre() const = 0;
    virtual QString TrackYear() const = 0;
    /// The disc's artist as a whole: a loaded entry's (CDDB's disc artist, a release's artist
    /// credit), else CD-Text's disc performer; empty when there is none.
    virtual QString albumArtist() const = 0;

    virtual void GrabMode(int mode) = 0;      // 0 Burst, 1 Synch, 2 Secure, 3 Paranoid
    virtual void ErrorAction(int action) = 0; // 0 Stop, 1 Silence, 2 Cut
    virtual void ReadRetries(int retries) = 0;
    /// The drive's read offset in samples (-3000 .. 3000; others select 0): every read is shifted
    /// by it, with silence where it reaches before the disc's first or past its last audio sector.
    virtual void setReadOffset(int samples) = 0;

    /// Block reading of the current track, for playback.
    virtual void BeginRead() = 0;
    virtual void EndRead() = 0;
    /// The next stretch of the track as interleaved 16-bit stereo PCM; empty at the end.
    virtual QByteArray ReadBlock(int count) = 0;

    virtual IAudioFile2* AudioFile() = 0;

    /// Reads the current track as GrabToFile does, without writing it anywhere: a test read,
    /// for its report. Ends as a grab does.
    virtual void TestRead() = 0;
    /// The report of the last grab or test read, once it has ended (its last event delivered);
    /// after AbortGrab, the report of what it read up to the stop (complete is false).
    virtual GrabReport lastGrabReport() const = 0;
    /// The disc's media catalogue number; empty when it has none.
    virtual QString discCatalog() const = 0;
    /// The current track's ISRC; empty when it has none.
    virtual QString trackIsrc() const = 0;
    /// The current track's first sector (INDEX 01, LSN) and the sectors of its pregap (INDEX 00
    /// up to INDEX 01), which a grab of the track before it reads at its end.
    virtual int trackStartSector() const = 0;
    virtual int trackPregapSectors() const = 0;

    /// Hidden track one audio: the length in sectors of the first track's pregap (sector 0 up to
    /// its INDEX 01) when it holds audio that is not digital silence; 0 when the disc of the
    /// last ReadDisc has none. It belongs to no track: no track's grab reads it.
    virtual int hiddenTrackSectors() const = 0;
    /// Makes the hidden track one audio the current track, as a track of its own numbered 0:
    /// the track properties, GrabToFile, TestRead and BeginRead then act on sectors 0 ..
    /// hiddenTrackSectors() - 1. Its start sector and pregap are 0, its ISRC is empty, its
    /// pre-emphasis that of the first track; its texts are the first track's but the title
    /// ("Session1 Track0" as placeholder). CurrentTrack selects a numbered track again. Throws
    /// ComponentError when the disc has no hidden track one audio.
    virtual void selectHiddenTrack() = 0;
    /// Whether the current track was recorded with pre-emphasis (the disc's track flag, FLAGS
    /// PRE or PRE_EMPHASIS in an image).
    virtual bool trackPreEmphasis() const = 0;
    /// With on, later grabs, test reads and block reads of a track with pre-emphasis apply the
    /// standard 50/15 µs de-emphasis (GrabReport::deEmphasized says so). Off at the start.
    virtual void setDeEmphasis(bool on) = 0;

    /// Starts looking the disc of the last ReadDisc up through info and returns at once. The
    /// statuses follow as OnFreeDBQueryStatus; once one reports Loaded, the track properties
    /// carry the entry's texts until the disc or the drive changes. mode is 1, the only one.
    virtual void QueryFreeDB(IFreeDBInformation2& info, int mode) = 0;
    /// The disc of the last ReadDisc as the lookups (and the AccurateRip database) see it.
    virtual FreeDBDisc freeDBDisc() const = 0;

    /// State and description of any drive (1-based) without changing the current one.
    virtual DriveState driveState(int number) const = 0;
    /// Why the disc in drive number cannot be read, as ReadDisc would say it; empty when it can,
    /// when the drive is empty, or when there is no such drive.
    virtual QString driveProblem(int number) const = 0;
    /// The drive of path: a device path opens that drive (the one found already, or one added),
    /// any other path a disc image, added after the other drives (a path where nothing is yet
    /// gives an empty drive). Returns its number.
    virtual int addDrive(const QString& path) = 0;
    virtual DriveDescription describeDrive(int number) const = 0;

signals:
    void OnMediaChange();
    void OnOperationProgress(double percent);
    void OnGrabRetry(int retry, int sector);
    /// A status of a lookup started by QueryFreeDB (FreeDBStatus).
    void OnFreeDBQueryStatus(int status);
    /// A grab ended without completing; message says what failed and where.
    void grabFailed(const QString& message);
};
