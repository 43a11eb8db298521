#include "components/lookup/CddbProtocol.h"

#include <QHash>
#include <QStringDecoder>

namespace Cddb {

namespace {

// Frames per second.
constexpr int Fps = 75;

int digitSum(int n)
{
    int sum = 0;
    for (; n > 0; n /= 10)
        sum += n % 10;
    return sum;
}

QString resolveEscapes(const QString& raw)
{
    QString text;
    text.reserve(raw.size());
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const QChar c = raw.at(i);
        if (c != u'\\' || i + 1 == raw.size()) {
            text.append(c);
            continue;
        }
        const QChar next = raw.at(++i);
        text.append(next == u'n' ? QChar(u'\n') : next == u't' ? QChar(u'\t') : next);
    }
    return text;
}

// Splits "Artist / Title" at its first " / "; false when there is none.
bool splitArtist(const QString& text, QString& artist, QString& rest)
{
    const qsizetype at = text.indexOf(QStringLiteral(" / "));
    if (at < 0)
        return false;
    artist = text.left(at).trimmed();
    rest = text.mid(at + 3).trimmed();
    return true;
}

bool isVarious(const QString& artist)
{
    return artist.compare(u"Various", Qt::CaseInsensitive) == 0 ||
           artist.compare(u"Various Artists", Qt::CaseInsensitive) == 0 ||
           artist.compare(u"VA", Qt::CaseInsensitive) == 0;
}

// The track number of a "TTITLE<n>" key, or -1.
int titleIndex(const QString& key)
{
    if (!key.startsWith(u"TTITLE", Qt::CaseInsensitive))
        return -1;
    bool ok = false;
    const int n = key.mid(6).toInt(&ok);
    return ok && n >= 0 && key.size() <= 9 ? n : -1;
}

QString yearText(const QString& text)
{
    const QString year = text.trimmed();
    if (year.isEmpty() || year.size() > 4)
        return {};
    for (QChar c : year)
        if (!c.isDigit())
            return {};
    return year;
}

} // namespace

quint32 discId(const FreeDBDisc& disc)
{
    if (disc.trackOffsets.isEmpty())
        return 0;
    int sum = 0;
    for (int offset : disc.trackOffsets)
        sum += digitSum(offset / Fps);
    const int seconds = disc.leadOut / Fps - disc.trackOffsets.front() / Fps;
    return (static_cast<quint32>(sum % 255) << 24) | (static_cast<quint32>(seconds & 0xffff) << 8) |
           static_cast<quint32>(disc.trackOffsets.size() & 0xff);
}

QString discIdText(quint32 id)
{
    return QStringLiteral("%1").arg(id, 8, 16, QChar(u'0'));
}

QString queryCommand(const FreeDBDisc& disc)
{
    QString command = QStringLiteral("cddb query ") + discIdText(discId(disc)) + u' ' +
                      QString::number(disc.trackOffsets.size());
    for (int offset : disc.trackOffsets)
        command += u' ' + QString::number(offset);
    return command + u' ' + QString::number(disc.leadOut / Fps);
}

QString readCommand(const QString& category, const QString& discId)
{
    return QStringLiteral("cddb read ") + category + u' ' + discId;
}

QString decodeAnswer(const QByteArray& bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    return QString::fromLatin1(bytes);
}

Answer parseAnswer(const QString& text)
{
    Answer answer;
    QList<QString> lines = text.split(u'\n');
    for (QString& line : lines)
        if (line.endsWith(u'\r'))
            line.chop(1);
    if (lines.isEmpty())
        return answer;
    answer.firstLine = lines.takeFirst();
    bool ok = false;
    const int code = answer.firstLine.left(3).toInt(&ok);
    if (ok && code >= 100 && code <= 999 &&
        (answer.firstLine.size() == 3 || answer.firstLine.at(3) == u' '))
        answer.code = code;
    for (const QString& line : std::as_const(lines)) {
        if (line == u".") {
            answer.complete = true;
            break;
        }
        answer.lines.append(line);
    }
    return answer;
}

