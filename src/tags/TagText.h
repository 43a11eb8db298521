#pragma once

#include <QString>

/// text cut to at most maxUnits UTF-16 units, never between the two halves of a surrogate pair.
inline QString cutText(const QString& text, qsizetype maxUnits)
{
    if (text.size() <= maxUnits)
        return text;
    const qsizetype end = text.at(maxUnits).isLowSurrogate() ? maxUnits - 1 : maxUnits;
    return text.left(end);
}
