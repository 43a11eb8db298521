#include "DiscReading.h"

#include "CdText.h"
#include "CdioHandles.h"
#include "CdioLog.h"
#include "ImageDisc.h"
#include "base/ComponentError.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <limits>
#include <vector>

namespace {

/// A multi-session (Enhanced) CD leaves 11400 sectors of lead-out and lead-in between its audio
/// session and the data session; the TOC counts them into the last audio track.
constexpr int SessionGapSectors = 11400;

/// Ends the last audio track before the gap to a following data session.
void trimSessionGap(CdIo_t* device, QList<TocTrack>& tracks)
{
    lsn_t lastSession = 0;
    if (cdio_get_last_session(device, &lastSession) != DRIVER_OP_SUCCESS || lastSession <= 100)
        return;
    for (qsizetype i = tracks.size() - 1; i > 0; --i) {
        TocTrack& audio = tracks[i - 1];
        if (!tracks[i].audio && audio.audio) {
            const int end = lastSession - SessionGapSectors;
            if (end > audio.firstSector && end < audio.endSector())
                audio.sectorCount = end - audio.firstSector;
            return;
        }
    }
}

// libcdio hands out these texts in memory of its own; empty when there is none.
QString takeCdioText(char* text)
{
    const QString result = text ? QString::fromLatin1(text).trimmed() : QString();
    cdio_free(text);
    return result;
}

/// A disc read through libcdio: a hardware drive's, or an NRG image's.
class CdioDisc final : public Disc
{
public:
    CdioDisc(CdIoHandle device, const Drive& drive) : m_device(std::move(device)), m_drive(drive) {}

    DiscToc readToc() override;
    void readDiscCodes(DiscToc& toc) override;
    QList<TrackTexts> readTexts(const QList<TocTrack>& audioTracks) override
    {
        return readCdText(m_device.get(), audioTracks);
    }
    bool readAudio(int first, int count, std::uint8_t* out) override
    {
        return cdio_read_audio_sectors(m_device.get(), out, first, static_cast<unsigned>(count)) ==
               DRIVER_OP_SUCCESS;
    }
    int readableEnd() const override
    {
        // An image ends with its data file (libcdio puts the lead-out there); a hardware disc
        // has no such end below its lead-out.
        return m_drive.isImage() ? cdio_get_track_lsn(m_device.get(), CDIO_CDROM_LEADOUT_TRACK)
                                 : std::numeric_limits<int>::max();
    }
    CdIo_t* cdio() override { return m_device.get(); }

private:
    CdIoHandle m_device;
    Drive m_drive;
};

DiscToc CdioDisc::readToc()
{
    CdIo_t* device = m_device.get();
    const track_t first = cdio_get_first_track_num(device);
    const track_t count = cdio_get_num_tracks(device);
    if (first == CDIO_INVALID_TRACK || count == CDIO_INVALID_TRACK)
        throw ComponentError(QStringLiteral("Cannot read the table of contents of the disc in %1.")
                                 .arg(m_drive.path));
    DiscToc toc;
    toc.leadOut = cdio_get_track_lsn(device, CDIO_CDROM_LEADOUT_TRACK);
    for (int number = first; number < first + count; ++number) {
        const auto track = static_cast<track_t>(number);
        TocTrack entry;
        entry.number = number;
        entry.firstSector = cdio_get_track_lsn(device, track);
        const int next = number + 1 < first + count
                             ? cdio_get_track_lsn(device, static_cast<track_t>(number + 1))
                             : toc.leadOut;
        entry.sectorCount = std::max(0, next - entry.firstSector);
        entry.audio = cdio_get_track_format(device, track) == TRACK_FORMAT_AUDIO;
        toc.tracks.append(entry);
    }
    trimSessionGap(device, toc.tracks);
    return toc;
}

void CdioDisc::readDiscCodes(DiscToc& toc)
{
    CdIo_t* device = m_device.get();
    toc.catalog = takeCdioText(cdio_get_mcn(device));
    for (TocTrack& track : toc.tracks) {
        if (!track.audio)
            continue;
        const auto number = static_cast<track_t>(track.number);
        track.isrc = takeCdioText(cdio_get_track_isrc(device, number));
        const lsn_t pregap = cdio_get_track_pregap_lsn(device, number);
        if (pregap != CDIO_INVALID_LSN && pregap < track.firstSector)
            track.pregapSectors = track.firstSector - pregap;
        track.preEmphasis = cdio_get_track_preemphasis(device, number) == CDIO_TRACK_FLAG_TRUE;
    }
}

std::unique_ptr<Disc> openWithLibcdio(const Drive& drive)
{
    CdioMessages messages;
    CdIoHandle device(cdio_open(QFile::encodeName(drive.path).constData(), DRIVER_NRG));
    if (!device)
        throw ComponentError(QStringLiteral("Cannot open the disc image %1: %2.")
                                 .arg(drive.path, messages.first(QStringLiteral(
                                                      "not a readable CUE, TOC or NRG image"))));
    return std::make_unique<CdioDisc>(std::move(device), drive);
}

std::unique_ptr<Disc> openImage(const Drive& drive)
{
    const QFileInfo file(drive.path);
    if (!file.exists() || drive.imageFormat == u"ISO")
        return nullptr;
    if (!file.isFile())
        throw ComponentError(
            QStringLiteral("The disc image %1 is not a regular file.").arg(drive.path));
    if (drive.imageFormat == u"NRG")
        return openWithLibcdio(drive);
    // A BIN stands for the cue sheet of its name beside it.
    if (drive.imageFormat == u"BIN")
        return openImageDisc(file.path() + u'/' + file.completeBaseName() + QStringLiteral(".cue"),
                             QStringLiteral("CUE"));
    return openImageDisc(drive.path, drive.imageFormat);
}

std::unique_ptr<Disc> openHardware(const Drive& drive)
{
    CdioMessages quiet;
    CdIoHandle device(cdio_open(drive.path.toLocal8Bit().constData(), DRIVER_DEVICE));
    if (!device || cdio_get_discmode(device.get()) == CDIO_DISC_MODE_NO_INFO ||
        cdio_get_num_tracks(device.get()) == CDIO_INVALID_TRACK)
        return nullptr;
    return std::make_unique<CdioDisc>(std::move(device), drive);
}

} // namespace

