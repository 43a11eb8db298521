#include "ParanoiaReader.h"

#include "CdioLog.h"
#include "SectorReader.h"
#include "base/ComponentError.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace {

/// Sectors a Paranoid read asks the drive for at once.
constexpr int SmallReadSectors = 8;
/// Sectors a read of an image asks for at once, as a drive's large reads do.
constexpr int ImageReadSectors = 26;
/// Sectors of one of paranoia's passes over an image.
constexpr int ImageCacheSectors = 150;

/// What paranoia's read hook knows during one paranoia read. Paranoia retries a sector whose
/// reads disagree until its own bound, which it may never reach (it counts retries only in steps
/// of five, and grows its overlap only after some matches): the hook bounds the passes over the
/// disc one sector may take, and ends the read when the bound is reached or the read is
/// cancelled.
struct HookState
{
    SectorReader* sectors = nullptr;
    int retryEvents = 0;
    long passLimit = 0;
    long sectorLimit = 0;
    long passes = 0;
    long sectorsRead = 0;
    long expectedNext = LONG_MIN;
    bool gaveUp = false;
    bool changed = false; // a sector read before has become unreadable

    bool stopping() const { return gaveUp || sectors->events().cancelled(); }
};

// libcdio-paranoia's read hook and callback carry no user pointer: the reader sets this for the
// duration of one paranoia read on its thread.
thread_local HookState* t_hook = nullptr;

long readThroughSectorReader(cdrom_drive_t*, void* buffer, lsn_t first, long sectors)
{
    HookState* hook = t_hook;
    if (!hook || sectors <= 0)
        return -1;
    if (buffer && !hook->stopping()) {
        // A pass over the disc reads on where the last read ended; a new one starts elsewhere.
        if (first != hook->expectedNext)
            ++hook->passes;
        hook->expectedNext = first + sectors;
        hook->sectorsRead += sectors;
        hook->gaveUp = hook->passes > hook->passLimit || hook->sectorsRead > hook->sectorLimit;
    }
    // Paranoia ends its read at once, whatever it was verifying, when a read fails for want of
    // a medium. Reading on would not do: silence in place of the disc's audio makes its overlap
    // checks disagree for good.
    if (hook->stopping()) {
        errno = ENOMEDIUM;
        return -1;
    }
    // Paranoia reads without a buffer only to push sectors out of the drive's cache.
    thread_local std::vector<std::uint8_t> scratch;
    if (!buffer) {
        scratch.resize(static_cast<std::size_t>(sectors) * CDIO_CD_FRAMESIZE_RAW);
        buffer = scratch.data();
    }
    hook->sectors->read(first, static_cast<int>(sectors), static_cast<std::uint8_t*>(buffer));
    // Audio paranoia has kept from before disagrees with the disc now for good: a fresh start.
    if (hook->sectors->takeChange()) {
        hook->gaveUp = true;
        hook->changed = true;
        errno = ENOMEDIUM;
        return -1;
    }
    return sectors;
}

void reportParanoiaEvent(long position, paranoia_cb_mode_t event)
{
    HookState* hook = t_hook;
    if (!hook || (event != PARANOIA_CB_READERR && event != PARANOIA_CB_SKIP))
        return;
    if (const auto& retry = hook->sectors->events().retry)
        retry(++hook->retryEvents, static_cast<int>(position / CD_FRAMEWORDS));
}

class ScopedHook final
{
public:
    explicit ScopedHook(HookState& state) { t_hook = &state; }
    ~ScopedHook() { t_hook = nullptr; }
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

int noCdda(cdrom_drive_t*, int)
{
    return 0;
}

/// A drive for paranoia over a disc libcdio does not read (the grabber's own images): paranoia
/// needs its reading hook and the drive's settings; every read goes through the hook.
cdrom_drive_t* imageDrive()
{
    auto* drive = static_cast<cdrom_drive_t*>(std::calloc(1, sizeof(cdrom_drive_t)));
    if (!drive)
        return nullptr;
    drive->opened = 1;
    drive->nsectors = ImageReadSectors;
    drive->errordest = CDDA_MESSAGE_FORGETIT;
    drive->messagedest = CDDA_MESSAGE_FORGETIT;
    drive->enable_cdda = noCdda;
    return drive;
}

} // namespace

