#pragma once

#include "components/IFreeDBInformation2.h"
#include "components/lookup/MusicBrainzDisc.h"
#include "components/lookup/MusicBrainzRelease.h"

#include <QByteArray>
#include <QList>
#include <QNetworkAccessManager>
#include <QPointer>
#include <QTimer>
#include <QUrl>

#include <functional>

class QNetworkReply;

/// Looks discs up in the MusicBrainz web service (version 2, JSON) by their disc id, and by
/// their table of contents when the id is unknown, then fetches the chosen release's front
/// cover from the Cover Art Archive. Reads the `MusicBrainz` settings and `Freedb`/`timeout` at
/// the start of each lookup. Statuses: MusicBrainzQuerying, then MusicBrainzLoaded,
/// MusicBrainzNoRelease or MusicBrainzFailed.
class MusicBrainzInformation final : public IFreeDBInformation2
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MusicBrainzInformation)
public:
    /// Picks one of several releases: its index, or -1 for none.
    using Chooser = std::function<int(const QList<MusicBrainzReleaseSummary>&)>;

    explicit MusicBrainzInformation(QString settingsPath, QObject* parent = nullptr);
    ~MusicBrainzInformation() override;

    void query(const FreeDBDisc& disc) override;
    /// Without a chooser the first release is taken.
    void setChooser(Chooser chooser) { m_chooser = std::move(chooser); }

    /// The least time between two requests, in milliseconds.
    static constexpr int RequestSpacing = 1000;

private:
    struct Settings
    {
        QUrl server;
        QUrl coverServer;
        bool coverArt = true;
        int timeout = 10000;
        QString contact;
    };
    enum class Stage { DiscId, Toc, Cover };
    struct Reply
    {
        int http = 0;
        bool failed = false; // no answer: refused, timed out, too large
        QByteArray body;
    };

    Settings readSettings() const;
    void startNext();
    void request(Stage stage);
    void send(const QUrl& url);
    void onFinished(QNetworkReply* reply);
    void onLookupAnswer(const Reply& answer);
    void onCoverAnswer(const Reply& answer);
    void takeRelease(const QList<MusicBrainzRelease>& releases);
    void finish(int status);
    QUrl lookupUrl(Stage stage) const;

    QString m_settingsPath;
    QNetworkAccessManager m_network;
    Chooser m_chooser;
    QList<FreeDBDisc> m_queue;
    bool m_busy = false;
    FreeDBDisc m_disc;
    MusicBrainzDisc m_mbDisc;
    Settings m_settings;
    Stage m_stage = Stage::DiscId;
    bool m_retried = false;
    FreeDBEntry m_entry;
    QPointer<QNetworkReply> m_reply;
    QByteArray m_received;
    QTimer m_deadline;
    bool m_tooLarge = false;
    bool m_timedOut = false;
};
