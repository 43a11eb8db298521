#pragma once

#include "components/lookup/MusicBrainzDisc.h"
#include "components/lookup/MusicBrainzRelease.h"
#include "components/lookup/QueuedLookup.h"

#include <QUrl>

#include <functional>

/// Looks discs up in the MusicBrainz web service (version 2, JSON) by their disc id, and by
/// their table of contents when the id is unknown, then fetches the chosen release's front
/// cover from the Cover Art Archive. Reads the `MusicBrainz` settings and `Freedb`/`timeout` at
/// the start of each lookup. Statuses: MusicBrainzQuerying, then MusicBrainzLoaded,
/// MusicBrainzNoRelease or MusicBrainzFailed.
class MusicBrainzInformation final : public QueuedLookup
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MusicBrainzInformation)
public:
    /// Picks one of several releases: its index, or -1 for none.
    using Chooser = std::function<int(const QList<MusicBrainzReleaseSummary>&)>;

    explicit MusicBrainzInformation(QString settingsPath, QObject* parent = nullptr);

    /// Without a chooser the first release is taken.
    void setChooser(Chooser chooser) { m_chooser = std::move(chooser); }

    /// The least time between two requests to the public service, in milliseconds.
    static constexpr int RequestSpacing = 1000;
    /// The time between two requests to server: the stored spacing (0 .. 60 s), never less than
    /// a second for the public service.
    static int requestSpacing(const QUrl& server, int stored);

private:
    struct Settings
    {
        QUrl server;
        QUrl coverServer;
        bool coverArt = true;
        int timeout = 10000;
        int spacing = RequestSpacing;
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
    void lookUp(const FreeDBDisc& disc) override;
    void request(Stage stage);
    void send(const QUrl& url);
    void onFinished(const Fetched& fetched);
    void onLookupAnswer(const Reply& answer);
    void onCoverAnswer(const Reply& answer);
    void takeRelease(const QList<MusicBrainzRelease>& releases);
    QUrl lookupUrl(Stage stage) const;

    QString m_settingsPath;
    Chooser m_chooser;
    FreeDBDisc m_disc;
    MusicBrainzDisc m_mbDisc;
    Settings m_settings;
    Stage m_stage = Stage::DiscId;
    bool m_retried = false;
    FreeDBEntry m_entry;
};
