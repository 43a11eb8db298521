#include "components/audiofile/SpoolFile.h"

#include "base/ComponentError.h"

#include <QFile>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

// A file without a name in folder: O_TMPFILE where the file system has it, else a file that is
// removed the moment it is made.
int openNamelessFile(const QString& folder)
{
    const QByteArray path = QFile::encodeName(folder);
    const int fd = ::open(path.constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0 || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL))
        return fd;
    QByteArray pattern = path + "/.tunecrest-spool-XXXXXX";
    const int named = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (named >= 0)
        ::unlink(pattern.constData());
    return named;
}

} // namespace

Spool::Spool(UniqueFd fd, QString folder, qint64 size)
    : m_fd(std::move(fd)), m_folder(std::move(folder)), m_size(size)
{
}

qint64 Spool::read(qint64 offset, char* data, qint64 size) const
{
    for (;;) {
        const ssize_t got = ::pread(m_fd.get(), data, static_cast<size_t>(size), offset);
        if (got >= 0)
            return got;
        if (errno != EINTR)
            throw ComponentError(QStringLiteral("Cannot read the spooled audio in %1: %2")
                                     .arg(m_folder, systemError()));
    }
}

void SpoolFile::Close()
{
    if (m_fd.isValid())
        m_closed = std::make_unique<Spool>(std::move(m_fd), m_folder, m_size);
}

void SpoolFile::open(const QString& folder)
{
    m_closed.reset();
    m_folder = folder;
    m_size = 0;
    m_fd.reset(openNamelessFile(folder));
    if (!m_fd.isValid())
        throw ComponentError(
            QStringLiteral("Cannot make a spool file in %1: %2").arg(folder, systemError()));
}

void SpoolFile::write(std::span<const std::int16_t> samples)
{
    const char* data = reinterpret_cast<const char*>(samples.data());
    size_t left = samples.size_bytes();
    while (left > 0) {
        const ssize_t written = ::write(m_fd.get(), data, left);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            const QString error = written < 0 ? systemError() : QStringLiteral("nothing written");
            m_fd.reset();
            throw ComponentError(
                QStringLiteral("Cannot write the read audio to %1: %2").arg(m_folder, error));
        }
        data += written;
        left -= static_cast<size_t>(written);
        m_size += written;
    }
}

std::unique_ptr<Spool> SpoolFile::takeSpool()
{
    return std::move(m_closed);
}
