#include "DiscReading.h"

#include "CdioLog.h"
#include "components/ComponentError.h"

#include <QFileInfo>

#include <algorithm>
#include <limits>

namespace {

/// A multi-session (Enhanced) CD leaves 11400 sectors of lead-out and lead-in between its audio
/// session and the data session; the TOC counts them into the last audio track.
constexpr int SessionGapSectors = 11400;

driver_id_t imageDriver(const Drive& drive)
{
    if (drive.imageFormat == u"CUE" || drive.imageFormat == u"BIN")
        return DRIVER_BINCUE;
    if (drive.imageFormat == u"TOC")
        return DRIVER_CDRDAO;
    if (drive.imageFormat == u"NRG")
        return DRIVER_NRG;
    return DRIVER_UNKNOWN;
}

CdIoHandle openImage(const Drive& drive)
{
    const QFileInfo file(drive.path);
    if (!file.exists() || drive.imageFormat == u"ISO")
        return nullptr;
    if (!file.isFile())
        throw ComponentError(QStringLiteral("The disc image %1 is not a file.").arg(drive.path));
    CdioMessages messages;
    CdIoHandle device(cdio_open(drive.path.toLocal8Bit().constData(), imageDriver(drive)));
    if (!device)
        throw ComponentError(QStringLiteral("Cannot open the disc image %1: %2.")
                                 .arg(drive.path, messages.first(QStringLiteral(
                                                      "not a readable CUE, TOC or NRG image"))));
    return device;
}

CdIoHandle openHardware(const Drive& drive)
{
    CdioMessages quiet;
    CdIoHandle device(cdio_open(drive.path.toLocal8Bit().constData(), DRIVER_DEVICE));
    if (!device || cdio_get_discmode(device.get()) == CDIO_DISC_MODE_NO_INFO ||
        cdio_get_num_tracks(device.get()) == CDIO_INVALID_TRACK)
        return nullptr;
    return device;
}

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

} // namespace

CdIoHandle openDisc(const Drive& drive)
{
    return drive.isImage() ? openImage(drive) : openHardware(drive);
}

DiscToc readToc(CdIo_t* device, const Drive& drive)
{
    const track_t first = cdio_get_first_track_num(device);
    const track_t count = cdio_get_num_tracks(device);
    if (first == CDIO_INVALID_TRACK || count == CDIO_INVALID_TRACK)
        throw ComponentError(
            QStringLiteral("Cannot read the table of contents of the disc in %1.").arg(drive.path));
    DiscToc toc;
    toc.leadOut = cdio_get_track_lsn(device, CDIO_CDROM_LEADOUT_TRACK);
    for (int number = first; number < first + count; ++number) {
        const auto track = static_cast<track_t>(number);
        const int start = cdio_get_track_lsn(device, track);
        const int next = number + 1 < first + count
                             ? cdio_get_track_lsn(device, static_cast<track_t>(number + 1))
                             : toc.leadOut;
        toc.tracks.append({number, start, std::max(0, next - start),
                           cdio_get_track_format(device, track) == TRACK_FORMAT_AUDIO});
    }
    if (!drive.isImage())
        trimSessionGap(device, toc.tracks);
    return toc;
}

int readableEnd(CdIo_t* device, const Drive& drive)
{
    return drive.isImage() ? cdio_get_track_lsn(device, CDIO_CDROM_LEADOUT_TRACK)
                           : std::numeric_limits<int>::max();
}
