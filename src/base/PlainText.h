#pragma once

#include <QString>

/// A control character: U+0000 to U+001F and U+007F to U+009F. Texts from a disc or a lookup
/// holding them could drive a terminal or break a line-based file.
inline bool isControlCharacter(QChar c)
{
    return c.unicode() < 0x20 || (c.unicode() >= 0x7F && c.unicode() <= 0x9F);
}

/// A one-line text from a disc or a lookup as it may be shown and written: tabs and line breaks
/// become blanks, the other control characters go.
inline QString plainText(const QString& text)
{
    QString result = text;
    for (QChar& c : result)
        if (c == u'\t' || c == u'\n' || c == u'\r')
            c = u' ';
    result.removeIf(isControlCharacter);
    return result;
}
