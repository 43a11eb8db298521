#include "components/lookup/BoundedFetch.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

BoundedFetch::BoundedFetch(QObject* parent) : QObject(parent)
{
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, [this] {
        m_timedOut = true;
        if (m_reply)
            m_reply->abort();
    });
}

BoundedFetch::~BoundedFetch()
{
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
    }
}

void BoundedFetch::start(QNetworkAccessManager& network, const QNetworkRequest& request,
                         qsizetype maxBytes, int timeoutMs, Handler handler)
{
    m_received.clear();
    m_tooLarge = m_timedOut = false;
    QNetworkReply* reply = network.get(request);
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
        Result result{reply, {}, m_tooLarge, m_timedOut};
        if (!m_tooLarge && !m_timedOut)
            result.body = m_received + reply->readAll();
        m_received.clear();
        handler(result);
    });
    m_deadline.start(timeoutMs);
}
