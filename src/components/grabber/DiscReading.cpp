#include "DiscReading.h"

#include "CdioLog.h"
#include "CueSheet.h"
#include "base/ComponentError.h"
#include "base/RegularFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cdio/memory.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <limits>

namespace {

/// A multi-session (Enhanced) CD leaves 11400 sectors of lead-out and lead-in between its audio
/// session and the data session; the TOC counts them into the last audio track.
constexpr int SessionGapSectors = 11400;

/// A cue sheet is a few kilobytes; anything far larger is no sheet.
constexpr qint64 MaxCueSheetBytes = 1 << 20;

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

[[noreturn]] void refuseImage(const Drive& drive, const QString& why)
{
    throw ComponentError(QStringLiteral("The disc image %1 %2.").arg(drive.path, why));
}

CdIoHandle openWithLibcdio(const Drive& drive, const QString& path, driver_id_t driver,
                           std::unique_ptr<QTemporaryDir> folder = nullptr)
{
    CdioMessages messages;
    CdIo_t* device = cdio_open(QFile::encodeName(path).constData(), driver);
    if (!device)
        throw ComponentError(QStringLiteral("Cannot open the disc image %1: %2.")
                                 .arg(drive.path, messages.first(QStringLiteral(
                                                      "not a readable CUE, TOC or NRG image"))));
    return CdIoHandle(device, CdIoDeleter{std::move(folder)});
}

// The one BIN the sheet names, checked to be a regular file that exists.
QString namedBin(const Drive& drive, const QList<CueFileLine>& files)
{
    if (files.isEmpty())
        refuseImage(drive, QStringLiteral("names no data file"));
    if (files.size() > 1)
        refuseImage(drive, QStringLiteral("names %1 data files; only an image in one BINARY "
                                          "file can be read")
                               .arg(files.size()));
    const CueFileLine& file = files.front();
    if (file.type != u"BINARY" && file.type != u"MOTOROLA")
        refuseImage(drive, QStringLiteral("names a %1 file (%2); only a BINARY or MOTOROLA image "
                                          "can be read")
                               .arg(file.type, file.name));
    const QString bin =
        QDir::cleanPath(QFileInfo(drive.path).absoluteDir().absoluteFilePath(file.name));
    const QFileInfo info(bin);
    if (!info.exists())
        refuseImage(drive, QStringLiteral("names %1, which does not exist").arg(bin));
    // Only the type is looked at: a FIFO is never opened, so nothing waits for a writer.
    if (!regularFileProblem(bin).isEmpty())
        refuseImage(drive, QStringLiteral("names %1, which is not a regular file").arg(bin));
    return bin;
}

const QString StagingPrefix = QStringLiteral("tunecrest-disc-");

// Staging folders of programs that ended without removing theirs (killed): their name holds
// the process id that made them.
void removeOrphanedStagingFolders()
{
    const QDir temp = QDir::temp();
    for (const QString& name :
         temp.entryList({StagingPrefix + u'*'}, QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool ok = false;
        const qint64 pid = name.mid(StagingPrefix.size()).section(u'-', 0, 0).toLongLong(&ok);
        if (ok && pid > 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH)
            QDir(temp.filePath(name)).removeRecursively();
    }
}

// Whether libcdio reads the BIN the sheet names by itself: it always takes the sheet's own name
// with ".bin".
bool libcdioFindsBin(const Drive& drive, const QString& bin)
{
    const QFileInfo cue(drive.path);
    return cue.suffix() == u"cue" && QFileInfo(cue.absolutePath() + u'/' + cue.completeBaseName() +
                                               QStringLiteral(".bin")) == QFileInfo(bin);
}

// libcdio's BIN/CUE driver reads the BIN named like the sheet, whatever its FILE line says. Where
// the two differ it is given a private folder instead: a copy of the sheet as disc.cue, naming
// disc.bin, and disc.bin a link to the BIN the sheet really names. The folder lives as long as
// the device.
CdIoHandle openCueImage(const Drive& drive)
{
    const RegularFileContents sheet = readRegularFile(drive.path, MaxCueSheetBytes);
    if (sheet.status == RegularFileContents::Status::Missing)
        return nullptr;
    if (!sheet.ok())
        throw ComponentError(QStringLiteral("Cannot read the disc image: ") + sheet.error + u'.');
    const QList<CueFileLine> files = cueFileLines(sheet.bytes);
    const QString bin = namedBin(drive, files);
    if (libcdioFindsBin(drive, bin))
        return openWithLibcdio(drive, drive.path, DRIVER_BINCUE);

    removeOrphanedStagingFolders();
    auto folder = std::make_unique<QTemporaryDir>(
        QDir::temp().filePath(StagingPrefix + QString::number(QCoreApplication::applicationPid()) +
                              QStringLiteral("-XXXXXX")));
    const auto cannotPrepare = [&drive](const QString& why) {
        return ComponentError(QStringLiteral("Cannot prepare the disc image %1 for reading: %2.")
                                  .arg(drive.path, why));
    };
    if (!folder->isValid())
        throw cannotPrepare(folder->errorString());
    const QString cue = folder->filePath(QStringLiteral("disc.cue"));
    QFile copy(cue);
    const QByteArray text = withFileName(sheet.bytes, files.front(), QStringLiteral("disc.bin"));
    if (!copy.open(QIODevice::WriteOnly | QIODevice::NewOnly) || copy.write(text) != text.size() ||
        !copy.flush())
        throw cannotPrepare(copy.errorString());
    copy.close();
    if (!QFile::link(bin, folder->filePath(QStringLiteral("disc.bin"))))
        throw cannotPrepare(QStringLiteral("cannot link to ") + bin);
    return openWithLibcdio(drive, cue, DRIVER_BINCUE, std::move(folder));
}

CdIoHandle openImage(const Drive& drive)
{
    const QFileInfo file(drive.path);
    if (!file.exists() || drive.imageFormat == u"ISO")
        return nullptr;
    if (!file.isFile())
        refuseImage(drive, QStringLiteral("is not a regular file"));
    if (drive.imageFormat == u"CUE")
        return openCueImage(drive);
    return openWithLibcdio(drive, drive.path, imageDriver(drive));
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

// libcdio hands out these texts in memory of its own; empty when there is none.
QString takeCdioText(char* text)
{
    const QString result = text ? QString::fromLatin1(text).trimmed() : QString();
    cdio_free(text);
    return result;
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
        toc.tracks.append({number,
                           start,
                           std::max(0, next - start),
                           cdio_get_track_format(device, track) == TRACK_FORMAT_AUDIO,
                           0,
                           {}});
    }
    if (!drive.isImage())
        trimSessionGap(device, toc.tracks);
    return toc;
}

void readDiscCodes(CdIo_t* device, DiscToc& toc)
{
    toc.catalog = takeCdioText(cdio_get_mcn(device));
    for (TocTrack& track : toc.tracks) {
        if (!track.audio)
            continue;
        const auto number = static_cast<track_t>(track.number);
        track.isrc = takeCdioText(cdio_get_track_isrc(device, number));
        const lsn_t pregap = cdio_get_track_pregap_lsn(device, number);
        if (pregap != CDIO_INVALID_LSN && pregap < track.firstSector)
            track.pregapSectors = track.firstSector - pregap;
    }
}

int readableEnd(CdIo_t* device, const Drive& drive)
{
    return drive.isImage() ? cdio_get_track_lsn(device, CDIO_CDROM_LEADOUT_TRACK)
                           : std::numeric_limits<int>::max();
}

DriveCheck checkDrive(const Drive& drive)
{
    try {
        const CdIoHandle device = openDisc(drive);
        if (!device)
            return {drive.isImage() && QFileInfo::exists(drive.path) ? DriveState::DataDisc
                                                                     : DriveState::Empty,
                    {}};
        const DiscToc toc = readToc(device.get(), drive);
        return {toc.audioTracks().isEmpty() ? DriveState::DataDisc : DriveState::AudioDisc, {}};
    } catch (const ComponentError& error) {
        return {DriveState::Empty, error.message()};
    }
}

DriveState stateOf(const Drive& drive)
{
    return checkDrive(drive).state;
}
