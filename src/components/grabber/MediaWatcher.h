#pragma once

#include "CdioHandles.h"
#include "Drive.h"

#include <QDateTime>
#include <QObject>
#include <QTimer>

#include <optional>

/// Watches the disc in one drive, about once a second, on the thread that owns it: an image
/// drive through its file's presence, size and modification time, a hardware drive through
/// libcdio's media-changed test.
class MediaWatcher final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MediaWatcher)
public:
    explicit MediaWatcher(QObject* parent = nullptr);
    ~MediaWatcher() override;

    /// Watches drive from now on; what it holds now is the starting point.
    void watch(const Drive& drive);
    void stop();

signals:
    void changed();

private:
    struct ImageSnapshot
    {
        bool exists = false;
        qint64 size = 0;
        QDateTime modified;
        bool operator==(const ImageSnapshot&) const = default;
    };

    void poll();
    static ImageSnapshot snapshotOf(const QString& path);
    bool hardwareMediaChanged();

    QTimer m_timer;
    std::optional<Drive> m_drive;
    ImageSnapshot m_snapshot;
    CdIoHandle m_device;
};
