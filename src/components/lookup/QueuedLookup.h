#pragma once

#include "components/IFreeDBInformation2.h"

#include <QByteArray>
#include <QList>
#include <QNetworkAccessManager>
#include <QPointer>
#include <QTimer>

#include <functional>

class QNetworkReply;
class QNetworkRequest;

/// What the lookups over HTTP share: discs are looked up one after another in the order asked,
/// and each lookup sends one request at a time, read up to a size and within a deadline over
/// the whole exchange.
class QueuedLookup : public IFreeDBInformation2
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(QueuedLookup)
public:
    explicit QueuedLookup(QObject* parent = nullptr);
    /// A request still running is aborted; its answer reaches nobody.
    ~QueuedLookup() override;

    /// Returns at once; the lookup starts from the event loop once those before it have ended.
    void query(const FreeDBDisc& disc) final;

protected:
    /// The end of a request: its reply (deleted later), and the body when the request neither
    /// grew past its size nor ran past its deadline.
    struct Fetched
    {
        QNetworkReply* reply = nullptr;
        QByteArray body;
        bool tooLarge = false;
        bool timedOut = false;
    };
    using FetchHandler = std::function<void(const Fetched&)>;

    /// Starts the lookup of one disc; it ends with finish().
    virtual void lookUp(const FreeDBDisc& disc) = 0;
    /// Reports the lookup's last status and goes on with the next disc, from the event loop,
    /// so the next lookup's statuses follow these.
    void finish(int status);
    void fetch(const QNetworkRequest& request, qsizetype maxBytes, int timeoutMs,
               FetchHandler handler);
    QNetworkAccessManager& network() { return m_network; }

private:
    void startNext();

    QNetworkAccessManager m_network;
    QList<FreeDBDisc> m_queue;
    bool m_busy = false;
    QPointer<QNetworkReply> m_reply;
    QByteArray m_received;
    QTimer m_deadline;
    bool m_tooLarge = false;
    bool m_timedOut = false;
};
