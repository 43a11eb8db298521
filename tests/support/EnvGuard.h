#pragma once

#include <QByteArray>
#include <QtGlobal>

/// An environment variable a test changes, given back as it was (set or not) when the guard goes.
class EnvGuard final
{
public:
    explicit EnvGuard(const char* name)
        : m_name(name), m_wasSet(qEnvironmentVariableIsSet(name)), m_value(qgetenv(name))
    {
    }
    ~EnvGuard()
    {
        if (m_wasSet)
            qputenv(m_name, m_value);
        else
            qunsetenv(m_name);
    }
    EnvGuard(const EnvGuard&) = delete;
    EnvGuard& operator=(const EnvGuard&) = delete;

    void set(const QByteArray& value) const { qputenv(m_name, value); }
    /// The value it had before the test.
    const QByteArray& original() const { return m_value; }

private:
    const char* m_name;
    bool m_wasSet;
    QByteArray m_value;
};
