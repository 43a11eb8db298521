#include "components/lookup/QueuedLookup.h"

#include <QNetworkReply>
#include <QNetworkRequest>

QueuedLookup::QueuedLookup(QObject* parent) : IFreeDBInformation2(parent)
{
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, [this] {
        m_timedOut = true;
        if (m_reply)
            m_reply->abort();
    });
}

QueuedLookup::~QueuedLookup()
{
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
    }
}

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
                         FetchHandler handler)
{
    m_received.clear();
    m_tooLarge = m_timedOut = false;
    QNetworkReply* reply = m_network.get(request);
    m_reply = reply;
    connect(reply, &QNetworkReply::readyRead, this, [this, reply, maxBytes] {
        // Only so much is read; an answer larger than any that makes sense is not one.
        if (m_received.size() + reply->bytesAvailable() > maxBytes) {
            m_tooLarge = true;
            reply->abort();
            return;
        }
        m_received += reply->readAll();
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply, handler = std::move(handler)] {
        m_deadline.stop();
        reply->deleteLater();
        m_reply = nullptr;
        Fetched fetched{reply, {}, m_tooLarge, m_timedOut};
        if (!m_tooLarge && !m_timedOut)
            fetched.body = m_received + reply->readAll();
        m_received.clear();
        handler(fetched);
    });
    m_deadline.start(timeoutMs);
}