QList<Match> parseMatches(const Answer& answer)
{
    const auto match = [](const QString& line, Match& m) {
        const QList<QString> parts = line.trimmed().split(u' ');
        if (parts.size() < 2 || parts[0].isEmpty() || parts[1].size() != 8)
            return false;
        bool hex = false;
        parts[1].toUInt(&hex, 16);
        if (!hex)
            return false;
        m.category = cleanField(parts[0]);
        m.discId = parts[1].toLower();
        m.title = cleanField(line.trimmed().section(u' ', 2));
        return true;
    };
    QList<Match> matches;
    Match m;
    if (answer.code == 200) {
        if (match(answer.firstLine.mid(4), m))
            matches.append(m);
    } else if ((answer.code == 210 || answer.code == 211) && answer.complete) {
        for (const QString& line : answer.lines)
            if (match(line, m))
                matches.append(m);
    }
    return matches;
}

EntryKeys parseEntryKeys(const QList<QString>& lines)
{
    EntryKeys keys;
    QHash<QString, qsizetype> index;
    for (const QString& line : lines) {
        if (line.startsWith(u'#'))
            continue;
        const qsizetype eq = line.indexOf(u'=');
        if (eq <= 0)
            continue;
        const QString key = line.left(eq).trimmed().toUpper();
        const QString value = line.mid(eq + 1);
        const auto found = index.constFind(key);
        if (found == index.cend()) {
            index.insert(key, keys.size());
            keys.append({key, value.left(MaxFieldLength * 4)});
        } else if (keys[*found].second.size() < MaxFieldLength * 4) {
            // A key continued over several lines; beyond what a field keeps, the rest is dropped.
            keys[*found].second += value;
        }
    }
    return keys;
}

QString cleanField(const QString& raw)
{
    return cleanText(resolveEscapes(raw.left(MaxFieldLength * 4)));
}

QString cleanText(const QString& raw)
{
    QString text = raw.left(MaxFieldLength * 4);
    for (QChar& c : text)
        if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format ||
            c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
            c = u' ';
    text = text.simplified();
    if (text.size() > MaxFieldLength) {
        text.truncate(MaxFieldLength);
        // A surrogate pair cut in half would leave half a character.
        if (text.back().isHighSurrogate())
            text.chop(1);
    }
    return text.trimmed();
}

bool entryFromKeys(const EntryKeys& keys, const FreeDBDisc& disc, const QString& category,
                   FreeDBEntry& entry)
{
    const qsizetype trackCount = disc.trackOffsets.size();
    entry = FreeDBEntry{};
    entry.disc = disc;
    entry.discId = discIdText(discId(disc));
    entry.tracks.resize(trackCount);
    bool named = false;
    QString genre;
    for (const auto& [key, value] : keys) {
        if (key == u"DTITLE") {
            const QString title = cleanField(value);
            if (!splitArtist(title, entry.artist, entry.album))
                entry.artist = entry.album = title;
            named = named || !title.isEmpty();
        } else if (key == u"DYEAR") {
            entry.year = yearText(cleanField(value));
        } else if (key == u"DGENRE") {
            genre = cleanField(value);
        } else if (const int n = titleIndex(key); n >= 0 && n < trackCount) {
            entry.tracks[n].title = cleanField(value);
            named = named || !entry.tracks[n].title.isEmpty();
        }
    }
    if (isVarious(entry.artist)) {
        for (FreeDBTrack& track : entry.tracks) {
            QString artist, title;
            if (splitArtist(track.title, artist, title) && !artist.isEmpty() && !title.isEmpty()) {
                track.artist = artist;
                track.title = title;
            }
        }
    }
    const QString fallback = cleanField(category);
    entry.genre = !genre.isEmpty()     ? genre
                  : fallback.isEmpty() ? QString()
                                       : fallback.left(1).toUpper() + fallback.mid(1);
    return named;
}

} // namespace Cddb
