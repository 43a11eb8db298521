#include "SectorReader.h"

#include <algorithm>
#include <cstring>

namespace {

void silence(std::uint8_t* out, int sectors)
{
    std::memset(out, 0, static_cast<std::size_t>(sectors) * CDIO_CD_FRAMESIZE_RAW);
}

} // namespace

SectorReader::SectorReader(CdIo_t* device, int readableEnd, int retries, const ReadEvents& events)
    : m_device(device), m_readableEnd(readableEnd), m_retries(retries), m_events(events)
{
}

void SectorReader::read(int first, int count, std::uint8_t* out)
{
    if (m_events.cancelled())
        silence(out, count);
    else
        readChecked(first, count, out);
}

void SectorReader::readUncancelled(int first, int count, std::uint8_t* out)
{
    readChecked(first, count, out);
}

void SectorReader::readChecked(int first, int count, std::uint8_t* out)
{
    const int readable = std::clamp(m_readableEnd - first, 0, count);
    if (readable > 0 && !readRun(first, readable, out)) {
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
    return cdio_read_audio_sectors(m_device, out, first, static_cast<unsigned>(count)) ==
           DRIVER_OP_SUCCESS;
}

void SectorReader::readSector(int sector, std::uint8_t* out)
{
    if (!m_bad.contains(sector)) {
        for (int attempt = 0; attempt <= m_retries && !m_events.cancelled(); ++attempt) {
            if (attempt > 0 && m_events.retry)
                m_events.retry(attempt, sector);
            if (readRun(sector, 1, out))
                return;
        }
        m_bad.insert(sector);
    }
    silence(out, 1);
}
