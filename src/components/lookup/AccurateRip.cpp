#include "components/lookup/AccurateRip.h"

#include "components/lookup/BoundedFetch.h"
#include "components/lookup/CddbProtocol.h"
#include "components/lookup/LookupSettings.h"
#include "settings/SettingsFile.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

#include <algorithm>

namespace {

// Lookups count frames from the start of the disc; the database counts sectors (LSN).
constexpr int LeadIn = 150;
constexpr int HeaderBytes = 13;
constexpr int TrackBytes = 9;
// A disc has at most 99 tracks; a file with more pressings than any disc has had is no answer.
constexpr qsizetype MaxFileBytes = 1024 * 1024;

QString hex8(quint32 value)
{
    return QStringLiteral("%1").arg(value, 8, 16, QLatin1Char('0'));
}

quint32 readLe32(const QByteArray& bytes, qsizetype at)
{
    quint32 value = 0;
    for (int i = 3; i >= 0; --i)
        value = value << 8 | static_cast<quint8>(bytes.at(at + i));
    return value;
}

AccurateRipAnswer rejected(const AccurateRipDiscId& disc, const QString& why)
{
    return {AccurateRipAnswer::Status::Rejected, disc, {}, why};
}

// What a finished request says of the disc. A 404 means the database does not know it.
AccurateRipAnswer answerOf(const BoundedFetch::Result& result, const AccurateRipDiscId& disc)
{
    if (result.tooLarge)
        return rejected(disc, QStringLiteral("the file is larger than %1 bytes").arg(MaxFileBytes));
    if (result.timedOut)
        return {AccurateRipAnswer::Status::Failed, disc, {}, QStringLiteral("no answer in time")};
    if (!result.refusedRedirect.isEmpty())
        return {AccurateRipAnswer::Status::Failed,
                disc,
                {},
                QStringLiteral("the server sent the request on to %1, which is not followed")
                    .arg(result.refusedRedirect.host())};
    const int code = result.reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (code == 404)
        return {AccurateRipAnswer::Status::Unknown, disc, {}, {}};
    if (result.reply->error() != QNetworkReply::NoError)
        return {AccurateRipAnswer::Status::Failed, disc, {}, result.reply->errorString()};
    if (code != 200)
        return {AccurateRipAnswer::Status::Failed,
                disc,
                {},
                QStringLiteral("the server answered %1").arg(code)};
    return parseAccurateRipFile(result.body, disc);
}

} // namespace

QString AccurateRipDiscId::text() const
{
    return QStringLiteral("%1-%2-%3-%4")
        .arg(trackCount, 3, 10, QLatin1Char('0'))
        .arg(hex8(id1), hex8(id2), hex8(cddb));
}

QString AccurateRipDiscId::fileName() const
{
    return QStringLiteral("dBAR-") + text() + QStringLiteral(".bin");
}

QString AccurateRipDiscId::path() const
{
    const QString digits = hex8(id1);
    return QStringLiteral("/accuraterip/%1/%2/%3/")
               .arg(digits.at(7))
               .arg(digits.at(6))
               .arg(digits.at(5)) +
           fileName();
}

AccurateRipDiscId accurateRipDiscId(const FreeDBDisc& disc)
{
    AccurateRipDiscId id;
    for (qsizetype i = 0; i < disc.trackOffsets.size(); ++i) {
        if (i < disc.dataTracks.size() && disc.dataTracks.at(i))
            continue;
        const auto sector = static_cast<quint32>(std::max(0, disc.trackOffsets.at(i) - LeadIn));
        ++id.trackCount;
        id.id1 += sector;
        id.id2 += std::max<quint32>(sector, 1) * static_cast<quint32>(id.trackCount);
    }
    const auto leadOut = static_cast<quint32>(std::max(0, disc.leadOut - LeadIn));
    id.id1 += leadOut;
    id.id2 += leadOut * static_cast<quint32>(id.trackCount + 1);
    id.cddb = Cddb::discId(disc);
    return id;
}

QString AccurateRipAnswer::logLine() const
{
    const QString name = QStringLiteral("AccurateRip (disc ") + disc.text() + QStringLiteral("): ");
    switch (status) {
    case Status::Found:
        return name + QStringLiteral("%1 pressing(s) in the database").arg(pressings.size());
    case Status::Unknown:
        return name + QStringLiteral("the disc is not in the database");
    case Status::Failed:
        return name + QStringLiteral("the database could not be asked: ") + message;
    case Status::Rejected:
        return name + QStringLiteral("the database's answer was rejected: ") + message;
    }
    return name;
}

