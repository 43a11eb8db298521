#include "gui/SingleInstance.h"

#include <QLocalServer>
#include <QLocalSocket>

#include <unistd.h>

namespace {

// The socket's name holds the user, so two users each run their own program.
QString perUserName(const QString& name)
{
    return name + QStringLiteral("-") + QString::number(getuid());
}

bool answers(const QString& name)
{
    QLocalSocket probe;
    probe.connectToServer(name);
    return probe.waitForConnected(500);
}

} // namespace

SingleInstance::SingleInstance(const QString& name) : m_name(perUserName(name))
{
    if (answers(m_name)) {
        m_anotherIsRunning = true;
        return;
    }
    // Nobody answers: a socket file left by a program that crashed would only block us.
    QLocalServer::removeServer(m_name);
    m_server = std::make_unique<QLocalServer>();
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    QLocalServer* server = m_server.get();
    // A later start only checks that someone answers; its connection is let go at once.
    QObject::connect(server, &QLocalServer::newConnection, server, [server] {
        while (QLocalSocket* socket = server->nextPendingConnection())
            socket->deleteLater();
    });
    m_server->listen(m_name);
}

SingleInstance::~SingleInstance() = default;

void SingleInstance::release()
{
    if (m_server)
        m_server->close();
    m_server.reset();
}
