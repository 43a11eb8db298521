#pragma once

#include "base/IAudioCDGrabber2.h"
#include "base/ReplayGain.h"
#include "rip/OutputFormatNumber.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

class SettingsFile;

/// One track of the disc's table of contents, as the log lists it.
struct RipTocEntry
{
    int number = 0;      // 1-based
    int startSector = 0; // INDEX 01, LSN
    int sectors = 0;     // from INDEX 01 to the next track's INDEX 01 (its pregap included)
    int pregapSectors = 0;
    bool preEmphasis = false; // recorded with pre-emphasis
};

/// What a rip did with one of the tracks it was asked for.
struct RipTrackRecord
{
    RipTocEntry toc;
    QString title;
    QString performer;
    QString isrc;
    QString file; // its finished file; empty when there is none
    std::optional<GrabReport> copy;
    std::optional<GrabReport> test; // the test read of test-and-copy
    QString error;                  // why the track failed; empty when it did not
    QString accurateRip;  // the AccurateRip verdict on the copy; empty when it was not checked
    QString readPath;     // how a verified rip read it; empty for a plain rip
    bool stopped = false; // the run was stopped while it was read; its file holds what was read
    std::optional<ReplayGainValues> trackGain; // measured while its file was written
    std::optional<ReplayGainValues> albumGain; // of the whole run, once tagged into the file

    /// Test and copy found the two reads different.
    bool crcMismatch() const { return copy && test && copy->crc != test->crc; }
    bool ok() const { return error.isEmpty() && !file.isEmpty() && !crcMismatch(); }
};

/// Everything the rip log and the cue sheet of one rip say.
struct RipRecord
{
    enum class Outcome { Complete, Failed, Interrupted };

    QString program;
    QString version;
    QDateTime date;
    QString drive; // vendor and model, or the image's path
    QString readMode;
    int retries = 0;
    QString errorAction;
    int readOffset = 0;  // samples
    QString accurateRip; // the line of the AccurateRip lookup; empty when it was off
    QString format;      // the output format and its settings
    bool testCopy = false;

    QString album;
    QString performer;
    QString genre;
    QString year;
    QString comment;
    QString discId;
    QString catalog;
    QList<RipTocEntry> toc;     // every audio track of the disc
    int hiddenTrackSectors = 0; // audio before track 1's INDEX 01; 0 when there is none
    QList<RipTrackRecord> tracks;
    Outcome outcome = Outcome::Complete;
};

/// The parts of the record known before the first read: date, drive, the stored read options,
/// the output format with its settings, and the table of contents (through the grabber's current
/// track, which it changes). program, version, the disc's texts and the tracks are the caller's.
RipRecord beginRipRecord(const SettingsFile& settings, IAudioCDGrabber2& grabber,
                         OutputFormatNumber format);

/// The record of the disc's track number (1-based) before it is read: its place in the table of
/// contents, ISRC and texts.
RipTrackRecord trackRecordFor(const RipRecord& rip, IAudioCDGrabber2& grabber, int number,
                              const QString& title, const QString& performer);

/// The record of the audio hidden before track 1, as track 0.
RipTrackRecord hiddenTrackRecord(const RipRecord& rip, IAudioCDGrabber2& grabber,
                                 const QString& title, const QString& performer);

/// Which of the files that go beside a rip's tracks are written.
struct RipReports
{
    bool log = true;
    bool cue = true;
    bool playlist = true;
};

/// Writes the log, the cue sheet and the playlist (each when asked for) into
/// ripReportFolder(rip, fallback); the cue sheet and the playlist only when some track has a
/// file. One that cannot be written does not keep the others from being written; then
/// ComponentError says what could not be.
void writeRipReports(const RipRecord& rip, const QString& fallback, const RipReports& reports);

/// The text of the rip log.
QString ripLogText(const RipRecord& rip);

/// The text of the cue sheet of the tracks that have files, with FILE names relative to folder
/// (which ends with a separator). A track's pregap lies at the end of the file of the track
/// before it, so it gets an INDEX 00 there when that track has a file.
QString cueSheetText(const RipRecord& rip, const QString& folder);

/// The text of the playlist (M3U in UTF-8) of the tracks that have files, in disc order: each
/// with its length and "Artist - Title", and its file relative to folder.
QString playlistText(const RipRecord& rip, const QString& folder);

/// The folder the log and cue sheet go in: that of the first track with a file, else that of
/// fallback.
QString ripReportFolder(const RipRecord& rip, const QString& fallback);

/// Writes text as UTF-8 into a new file in folder (ending with a separator) named after the
/// album with extension, "_01", "_02", … added while the name is taken. The file appears under
/// its name only once complete, and never replaces another. Returns its path; throws
/// ComponentError when it cannot be written.
QString writeRipFile(const QString& folder, const QString& album, const QString& extension,
                     const QString& text);
