#include "base/PartialFileName.h"

#include "base/Utf8Names.h"

namespace {

const QString PartSuffix = QStringLiteral(".part");

} // namespace

QString partialFileName(const QString& finalName, const QString& uniqueTag)
{
    const QString tail = u'.' + uniqueTag + PartSuffix;
    const int room = MaxNameBytes - 1 - static_cast<int>(tail.toUtf8().size());
    return u'.' + cutToUtf8Bytes(finalName, room) + tail;
}

bool isPartialFileName(const QString& name)
{
    return name.startsWith(u'.') && name.endsWith(PartSuffix) && finalFileName(name) != name;
}

QString finalFileName(const QString& name)
{
    if (!name.startsWith(u'.') || !name.endsWith(PartSuffix))
        return name;
    const QString inner = name.mid(1, name.size() - 1 - PartSuffix.size());
    const qsizetype tagDot = inner.lastIndexOf(u'.');
    return tagDot > 0 ? inner.left(tagDot) : name;
}
