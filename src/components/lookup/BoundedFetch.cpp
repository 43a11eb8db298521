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

namespace {

int portOf(const QUrl& url)
{
    return url.port(url.scheme() == u"https" ? 443 : 80);
}

} // namespace

bool BoundedFetch::isSameServer(const QUrl& from, const QUrl& to)
{
    if (to.host().compare(from.host(), Qt::CaseInsensitive) != 0)
        return false;
    if (to.scheme() == from.scheme())
        return portOf(to) == portOf(from);
    // Moving to https keeps the port, or goes from http's own port to https's.
    const bool toHttps = from.scheme() == u"http" && to.scheme() == u"https";
    return toHttps && (portOf(to) == portOf(from) || (portOf(from) == 80 && portOf(to) == 443));
}

void BoundedFetch::start(QNetworkAccessManager& network, QNetworkRequest request,
                         qsizetype maxBytes, int timeoutMs, Handler handler, Redirects redirects)
{
    m_tooLarge = m_timedOut = false;
    m_refusedRedirect.clear();
    m_redirectsFollowed = 0;
    // Same-server redirects are followed here, where each is checked before anything is sent.
    if (redirects == Redirects::SameServer)
        request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                             QNetworkRequest::ManualRedirectPolicy);
    m_network = &network;
    m_request = request;
    m_maxBytes = maxBytes;
    m_handler = std::move(handler);
    m_redirects = redirects;
    send(request);
    m_deadline.start(timeoutMs);
}

void BoundedFetch::send(const QNetworkRequest& request)
{
    m_received.clear();
    QNetworkReply* reply = m_network->get(request);
    m_reply = reply;
    connect(reply, &QNetworkReply::readyRead, this, [this, reply] {
        // Only so much is read; an answer larger than any that makes sense is not one.
        if (m_received.size() + reply->bytesAvailable() > m_maxBytes) {
            m_tooLarge = true;
            reply->abort();
            return;
        }
        m_received += reply->readAll();
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply] { finished(reply); });
}

void BoundedFetch::finished(QNetworkReply* reply)
{
    reply->deleteLater();
    m_reply = nullptr;
    if (m_redirects == Redirects::SameServer && !m_tooLarge && !m_timedOut &&
        followRedirect(*reply))
        return;
    m_deadline.stop();
    Result result{reply, {}, m_tooLarge, m_timedOut, m_refusedRedirect};
    if (!m_tooLarge && !m_timedOut && m_refusedRedirect.isEmpty())
        result.body = m_received + reply->readAll();
    m_received.clear();
    // The handler may start the next request, which replaces the one kept here.
    const Handler handler = m_handler;
    handler(result);
}

bool BoundedFetch::followRedirect(const QNetworkReply& reply)
{
    const QVariant target = reply.attribute(QNetworkRequest::RedirectionTargetAttribute);
    if (!target.isValid() || m_redirectsFollowed == MaxSameServerRedirects)
        return false;
    const QUrl url = reply.url().resolved(target.toUrl());
    if (!isSameServer(m_request.url(), url)) {
        m_refusedRedirect = url;
        return false;
    }
    ++m_redirectsFollowed;
    QNetworkRequest next(m_request);
    next.setUrl(url);
    send(next);
    return true;
}
