#pragma once

#include <QString>
#include <QStringList>

/// Collects what libcdio reports on this thread while it lives, so a failed open can say why.
/// libcdio's own messages go nowhere else, except errors outside any collector (qWarning).
class CdioMessages final
{
public:
    CdioMessages();
    ~CdioMessages();
    CdioMessages(const CdioMessages&) = delete;
    CdioMessages& operator=(const CdioMessages&) = delete;

    /// The first message (the cause; later ones tend to be consequences), or fallback when
    /// libcdio said nothing.
    QString first(const QString& fallback) const;

    void add(const QString& message) { m_messages.append(message); }

private:
    QStringList m_messages;
    CdioMessages* m_outer;
};
