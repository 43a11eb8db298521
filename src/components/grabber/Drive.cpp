#include "Drive.h"

#include "CdioHandles.h"
#include "CdioLog.h"
#include "base/ComponentError.h"

#include <QFile>
#include <QFileInfo>
#include <QtGlobal>

#include <sys/stat.h>

namespace {

constexpr char ImageDrivesVariable[] = "TUNECREST_IMAGE_DRIVES";

QList<Drive> hardwareDrives()
{
    CdioMessages quiet;
    const DeviceList devices(cdio_get_devices(DRIVER_DEVICE));
    QList<Drive> drives;
    for (char** device = devices.get(); device && *device; ++device)
        drives.append({Drive::Kind::Hardware, QString::fromLocal8Bit(*device), {}});
    return drives;
}

QString imageFormatOf(const QString& path)
{
    return QFileInfo(path).suffix().toUpper();
}

QString hardwareText(const char* text)
{
    return QString::fromLatin1(text).trimmed();
}

} // namespace

QList<Drive> findDrives()
{
    QList<Drive> drives = hardwareDrives();
    const QString images = qEnvironmentVariable(ImageDrivesVariable);
    for (const QString& path : images.split(u':', Qt::SkipEmptyParts))
        drives.append(imageDrive(path));
    return drives;
}

Drive imageDrive(const QString& path)
{
    return {Drive::Kind::Image, path, imageFormatOf(path)};
}

Drive hardwareDrive(const QString& path)
{
    return {Drive::Kind::Hardware, path, {}};
}

bool isBlockDevice(const QString& path)
{
    struct stat status
    {
    };
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 && S_ISBLK(status.st_mode);
}

DriveDescription describe(const Drive& drive)
{
    if (drive.isImage())
        return {drive.path, QStringLiteral("Disc Image"), QFileInfo(drive.path).fileName(),
                drive.imageFormat};
    CdioMessages quiet;
    const CdIoHandle device(cdio_open(drive.path.toLocal8Bit().constData(), DRIVER_DEVICE));
    cdio_hwinfo_t info{};
    if (!device || !cdio_get_hwinfo(device.get(), &info))
        return {drive.path, {}, {}, {}};
    return {drive.path, hardwareText(info.psz_vendor), hardwareText(info.psz_model),
            hardwareText(info.psz_revision)};
}
