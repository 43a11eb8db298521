#include "tags/WMATag.h"

#include "base/ComponentError.h"
#include "tags/TagText.h"
#include "tags/WMAudioInfo.h"

#include <memory>

namespace {

constexpr qint32 Written = -1;
constexpr qint32 NotWritten = 0;

// The attribute calls answer with a status, 0 for success.
void check(qint32 status, const QString& path, QStringView name)
{
    if (status != WMAudioStatus::Ok)
        throw ComponentError(QStringLiteral("Cannot write %1: the attribute \"%2\" cannot be set "
                                            "(status %3)")
                                 .arg(path, name.toString())
                                 .arg(status));
}

void setText(WMAudioInfo& attributes, const QString& path, QStringView name, const QString& text,
             qsizetype capacity)
{
    const QString value = cutText(text, capacity);
    const auto length = static_cast<quint16>((value.size() + 1) * sizeof(char16_t));
    check(attributes.setAttribute(name, WMAttributeType::String, value.utf16(), length), path,
          name);
}

void setNumber(WMAudioInfo& attributes, const QString& path, QStringView name, quint32 number)
{
    check(attributes.setAttribute(name, WMAttributeType::DWord, &number, sizeof number), path,
          name);
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
    WMAudioInfo& a = *attributes;
    setText(a, path, WMAttributeName::Author, info.Artist, WMATagCapacity::Artist);
    setText(a, path, WMAttributeName::Title, info.Title, WMATagCapacity::Title);
    setText(a, path, WMAttributeName::AlbumTitle, info.Album, WMATagCapacity::Album);
    setText(a, path, WMAttributeName::Year, info.Year, WMATagCapacity::Year);
    setText(a, path, WMAttributeName::Description, info.Description, WMATagCapacity::Description);
    setText(a, path, WMAttributeName::Genre, info.Genre, WMATagCapacity::Genre);
    setNumber(a, path, WMAttributeName::TrackNumber, info.TrackNumber);
    for (const auto& [name, value] : info.Extra)
        if (!value.isEmpty())
            setText(a, path, name, value, WMATagCapacity::Album);
    if (!info.Picture.isEmpty())
        check(a.setPicture(info.PictureType, info.Picture), path, WMAttributeName::Picture);
    if (a.commit() != WMAudioStatus::Ok)
        throw ComponentError(a.errorString());
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
