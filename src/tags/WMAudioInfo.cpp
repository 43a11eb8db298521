#include "tags/WMAudioInfo.h"

#include "base/ComponentError.h"
#include "tags/SafeRewrite.h"

#include <QFile>

#include <taglib/asffile.h>
#include <taglib/asfpicture.h>
#include <taglib/asftag.h>
#include <taglib/tbytevectorstream.h>
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
    QString path;
    QFileDevice::Permissions permissions;
    qint64 headerSize = 0;
    // TagLib edits a copy of the header object in memory; the file itself is written by
    // SafeRewrite, whose every write reports the system's reason for a failure.
    std::unique_ptr<TagLib::ByteVectorStream> stream;
    std::unique_ptr<TagLib::ASF::File> file;
    QString error;
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

qint32 WMAudioInfo::setPicture(const QString& mimeType, const QByteArray& picture)
{
    if (!d->file || picture.isEmpty())
        return WMAudioStatus::InvalidArgument;
    TagLib::ASF::Picture attribute;
    attribute.setMimeType(tagLibString(mimeType));
    attribute.setType(TagLib::ASF::Picture::FrontCover);
    attribute.setPicture(
        TagLib::ByteVector(picture.constData(), static_cast<unsigned>(picture.size())));
    d->file->tag()->setAttribute(tagLibString(QString::fromUtf16(WMAttributeName::Picture)),
                                 TagLib::ASF::Attribute(attribute));
    return WMAudioStatus::Ok;
}

// The attribute operations answer with a status; the reason for a failed commit is kept for
// errorString().
qint32 WMAudioInfo::commit()
{
    try {
        rewriteFile();
    } catch (const ComponentError& error) {
        d->error = error.message();
        return WMAudioStatus::CannotSave;
    }
    return WMAudioStatus::Ok;
}

void WMAudioInfo::rewriteFile()
{
    const QString cannotWrite = QStringLiteral("Cannot write ") + d->path;
    if (!d->file || !d->file->save())
        throw ComponentError(cannotWrite + QStringLiteral(": the file cannot be rewritten"));
    const TagLib::ByteVector& header = *d->stream->data();
    d->file.reset();
    QFile original(d->path);
    if (!original.open(QIODevice::ReadOnly) || !original.seek(d->headerSize))
        throw ComponentError(cannotWrite + QStringLiteral(": ") + original.errorString());
    SafeRewrite rewrite(d->path, cannotWrite);
    rewrite.write(QByteArray(header.data(), static_cast<qsizetype>(header.size())));
    rewrite.append(original);
    rewrite.commit(d->permissions);
}

QString WMAudioInfo::errorString() const
{
    return d->error;
}

namespace {

// The size the header object claims, if the file holds that much and it is a plausible header.
qint64 headerObjectSize(QFile& file)
{
    constexpr qint64 MaxHeaderSize = 64 << 20;
    constexpr qint64 MinHeaderSize = 30;
    const QByteArray start = file.peek(24);
    if (start.size() < 24 || !start.startsWith(AsfHeaderGuid))
        return 0;
    quint64 size = 0;
    for (int i = 23; i >= 16; --i)
        size = (size << 8) | static_cast<unsigned char>(start[i]);
    if (size < MinHeaderSize || size > MaxHeaderSize || static_cast<qint64>(size) > file.size())
        return 0;
    return static_cast<qint64>(size);
}

} // namespace

qint32 WMAudioCreateInfo(const QString& fileName, std::unique_ptr<WMAudioInfo>& info)
{
    QFile original(fileName);
    if (!original.open(QIODevice::ReadOnly))
        return WMAudioStatus::CannotOpen;
    auto d = std::make_unique<WMAudioInfo::Private>();
    d->headerSize = headerObjectSize(original);
    if (d->headerSize == 0)
        return WMAudioStatus::NotAsf;
    d->path = fileName;
    d->permissions = original.permissions();
    const QByteArray header = original.read(d->headerSize);
    if (header.size() != d->headerSize)
        return WMAudioStatus::CannotOpen;
    d->stream = std::make_unique<TagLib::ByteVectorStream>(
        TagLib::ByteVector(header.constData(), static_cast<unsigned int>(header.size())));
    d->file = std::make_unique<TagLib::ASF::File>(d->stream.get(), false);
    if (!d->file->isValid())
        return WMAudioStatus::NotAsf;
    info = std::make_unique<WMAudioInfo>(std::move(d));
    return WMAudioStatus::Ok;
}
