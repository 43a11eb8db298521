#include "components/lookup/TFreeDBInformation2.h"

#include "components/lookup/LocalFreeDB.h"
#include "components/lookup/LookupSettings.h"
#include "settings/FreedbSites.h"
#include "settings/Locations.h"
#include "settings/SettingsFile.h"

#include <QCoreApplication>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSysInfo>
#include <QUrl>

namespace {

constexpr int DefaultPort = 80;

int numberSetting(const QString& text, int def, int max)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    return ok && value > 0 && value <= max ? value : def;
}

// A word of the hello: the protocol separates them with blanks, which the request writes as '+'.
QString helloWord(const QString& text, const QString& fallback)
{
    QString word = text.trimmed();
    word.removeIf(
        [](QChar c) { return c.isSpace() || c == u'+' || c == u'&' || c.unicode() < 32; });
    return word.isEmpty() ? fallback : word;
}

// Percent-encodes a command for the request; blanks become '+'.
QByteArray requestWords(const QString& text)
{
    QByteArray encoded = QUrl::toPercentEncoding(text, " ");
    encoded.replace(' ', '+');
    return encoded;
}

} // namespace

TFreeDBInformation2::TFreeDBInformation2(QString settingsPath, QObject* parent)
    : QueuedLookup(parent), m_settingsPath(std::move(settingsPath))
{
}

TFreeDBInformation2::Settings TFreeDBInformation2::readSettings() const
{
    const SettingsFile file(m_settingsPath);
    Settings s;
    s.source = file.read(Keys::Freedb::ToServer);
    const FreedbSite& site = freedbSite(file.read(Keys::Freedb::Site));
    s.host = QLatin1StringView(site.host);
    s.path = QLatin1StringView(site.path);
    s.port = numberSetting(file.read(Keys::Freedb::Port), DefaultPort, 65535);
    s.timeout = lookupTimeout(file);
    s.proxy = file.read(Keys::Freedb::Proxy).trimmed();
    s.email = file.read(Keys::Freedb::Email).trimmed();
    return s;
}

QString TFreeDBInformation2::localPath() const
{
    return Locations::localFreeDBPath(m_settingsPath);
}

void TFreeDBInformation2::lookUp(const FreeDBDisc& disc)
{
    m_disc = disc;
    m_settings = readSettings();
    const bool local = m_settings.source == 0 || m_settings.source == 2;
    if (local && loadLocalEntry())
        return;
    if (m_settings.source == 2) {
        emit status(FreeDBStatus::Querying);
        finish(FreeDBStatus::NoEntry);
        return;
    }
    askServer();
}

bool TFreeDBInformation2::loadLocalEntry()
{
    const Cddb::EntryKeys keys =
        LocalFreeDB(localPath()).find(Cddb::discIdText(Cddb::discId(m_disc)));
    FreeDBEntry entry;
    if (keys.isEmpty() || !Cddb::entryFromKeys(keys, m_disc, QString(), entry))
        return false;
    emit status(FreeDBStatus::Querying);
    emit entryLoaded(entry);
    finish(FreeDBStatus::Loaded);
    return true;
}

void TFreeDBInformation2::askServer()
{
    if (m_settings.proxy.isEmpty()) {
        network().setProxy(QNetworkProxy(QNetworkProxy::NoProxy));
    } else {
        const qsizetype colon = m_settings.proxy.lastIndexOf(u':');
        const QString host = colon > 0 ? m_settings.proxy.left(colon) : m_settings.proxy;
        const int port = colon > 0
                             ? numberSetting(m_settings.proxy.mid(colon + 1), DefaultPort, 65535)
                             : DefaultPort;
        network().setProxy(
            QNetworkProxy(QNetworkProxy::HttpProxy, host, static_cast<quint16>(port)));
    }
    emit status(FreeDBStatus::Connecting);
    send(Cddb::queryCommand(m_disc), [this](const Cddb::Answer& answer) { onQueryAnswer(answer); });
}

QString TFreeDBInformation2::hello() const
{
    // user host program version; the user and host of the e-mail address when there is one.
    QString user = helloWord(qEnvironmentVariable("USER"), QStringLiteral("user"));
    QString host = helloWord(QSysInfo::machineHostName(), QStringLiteral("localhost"));
    const qsizetype at = m_settings.email.indexOf(u'@');
    if (at > 0 && at + 1 < m_settings.email.size()) {
        user = helloWord(m_settings.email.left(at), user);
        host = helloWord(m_settings.email.mid(at + 1), host);
    }
    return user + u' ' + host + QStringLiteral(" TunecrestRipper ") +
           helloWord(QCoreApplication::applicationVersion(), QStringLiteral("1.0"));
}

