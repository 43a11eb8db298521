#include "tags/SafeRewrite.h"

#include "components/ComponentError.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include <unistd.h>

namespace {

QString resolvedTarget(const QString& original)
{
    const QString canonical = QFileInfo(original).canonicalFilePath();
    return canonical.isEmpty() ? original : canonical;
}

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

std::filesystem::path fsPath(const QString& path)
{
    return std::filesystem::path(path.toStdU16String());
}

} // namespace

SafeRewrite::SafeRewrite(const QString& original, const QString& siblingName)
    : m_target(resolvedTarget(original))
{
    const QString folder = QFileInfo(m_target).absolutePath();
    const bool fresh = siblingName.isEmpty();
    m_sibling.setFileName(QDir(folder).filePath(fresh ? freshSiblingName() : siblingName));
    if (!isWritableFolder(folder))
        throw ComponentError(QStringLiteral("Cannot open ") + m_sibling.fileName() +
                             QStringLiteral(": Permission denied"));
    // A file already under a given sibling name is replaced, never written through: it may be a
    // link to someone else's file.
    if (!fresh)
        m_sibling.remove();
    if (!m_sibling.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        throw ComponentError(QStringLiteral("Cannot open ") + m_sibling.fileName() +
                             QStringLiteral(": ") + m_sibling.errorString());
}

SafeRewrite::~SafeRewrite()
{
    if (!m_committed)
        m_sibling.remove();
}

bool SafeRewrite::fail(const QString& error)
{
    m_error = error;
    return false;
}

bool SafeRewrite::write(const QByteArray& bytes)
{
    return m_sibling.write(bytes) == bytes.size() || fail(m_sibling.errorString());
}

bool SafeRewrite::append(QIODevice& source)
{
    constexpr qint64 ChunkSize = 1 << 16;
    while (true) {
        const QByteArray chunk = source.read(ChunkSize);
        if (chunk.isEmpty())
            return source.atEnd() || fail(source.errorString());
        if (!write(chunk))
            return false;
    }
}

bool SafeRewrite::syncToDisk()
{
    if (!m_sibling.flush())
        return fail(m_sibling.errorString());
    // Without this a crash right after the rename could leave an empty file under the name.
    if (::fsync(m_sibling.handle()) != 0)
        return fail(QString::fromLocal8Bit(std::strerror(errno)));
    return true;
}

void SafeRewrite::takeOwner()
{
    const QFileInfo original(m_target);
    if (::fchown(m_sibling.handle(), original.ownerId(), original.groupId()) != 0) {
        // Only root may hand a file to someone else; anyone else rewrites files they own.
    }
}

bool SafeRewrite::commit(QFileDevice::Permissions permissions)
{
    if (!syncToDisk())
        return false;
    takeOwner();
    if (!m_sibling.setPermissions(modeBits(permissions)))
        return fail(m_sibling.errorString());
    m_sibling.close();
    std::error_code error;
    std::filesystem::rename(fsPath(m_sibling.fileName()), fsPath(m_target), error);
    if (error)
        return fail(QString::fromStdString(error.message()));
    m_committed = true;
    return true;
}