AccurateRipAnswer parseAccurateRipFile(const QByteArray& bytes, const AccurateRipDiscId& disc)
{
    AccurateRipAnswer answer{AccurateRipAnswer::Status::Found, disc, {}, {}};
    if (bytes.isEmpty())
        return rejected(disc, QStringLiteral("the file is empty"));
    for (qsizetype at = 0; at < bytes.size();) {
        if (bytes.size() - at < HeaderBytes)
            return rejected(disc, QStringLiteral("the file is truncated at byte %1").arg(at));
        AccurateRipPressing pressing;
        pressing.disc = {static_cast<quint8>(bytes.at(at)), readLe32(bytes, at + 1),
                         readLe32(bytes, at + 5), readLe32(bytes, at + 9)};
        if (!(pressing.disc == disc))
            return rejected(disc, QStringLiteral("entry %1 is of another disc (%2)")
                                      .arg(answer.pressings.size() + 1)
                                      .arg(pressing.disc.text()));
        at += HeaderBytes;
        if (bytes.size() - at < qsizetype{TrackBytes} * disc.trackCount)
            return rejected(disc, QStringLiteral("the file is truncated in entry %1")
                                      .arg(answer.pressings.size() + 1));
        for (int t = 0; t < disc.trackCount; ++t, at += TrackBytes)
            pressing.tracks.append({static_cast<quint8>(bytes.at(at)), readLe32(bytes, at + 1),
                                    readLe32(bytes, at + 5)});
        answer.pressings.append(pressing);
    }
    return answer;
}

AccurateRipLookup::AccurateRipLookup(QObject* parent) : QObject(parent) {}

AccurateRipLookup::~AccurateRipLookup() = default;

void AccurateRipLookup::start(const QString& settingsPath, const AccurateRipDiscId& disc)
{
    const SettingsFile settings(settingsPath);
    QUrl url =
        httpServerSetting(settings.read(Keys::AccurateRip::Server), Keys::AccurateRip::Server.def);
    url.setPath(url.path() + disc.path());
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::UserAgentHeader,
                      QString(QCoreApplication::applicationName() + u'/' +
                              QCoreApplication::applicationVersion()));
    m_fetch = std::make_unique<BoundedFetch>();
    m_network = std::make_unique<QNetworkAccessManager>();
    m_fetch->start(
        *m_network, request, MaxFileBytes, lookupTimeout(settings),
        [this, disc](const BoundedFetch::Result& result) { emit answered(answerOf(result, disc)); },
        BoundedFetch::Redirects::SameServer);
}

AccurateRipAnswer fetchAccurateRip(const QString& settingsPath, const AccurateRipDiscId& disc)
{
    AccurateRipLookup lookup;
    AccurateRipAnswer answer;
    QEventLoop loop;
    QObject::connect(&lookup, &AccurateRipLookup::answered, &loop,
                     [&](const AccurateRipAnswer& given) {
                         answer = given;
                         loop.quit();
                     });
    lookup.start(settingsPath, disc);
    loop.exec();
    return answer;
}

QString AccurateRipVerdict::text() const
{
    switch (kind) {
    case Kind::Accurate:
        return QStringLiteral("Accurately ripped (confidence %1) with the v%2 checksum")
            .arg(confidence)
            .arg(version);
    case Kind::NotAccurate:
        return QStringLiteral("Not accurately ripped (best confidence in the database %1)")
            .arg(confidence);
    case Kind::NotPresent:
        return QStringLiteral("Not present in the database");
    }
    return {};
}

std::optional<AccurateRipVerdict> judgeAccurateRip(const AccurateRipAnswer& answer, int index,
                                                   const AccurateRipSums& sums)
{
    if (answer.status == AccurateRipAnswer::Status::Unknown)
        return AccurateRipVerdict{};
    if (!answer.found())
        return std::nullopt;
    AccurateRipVerdict match{AccurateRipVerdict::Kind::Accurate, -1, 0};
    int best = 0;
    bool listed = false;
    for (const AccurateRipPressing& pressing : answer.pressings) {
        if (index < 0 || index >= pressing.tracks.size())
            continue;
        const AccurateRipTrackEntry& entry = pressing.tracks.at(index);
        // An empty slot (too short a track, a data track) is no checksum.
        if (entry.confidence == 0 && entry.checksum == 0)
            continue;
        listed = true;
        best = std::max(best, entry.confidence);
        const int version = entry.checksum == sums.v2 ? 2 : entry.checksum == sums.v1 ? 1 : 0;
        if (version != 0 && entry.confidence > match.confidence)
            match = {AccurateRipVerdict::Kind::Accurate, entry.confidence, version};
    }
    if (match.confidence >= 0)
        return match;
    if (!listed)
        return AccurateRipVerdict{};
    return AccurateRipVerdict{AccurateRipVerdict::Kind::NotAccurate, best, 0};
}

QString accurateRipVerdictText(const std::optional<AccurateRipVerdict>& verdict)
{
    return verdict ? verdict->text() : QStringLiteral("not checked: the database gave no answer");
}

QString accurateRipChecksumText(quint32 checksum)
{
    return hex8(checksum).toUpper();
}
