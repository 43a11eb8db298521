#include "cli/SpoolFile.h"

#include "components/ComponentError.h"

void SpoolFile::Close()
{
    if (!m_file.isOpen())
        return;
    const bool flushed = m_file.flush();
    m_file.close();
    if (!flushed)
        throw ComponentError(QStringLiteral("Cannot write %1").arg(m_file.fileName()));
}

void SpoolFile::open(const QString& path)
{
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        throw ComponentError(
            QStringLiteral("Cannot create %1: %2").arg(path, m_file.errorString()));
}

void SpoolFile::write(std::span<const std::int16_t> samples)
{
    const auto bytes = static_cast<qint64>(samples.size_bytes());
    if (m_file.write(reinterpret_cast<const char*>(samples.data()), bytes) != bytes)
        throw ComponentError(
            QStringLiteral("Cannot write %1: %2").arg(m_file.fileName(), m_file.errorString()));
}
