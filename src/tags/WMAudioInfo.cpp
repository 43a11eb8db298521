#include "tags/WMAudioInfo.h"

#include "components/ComponentError.h"
#include "tags/SafeRewrite.h"

#include <QFile>

#include <taglib/asffile.h>
#include <taglib/asftag.h>
#include <taglib/tstringlist.h>

#include <cstring>

namespace {

// Every ASF file starts with its header object, named by this GUID.
const QByteArray AsfHeaderGuid("\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C",
                               16);

TagLib::String tagLibString(const QString& text)
{
    return TagLib::String(text.toUtf8().constData(), TagLib::String::UTF8);
}

// A text up to its terminating zero, or all length bytes when there is none.
QString textValue(const void* value, quint16 length)
{
    const QString text = QString::fromUtf16(static_cast<const char16_t*>(value), length / 2);
    const qsizetype end = text.indexOf(QChar(u'\0'));
    return end < 0 ? text : text.left(end);
}

bool isContentDescription(QStringView name)
{
    return name == WMAttributeName::Title || name == WMAttributeName::Author ||
           name == WMAttributeName::Description;
}

// Readers take an extended attribute "title" or "author" for the field of the content
// description; a stale one would hide the new value.
void removeNamesakes(TagLib::ASF::Tag& tag, QStringView name)
{
    TagLib::StringList namesakes;
    for (const auto& [key, values] : tag.attributeListMap()) {
        if (name.compare(QString::fromUtf8(key.toCString(true)), Qt::CaseInsensitive) == 0)
            namesakes.append(key);
    }
    for (const TagLib::String& key : namesakes)
        tag.removeItem(key);
}

void setText(TagLib::ASF::Tag& tag, QStringView name, const QString& text)
{
    const TagLib::String value = tagLibString(text);
    if (isContentDescription(name))
        removeNamesakes(tag, name);
    if (name == WMAttributeName::Title)
        tag.setTitle(value);
    else if (name == WMAttributeName::Author)
        tag.setArtist(value);
    else if (name == WMAttributeName::Description)
        tag.setComment(value);
    else
        tag.setAttribute(tagLibString(name.toString()), TagLib::ASF::Attribute(value));
}

} // namespace

struct WMAudioInfo::Private
{
    std::unique_ptr<SafeRewrite> rewrite;
    std::unique_ptr<TagLib::ASF::File> file;
    QFileDevice::Permissions permissions;
};

WMAudioInfo::WMAudioInfo(std::unique_ptr<Private> d) : d(std::move(d)) {}

WMAudioInfo::~WMAudioInfo() = default;

qint32 WMAudioInfo::setAttribute(QStringView name, WMAttributeType type, const void* value,
                                 quint16 length)
{
    if (!d->file || name.isEmpty() || value == nullptr)
        return WMAudioStatus::InvalidArgument;
    TagLib::ASF::Tag& tag = *d->file->tag();
    switch (type) {
    case WMAttributeType::String:
        if (length < 2 || length % 2 != 0)
            return WMAudioStatus::InvalidArgument;
        setText(tag, name, textValue(value, length));
        return WMAudioStatus::Ok;
    case WMAttributeType::DWord: {
        if (length != sizeof(quint32) || isContentDescription(name))
            return WMAudioStatus::InvalidArgument;
        quint32 number = 0;
        std::memcpy(&number, value, sizeof number);
        tag.setAttribute(tagLibString(name.toString()), TagLib::ASF::Attribute(number));
        return WMAudioStatus::Ok;
    }
    }
    return WMAudioStatus::InvalidArgument;
}

qint32 WMAudioInfo::commit()
{
    if (!d->file)
        return WMAudioStatus::CannotSave;
    const bool saved = d->file->save();
    // TagLib must let go of the sibling before it replaces the file.
    d->file.reset();
    if (!saved || !d->rewrite->commit(d->permissions))
        return WMAudioStatus::CannotSave;
    return WMAudioStatus::Ok;
}

// TagLib edits files in place; it is given a copy of the file, which replaces the original only
// after a successful save.
qint32 WMAudioCreateInfo(const QString& fileName, std::unique_ptr<WMAudioInfo>& info)
{
    QFile original(fileName);
    if (!original.open(QIODevice::ReadOnly))
        return WMAudioStatus::CannotOpen;
    if (!original.peek(AsfHeaderGuid.size()).startsWith(AsfHeaderGuid))
        return WMAudioStatus::NotAsf;
    auto d = std::make_unique<WMAudioInfo::Private>();
    d->permissions = original.permissions();
    try {
        d->rewrite = std::make_unique<SafeRewrite>(fileName);
    } catch (const ComponentError&) {
        return WMAudioStatus::CannotOpen;
    }
    if (!d->rewrite->append(original) || !d->rewrite->file().flush())
        return WMAudioStatus::CannotOpen;

    const QByteArray copy = QFile::encodeName(d->rewrite->file().fileName());
    d->file = std::make_unique<TagLib::ASF::File>(copy.constData(), false);
    if (!d->file->isValid() || d->file->readOnly())
        return WMAudioStatus::NotAsf;
    info = std::make_unique<WMAudioInfo>(std::move(d));
    return WMAudioStatus::Ok;
}
