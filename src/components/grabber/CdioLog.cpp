#include "CdioLog.h"

#include <cdio/logging.h>

#include <QtGlobal>

#include <mutex>

namespace {

thread_local CdioMessages* t_collector = nullptr;

void logToCollector(cdio_log_level_t level, const char message[])
{
    const QString text = QString::fromLocal8Bit(message).simplified();
    if (t_collector)
        t_collector->add(text);
    else if (level >= CDIO_LOG_ERROR)
        qWarning("libcdio: %s", qUtf8Printable(text));
}

void installHandlerOnce()
{
    static std::once_flag installed;
    std::call_once(installed, [] { cdio_log_set_handler(logToCollector); });
}

} // namespace

CdioMessages::CdioMessages() : m_outer(t_collector)
{
    installHandlerOnce();
    t_collector = this;
}

CdioMessages::~CdioMessages()
{
    t_collector = m_outer;
}

QString CdioMessages::first(const QString& fallback) const
{
    return m_messages.isEmpty() ? fallback : m_messages.constFirst();
}
