#pragma once

#include <QApplication>

#include <functional>

/// The application object: every exception that escapes a handler of the event loop reaches the
/// program's one exception handler instead of ending the process.
class TunecrestApplication final : public QApplication
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TunecrestApplication)
public:
    using QApplication::QApplication;

    /// handler receives the exception's text; until one is set, the text goes to standard error.
    void setExceptionHandler(std::function<void(const QString&)> handler);

    bool notify(QObject* receiver, QEvent* event) override;

private:
    void handle(const QString& message);

    std::function<void(const QString&)> m_handler;
};
