#include "tags/WMATag.h"

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

qint32 WriteWMATag(const QString& path, const WMATagInfo& info, QString* error)
{
    std::unique_ptr<WMAudioInfo> attributes;
    if (WMAudioCreateInfo(path, attributes) != WMAudioStatus::Ok)
        return NotWritten;
    setText(*attributes, WMAttributeName::Author, info.Artist, WMATagCapacity::Artist);
    setText(*attributes, WMAttributeName::Title, info.Title, WMATagCapacity::Title);
    setText(*attributes, WMAttributeName::AlbumTitle, info.Album, WMATagCapacity::Album);
    setText(*attributes, WMAttributeName::Year, info.Year, WMATagCapacity::Year);
    setText(*attributes, WMAttributeName::Description, info.Description,
            WMATagCapacity::Description);
    setText(*attributes, WMAttributeName::Genre, info.Genre, WMATagCapacity::Genre);
    setNumber(*attributes, WMAttributeName::TrackNumber, info.TrackNumber);
    if (attributes->commit() == WMAudioStatus::Ok)
        return Written;
    if (error != nullptr && !attributes->errorString().isEmpty())
        *error = QStringLiteral("Cannot write ") + path + QStringLiteral(": ") +
                 attributes->errorString();
    return NotWritten;
}
