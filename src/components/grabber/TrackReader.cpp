#include "TrackReader.h"

#include "DiscReading.h"
#include "ParanoiaReader.h"
#include "components/ComponentError.h"

#include <algorithm>
#include <cstring>

namespace {

CdIoHandle openForReading(const Drive& drive, const TocTrack& track)
{
    CdIoHandle device = openDisc(drive);
    if (!device)
        throw ComponentError(QStringLiteral("Cannot read track %1: there is no disc in %2.")
                                 .arg(track.number)
                                 .arg(drive.path));
    return device;
}

} // namespace

TrackReader::TrackReader(const Drive& drive, const TocTrack& track, const ReadOptions& options,
                         ReadEvents events)
    : m_drive(drive), m_track(track), m_options(options), m_events(std::move(events)),
      m_device(openForReading(drive, track)), m_readableEnd(readableEnd(m_device.get(), drive)),
      m_sectors(m_device.get(), m_readableEnd, options.retries, m_events), m_next(track.firstSector)
{
}

TrackReader::~TrackReader() = default;

bool TrackReader::readNext(int maxSectors, std::vector<std::int16_t>& pcm)
{
    const int count = std::min(maxSectors, m_track.endSector() - m_next);
    if (count <= 0 || m_events.cancelled())
        return false;
    m_buffer.resize(static_cast<std::size_t>(count) * CDIO_CD_FRAMESIZE_RAW);
    readRun(m_next, count);
    if (m_events.cancelled())
        return false;
    for (int i = 0; i < count; ++i)
        appendSector(i, m_next + i, pcm);
    m_next += count;
    return true;
}

void TrackReader::readRun(int first, int count)
{
    if (m_options.mode == ReadMode::Burst) {
        m_sectors.read(first, count, m_buffer.data());
        return;
    }
    for (int i = 0; i < count && !m_events.cancelled(); ++i) {
        std::uint8_t* out =
            m_buffer.data() + static_cast<std::ptrdiff_t>(i) * CDIO_CD_FRAMESIZE_RAW;
        if (first + i < m_readableEnd)
            std::memcpy(out, paranoia().next(), CDIO_CD_FRAMESIZE_RAW);
        else
            m_sectors.read(first + i, 1, out); // past an image's end: silence, counted bad
    }
}

ParanoiaReader& TrackReader::paranoia()
{
    // Made when first needed: a track that lies wholly past the end of an image is never read.
    if (!m_paranoia) {
        const int last = std::min(m_track.endSector(), m_readableEnd) - 1;
        m_paranoia =
            std::make_unique<ParanoiaReader>(m_device.get(), m_options.mode, m_options.retries,
                                             m_sectors, m_next, last, m_drive.path);
    }
    return *m_paranoia;
}

void TrackReader::appendSector(int index, int sector, std::vector<std::int16_t>& pcm) const
{
    constexpr int Samples = CDIO_CD_FRAMESIZE_RAW / 2;
    if (!m_sectors.isBad(sector)) {
        const std::uint8_t* bytes =
            m_buffer.data() + static_cast<std::ptrdiff_t>(index) * CDIO_CD_FRAMESIZE_RAW;
        const std::size_t at = pcm.size();
        pcm.resize(at + Samples);
        std::int16_t* out = pcm.data() + at;
        for (int i = 0; i < Samples; ++i)
            out[i] = static_cast<std::int16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
        return;
    }
    switch (m_options.errorAction) {
    case SectorErrorAction::Stop:
        throw ComponentError(QStringLiteral("Cannot read track %1 of the disc in %2: sector %3 "
                                            "is unreadable.")
                                 .arg(m_track.number)
                                 .arg(m_drive.path)
                                 .arg(sector));
    case SectorErrorAction::Silence:
        pcm.insert(pcm.end(), Samples, 0);
        return;
    case SectorErrorAction::Cut:
        return;
    }
}
