#include "gui/Application.h"

#include <cstdio>

void TunecrestApplication::setExceptionHandler(std::function<void(const QString&)> handler)
{
    m_handler = std::move(handler);
}

bool TunecrestApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        handle(QString::fromUtf8(e.what()));
    } catch (...) {
        handle(QStringLiteral("unknown error"));
    }
    return false;
}

void TunecrestApplication::handle(const QString& message)
{
    if (m_handler)
        m_handler(message);
    else
        std::fprintf(stderr, "tunecrest: %s\n", message.toLocal8Bit().constData());
}
