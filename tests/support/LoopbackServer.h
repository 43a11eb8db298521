#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>

#include <gtest/gtest.h>

#include <optional>

/// Where a loopback stand-in that the test command started listens and keeps its answers.
struct LoopbackServer
{
    QString address;
    QString folder;

    /// Read from the variables its start script exports; fails the test (and gives nothing)
    /// when the test command did not start it.
    static std::optional<LoopbackServer> fromEnvironment(const char* addressVariable,
                                                         const char* folderVariable,
                                                         const char* name, const char* script,
                                                         const char* start)
    {
        const QString address = qEnvironmentVariable(addressVariable);
        const QString folder = qEnvironmentVariable(folderVariable);
        if (address.isEmpty() || folder.isEmpty() || !QDir(folder).exists()) {
            ADD_FAILURE() << addressVariable << " and " << folderVariable << " are not set: the "
                          << "loopback " << name << " server is not running. Run the tests "
                          << "through scripts/test.sh, or source " << script << " and call "
                          << start << " DIR first.";
            return std::nullopt;
        }
        return LoopbackServer{address, folder};
    }

    /// Puts an answer file whole, so the server never reads half of one; empty bytes remove it.
    static void putFile(const QString& file, const QByteArray& bytes)
    {
        QFile::remove(file);
        if (bytes.isEmpty())
            return;
        QFile out(file + QStringLiteral(".part"));
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(bytes);
        out.close();
        ASSERT_TRUE(QFile::rename(file + QStringLiteral(".part"), file));
    }
};

/// Another server a redirect may point at: a loopback listener on a port of its own that keeps
/// what requests send it and answers 404, while the event loop runs.
class ForeignServer final
{
public:
    ForeignServer()
    {
        EXPECT_TRUE(m_listener.listen(QHostAddress::LocalHost));
        QObject::connect(&m_listener, &QTcpServer::newConnection, &m_listener, [this] {
            QTcpSocket* socket = m_listener.nextPendingConnection();
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                m_received += QString::fromLatin1(socket->readAll());
                socket->write("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n");
            });
        });
    }

    QString url() const
    {
        return QStringLiteral("http://127.0.0.1:%1").arg(m_listener.serverPort());
    }
    const QString& received() const { return m_received; }

private:
    QTcpServer m_listener;
    QString m_received;
};
