#pragma once

#include "base/IAudioCDGrabber2.h"
#include "components/lookup/AccurateRip.h"

#include <QList>
#include <QString>

#include <optional>

/// What checking an earlier rip found of one of its tracks.
struct RipCheckTrack
{
    int number = 0;                            // the sheet's track number
    QString file;                              // the file the sheet names for it
    QString problem;                           // why its audio could not be read; empty when it was
    std::optional<GrabReport> read;            // the CRC and AccurateRip sums of its audio
    std::optional<quint32> loggedCrc;          // the log's copy CRC; none without a log entry
    std::optional<AccurateRipVerdict> verdict; // none: the database gave no answer

    bool crcDiffers() const { return read && loggedCrc && read->crc != *loggedCrc; }
    /// The track disagrees with the log or the database, or could not be read. A track the
    /// database does not know does not fail.
    bool fails() const
    {
        return !problem.isEmpty() || crcDiffers() ||
               (verdict && verdict->kind == AccurateRipVerdict::Kind::NotAccurate);
    }
};

/// What checking an earlier rip found.
struct RipCheckResult
{
    QList<RipCheckTrack> tracks;
    QString log;         // the rip log beside the sheet; empty when there is none
    QString accurateRip; // the database's answer, as the rip log gives it
};

/// Checks the rip that the cue sheet at sheet describes (the sheet a rip writes beside its
/// tracks, or another one over WAVE, FLAC or BINARY files): reads each track's audio for its
/// CRC-32 and AccurateRip checksums, compares the CRCs with the "Copy CRC" lines of the rip log
/// of the same name beside the sheet, and asks the AccurateRip database as a rip would
/// (settingsPath). grabber's current drive must be the sheet's image; the reads wait in the
/// event loop. A file the sheet names that is missing fails its tracks. Throws ComponentError
/// when the sheet itself cannot be read.
RipCheckResult checkRip(IAudioCDGrabber2& grabber, const QString& settingsPath,
                        const QString& sheet);

/// The line that says what was found of a track: its CRC against the log, its AccurateRip
/// verdict, or why it could not be read.
QString ripCheckLine(const RipCheckTrack& track);
