#include "tags/WMATag.h"

#include "base/ComponentError.h"
#include "tags/TagText.h"
#include "tags/WMAudioInfo.h"

#include <memory>

namespace {

constexpr qint32 Written = -1;
constexpr qint32 NotWritten = 0;

void setText(WMAudioInfo& attributes, QStringView name, const QString& text, qsizetype capacity)
{
    const QString value = cutText(text, capacity);
    const auto length = static_cast<quint16>((value.size() + 1) * sizeof(char16_t));
    attributes.setAttribute(name, WMAttributeType::String, value.utf16(), length);
}

void setNumber(WMAudioInfo& attributes, QStringView name, quint32 number)
{
    attributes.setAttribute(name, WMAttributeType::DWord, &number, sizeof number);
}

} // namespace

void writeWmaAttributes(const QString& path, const WMATagInfo& info)
{
    std::unique_ptr<WMAudioInfo> attributes;
    switch (WMAudioCreateInfo(path, attributes)) {
    case WMAudioStatus::Ok:
        break;
    case WMAudioStatus::NotAsf:
        throw ComponentError(QStringLiteral("Cannot open %1: it is not a WMA file").arg(path));
    default:
        throw ComponentError(QStringLiteral("Cannot open %1: it cannot be read").arg(path));
    }
    setText(*attributes, WMAttributeName::Author, info.Artist, WMATagCapacity::Artist);
    setText(*attributes, WMAttributeName::Title, info.Title, WMATagCapacity::Title);
    setText(*attributes, WMAttributeName::AlbumTitle, info.Album, WMATagCapacity::Album);
    setText(*attributes, WMAttributeName::Year, info.Year, WMATagCapacity::Year);
    setText(*attributes, WMAttributeName::Description, info.Description,
            WMATagCapacity::Description);
    setText(*attributes, WMAttributeName::Genre, info.Genre, WMATagCapacity::Genre);
    setNumber(*attributes, WMAttributeName::TrackNumber, info.TrackNumber);
    for (const auto& [name, value] : info.Extra)
        if (!value.isEmpty())
            setText(*attributes, name, value, WMATagCapacity::Album);
    if (!info.Picture.isEmpty())
        attributes->setPicture(info.PictureType, info.Picture);
    if (attributes->commit() != WMAudioStatus::Ok)
        throw ComponentError(QStringLiteral("Cannot write %1: %2")
                                 .arg(path, attributes->errorString().isEmpty()
                                                ? QStringLiteral("the file cannot be rewritten")
                                                : attributes->errorString()));
}

qint32 WriteWMATag(const QString& path, const WMATagInfo& info)
{
    try {
        writeWmaAttributes(path, info);
        return Written;
    } catch (const ComponentError&) {
        return NotWritten;
    }
}
