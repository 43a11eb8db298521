#include "base/RegularFile.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using FileStatus = struct stat;

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

QString notRegular(const QString& path)
{
    return path + QStringLiteral(" is not a regular file");
}

RegularFileContents failed(RegularFileContents::Status status, const QString& error)
{
    return {status, {}, error};
}

// A file descriptor closed when it goes out of scope.
struct DescriptorCloser
{
    void operator()(const int* fd) const { ::close(*fd); }
};
using Descriptor = std::unique_ptr<const int, DescriptorCloser>;

// Reads at most limit bytes; fewer only at the end of the file. -1 on a read error.
qint64 readUpTo(int fd, char* buffer, qint64 limit)
{
    qint64 total = 0;
    while (total < limit) {
        const ssize_t got = ::read(fd, buffer + total, static_cast<std::size_t>(limit - total));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return -1;
        if (got == 0)
            break;
        total += got;
    }
    return total;
}

} // namespace

RegularFileContents readRegularFile(const QString& path, qint64 maxBytes)
{
    using Status = RegularFileContents::Status;
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer.
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        const int error = errno;
        if (error == ENOENT)
            return failed(Status::Missing, path + QStringLiteral(" does not exist"));
        return failed(Status::Unreadable, QStringLiteral("Cannot open ") + path +
                                              QStringLiteral(": ") + systemError(error));
    }
    const Descriptor descriptor(&fd);
    FileStatus status{};
    if (::fstat(fd, &status) != 0)
        return failed(Status::Unreadable, QStringLiteral("Cannot read ") + path +
                                              QStringLiteral(": ") + systemError(errno));
    if (!S_ISREG(status.st_mode))
        return failed(Status::NotRegular, notRegular(path));
    const QString tooLarge = path + QStringLiteral(" is larger than %1 bytes").arg(maxBytes);
    if (status.st_size > maxBytes)
        return failed(Status::TooLarge, tooLarge);
    // One byte more than fstat saw tells a file that grew meanwhile; past the limit it is
    // refused, below it that byte is kept.
    QByteArray bytes(status.st_size + 1, Qt::Uninitialized);
    const qint64 got = readUpTo(fd, bytes.data(), bytes.size());
    if (got < 0)
        return failed(Status::Unreadable, QStringLiteral("Cannot read ") + path +
                                              QStringLiteral(": ") + systemError(errno));
    if (got > maxBytes)
        return failed(Status::TooLarge, tooLarge);
    bytes.truncate(got);
    return {Status::Read, bytes, {}};
}

QString regularFileProblem(const QString& path)
{
    FileStatus status{};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return path + QStringLiteral(" does not exist");
    return S_ISREG(status.st_mode) ? QString() : notRegular(path);
}
