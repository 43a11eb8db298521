#include "tags/Mp4Tag.h"

#include "base/ComponentError.h"
#include "tags/SafeRewrite.h"

#include <QFile>

#include <limits>

#include <taglib/mp4coverart.h>
#include <taglib/mp4file.h>
#include <taglib/mp4tag.h>
#include <taglib/tbytevectorstream.h>

namespace {

TagLib::String tagLibString(const QString& text)
{
    return TagLib::String(text.toUtf8().constData(), TagLib::String::UTF8);
}

void setText(TagLib::MP4::Tag& tag, const char* key, const QString& text)
{
    if (text.isEmpty())
        tag.removeItem(key);
    else
        tag.setItem(key, TagLib::StringList(tagLibString(text)));
}

void setPair(TagLib::MP4::Tag& tag, const char* key, int number, int total)
{
    if (number <= 0)
        tag.removeItem(key);
    else
        tag.setItem(key, TagLib::MP4::Item(number, std::max(total, 0)));
}

void setCover(TagLib::MP4::Tag& tag, const QByteArray& picture, const QString& type)
{
    if (picture.isEmpty()) {
        tag.removeItem("covr");
        return;
    }
    const auto format =
        type == u"image/png" ? TagLib::MP4::CoverArt::PNG : TagLib::MP4::CoverArt::JPEG;
    TagLib::MP4::CoverArtList covers;
    covers.append(TagLib::MP4::CoverArt(
        format, TagLib::ByteVector(picture.constData(), static_cast<unsigned>(picture.size()))));
    tag.setItem("covr", covers);
}

void setItems(TagLib::MP4::Tag& tag, const Mp4Tag& items)
{
    setText(tag, "\251nam", items.title);
    setText(tag, "\251ART", items.artist);
    setText(tag, "aART", items.albumArtist);
    setText(tag, "\251alb", items.album);
    setText(tag, "\251day", items.date);
    setText(tag, "\251gen", items.genre);
    setText(tag, "\251cmt", items.comment);
    setPair(tag, "trkn", items.trackNumber, items.trackTotal);
    setPair(tag, "disk", items.discNumber, items.discTotal);
    for (const auto& [name, value] : items.freeForm)
        setText(tag, QByteArray("----:com.apple.iTunes:" + name.toUtf8()).constData(), value);
    setCover(tag, items.picture, items.pictureType);
}

} // namespace

void writeMp4Tags(const QString& path, const Mp4Tag& tag)
{
    QFile input(path);
    if (!input.open(QIODevice::ReadOnly))
        throw ComponentError(QStringLiteral("Cannot open ") + path + QStringLiteral(": ") +
                             input.errorString());
    // TagLib holds the file in one byte vector, which counts in 32 bits; an .m4a track is a few
    // megabytes.
    if (input.size() > std::numeric_limits<unsigned>::max())
        throw ComponentError(QStringLiteral("Cannot open %1: it is too large").arg(path));
    const QByteArray original = input.readAll();
    if (input.error() != QFileDevice::NoError)
        throw ComponentError(QStringLiteral("Cannot open ") + path + QStringLiteral(": ") +
                             input.errorString());
    // TagLib edits a copy in memory; the file itself is written by SafeRewrite, whose every
    // write reports the system's reason for a failure.
    TagLib::ByteVectorStream stream(
        TagLib::ByteVector(original.constData(), static_cast<unsigned>(original.size())));
    TagLib::MP4::File mp4(&stream, false);
    if (!mp4.isValid() || !mp4.tag())
        throw ComponentError(QStringLiteral("Cannot open %1: it is not an MP4 file").arg(path));
    setItems(*mp4.tag(), tag);
    const QString cannotWrite = QStringLiteral("Cannot write ") + path;
    if (!mp4.save())
        throw ComponentError(cannotWrite + QStringLiteral(": the tags cannot be stored in it"));

    SafeRewrite rewrite(path, cannotWrite);
    const TagLib::ByteVector& edited = *stream.data();
    rewrite.write(QByteArray::fromRawData(edited.data(), static_cast<qsizetype>(edited.size())));
    rewrite.commit(input.permissions());
}
