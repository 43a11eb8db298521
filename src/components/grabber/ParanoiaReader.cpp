#include "ParanoiaReader.h"

#include "CdioLog.h"
#include "SectorReader.h"
#include "base/ComponentError.h"

#include <vector>

namespace {

/// Sectors a Paranoid read asks the drive for at once.
constexpr int SmallReadSectors = 8;

// libcdio-paranoia's read hook and callback carry no user pointer: the reader sets these for
// the duration of one paranoia read on its thread.
thread_local SectorReader* t_sectors = nullptr;
thread_local int t_retries = 0;

long readThroughSectorReader(cdrom_drive_t*, void* buffer, lsn_t first, long sectors)
{
    if (!t_sectors || sectors <= 0)
        return -1;
    // Paranoia reads without a buffer only to push sectors out of the drive's cache.
    thread_local std::vector<std::uint8_t> scratch;
    if (!buffer) {
        scratch.resize(static_cast<std::size_t>(sectors) * CDIO_CD_FRAMESIZE_RAW);
        buffer = scratch.data();
    }
    // Silence in place of the disc's audio after a cancel would make paranoia's overlap checks
    // disagree for good and keep it re-reading; the reader stops after the sector in hand.
    t_sectors->readUncancelled(first, static_cast<int>(sectors),
                               static_cast<std::uint8_t*>(buffer));
    return sectors;
}

void reportParanoiaEvent(long position, paranoia_cb_mode_t event)
{
    if (!t_sectors || (event != PARANOIA_CB_READERR && event != PARANOIA_CB_SKIP))
        return;
    if (const auto& retry = t_sectors->events().retry)
        retry(++t_retries, static_cast<int>(position / CD_FRAMEWORDS));
}

class ScopedHook final
{
public:
    explicit ScopedHook(SectorReader& sectors)
    {
        t_sectors = &sectors;
        t_retries = 0;
    }
    ~ScopedHook() { t_sectors = nullptr; }
    ScopedHook(const ScopedHook&) = delete;
    ScopedHook& operator=(const ScopedHook&) = delete;
};

int paranoiaFlags(ReadMode mode)
{
    // Never PARANOIA_MODE_NEVERSKIP: it ignores the retry bound and can loop forever.
    if (mode == ReadMode::Synch)
        return PARANOIA_MODE_VERIFY | PARANOIA_MODE_OVERLAP;
    return PARANOIA_MODE_FULL ^ PARANOIA_MODE_NEVERSKIP;
}

} // namespace

ParanoiaReader::ParanoiaReader(CdIo_t* device, ReadMode mode, int retries, SectorReader& sectors,
                               int first, int last, const QString& where)
    : m_sectors(sectors), m_retries(retries), m_position(first), m_where(where)
{
    CdioMessages messages;
    m_drive.reset(cdio_cddap_identify_cdio(device, CDDA_MESSAGE_FORGETIT, nullptr));
    if (!m_drive)
        throw ComponentError(QStringLiteral("Cannot set up secure reading on %1: %2.")
                                 .arg(where, messages.first(QStringLiteral("no audio drive"))));
    // libcdio hands out little-endian samples; left to itself the library guesses the byte
    // order from the audio, which misfires on quiet or synthetic tracks.
    m_drive->bigendianp = 0;
    m_drive->b_swap_bytes = false;
    if (cdio_cddap_open(m_drive.get()) != 0)
        throw ComponentError(
            QStringLiteral("Cannot set up secure reading on %1: %2.")
                .arg(where, messages.first(QStringLiteral("the disc's audio is unreadable"))));
    m_drive->read_audio = readThroughSectorReader;
    if (mode == ReadMode::Paranoid)
        m_drive->nsectors = SmallReadSectors;
    m_paranoia.reset(cdio_paranoia_init(m_drive.get()));
    if (!m_paranoia)
        throw ComponentError(QStringLiteral("Cannot set up secure reading on %1.").arg(where));
    cdio_paranoia_modeset(m_paranoia.get(), paranoiaFlags(mode));
    cdio_paranoia_set_range(m_paranoia.get(), first, last);
    cdio_paranoia_seek(m_paranoia.get(), first, SEEK_SET);
}

const std::uint8_t* ParanoiaReader::next()
{
    const ScopedHook hook(m_sectors);
    const std::int16_t* data =
        cdio_paranoia_read_limited(m_paranoia.get(), reportParanoiaEvent, m_retries);
    if (!data)
        throw ComponentError(QStringLiteral("Secure reading failed on %1 at sector %2.")
                                 .arg(m_where)
                                 .arg(m_position));
    ++m_position;
    return reinterpret_cast<const std::uint8_t*>(data);
}
