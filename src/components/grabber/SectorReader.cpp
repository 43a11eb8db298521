#include "SectorReader.h"

#include <algorithm>
#include <cstring>

namespace {

void silence(std::uint8_t* out, int sectors)
{
    std::memset(out, 0, static_cast<std::size_t>(sectors) * CDIO_CD_FRAMESIZE_RAW);
}

} // namespace

SectorReader::SectorReader(Disc& disc, int readableEnd, int retries, const ReadEvents& events)
    : m_disc(disc), m_readableEnd(readableEnd), m_retries(retries), m_events(events)
{
}

void SectorReader::read(int first, int count, std::uint8_t* out)
{
    if (m_events.cancelled())
        silence(out, count);
    else
        readChecked(first, count, out);
}

void SectorReader::readChecked(int first, int count, std::uint8_t* out)
{
    const int readable = std::clamp(m_readableEnd - first, 0, count);
    if (readable > 0 && readRun(first, readable, out)) {
        noteReadable(first, readable);
    } else {
        for (int i = 0; i < readable; ++i)
            readSector(first + i, out + static_cast<std::ptrdiff_t>(i) * CDIO_CD_FRAMESIZE_RAW);
    }
    // Past the end of an image's data there is nothing to retry.
    silence(out + static_cast<std::ptrdiff_t>(readable) * CDIO_CD_FRAMESIZE_RAW, count - readable);
    for (int sector = first + readable; sector < first + count; ++sector)
        m_bad.insert(sector);
}

bool SectorReader::readRun(int first, int count, std::uint8_t* out)
{
    return m_disc.readAudio(first, count, out);
}

void SectorReader::readSector(int sector, std::uint8_t* out)
{
    if (!m_bad.contains(sector)) {
        for (int attempt = 0; attempt <= m_retries && !m_events.cancelled(); ++attempt) {
            if (attempt > 0 && m_events.retry)
                m_events.retry(attempt, sector);
            if (readRun(sector, 1, out)) {
                noteReadable(sector, 1);
                return;
            }
        }
        m_bad.insert(sector);
        if (wasReadable(sector))
            m_changed = true;
    }
    silence(out, 1);
}

void SectorReader::noteReadable(int first, int count)
{
    if (first < 0 || first > MaxTrackedSector - count)
        return;
    const auto end = static_cast<std::size_t>(first + count);
    if (m_readable.size() < end)
        m_readable.resize(end);
    std::fill(m_readable.begin() + first, m_readable.begin() + static_cast<std::ptrdiff_t>(end),
              true);
}

bool SectorReader::wasReadable(int sector) const
{
    return sector >= 0 && static_cast<std::size_t>(sector) < m_readable.size() &&
           m_readable[static_cast<std::size_t>(sector)];
}

bool SectorReader::takeChange()
{
    return std::exchange(m_changed, false);
}
