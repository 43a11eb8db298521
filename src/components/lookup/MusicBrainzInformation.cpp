#include "components/lookup/MusicBrainzInformation.h"

#include "base/CoverImage.h"
#include "components/lookup/LookupSettings.h"
#include "settings/SettingsFile.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrlQuery>

namespace {

// A disc's answer lists its releases; even a disc in hundreds of them stays below this.
constexpr qsizetype MaxAnswerBytes = 4 * 1024 * 1024;
constexpr int MaxRetryAfterSeconds = 10;
const QLatin1StringView Includes("artist-credits+recordings+release-groups+genres+labels");

// Milliseconds since the last request of this process: the service allows one a second from a
// client, whichever lookup object sends it.
QElapsedTimer& lastRequest()
{
    static QElapsedTimer timer;
    return timer;
}

} // namespace

MusicBrainzInformation::MusicBrainzInformation(QString settingsPath, QObject* parent)
    : QueuedLookup(parent), m_settingsPath(std::move(settingsPath))
{
}

MusicBrainzInformation::Settings MusicBrainzInformation::readSettings() const
{
    const SettingsFile file(m_settingsPath);
    Settings s;
    s.server =
        httpServerSetting(file.read(Keys::MusicBrainz::Server), Keys::MusicBrainz::Server.def);
    s.coverServer = httpServerSetting(file.read(Keys::MusicBrainz::CoverServer),
                                      Keys::MusicBrainz::CoverServer.def);
    s.coverArt = file.read(Keys::MusicBrainz::CoverArt);
    s.timeout = lookupTimeout(file);
    s.spacing = requestSpacing(s.server, file.read(Keys::MusicBrainz::Spacing));
    s.contact = file.read(Keys::Freedb::Email).trimmed();
    s.contact.removeIf([](QChar c) { return c.unicode() < 32 || c == u'(' || c == u')'; });
    if (s.contact.isEmpty())
        s.contact = QStringLiteral("support@tunecrest.example");
    return s;
}

int MusicBrainzInformation::requestSpacing(const QUrl& server, int stored)
{
    constexpr int Longest = 60000;
    const int spacing = stored < 0 || stored > Longest ? RequestSpacing : stored;
    const QUrl publicServer(QString::fromLatin1(Keys::MusicBrainz::Server.def));
    return server.host().compare(publicServer.host(), Qt::CaseInsensitive) == 0
               ? qMax(spacing, RequestSpacing)
               : spacing;
}

void MusicBrainzInformation::lookUp(const FreeDBDisc& disc)
{
    m_disc = disc;
    m_settings = readSettings();
    m_entry = FreeDBEntry();
    emit status(FreeDBStatus::MusicBrainzQuerying);
    m_mbDisc = musicBrainzDisc(m_disc);
    if (m_mbDisc.id.isEmpty()) {
        emit logLine(QStringLiteral("The disc's table of contents gives no MusicBrainz disc id."));
        finish(FreeDBStatus::MusicBrainzNoRelease);
        return;
    }
    emit logLine(QStringLiteral("MusicBrainz disc id: ") + m_mbDisc.id);
    request(Stage::DiscId);
}

QUrl MusicBrainzInformation::lookupUrl(Stage stage) const
{
    QUrl url = m_settings.server;
    url.setPath(url.path() + QStringLiteral("/ws/2/discid/") + m_mbDisc.id);
    QString query = QStringLiteral("inc=") + Includes + QStringLiteral("&fmt=json");
    // The TOC finds releases whose discs are close to this one when its id is unknown.
    if (stage == Stage::Toc)
        query += QStringLiteral("&cdstubs=no&toc=") + m_mbDisc.toc;
    url.setQuery(query);
    return url;
}

void MusicBrainzInformation::request(Stage stage)
{
    m_stage = stage;
    QUrl url;
    if (stage == Stage::Cover) {
        url = m_settings.coverServer;
        url.setPath(url.path() + QStringLiteral("/release/") + m_entry.releaseId +
                    QStringLiteral("/front-500"));
    } else {
        url = lookupUrl(stage);
    }
    const qint64 since = lastRequest().isValid() ? lastRequest().elapsed() : m_settings.spacing;
    const int wait = static_cast<int>(qMax<qint64>(0, m_settings.spacing - since));
    QTimer::singleShot(wait, this, [this, url] { send(url); });
}

void MusicBrainzInformation::send(const QUrl& url)
{
    const bool cover = m_stage == Stage::Cover;
    QNetworkRequest request(url);
    // The service asks every program to name itself, its version and a contact. The contact
    // goes to the service's own server only: not to the archive, which hands each picture on to
    // where it is kept.
    QString version = QCoreApplication::applicationVersion().trimmed();
    version.removeIf([](QChar c) { return c.isSpace() || c.unicode() < 32; });
    QString agent =
        QStringLiteral("TunecrestRipper/") + (version.isEmpty() ? QStringLiteral("1.0") : version);
    if (!cover)
        agent += QStringLiteral(" ( ") + m_settings.contact + QStringLiteral(" )");
    request.setHeader(QNetworkRequest::UserAgentHeader, agent);
    request.setRawHeader("Accept", cover ? "image/*" : "application/json");
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(5);
    lastRequest().start();
    fetch(
        request, cover ? MaxCoverBytes : MaxAnswerBytes, m_settings.timeout,
        [this](const Fetched& fetched) { onFinished(fetched); },
        cover ? BoundedFetch::Redirects::AsRequested : BoundedFetch::Redirects::SameServer);
}

