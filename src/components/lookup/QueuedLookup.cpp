#include "components/lookup/QueuedLookup.h"

#include <QTimer>

QueuedLookup::QueuedLookup(QObject* parent) : IFreeDBInformation2(parent) {}

void QueuedLookup::query(const FreeDBDisc& disc)
{
    m_queue.append(disc);
    if (m_busy)
        return;
    m_busy = true;
    QTimer::singleShot(0, this, &QueuedLookup::startNext);
}

void QueuedLookup::startNext()
{
    if (m_queue.isEmpty()) {
        m_busy = false;
        return;
    }
    lookUp(m_queue.takeFirst());
}

void QueuedLookup::finish(int result)
{
    emit status(result);
    QTimer::singleShot(0, this, &QueuedLookup::startNext);
}

void QueuedLookup::fetch(const QNetworkRequest& request, qsizetype maxBytes, int timeoutMs,
                         BoundedFetch::Handler handler, BoundedFetch::Redirects redirects)
{
    m_fetch.start(m_network, request, maxBytes, timeoutMs, std::move(handler), redirects);
}
