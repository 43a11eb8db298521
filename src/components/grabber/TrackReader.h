#pragma once

#include "Disc.h"
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
/// options, and applies their error action to the sectors that cannot be read. The audio is
/// shifted by the options' read offset: it then starts that many samples later on the disc
/// (earlier for a negative offset), and what lies outside the disc's audio tracks is silence.
/// Has its own handle on the drive, so it may work on any one thread.
class TrackReader final
{
public:
    /// Throws ComponentError when the disc cannot be opened.
    TrackReader(const Drive& drive, const TocTrack& track, const TrackPlace& place,
                const ReadOptions& options, ReadEvents events);
    ~TrackReader();
    TrackReader(const TrackReader&) = delete;
    TrackReader& operator=(const TrackReader&) = delete;

    /// Appends the samples (interleaved 16-bit stereo) of up to maxSectors further sectors to
    /// pcm; false once the track is done or the read was cancelled. With the error action Stop
    /// an unreadable sector throws ComponentError naming device, track and sector.
    bool readNext(int maxSectors, std::vector<std::int16_t>& pcm);

    int sectorsDone() const { return m_framesDone / FramesPerSector; }
    int sectorCount() const { return m_track.sectorCount; }
    /// The sectors the read has handed out (as silence, or left out) or stopped at because they
    /// could not be read, in order: not those a secure read found bad around them, nor those it
    /// could read once and not again after handing them out.
    QList<int> unreadableSectors() const;

private:
    static constexpr int FramesPerSector = 588;

    void readRun(int first, int count);
    ParanoiaReader& paranoia();
    /// Appends the sector's samples, silence for an unreadable one; false when it was cut.
    bool appendSector(int index, int sector, std::vector<std::int16_t>& pcm) const;
    /// Reads the next run of up to maxSectors of the shifted stretch into m_pending.
    void readPending(int maxSectors);
    void emitFrames(std::vector<std::int16_t>& pcm, qint64 frames, bool silence);

    Drive m_drive;
    TocTrack m_track;
    ReadOptions m_options;
    ReadEvents m_events;
    // Declared in this order so the paranoia reader (paranoia, then drive) goes before the
    // disc it reads.
    std::unique_ptr<Disc> m_disc;
    int m_readableEnd;
    SectorReader m_sectors;
    std::unique_ptr<ParanoiaReader> m_paranoia;
    int m_next;                 // the next sector to read
    int m_readEnd;              // the sector after the last one to read
    int m_audioEnd;             // the sector after the disc's last audio sector
    qint64 m_skipFrames = 0;    // frames of the first sector read that lie before the shifted start
    qint64 m_silenceBefore = 0; // frames of silence before the disc's audio
    qint64 m_framesLeft;        // frames still to hand out, less those of cut sectors
    qint64 m_framesDone = 0;    // frames handed out or cut
    std::vector<std::int16_t> m_pending; // samples read and not yet handed out
    std::size_t m_pendingAt = 0;         // the first of them not handed out
    int m_unreadable = -1;               // with the error action Stop: the sector the read stops at
    QList<int> m_unreadableSectors;      // the unreadable sectors handed out or stopped at
    std::vector<std::uint8_t> m_buffer;
};