ParanoiaReader::ParanoiaReader(Disc& disc, ReadMode mode, int retries, SectorReader& sectors,
                               int first, int last, const QString& where)
    : m_mode(mode), m_sectors(sectors), m_retries(retries), m_position(first), m_last(last),
      m_ownDrive(disc.cdio() == nullptr), m_where(where), m_silence(CDIO_CD_FRAMESIZE_RAW, 0)
{
    CdioMessages messages;
    if (m_ownDrive) {
        m_drive.reset(imageDrive());
        if (!m_drive)
            throw ComponentError(QStringLiteral("Cannot set up secure reading on %1.").arg(where));
    } else {
        m_drive.reset(cdio_cddap_identify_cdio(disc.cdio(), CDDA_MESSAGE_FORGETIT, nullptr));
        if (!m_drive)
            throw ComponentError(QStringLiteral("Cannot set up secure reading on %1: %2.")
                                     .arg(where, messages.first(QStringLiteral("no audio drive"))));
        if (cdio_cddap_open(m_drive.get()) != 0)
            throw ComponentError(
                QStringLiteral("Cannot set up secure reading on %1: %2.")
                    .arg(where, messages.first(QStringLiteral("the disc's audio is unreadable"))));
    }
    // libcdio hands out little-endian samples; left to itself the library guesses the byte
    // order from the audio, which misfires on quiet or synthetic tracks.
    m_drive->bigendianp = 0;
    m_drive->b_swap_bytes = false;
    m_drive->read_audio = readThroughSectorReader;
    if (mode == ReadMode::Paranoid)
        m_drive->nsectors = SmallReadSectors;
    restartAt(first);
}

ParanoiaReader::~ParanoiaReader() = default;

void ParanoiaReader::restartAt(int from)
{
    m_paranoia.reset();
    m_paranoia.reset(cdio_paranoia_init(m_drive.get()));
    if (!m_paranoia)
        throw ComponentError(QStringLiteral("Cannot set up secure reading on %1.").arg(m_where));
    cdio_paranoia_modeset(m_paranoia.get(), paranoiaFlags(m_mode));
    if (m_ownDrive) {
        // An image has no drive cache for paranoia's long passes to read past; short ones keep
        // each of its rounds, and so the wait for a cancel, short.
        cdio_paranoia_cachemodel_size(m_paranoia.get(), ImageCacheSectors);
        // Paranoia's seek asks libcdio for the disc's tracks; the range alone places it here.
        cdio_paranoia_set_range(m_paranoia.get(), from, m_last);
    } else {
        cdio_paranoia_set_range(m_paranoia.get(), from, m_last);
        cdio_paranoia_seek(m_paranoia.get(), from, SEEK_SET);
    }
}

const std::uint8_t* ParanoiaReader::next()
{
    for (;;) {
        HookState state;
        state.sectors = &m_sectors;
        // A sector normally takes paranoia one or two passes over the disc, each of about a
        // cache's worth of sectors.
        state.passLimit = 5L * (m_retries + 2);
        state.sectorLimit =
            state.passLimit * std::max(1, cdio_paranoia_cachemodel_size(m_paranoia.get(), -1));
        const std::int16_t* data = nullptr;
        {
            const ScopedHook hook(state);
            data = cdio_paranoia_read_limited(m_paranoia.get(), reportParanoiaEvent, m_retries);
        }
        if (data) {
            ++m_position;
            return reinterpret_cast<const std::uint8_t*>(data);
        }
        if (m_sectors.events().cancelled())
            return nullptr;
        if (!state.gaveUp)
            throw ComponentError(QStringLiteral("Secure reading failed on %1 at sector %2.")
                                     .arg(m_where)
                                     .arg(m_position));
        // No progress, or the disc changed under paranoia. Reads that disagree with what
        // paranoia has kept from before get a fresh start; a sector that still makes no
        // progress is unreadable.
        if (state.changed || (m_freshStartAt != m_position && !m_sectors.isBad(m_position))) {
            m_freshStartAt = m_position;
            restartAt(m_position);
            continue;
        }
        m_sectors.markBad(m_position);
        ++m_position;
        if (m_position <= m_last)
            restartAt(m_position);
        return m_silence.data();
    }
}
