#include "rip/TrackFile.h"

#include "base/ComponentError.h"
#include "base/PartialFileName.h"
#include "rip/OutputNaming.h"
#include "rip/WriteTags.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString randomTag()
{
    static constexpr char Letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    QString tag;
    for (int i = 0; i < 6; ++i)
        tag += QLatin1Char(Letters[QRandomGenerator::global()->bounded(36)]);
    return tag;
}

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// rename() that fails with EEXIST instead of replacing. Where the file system cannot rename
// that way, a hard link to the new name (which never replaces) and the removal of the old one do
// the same.
int renameWithoutReplacing(const QByteArray& from, const QByteArray& to)
{
    if (renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    if (link(from.constData(), to.constData()) != 0)
        return errno;
    unlink(from.constData());
    return 0;
}

} // namespace

QString freshPartialPath(const QString& finalPath)
{
    const QFileInfo final(finalPath);
    QString candidate;
    do
        candidate = final.dir().filePath(partialFileName(final.fileName(), randomTag()));
    while (isTakenPath(candidate));
    return candidate;
}

UniqueFd lockPartialFile(const QString& path)
{
    UniqueFd fd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    if (fd.isValid() && ::flock(fd.get(), LOCK_EX | LOCK_NB) != 0)
        fd.reset();
    return fd;
}

void sweepStalePartials(const QString& folder)
{
    // A live rip locks its partial right after making it; the age keeps a partial made a moment
    // ago, before its lock, out of the sweep.
    constexpr qint64 StaleSeconds = 10;
    const QDir dir(folder);
    const QStringList names = dir.entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : names) {
        if (!isPartialFileName(name))
            continue;
        const QByteArray path = QFile::encodeName(dir.filePath(name));
        const UniqueFd lock = lockPartialFile(dir.filePath(name));
        struct stat held
        {
        }, named{};
        if (!lock.isValid() || ::fstat(lock.get(), &held) != 0 || !S_ISREG(held.st_mode) ||
            ::time(nullptr) - held.st_mtime < StaleSeconds)
            continue;
        // Only the file that was locked goes, not one that took its name meanwhile.
        if (::lstat(path.constData(), &named) == 0 && named.st_ino == held.st_ino &&
            named.st_dev == held.st_dev)
            ::unlink(path.constData());
    }
}

QString publishTrackFile(const QString& partialPath, const QString& finalPath,
                         const std::function<QString()>& nextFreePath)
{
    const QByteArray from = QFile::encodeName(partialPath);
    QString target = finalPath;
    for (;;) {
        const int error = renameWithoutReplacing(from, QFile::encodeName(target));
        if (error == 0)
            return target;
        if (error != EEXIST)
            throw ComponentError(QStringLiteral("Cannot name the finished file %1: %2")
                                     .arg(target, systemError(error)));
        target = nextFreePath();
    }
}

QString finishTrackFile(const QString& partial, const QString& path, const TrackFileName& name,
                        const TagRecord& tag, const std::function<bool(const QString&)>& isTaken)
{
    WriteTags(partial, tag, name.extension);
    return publishTrackFile(partial, path, [&] {
        return outputFilePath(name.directory, name.caption, name.extension, name.number, isTaken);
    });
}

void prepareOutputFolder(const QString& folder, FolderCreation creation)
{
    const auto cannotCreate = [&folder](const QString& reason) {
        return ComponentError(
            QStringLiteral("Cannot create the output folder %1: %2").arg(folder, reason));
    };
    std::error_code error;
    if (QFileInfo(folder).isDir()) {
        // there already
    } else if (creation == FolderCreation::FolderOnly) {
        if (::mkdir(QFile::encodeName(folder).constData(), 0777) != 0)
            throw cannotCreate(systemError(errno));
    } else if (!std::filesystem::create_directories(QFile::encodeName(folder).toStdString(),
                                                    error)) {
        throw cannotCreate(QString::fromLocal8Bit(error.message()));
    }
    const QFileInfo info(folder);
    if (!info.isWritable() || !(info.permissions() & QFileDevice::WriteOwner))
        throw ComponentError(
            QStringLiteral("Cannot write to the output folder %1: Permission denied").arg(folder));
}
