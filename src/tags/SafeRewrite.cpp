#include "tags/SafeRewrite.h"

#include "base/ComponentError.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <utility>

#include <sys/stat.h>
#include <unistd.h>

namespace {

using FileStatus = struct stat;

QString resolvedTarget(const QString& original)
{
    const QString canonical = QFileInfo(original).canonicalFilePath();
    return canonical.isEmpty() ? original : canonical;
}

constexpr int MaxNameAttempts = 100;

// Short, so that it fits wherever the file's own name did.
QString freshSiblingName()
{
    return QStringLiteral(".tagging-") +
           QString::number(QRandomGenerator::global()->generate(), 36);
}

// Root may write anywhere; the program still treats a folder without its owner's write bit as
// read-only, as it would be for everyone else.
bool isWritableFolder(const QString& folder)
{
    return QFileInfo(folder).permissions().testFlag(QFileDevice::WriteOwner);
}

// Qt reports what the current user may do as the "user" bits, and sets the owner's mode bits from
// them: for root that would make every file writable. Only the owner, group and other bits count.
QFileDevice::Permissions modeBits(QFileDevice::Permissions permissions)
{
    return permissions & ~(QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser);
}

[[noreturn]] void failWrite(const QString& failure, const QString& reason)
{
    throw ComponentError(failure + QStringLiteral(": ") + reason);
}

ComponentError cannotCreateIn(const QString& folder, const QString& reason)
{
    return ComponentError(QStringLiteral("Cannot create a file in ") + folder +
                          QStringLiteral(": ") + reason);
}

// Also true for a link that points nowhere, which an exclusive create refuses as well.
bool entryExists(const QString& path)
{
    FileStatus status{};
    return ::lstat(QFile::encodeName(path).constData(), &status) == 0;
}

std::filesystem::path fsPath(const QString& path)
{
    return std::filesystem::path(path.toStdU16String());
}

} // namespace

SafeRewrite::SafeRewrite(const QString& original, QString failure)
    : m_target(resolvedTarget(original)), m_failure(std::move(failure))
{
    const QString folder = QFileInfo(m_target).absolutePath();
    if (!isWritableFolder(folder))
        throw cannotCreateIn(folder, QStringLiteral("Permission denied"));
    const QDir dir(folder);
    for (int attempt = 0; attempt < MaxNameAttempts; ++attempt) {
        m_siblingPath = dir.filePath(freshSiblingName());
        m_sibling.setFileName(m_siblingPath);
        // NewOnly creates exclusively (O_EXCL): a file or link of that name is never opened.
        if (m_sibling.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            rememberIdentity();
            return;
        }
        if (!entryExists(m_siblingPath))
            throw cannotCreateIn(folder, m_sibling.errorString());
    }
    throw cannotCreateIn(folder, QStringLiteral("no free name"));
}

SafeRewrite::~SafeRewrite()
{
    if (!m_committed)
        removeSibling();
}

void SafeRewrite::rememberIdentity()
{
    FileStatus status{};
    if (::fstat(m_sibling.handle(), &status) == 0) {
        m_device = status.st_dev;
        m_inode = status.st_ino;
    }
}

// Only the file this object created goes: if its name has meanwhile been given to another file,
// that one stays. Closing may fail to write buffered bytes (a full disk), which does not matter
// for a file about to be removed.
void SafeRewrite::removeSibling()
{
    m_sibling.close();
    FileStatus status{};
    if (::lstat(QFile::encodeName(m_siblingPath).constData(), &status) == 0 &&
        status.st_dev == m_device && status.st_ino == m_inode)
        ::unlink(QFile::encodeName(m_siblingPath).constData());
}

void SafeRewrite::fail(const QString& reason) const
{
    failWrite(m_failure, reason);
}

namespace {

// Writes straight to the file's descriptor, after what the device has buffered, so a failure
// carries errno: Qt reports some failed writes without their reason.
void writeToDescriptor(QFileDevice& file, const char* data, qint64 size, const QString& failure)
{
    if (!file.flush())
        failWrite(failure, file.errorString());
    for (qint64 done = 0; done < size;) {
        const ssize_t written =
            ::write(file.handle(), data + done, static_cast<size_t>(size - done));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            failWrite(failure, QString::fromLocal8Bit(std::strerror(written < 0 ? errno : ENOSPC)));
        done += written;
    }
}

} // namespace

void writeFully(QIODevice& device, const char* data, qint64 size, const QString& failure)
{
    if (auto* file = qobject_cast<QFileDevice*>(&device); file && file->handle() >= 0) {
        writeToDescriptor(*file, data, size, failure);
        return;
    }
    for (qint64 done = 0; done < size;) {
        const qint64 written = device.write(data + done, size - done);
        if (written <= 0)
            failWrite(failure, device.errorString());
        done += written;
    }
}

void SafeRewrite::write(const QByteArray& bytes)
{
    writeFully(m_sibling, bytes.constData(), bytes.size(), m_failure);
}

void SafeRewrite::append(QIODevice& source)
{
    constexpr qint64 ChunkSize = 1 << 16;
    while (true) {
        const QByteArray chunk = source.read(ChunkSize);
        if (chunk.isEmpty()) {
            if (!source.atEnd())
                fail(source.errorString());
            return;
        }
        write(chunk);
    }
}

void SafeRewrite::syncToDisk()
{
    if (!m_sibling.flush())
        fail(m_sibling.errorString());
    // Without this a crash right after the rename could leave an empty file under the name.
    if (::fsync(m_sibling.handle()) != 0)
        fail(QString::fromLocal8Bit(std::strerror(errno)));
}

void SafeRewrite::takeOwner()
{
    const QFileInfo original(m_target);
    if (::fchown(m_sibling.handle(), original.ownerId(), original.groupId()) != 0) {
        // Only root may hand a file to someone else; anyone else rewrites files they own.
    }
}

void SafeRewrite::commit(QFileDevice::Permissions permissions)
{
    syncToDisk();
    takeOwner();
    if (!m_sibling.setPermissions(modeBits(permissions)))
        fail(m_sibling.errorString());
    m_sibling.close();
    if (m_sibling.error() != QFileDevice::NoError)
        fail(m_sibling.errorString());
    std::error_code error;
    std::filesystem::rename(fsPath(m_siblingPath), fsPath(m_target), error);
    if (error)
        fail(QString::fromStdString(error.message()));
    m_committed = true;
}
