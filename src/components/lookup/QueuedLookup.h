#pragma once

#include "base/IFreeDBInformation2.h"
#include "components/lookup/BoundedFetch.h"

#include <QList>
#include <QNetworkAccessManager>

/// What the lookups over HTTP share: discs are looked up one after another in the order asked,
/// and each lookup sends one request at a time, read up to a size and within a deadline over
/// the whole exchange.
class QueuedLookup : public IFreeDBInformation2
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(QueuedLookup)
public:
    explicit QueuedLookup(QObject* parent = nullptr);

    /// Returns at once; the lookup starts from the event loop once those before it have ended.
    void query(const FreeDBDisc& disc) final;

protected:
    using Fetched = BoundedFetch::Result;

    /// Starts the lookup of one disc; it ends with finish().
    virtual void lookUp(const FreeDBDisc& disc) = 0;
    /// Reports the lookup's last status and goes on with the next disc, from the event loop,
    /// so the next lookup's statuses follow these.
    void finish(int status);
    void fetch(const QNetworkRequest& request, qsizetype maxBytes, int timeoutMs,
               BoundedFetch::Handler handler,
               BoundedFetch::Redirects redirects = BoundedFetch::Redirects::AsRequested);
    QNetworkAccessManager& network() { return m_network; }

private:
    void startNext();

    QNetworkAccessManager m_network;
    BoundedFetch m_fetch; // goes before the network: a running request is aborted first
    QList<FreeDBDisc> m_queue;
    bool m_busy = false;
};
