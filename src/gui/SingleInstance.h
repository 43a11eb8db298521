#pragma once

#include <QString>

#include <memory>

class QLocalServer;

/// One running program per user: the first start holds a local server under the window title's
/// name; a later start finds it answering and ends.
class SingleInstance final
{
public:
    explicit SingleInstance(const QString& name);
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    /// True when another instance answers under the name.
    bool anotherIsRunning() const { return m_anotherIsRunning; }
    /// Stops answering, so a new process (a restart) can take the name.
    void release();

private:
    QString m_name;
    bool m_anotherIsRunning = false;
    std::unique_ptr<QLocalServer> m_server;
};
