#pragma once

#include <QByteArray>
#include <QNetworkRequest>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>

#include <functional>

class QNetworkAccessManager;
class QNetworkReply;

/// One HTTP request at a time, read up to a size and within a deadline over the whole exchange,
/// so neither a huge answer nor a server that trickles bytes can hold a lookup.
class BoundedFetch final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(BoundedFetch)
public:
    /// The end of a request: its reply (deleted later), and the body when the request neither
    /// grew past its size nor ran past its deadline, nor was sent to another server.
    struct Result
    {
        QNetworkReply* reply = nullptr;
        QByteArray body;
        bool tooLarge = false;
        bool timedOut = false;
        QUrl refusedRedirect; // where the server sent the request, when that was not followed
    };
    using Handler = std::function<void(const Result&)>;

    /// Which redirects a request follows.
    enum class Redirects {
        /// Those its own attributes allow.
        AsRequested,
        /// Only to the host and port it was sent to (and from http to https on that host), at
        /// most MaxSameServerRedirects times: what it carries (the program's name, a contact)
        /// goes to no other server, and no other server answers it. The redirect that is not
        /// followed ends the request (refusedRedirect, or its 3xx answer after the last hop).
        SameServer,
    };
    static constexpr int MaxSameServerRedirects = 3;
    /// Whether a request sent to from may follow a redirect to to under Redirects::SameServer.
    static bool isSameServer(const QUrl& from, const QUrl& to);

    explicit BoundedFetch(QObject* parent = nullptr);
    /// A request still running is aborted; its answer reaches nobody.
    ~BoundedFetch() override;

    /// Sends the request; handler gets the result from the event loop.
    void start(QNetworkAccessManager& network, QNetworkRequest request, qsizetype maxBytes,
               int timeoutMs, Handler handler, Redirects redirects = Redirects::AsRequested);

private:
    void send(const QNetworkRequest& request);
    void finished(QNetworkReply* reply);
    /// Sends the request on where the reply redirects it, when it may go there; true when sent.
    bool followRedirect(const QNetworkReply& reply);

    QNetworkAccessManager* m_network = nullptr;
    QNetworkRequest m_request; // as first sent
    qsizetype m_maxBytes = 0;
    Handler m_handler;
    Redirects m_redirects = Redirects::AsRequested;
    int m_redirectsFollowed = 0;
    QPointer<QNetworkReply> m_reply;
    QByteArray m_received;
    QTimer m_deadline;
    bool m_tooLarge = false;
    bool m_timedOut = false;
    QUrl m_refusedRedirect;
};
