#include "MediaWatcher.h"

#include "CdioLog.h"

#include <QFileInfo>

namespace {

constexpr int PollIntervalMs = 1000;

} // namespace

MediaWatcher::MediaWatcher(QObject* parent) : QObject(parent)
{
    m_timer.setInterval(PollIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &MediaWatcher::poll);
}

MediaWatcher::~MediaWatcher() = default;

void MediaWatcher::watch(const Drive& drive)
{
    m_drive = drive;
    m_device.reset();
    if (drive.isImage()) {
        m_snapshot = snapshotOf(drive.path);
    } else {
        // The first test after opening reports whatever happened before: start from there.
        hardwareMediaChanged();
    }
    m_timer.start();
}

void MediaWatcher::stop()
{
    m_timer.stop();
    m_drive.reset();
    m_device.reset();
}

void MediaWatcher::poll()
{
    if (!m_drive)
        return;
    if (m_drive->isImage()) {
        const ImageSnapshot now = snapshotOf(m_drive->path);
        if (now == m_snapshot)
            return;
        m_snapshot = now;
        emit changed();
    } else if (hardwareMediaChanged()) {
        emit changed();
    }
}

MediaWatcher::ImageSnapshot MediaWatcher::snapshotOf(const QString& path)
{
    const QFileInfo file(path);
    if (!file.exists())
        return {};
    return {true, file.size(), file.lastModified()};
}

bool MediaWatcher::hardwareMediaChanged()
{
    CdioMessages quiet;
    if (!m_device)
        m_device.reset(cdio_open(m_drive->path.toLocal8Bit().constData(), DRIVER_DEVICE));
    return m_device && cdio_get_media_changed(m_device.get()) == 1;
}