void TFreeDBInformation2::send(const QString& command, AnswerHandler handler)
{
    QUrl url;
    url.setScheme(QStringLiteral("http"));
    url.setHost(m_settings.host);
    url.setPort(m_settings.port);
    url.setPath(m_settings.path);
    url.setQuery(QString::fromLatin1("cmd=" + requestWords(command) +
                                     "&hello=" + requestWords(hello()) + "&proto=6"),
                 QUrl::StrictMode);
    QNetworkRequest request(url);
    request.setHeader(
        QNetworkRequest::UserAgentHeader,
        QString(QStringLiteral("TunecrestRipper/") + QCoreApplication::applicationVersion()));
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    fetch(request, Cddb::MaxAnswerBytes, m_settings.timeout,
          [this, handler](const Fetched& fetched) { onReplyFinished(fetched, handler); });
}

void TFreeDBInformation2::onReplyFinished(const Fetched& fetched, const AnswerHandler& handler)
{
    if (fetched.tooLarge) {
        emit logLine(QStringLiteral("The server's answer is larger than %1 bytes.")
                         .arg(Cddb::MaxAnswerBytes));
        finish(FreeDBStatus::NoEntry);
        return;
    }
    if (fetched.timedOut) {
        emit logLine(
            QStringLiteral("The server did not answer within %1 ms.").arg(m_settings.timeout));
        finish(FreeDBStatus::ConnectionFailed);
        return;
    }
    const QNetworkReply* reply = fetched.reply;
    const int http = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (reply->error() != QNetworkReply::NoError) {
        if (http == 401 || http == 403)
            serverRefused(QStringLiteral("HTTP %1").arg(http));
        else
            emit logLine(Cddb::cleanField(reply->errorString()));
        finish(FreeDBStatus::ConnectionFailed);
        return;
    }
    handler(Cddb::parseAnswer(Cddb::decodeAnswer(fetched.body)));
}

void TFreeDBInformation2::onQueryAnswer(const Cddb::Answer& answer)
{
    if (answer.code >= 400) {
        serverRefused(answer.firstLine);
        finish(FreeDBStatus::ConnectionFailed);
        return;
    }
    emit status(FreeDBStatus::Querying);
    const QList<Cddb::Match> matches = Cddb::parseMatches(answer);
    if (matches.isEmpty()) {
        finish(FreeDBStatus::NoEntry);
        return;
    }
    // Of several matches the first is used; the log names the others.
    for (qsizetype i = 1; i < matches.size(); ++i)
        emit logLine(QStringLiteral("Other match: %1 (%2, %3)")
                         .arg(matches[i].title, matches[i].category, matches[i].discId));
    const Cddb::Match chosen = matches.front();
    send(Cddb::readCommand(chosen.category, chosen.discId),
         [this, category = chosen.category](const Cddb::Answer& read) {
             onReadAnswer(read, category);
         });
}

void TFreeDBInformation2::onReadAnswer(const Cddb::Answer& answer, const QString& category)
{
    if (answer.code >= 402) {
        serverRefused(answer.firstLine);
        finish(FreeDBStatus::ConnectionFailed);
        return;
    }
    FreeDBEntry entry;
    const Cddb::EntryKeys keys = Cddb::parseEntryKeys(answer.lines);
    if (answer.code != 210 || !answer.complete ||
        !Cddb::entryFromKeys(keys, m_disc, category, entry)) {
        finish(FreeDBStatus::NoEntry);
        return;
    }
    keepLocally(keys);
    emit entryLoaded(entry);
    finish(FreeDBStatus::Loaded);
}

void TFreeDBInformation2::serverRefused(const QString& why)
{
    emit logLine(QStringLiteral("The server refused: ") + Cddb::cleanField(why));
    if (m_settings.email.isEmpty())
        emit logLine(QStringLiteral("An e-mail address must be set in the settings (FreeDB) "
                                    "before the server answers."));
}

void TFreeDBInformation2::keepLocally(const Cddb::EntryKeys& keys)
{
    // Only the entry's own keys go into the file, and only the titles of the disc's tracks.
    Cddb::EntryKeys kept;
    for (const auto& [key, value] : keys) {
        const bool own = key == u"DTITLE" || key == u"DYEAR" || key == u"DGENRE" ||
                         key == u"EXTD" || key.startsWith(u"TTITLE") || key.startsWith(u"EXTT");
        if (own && key.size() <= 9)
            kept.append({key, value.left(Cddb::MaxFieldLength * 4)});
    }
    try {
        LocalFreeDB(localPath()).store(Cddb::discIdText(Cddb::discId(m_disc)), kept);
    } catch (const std::exception&) {
        emit logLine(QStringLiteral("The entry could not be kept in %1.").arg(localPath()));
    }
}
