#pragma once

#include "CdioHandles.h"
#include "ReadOptions.h"

#include <QString>

#include <cstdint>

class SectorReader;

/// Reads a run of sectors through libcdio-paranoia. Paranoia's own reads go through the
/// SectorReader, so unreadable sectors are found and retried the same way in every mode, and
/// paranoia works on what could be read.
class ParanoiaReader final
{
public:
    /// Reads sectors first .. last (inclusive) of device. Throws ComponentError when paranoia
    /// cannot be set up on the disc; where names the drive in the message.
    ParanoiaReader(CdIo_t* device, ReadMode mode, int retries, SectorReader& sectors, int first,
                   int last, const QString& where);

    /// The next sector: 2352 bytes of little-endian samples, valid until the next call.
    const std::uint8_t* next();

private:
    // Declared in this order so paranoia is freed before its drive.
    CddaDriveHandle m_drive;
    ParanoiaHandle m_paranoia;
    SectorReader& m_sectors;
    int m_retries;
    int m_position;
    QString m_where;
};
