#pragma once

#include "CdioHandles.h"
#include "DiscToc.h"
#include "Drive.h"
#include "ReadOptions.h"
#include "SectorReader.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

class ParanoiaReader;

/// Reads one track of the disc in a drive from its start to its end, in the grab mode of the
/// options, and applies their error action to the sectors that cannot be read. Has its own
/// handle on the drive, so it may work on any one thread.
class TrackReader final
{
public:
    /// Throws ComponentError when the disc cannot be opened.
    TrackReader(const Drive& drive, const TocTrack& track, const ReadOptions& options,
                ReadEvents events);
    ~TrackReader();
    TrackReader(const TrackReader&) = delete;
    TrackReader& operator=(const TrackReader&) = delete;

    /// Appends the samples (interleaved 16-bit stereo) of up to maxSectors further sectors to
    /// pcm; false once the track is done or the read was cancelled. With the error action Stop
    /// an unreadable sector throws ComponentError naming device, track and sector.
    bool readNext(int maxSectors, std::vector<std::int16_t>& pcm);

    int sectorsDone() const { return m_next - m_track.firstSector; }
    int sectorCount() const { return m_track.sectorCount; }
    /// The sectors of the track that could not be read so far, in order.
    QList<int> unreadableSectors() const { return m_sectors.badSectors(); }

private:
    void readRun(int first, int count);
    ParanoiaReader& paranoia();
    void appendSector(int index, int sector, std::vector<std::int16_t>& pcm) const;

    Drive m_drive;
    TocTrack m_track;
    ReadOptions m_options;
    ReadEvents m_events;
    // Declared in this order so the paranoia reader (paranoia, then drive) goes before the
    // device it reads.
    CdIoHandle m_device;
    int m_readableEnd;
    SectorReader m_sectors;
    std::unique_ptr<ParanoiaReader> m_paranoia;
    int m_next;
    std::vector<std::uint8_t> m_buffer;
};
