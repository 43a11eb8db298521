#include "SheetText.h"

#include <QStringDecoder>

QString decodeSheetText(const QByteArray& bytes)
{
    QByteArray text = bytes;
    if (text.startsWith("\xEF\xBB\xBF"))
        text.remove(0, 3);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = utf8(text);
    return utf8.hasError() ? QString::fromLatin1(text) : decoded;
}

QStringList sheetLines(const QString& text)
{
    QString lines = text;
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    lines.replace(u'\r', u'\n');
    return lines.split(u'\n');
}

qint64 parseCount(QStringView text, int digits)
{
    if (text.isEmpty() || text.size() > digits)
        return -1;
    qint64 value = 0;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return -1;
        value = value * 10 + (c.unicode() - u'0');
    }
    return value;
}

qint64 parseMsf(QStringView text)
{
    const qsizetype first = text.indexOf(u':');
    const qsizetype second = first < 0 ? -1 : text.indexOf(u':', first + 1);
    if (second < 0)
        return -1;
    const qint64 minutes = parseCount(text.left(first), 4);
    const qint64 seconds = parseCount(text.mid(first + 1, second - first - 1), 2);
    const qint64 frames = parseCount(text.mid(second + 1), 2);
    if (minutes < 0 || seconds < 0 || seconds > 59 || frames < 0 || frames > 74)
        return -1;
    return (minutes * 60 + seconds) * 75 + frames;
}
