#include "TrackReader.h"

#include "DiscReading.h"
#include "ParanoiaReader.h"
#include "base/ComponentError.h"

#include <algorithm>
#include <cstring>

namespace {

std::unique_ptr<Disc> openForReading(const Drive& drive, const TocTrack& track)
{
    std::unique_ptr<Disc> disc = openDisc(drive);
    if (!disc)
        throw ComponentError(QStringLiteral("Cannot read track %1: there is no disc in %2.")
                                 .arg(track.number)
                                 .arg(drive.path));
    return disc;
}

} // namespace

TrackReader::TrackReader(const Drive& drive, const TocTrack& track, const TrackPlace& place,
                         const ReadOptions& options, ReadEvents events)
    : m_drive(drive), m_track(track), m_options(options), m_events(std::move(events)),
      m_disc(openForReading(drive, track)), m_readableEnd(m_disc->readableEnd()),
      m_sectors(*m_disc, m_readableEnd, options.retries, m_events), m_next(track.firstSector),
      m_readEnd(track.endSector()), m_audioEnd(place.audioEnd),
      m_framesLeft(static_cast<qint64>(track.sectorCount) * FramesPerSector)
{
    // The frames wanted, shifted by the offset, and the part of them on the disc's audio.
    const qint64 start = static_cast<qint64>(track.firstSector) * FramesPerSector + options.offset;
    const qint64 audioStart = static_cast<qint64>(place.audioStart) * FramesPerSector;
    const qint64 audioEnd = static_cast<qint64>(place.audioEnd) * FramesPerSector;
    const qint64 from = std::clamp(start, audioStart, audioEnd);
    const qint64 to = std::clamp(start + m_framesLeft, audioStart, audioEnd);
    m_silenceBefore = from - start;
    if (to <= from) {
        m_readEnd = m_next; // all silence
        return;
    }
    m_next = static_cast<int>(from / FramesPerSector);
    m_readEnd = static_cast<int>((to + FramesPerSector - 1) / FramesPerSector);
    m_skipFrames = from - static_cast<qint64>(m_next) * FramesPerSector;
}

TrackReader::~TrackReader() = default;

QList<int> TrackReader::unreadableSectors() const
{
    return m_unreadableSectors;
}

bool TrackReader::readNext(int maxSectors, std::vector<std::int16_t>& pcm)
{
    if (m_framesLeft <= 0 || maxSectors <= 0 || m_events.cancelled())
        return false;
    const qint64 room = static_cast<qint64>(maxSectors) * FramesPerSector;
    const qint64 before = m_framesDone;
    while (m_framesDone - before < room && m_framesLeft > 0) {
        const qint64 wanted = std::min(room - (m_framesDone - before), m_framesLeft);
        if (m_silenceBefore > 0) {
            const qint64 frames = std::min(wanted, m_silenceBefore);
            m_silenceBefore -= frames;
            emitFrames(pcm, frames, true);
        } else if (m_pendingAt < m_pending.size()) {
            const auto pending = static_cast<qint64>(m_pending.size() - m_pendingAt) / 2;
            emitFrames(pcm, std::min(wanted, pending), false);
        } else if (m_unreadable >= 0) {
            // The sectors before it are handed out first.
            throw ComponentError(QStringLiteral("Cannot read track %1 of the disc in %2: sector "
                                                "%3 is unreadable.")
                                     .arg(m_track.number)
                                     .arg(m_drive.path)
                                     .arg(m_unreadable));
        } else if (m_next < m_readEnd) {
            readPending(maxSectors);
            if (m_events.cancelled())
                return false;
        } else {
            emitFrames(pcm, wanted, true); // past the disc's last audio sector
        }
    }
    return true;
}

void TrackReader::readPending(int maxSectors)
{
    const int count = std::min(maxSectors, m_readEnd - m_next);
    m_buffer.resize(static_cast<std::size_t>(count) * CDIO_CD_FRAMESIZE_RAW);
    readRun(m_next, count);
    if (m_events.cancelled())
        return;
    m_pending.clear();
    m_pendingAt = 0;
    for (int i = 0; i < count; ++i) {
        if (m_sectors.isBad(m_next + i))
            m_unreadableSectors.append(m_next + i);
        if (m_sectors.isBad(m_next + i) && m_options.errorAction == SectorErrorAction::Stop) {
            m_unreadable = m_next + i;
            break;
        }
        if (!appendSector(i, m_next + i, m_pending)) {
            m_framesLeft -= FramesPerSector;
            m_framesDone += FramesPerSector;
        }
    }
    m_next += count;
    const qint64 skip = std::min(m_skipFrames, static_cast<qint64>(m_pending.size()) / 2);
    m_skipFrames -= skip;
    m_pendingAt = static_cast<std::size_t>(skip) * 2;
}

void TrackReader::emitFrames(std::vector<std::int16_t>& pcm, qint64 frames, bool silence)
{
    const auto samples = static_cast<std::size_t>(frames) * 2;
    if (silence) {
        pcm.insert(pcm.end(), samples, 0);
    } else {
        const auto from = m_pending.begin() + static_cast<std::ptrdiff_t>(m_pendingAt);
        pcm.insert(pcm.end(), from, from + static_cast<std::ptrdiff_t>(samples));
        m_pendingAt += samples;
    }
    m_framesLeft -= frames;
    m_framesDone += frames;
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
        if (first + i < m_readableEnd) {
            const std::uint8_t* sector = paranoia().next();
            if (!sector)
                return; // cancelled
            std::memcpy(out, sector, CDIO_CD_FRAMESIZE_RAW);
        } else
            m_sectors.read(first + i, 1, out); // past an image's end: silence, counted bad
    }
}

ParanoiaReader& TrackReader::paranoia()
{
    // Made when first needed: a track that lies wholly past the end of an image is never read.
    // Paranoia may read on into the following tracks, as it does on a drive: its checks need
    // the audio after the track's last sector.
    if (!m_paranoia) {
        const int last = std::min(std::max(m_readEnd, m_audioEnd), m_readableEnd) - 1;
        m_paranoia = std::make_unique<ParanoiaReader>(*m_disc, m_options.mode, m_options.retries,
                                                      m_sectors, m_next, last, m_drive.path);
    }
    return *m_paranoia;
}

bool TrackReader::appendSector(int index, int sector, std::vector<std::int16_t>& pcm) const
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
        return true;
    }
    if (m_options.errorAction == SectorErrorAction::Cut)
        return false;
    pcm.insert(pcm.end(), Samples, 0);
    return true;
}
