#include "base/Utf8Names.h"

QString cutToUtf8Bytes(const QString& name, int maxBytes)
{
    if (maxBytes <= 0)
        return {};
    if (name.toUtf8().size() <= maxBytes)
        return name;
    QString result;
    int used = 0;
    for (qsizetype i = 0; i < name.size();) {
        const qsizetype len = name.at(i).isHighSurrogate() && i + 1 < name.size() ? 2 : 1;
        const QString ch = name.mid(i, len);
        const int bytes = static_cast<int>(ch.toUtf8().size());
        if (used + bytes > maxBytes)
            break;
        result += ch;
        used += bytes;
        i += len;
    }
    return result;
}
