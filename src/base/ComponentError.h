#pragma once

#include <QString>

#include <stdexcept>

/// The error a failing component call throws: a clear message that says what failed and where.
class ComponentError : public std::runtime_error
{
public:
    explicit ComponentError(const QString& message)
        : std::runtime_error(message.toStdString()), m_message(message)
    {
    }

    const QString& message() const { return m_message; }

private:
    QString m_message;
};
