#include "shell/Application.h"

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
    // The text is for whoever reads the terminal; the handler's questions never show it.
    std::fprintf(stderr, "tunecrest: %s\n", message.toLocal8Bit().constData());
    // An error raised while the handler's own boxes are open is reported only once.
    if (!m_handler || m_handling)
        return;
    m_handling = true;
    m_handler(message);
    m_handling = false;
}
