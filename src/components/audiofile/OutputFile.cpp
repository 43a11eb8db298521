#include "components/audiofile/OutputFile.h"

#include "base/ComponentError.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

// Large enough that the many small writes of a grab become few system calls.
constexpr std::size_t BufferSize = 1 << 20;

QString errorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

OutputFile::OutputFile(const QString& path) : m_path(path)
{
    // "x": create exclusively (O_EXCL), so a file that appeared meanwhile is never truncated.
    m_file.reset(std::fopen(QFile::encodeName(path).constData(), "wbx"));
    if (!m_file) {
        const int error = errno;
        if (error == EEXIST)
            throw ComponentError(QStringLiteral("The file %1 already exists").arg(path));
        throw ComponentError(
            QStringLiteral("Cannot create the file %1: %2").arg(path, errorText(error)));
    }
    std::setvbuf(m_file.get(), nullptr, _IOFBF, BufferSize);
}

OutputFile::~OutputFile()
{
    if (m_file) {
        m_file.reset();
        QFile::remove(m_path);
    }
}

void OutputFile::write(const void* data, std::size_t size)
{
    if (!tryWrite(data, size))
        fail();
}

void OutputFile::writeAt(std::int64_t offset, const void* data, std::size_t size)
{
    const std::int64_t end = position();
    if (!trySeek(offset) || !tryWrite(data, size) || !trySeek(end))
        fail();
}

bool OutputFile::tryWrite(const void* data, std::size_t size) noexcept
{
    if (m_error != 0)
        return false;
    if (std::fwrite(data, 1, size, m_file.get()) != size) {
        m_error = errno != 0 ? errno : EIO;
        return false;
    }
    m_position += static_cast<std::int64_t>(size);
    m_size = std::max(m_size, m_position);
    return true;
}

bool OutputFile::trySeek(std::int64_t offset) noexcept
{
    if (m_error != 0)
        return false;
    if (fseeko(m_file.get(), static_cast<off_t>(offset), SEEK_SET) != 0) {
        m_error = errno;
        return false;
    }
    m_position = offset;
    return true;
}

void OutputFile::throwIfFailed() const
{
    if (m_error != 0)
        fail();
}

void OutputFile::flush()
{
    throwIfFailed();
    if (std::fflush(m_file.get()) != 0) {
        m_error = errno;
        fail();
    }
}

void OutputFile::commit()
{
    flush();
    // fclose reports errors of the final write-back; only then is the file complete.
    if (std::fclose(m_file.release()) != 0) {
        m_error = errno;
        QFile::remove(m_path);
        fail();
    }
}

void OutputFile::fail() const
{
    throw ComponentError(QStringLiteral("Cannot write to the file %1: %2")
                             .arg(m_path, errorText(m_error != 0 ? m_error : EIO)));
}
