#include "rip/OutputNaming.h"

#include "rip/TwoDigits.h"
#include "settings/Locations.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsKeys.h"

#include <QDir>
#include <QFileInfo>

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

// A name made only of dots would name the folder itself or its parent; it adds no level.
bool addsNoLevel(const QString& name)
{
    return name.isEmpty() || name.count(u'.') == name.size();
}

void appendLevel(QString& path, const QString& name)
{
    const QString cleaned = cutToUtf8Bytes(CleanFileName(name), MaxNameBytes);
    if (addsNoLevel(cleaned))
        return;
    path += cleaned;
    createOneLevel(path);
    if (!endsWithSeparator(path))
        path += PathSeparator;
}

QString fitName(const QString& stem, const QString& suffix)
{
    const int room = MaxNameBytes - static_cast<int>(suffix.toUtf8().size());
    return cutToUtf8Bytes(stem, room) + suffix;
}

} // namespace

QString CleanFileName(const QString& text)
{
    static constexpr char16_t Removed[] = u"*?|:\"/\\<>";
    QString result = text;
    for (const char16_t c : std::u16string_view(Removed))
        result.remove(QChar(c));
    return result;
}

QString extensionForFormat(int outputFormat)
{
    switch (outputFormat) {
    case 0:
        return QStringLiteral(".mp3");
    case 1:
        return QStringLiteral(".wav");
    case 2:
        return QStringLiteral(".wma");
    case 3:
        return QStringLiteral(".ogg");
    case 4:
        return QStringLiteral(".rm");
    default:
        return {};
    }
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

bool isTakenPath(const QString& path)
{
    const QFileInfo info(path);
    return info.isSymLink() || (info.exists() && !info.isDir());
}

QString outputFilePath(const QString& directory, const QString& caption, const QString& extension)
{
    return outputFilePath(directory, caption, extension, isTakenPath);
}

QString outputFilePath(const QString& directory, const QString& caption, const QString& extension,
                       const std::function<bool(const QString&)>& isTaken)
{
    const QString base = CleanFileName(caption);
    const qsizetype dot = base.lastIndexOf(u'.');
    const QString firstStem = dot >= 0 ? base.left(dot) : base;
    QString candidate = directory + fitName(firstStem, extension);
    for (int n = 1; isTaken(candidate); ++n)
        candidate = directory + fitName(base, u'_' + TwoDigits(n) + extension);
    return candidate;
}
