#include "settings/SettingsFile.h"

#include "base/ComponentError.h"
#include "base/RegularFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringList>

#include <algorithm>
#include <limits>
#include <optional>

namespace {

constexpr qsizetype MaxStringLength = 2047;

// One line of a profile file, split as the profile functions see it.
struct ParsedLine
{
    enum class Kind { Other, Section, Entry } kind = Kind::Other;
    QString name; // section or key name, trimmed
    QString value;
};

ParsedLine parseLine(const QString& raw)
{
    const QString line = raw.trimmed();
    ParsedLine parsed;
    if (line.startsWith(u'[')) {
        const qsizetype close = line.indexOf(u']');
        if (close > 0) {
            parsed.kind = ParsedLine::Kind::Section;
            parsed.name = line.mid(1, close - 1).trimmed();
        }
        return parsed;
    }
    if (line.startsWith(u';'))
        return parsed;
    const qsizetype eq = line.indexOf(u'=');
    if (eq <= 0)
        return parsed;
    parsed.kind = ParsedLine::Kind::Entry;
    parsed.name = line.left(eq).trimmed();
    QString value = line.mid(eq + 1).trimmed();
    // A value wrapped in matching quotes is read without them.
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
        value.back() == value.front())
        value = value.mid(1, value.size() - 2);
    parsed.value = value;
    return parsed;
}

bool sameName(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

struct FileLines
{
    QStringList lines;
    QString eol = QStringLiteral("\n");
    bool endsWithNewline = true;
};

FileLines splitLines(const QByteArray& bytes)
{
    const QString text = QString::fromUtf8(bytes);
    FileLines result;
    if (text.contains(QStringLiteral("\r\n")))
        result.eol = QStringLiteral("\r\n");
    result.endsWithNewline = text.isEmpty() || text.endsWith(u'\n');
    QString normalized = text;
    normalized.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    result.lines = normalized.split(u'\n');
    if (result.endsWithNewline)
        result.lines.removeLast(); // the empty piece after the final newline
    return result;
}

RegularFileContents readSettingsBytes(const QString& path)
{
    return readRegularFile(path, SettingsFile::MaxFileBytes);
}

std::optional<FileLines> readLines(const QString& path)
{
    const RegularFileContents contents = readSettingsBytes(path);
    if (!contents.ok())
        return std::nullopt;
    return splitLines(contents.bytes);
}

bool parseHex(QStringView digits, qint64 sign, int& value)
{
    if (digits.isEmpty() || digits.size() > 8)
        return false;
    bool ok = false;
    const quint32 raw = digits.toUInt(&ok, 16);
    if (!ok)
        return false;
    // Hexadecimal texts are 32-bit patterns: $FFFFFFFF is -1.
    value = static_cast<int>(static_cast<qint32>(raw) * sign);
    return true;
}

// The lines of the file at path for a rewrite; throws SettingsWriteError when it may not be
// rewritten.
FileLines linesForRewrite(const QString& path)
{
    const QFileInfo info(path);
    // A settings file the user made read-only stays as it is.
    if (info.exists() && !(info.permissions() & QFileDevice::WriteOwner))
        throw SettingsWriteError(path);

    // Only a regular file is rewritten, and only one that could be read whole: anything else
    // (a FIFO, a device, a file too large to be settings) would be lost or never end.
    const RegularFileContents contents = readSettingsBytes(path);
    if (!contents.ok() && contents.status != RegularFileContents::Status::Missing)
        throw SettingsWriteError(path);
    return contents.ok() ? splitLines(contents.bytes) : FileLines{};
}

bool holdsLineBreak(const QString& text)
{
    return text.contains(u'\n') || text.contains(u'\r');
}

// Every name and value is one line of the file: a line break in one would add lines of its own,
// and the value would read back cut.
void refuseLineBreaks(const QString& path, const QString& section, const QString& key,
                      const QString& value)
{
    if (holdsLineBreak(section) || holdsLineBreak(key) || holdsLineBreak(value))
        throw ComponentError(
            QStringLiteral("Cannot write %1/%2 to %3: a setting cannot hold a line break.")
                .arg(section, key, path));
}

// Replaces the file at path with the lines, atomically.
void commitLines(const QString& path, const FileLines& file, bool finalNewline)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly))
        throw SettingsWriteError(path);
    QString text = file.lines.join(file.eol);
    if (finalNewline)
        text += file.eol;
    const QByteArray bytes = text.toUtf8();
    if (out.write(bytes) != bytes.size() || !out.commit())
        throw SettingsWriteError(path);
}

} // namespace