std::unique_ptr<Disc> openDisc(const Drive& drive)
{
    return drive.isImage() ? openImage(drive) : openHardware(drive);
}

int hiddenTrackSectors(Disc& disc, const DiscToc& toc)
{
    if (toc.tracks.isEmpty() || !toc.tracks.front().audio)
        return 0;
    const int first = toc.tracks.front().firstSector;
    constexpr int RunSectors = 75;
    std::vector<std::uint8_t> run(std::size_t{RunSectors} * CDIO_CD_FRAMESIZE_RAW);
    for (int sector = 0; sector < first; sector += RunSectors) {
        const int count = std::min(RunSectors, first - sector);
        // What cannot be read is no audio that could be offered.
        if (!disc.readAudio(sector, count, run.data()))
            continue;
        const auto end = run.begin() + std::ptrdiff_t{count} * CDIO_CD_FRAMESIZE_RAW;
        if (std::any_of(run.begin(), end, [](std::uint8_t byte) { return byte != 0; }))
            return first;
    }
    return 0;
}

DriveCheck checkDrive(const Drive& drive)
{
    try {
        const std::unique_ptr<Disc> disc = openDisc(drive);
        if (!disc)
            return {drive.isImage() && QFileInfo::exists(drive.path) ? DriveState::DataDisc
                                                                     : DriveState::Empty,
                    {}};
        const DiscToc toc = disc->readToc();
        return {toc.audioTracks().isEmpty() ? DriveState::DataDisc : DriveState::AudioDisc, {}};
    } catch (const ComponentError& error) {
        return {DriveState::Empty, error.message()};
    }
}

DriveState stateOf(const Drive& drive)
{
    return checkDrive(drive).state;
}