void MusicBrainzInformation::onFinished(const Fetched& fetched)
{
    const QNetworkReply* reply = fetched.reply;
    Reply answer;
    answer.http = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (!fetched.refusedRedirect.isEmpty()) {
        emit logLine(QStringLiteral("%1 sent the request on to %2, which is not followed.")
                         .arg(m_settings.server.host(), fetched.refusedRedirect.host()));
        answer.failed = true;
    } else if (fetched.tooLarge) {
        emit logLine(
            m_stage == Stage::Cover
                ? QStringLiteral("The cover is larger than %1 bytes; it is skipped.")
                      .arg(MaxCoverBytes)
                : QStringLiteral("The answer from %1 is too large.").arg(reply->url().host()));
        answer.failed = true;
    } else if (fetched.timedOut) {
        emit logLine(QStringLiteral("%1 did not answer within %2 ms.")
                         .arg(reply->url().host())
                         .arg(m_settings.timeout));
        answer.failed = true;
    } else if (reply->error() != QNetworkReply::NoError && answer.http == 0) {
        emit logLine(reply->errorString().left(200));
        answer.failed = true;
    }
    if (!answer.failed)
        answer.body = fetched.body;
    // The service answers 503 when requests come too fast: wait as it says and try once more.
    if (!answer.failed && answer.http == 503 && !m_retried) {
        m_retried = true;
        const int after =
            qBound(1, reply->rawHeader("Retry-After").trimmed().toInt(), MaxRetryAfterSeconds);
        emit logLine(QStringLiteral("The server is busy; trying again in %1 s.").arg(after));
        const Stage stage = m_stage;
        QTimer::singleShot(after * 1000, this, [this, stage] { request(stage); });
        return;
    }
    m_retried = false;
    if (m_stage == Stage::Cover)
        onCoverAnswer(answer);
    else
        onLookupAnswer(answer);
}

void MusicBrainzInformation::onLookupAnswer(const Reply& answer)
{
    if (answer.failed || (answer.http != 200 && answer.http != 404)) {
        if (!answer.failed)
            emit logLine(QStringLiteral("The server answered HTTP %1.").arg(answer.http));
        finish(FreeDBStatus::MusicBrainzFailed);
        return;
    }
    const QList<MusicBrainzRelease> releases =
        answer.http == 200
            ? parseMusicBrainzReleases(answer.body, m_mbDisc.id, m_mbDisc.audioTracks, m_disc)
            : QList<MusicBrainzRelease>();
    if (releases.isEmpty() && m_stage == Stage::DiscId) {
        request(Stage::Toc);
        return;
    }
    if (releases.isEmpty()) {
        finish(FreeDBStatus::MusicBrainzNoRelease);
        return;
    }
    takeRelease(releases);
}

void MusicBrainzInformation::takeRelease(const QList<MusicBrainzRelease>& releases)
{
    int chosen = 0;
    if (releases.size() > 1) {
        QList<MusicBrainzReleaseSummary> summaries;
        for (const MusicBrainzRelease& r : releases)
            summaries.append(r.summary);
        if (m_chooser)
            chosen = m_chooser(summaries);
    }
    if (chosen < 0 || chosen >= releases.size()) {
        emit logLine(QStringLiteral("No release was chosen."));
        finish(FreeDBStatus::MusicBrainzNoRelease);
        return;
    }
    m_entry = releases.at(chosen).entry;
    m_entry.discId = m_mbDisc.id;
    if (m_settings.coverArt && !m_entry.releaseId.isEmpty()) {
        request(Stage::Cover);
        return;
    }
    emit entryLoaded(m_entry);
    finish(FreeDBStatus::MusicBrainzLoaded);
}

void MusicBrainzInformation::onCoverAnswer(const Reply& answer)
{
    if (!answer.failed && answer.http == 200 && !coverImageType(answer.body).isEmpty())
        m_entry.cover = answer.body;
    else if (!answer.failed && answer.http == 404)
        emit logLine(QStringLiteral("The release has no front cover."));
    else if (!answer.failed)
        emit logLine(answer.http == 200
                         ? QStringLiteral("The cover is not a JPEG or PNG picture; it is skipped.")
                         : QStringLiteral("The cover server answered HTTP %1.").arg(answer.http));
    emit entryLoaded(m_entry);
    finish(FreeDBStatus::MusicBrainzLoaded);
}