SettingsWriteError::SettingsWriteError(const QString& fileName)
    : std::runtime_error(QStringLiteral("Unable to write to %1").arg(fileName).toStdString())
{
}

SettingsFile::SettingsFile(QString path) : m_path(std::move(path)) {}

QString SettingsFile::problem() const
{
    const RegularFileContents contents = readSettingsBytes(m_path);
    if (contents.ok() || contents.status == RegularFileContents::Status::Missing)
        return QString();
    return contents.error;
}

bool SettingsFile::lookup(const QString& section, const QString& key, QString& value) const
{
    const auto file = readLines(m_path);
    if (!file)
        return false;
    bool inSection = false;
    bool sectionSeen = false;
    for (const QString& raw : file->lines) {
        const ParsedLine line = parseLine(raw);
        if (line.kind == ParsedLine::Kind::Section) {
            // Only the first section of a name counts, as with the profile functions.
            if (inSection)
                return false;
            inSection = !sectionSeen && sameName(line.name, section);
            sectionSeen = sectionSeen || inSection;
        } else if (inSection && line.kind == ParsedLine::Kind::Entry && sameName(line.name, key)) {
            value = line.value;
            return true;
        }
    }
    return false;
}

QString SettingsFile::readString(const QString& section, const QString& key,
                                 const QString& def) const
{
    QString value;
    if (!lookup(section, key, value))
        return def;
    return value.left(MaxStringLength);
}

bool SettingsFile::parseInteger(const QString& text, int& value)
{
    QStringView t(text);
    qint64 sign = 1;
    if (t.startsWith(u'-') || t.startsWith(u'+')) {
        sign = t.front() == u'-' ? -1 : 1;
        t = t.mid(1);
    }
    if (t.size() > 2 && (t.startsWith(u"0x") || t.startsWith(u"0X")))
        return parseHex(t.mid(2), sign, value);
    if (t.startsWith(u'$'))
        return parseHex(t.mid(1), sign, value);
    if (t.isEmpty())
        return false;
    for (QChar c : t)
        if (c < u'0' || c > u'9')
            return false;
    bool ok = false;
    const qint64 magnitude = t.toLongLong(&ok);
    if (!ok)
        return false;
    const qint64 result = sign * magnitude;
    if (result < std::numeric_limits<int>::min() || result > std::numeric_limits<int>::max())
        return false;
    value = static_cast<int>(result);
    return true;
}

int SettingsFile::readInteger(const QString& section, const QString& key, int def) const
{
    QString text;
    int value = 0;
    if (!lookup(section, key, text) || !parseInteger(text, value))
        return def;
    return value;
}

bool SettingsFile::readBool(const QString& section, const QString& key, bool def) const
{
    return readInteger(section, key, def ? 1 : 0) != 0;
}

