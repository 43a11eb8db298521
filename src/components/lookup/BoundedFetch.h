#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>

class QNetworkAccessManager;
class QNetworkReply;
class QNetworkRequest;

/// One HTTP request at a time, read up to a size and within a deadline over the whole exchange,
/// so neither a huge answer nor a server that trickles bytes can hold a lookup.
class BoundedFetch final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(BoundedFetch)
public:
    /// The end of a request: its reply (deleted later), and the body when the request neither
    /// grew past its size nor ran past its deadline.
    struct Result
    {
        QNetworkReply* reply = nullptr;
        QByteArray body;
        bool tooLarge = false;
        bool timedOut = false;
    };
    using Handler = std::function<void(const Result&)>;

    explicit BoundedFetch(QObject* parent = nullptr);
    /// A request still running is aborted; its answer reaches nobody.
    ~BoundedFetch() override;

    /// Sends the request; handler gets the result from the event loop.
    void start(QNetworkAccessManager& network, const QNetworkRequest& request, qsizetype maxBytes,
               int timeoutMs, Handler handler);

private:
    QPointer<QNetworkReply> m_reply;
    QByteArray m_received;
    QTimer m_deadline;
    bool m_tooLarge = false;
    bool m_timedOut = false;
};
