#include "rip/OutputNaming.h"

#include "base/PlainText.h"

#include "rip/TwoDigits.h"
#include "settings/Locations.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsKeys.h"

#include <QDir>
#include <QFileInfo>

#include <optional>

namespace {

bool endsWithSeparator(const QString& path)
{
    return path.endsWith(PathSeparator);
}

void createOneLevel(const QString& path)
{
    if (!QFileInfo(path).isDir())
        QDir().mkdir(path);
}

void appendLevel(QString& path, const QString& name)
{
    // A name of nothing but dots would name the folder itself or its parent: it is cleaned to
    // nothing and adds no level.
    const QString cleaned = cleanNameStem(cutToUtf8Bytes(cleanNameStem(name), MaxNameBytes));
    if (cleaned.isEmpty())
        return;
    path += cleaned;
    createOneLevel(path);
    if (!endsWithSeparator(path))
        path += PathSeparator;
}

QString fitName(const QString& stem, const QString& suffix)
{
    const int room = MaxNameBytes - static_cast<int>(suffix.toUtf8().size());
    return cleanNameStem(cutToUtf8Bytes(stem, room)) + suffix;
}

} // namespace

QString CleanFileName(const QString& text)
{
    static constexpr char16_t Removed[] = u"*?|:\"/\\<>";
    QString result = text;
    for (const char16_t c : std::u16string_view(Removed))
        result.remove(QChar(c));
    result.removeIf(isControlCharacter);
    return result;
}

QString cleanNameStem(const QString& text)
{
    QString name = CleanFileName(text);
    qsizetype start = 0;
    while (start < name.size() && name.at(start) == u'.')
        ++start;
    qsizetype end = name.size();
    while (end > start && (name.at(end - 1) == u'.' || name.at(end - 1).isSpace()))
        --end;
    return name.mid(start, end - start);
}

QString extensionForFormat(OutputFormatNumber outputFormat)
{
    switch (outputFormat) {
    case OutputFormatNumber::Mp3:
        return QStringLiteral(".mp3");
    case OutputFormatNumber::Wav:
        return QStringLiteral(".wav");
    case OutputFormatNumber::Wma:
        return QStringLiteral(".wma");
    case OutputFormatNumber::OggVorbis:
        return QStringLiteral(".ogg");
    case OutputFormatNumber::Flac:
        return QStringLiteral(".flac");
    case OutputFormatNumber::Opus:
        return QStringLiteral(".opus");
    case OutputFormatNumber::Aac:
        return QStringLiteral(".m4a");
    case OutputFormatNumber::RealMedia:
        return QStringLiteral(".rm");
    }
    return {};
}

QString storedOutputPath(const SettingsFile& settings)
{
    const QString path = settings.readString(QLatin1StringView(Keys::Main::Section),
                                             QLatin1StringView(Keys::Main::Path), QString());
    return path.isEmpty() ? Locations::defaultOutputPath() : path;
}

QString outputDirectory(const QString& root, int scheme, const QString& artist,
                        const QString& album)
{
    QString path = root;
    createOneLevel(path);
    if (!endsWithSeparator(path))
        path += PathSeparator;
    const auto chosen = static_cast<FolderScheme>(scheme);
    if (chosen == FolderScheme::Artist || chosen == FolderScheme::ArtistAlbum)
        appendLevel(path, artist);
    if (chosen == FolderScheme::Album || chosen == FolderScheme::ArtistAlbum)
        appendLevel(path, album);
    return path;
}

QString outputDirectory(const SettingsFile& settings, int scheme, const QString& artist,
                        const QString& album)
{
    return outputDirectory(storedOutputPath(settings), scheme, artist, album);
}

QString outputSubfolder(const QString& directory, const QStringList& folders)
{
    QString path = directory;
    for (const QString& folder : folders)
        appendLevel(path, folder);
    return path;
}

bool isTakenPath(const QString& path)
{
    const QFileInfo info(path);
    return info.isSymLink() || (info.exists() && !info.isDir());
}

QString trackFileStem(const QString& caption, int trackNumber)
{
    const QString stem = cleanNameStem(caption);
    return stem.isEmpty() ? u"Track" + TwoDigits(trackNumber) : stem;
}

TemplateName applyFileTemplate(const QString& pattern, const TemplateFields& fields)
{
    const auto value = [&fields](QChar code) -> std::optional<QString> {
        switch (code.unicode()) {
        case u'N':
            return TwoDigits(fields.number);
        case u'n':
            return QString::number(fields.number);
        case u'T':
            return fields.title;
        case u'A':
            return fields.artist;
        case u'B':
            return fields.albumArtist;
        case u'L':
            return fields.album;
        case u'Y':
            return fields.year;
        case u'G':
            return fields.genre;
        case u'D':
            return fields.discNumber > 0 ? QString::number(fields.discNumber) : QString();
        case u'%':
            return QStringLiteral("%");
        default:
            return std::nullopt;
        }
    };
    QString filled;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const std::optional<QString> text = pattern.at(i) == u'%' && i + 1 < pattern.size()
                                                ? value(pattern.at(i + 1))
                                                : std::nullopt;
        if (!text) {
            filled += pattern.at(i);
            continue;
        }
        filled += CleanFileName(*text);
        ++i;
    }
    TemplateName name;
    QStringList parts = filled.split(u'/');
    const QString stem = cleanNameStem(parts.takeLast());
    for (const QString& part : std::as_const(parts)) {
        const QString folder = cleanNameStem(part);
        if (!folder.isEmpty())
            name.folders << folder;
    }
    name.stem = stem.isEmpty() ? trackFileStem(fields.title, fields.number) : stem;
    return name;
}

QString outputFilePath(const QString& directory, const QString& caption, const QString& extension,
                       int trackNumber, const std::function<bool(const QString&)>& isTaken)
{
    const QString base = trackFileStem(caption, trackNumber);
    QString candidate = directory + fitName(base, extension);
    for (int n = 1; isTaken(candidate); ++n)
        candidate = directory + fitName(base, u'_' + TwoDigits(n) + extension);
    return candidate;
}
