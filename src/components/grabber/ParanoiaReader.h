#pragma once

#include "CdioHandles.h"
#include "Disc.h"
#include "ReadOptions.h"

#include <QString>

#include <cstdint>
#include <vector>

class SectorReader;

/// Reads a run of sectors through libcdio-paranoia. Paranoia's own reads go through the
/// SectorReader, so unreadable sectors are found and retried the same way in every mode, and
/// paranoia works on what could be read.
///
/// Paranoia never gives up on a sector whose reads keep disagreeing (a file that shrinks under
/// it, a disc that changes): a sector it cannot deliver within a bound of re-reads is tried
/// once more with a fresh start, and then counts as unreadable. A cancelled read ends within
/// paranoia's next read of the disc.
class ParanoiaReader final
{
public:
    /// Reads sectors first .. last (inclusive) of disc. Throws ComponentError when paranoia
    /// cannot be set up on the disc; where names the drive in the message.
    ParanoiaReader(Disc& disc, ReadMode mode, int retries, SectorReader& sectors, int first,
                   int last, const QString& where);
    ~ParanoiaReader();
    ParanoiaReader(const ParanoiaReader&) = delete;
    ParanoiaReader& operator=(const ParanoiaReader&) = delete;

    /// The next sector: 2352 bytes of little-endian samples, valid until the next call; silence
    /// for a sector that made no progress (then counted bad in the SectorReader). Null once the
    /// read is cancelled.
    const std::uint8_t* next();

private:
    /// Sets paranoia up afresh, reading from sector from on.
    void restartAt(int from);

    // Declared in this order so paranoia is freed before its drive.
    CddaDriveHandle m_drive;
    ParanoiaHandle m_paranoia;
    ReadMode m_mode;
    SectorReader& m_sectors;
    int m_retries;
    int m_position;
    int m_last;
    bool m_ownDrive;         // the drive is the image reader's, set up here rather than by libcdio
    int m_freshStartAt = -1; // the sector last given a fresh start after it made no progress
    QString m_where;
    std::vector<std::uint8_t> m_silence;
};
