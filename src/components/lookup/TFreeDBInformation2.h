#pragma once

#include "components/lookup/CddbProtocol.h"
#include "components/lookup/QueuedLookup.h"

#include <functional>

/// Looks discs up over CDDB (HTTP, protocol level 6) and in the local CDFreeDB.ini, as the
/// `Freedb` settings say: site, port, time-out, proxy, source and the e-mail address of the
/// hello. The settings are read at the start of each lookup. A lookup that succeeds on the
/// server adds its entry to the local file.
class TFreeDBInformation2 final : public QueuedLookup
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TFreeDBInformation2)
public:
    /// settingsPath is the settings file; the local file lies beside it.
    explicit TFreeDBInformation2(QString settingsPath, QObject* parent = nullptr);

private:
    struct Settings
    {
        int source = 1; // 0 the local file, then the server; 1 the server; 2 the local file
        QString host;
        QString path;
        int port = 80;
        int timeout = 10000;
        QString proxy;
        QString email;
    };
    using AnswerHandler = std::function<void(const Cddb::Answer&)>;

    Settings readSettings() const;
    void lookUp(const FreeDBDisc& disc) override;
    /// True when the local file has a usable entry, which is then loaded.
    bool loadLocalEntry();
    void askServer();
    void onQueryAnswer(const Cddb::Answer& answer);
    void onReadAnswer(const Cddb::Answer& answer, const QString& category);
    void send(const QString& command, AnswerHandler handler);
    void onReplyFinished(const Fetched& fetched, const AnswerHandler& handler);
    void serverRefused(const QString& why);
    void keepLocally(const Cddb::EntryKeys& keys);
    QString hello() const;
    QString localPath() const;

    QString m_settingsPath;
    FreeDBDisc m_disc; // the disc being looked up
    Settings m_settings;
};
