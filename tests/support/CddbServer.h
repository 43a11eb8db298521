#pragma once

#include "base/IFreeDBInformation2.h"
#include "support/LoopbackServer.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTcpServer>

#include <gtest/gtest.h>

#include <optional>

/// The loopback CDDB server that the test command starts (scripts/cddb-server.sh), reached as
/// the proxy of the Freedb settings. Its answers are files in its folder, named by disc id.
struct CddbServer
{
    QString proxy;  // 127.0.0.1:<port>
    QString folder; // where its answers go

    /// The running server; fails the test (and gives nothing) when the test command did not
    /// start one.
    static std::optional<CddbServer> running()
    {
        const auto server =
            LoopbackServer::fromEnvironment("TUNECREST_CDDB_PROXY", "TUNECREST_CDDB_DIR", "CDDB",
                                            "scripts/cddb-server.sh", "start_cddb_server");
        if (!server)
            return std::nullopt;
        return CddbServer{server->address, server->folder};
    }

    /// Puts an answer file (tests/fixtures/cddb_server.py names them); empty bytes remove it.
    void put(const QString& name, const QByteArray& bytes) const
    {
        LoopbackServer::putFile(QDir(folder).filePath(name), bytes);
    }

    /// An exact match of the disc in category, and its entry.
    void answer(const QString& id, const QString& category, const QByteArray& entry) const
    {
        put(id + QStringLiteral(".query"),
            "200 " + category.toUtf8() + ' ' + id.toUtf8() + " Artist / Album\r\n");
        put(category + u'.' + id + QStringLiteral(".read"), readAnswer(category, id, entry));
    }

    static QByteArray readAnswer(const QString& category, const QString& id,
                                 const QByteArray& entry)
    {
        return "210 " + category.toUtf8() + ' ' + id.toUtf8() +
               " CD database entry follows (until terminating `.')\r\n# xmcd\r\n" + entry + ".\r\n";
    }

    /// The last hello the server received for the disc.
    QString hello(const QString& id) const
    {
        QFile in(QDir(folder).filePath(id + QStringLiteral(".hello")));
        return in.open(QIODevice::ReadOnly) ? QString::fromUtf8(in.readAll()).trimmed() : QString();
    }

    /// Answers of the disc left by an earlier run are removed.
    void forget(const QString& id) const
    {
        for (const QString& name : QDir(folder).entryList({u'*' + id + u'*'}, QDir::Files))
            QFile::remove(QDir(folder).filePath(name));
    }
};

/// A proxy address where nothing listens.
inline QString refusingProxy()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    const quint16 port = probe.serverPort();
    probe.close();
    return QStringLiteral("127.0.0.1:%1").arg(port);
}

/// The Freedb section of a settings file; the MusicBrainz lookup after CDDB is off, so the
/// CDDB tests stay on the loopback server.
inline QByteArray freedbSettings(const QString& proxy, int source = 1, int timeout = 10000,
                                 const QString& email = {})
{
    return "[Freedb]\nproxy=" + proxy.toUtf8() + "\ntoserver=" + QByteArray::number(source) +
           "\ntimeout=" + QByteArray::number(timeout) + "\nemail=" + email.toUtf8() +
           "\n[MusicBrainz]\nenabled=0\n";
}
