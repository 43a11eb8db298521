#pragma once

#include <QObject>

class QSocketNotifier;

/// Turns SIGINT, SIGTERM and SIGHUP into a Qt signal on the thread that made the watcher, so the
/// rip can stop cleanly: the handler only writes a byte to a pipe, and the watcher reads it.
class SignalWatcher final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SignalWatcher)
public:
    explicit SignalWatcher(QObject* parent = nullptr);
    ~SignalWatcher() override;

signals:
    void interrupted();

private:
    void readSignal();

    QSocketNotifier* m_notifier = nullptr;
};