void SettingsFile::writeString(const QString& section, const QString& key, const QString& value)
{
    refuseLineBreaks(m_path, section, key, value);
    FileLines file = linesForRewrite(m_path);
    const QString entry = key + u'=' + value;

    // Find the first section of that name, and the key within it.
    qsizetype sectionLine = -1;
    qsizetype insertAt = -1;
    bool replaced = false;
    for (qsizetype i = 0; i < file.lines.size(); ++i) {
        const ParsedLine line = parseLine(file.lines[i]);
        if (line.kind == ParsedLine::Kind::Section) {
            if (sectionLine >= 0)
                break;
            if (sameName(line.name, section)) {
                sectionLine = i;
                insertAt = i + 1;
            }
        } else if (sectionLine >= 0) {
            if (line.kind == ParsedLine::Kind::Entry && sameName(line.name, key)) {
                file.lines[i] = line.name + u'=' + value;
                replaced = true;
                break;
            }
            if (!file.lines[i].trimmed().isEmpty())
                insertAt = i + 1;
        }
    }
    if (!replaced) {
        if (sectionLine >= 0) {
            file.lines.insert(insertAt, entry);
        } else {
            file.lines.append(u'[' + section + u']');
            file.lines.append(entry);
        }
    }
    commitLines(m_path, file, file.endsWithNewline || !replaced);
}

SettingsFile::Entries SettingsFile::readSection(const QString& section) const
{
    Entries entries;
    const auto file = readLines(m_path);
    if (!file)
        return entries;
    bool inSection = false;
    for (const QString& raw : file->lines) {
        const ParsedLine line = parseLine(raw);
        if (line.kind == ParsedLine::Kind::Section) {
            if (inSection)
                break;
            inSection = sameName(line.name, section);
        } else if (inSection && line.kind == ParsedLine::Kind::Entry) {
            const bool known = std::any_of(entries.cbegin(), entries.cend(), [&](const auto& e) {
                return sameName(e.first, line.name);
            });
            if (!known)
                entries.append({line.name, line.value.left(MaxStringLength)});
        }
    }
    return entries;
}

void SettingsFile::writeSection(const QString& section, const Entries& entries)
{
    refuseLineBreaks(m_path, section, {}, {});
    for (const auto& [key, value] : entries)
        refuseLineBreaks(m_path, section, key, value);
    FileLines file = linesForRewrite(m_path);
    QStringList block{u'[' + section + u']'};
    for (const auto& [key, value] : entries)
        block.append(key + u'=' + value);

    // The first section of that name runs to the next section header.
    qsizetype begin = -1;
    qsizetype end = file.lines.size();
    for (qsizetype i = 0; i < file.lines.size(); ++i) {
        const ParsedLine line = parseLine(file.lines[i]);
        if (line.kind != ParsedLine::Kind::Section)
            continue;
        if (begin >= 0) {
            end = i;
            break;
        }
        if (sameName(line.name, section))
            begin = i;
    }
    if (begin < 0) {
        file.lines.append(block);
    } else {
        // Blank lines before the next section stay, as a separator.
        while (end > begin + 1 && file.lines[end - 1].trimmed().isEmpty())
            --end;
        file.lines.remove(begin, end - begin);
        for (qsizetype i = 0; i < block.size(); ++i)
            file.lines.insert(begin + i, block[i]);
    }
    commitLines(m_path, file, true);
}

void SettingsFile::writeInteger(const QString& section, const QString& key, int value)
{
    writeString(section, key, QString::number(value));
}

void SettingsFile::writeBool(const QString& section, const QString& key, bool value)
{
    writeString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

int SettingsFile::read(const Keys::IntKey& k) const
{
    return readInteger(QLatin1StringView(k.section), QLatin1StringView(k.key), k.def);
}

bool SettingsFile::read(const Keys::BoolKey& k) const
{
    return readBool(QLatin1StringView(k.section), QLatin1StringView(k.key), k.def);
}

QString SettingsFile::read(const Keys::StringKey& k) const
{
    return readString(QLatin1StringView(k.section), QLatin1StringView(k.key),
                      QLatin1StringView(k.def));
}

void SettingsFile::write(const Keys::IntKey& k, int value)
{
    writeInteger(QLatin1StringView(k.section), QLatin1StringView(k.key), value);
}

void SettingsFile::write(const Keys::BoolKey& k, bool value)
{
    writeBool(QLatin1StringView(k.section), QLatin1StringView(k.key), value);
}

void SettingsFile::write(const Keys::StringKey& k, const QString& value)
{
    writeString(QLatin1StringView(k.section), QLatin1StringView(k.key), value);
}
