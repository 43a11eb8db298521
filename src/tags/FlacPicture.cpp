#include "tags/FlacPicture.h"

#include "base/CoverImage.h"

namespace {

constexpr quint32 FrontCover = 3;

QByteArray bigEndian32(quint32 value)
{
    QByteArray bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<char>((value >> (8 * (3 - i))) & 0xFF);
    return bytes;
}

} // namespace

QByteArray flacPictureBlock(const QByteArray& picture, const QString& mimeType)
{
    const QByteArray mime = mimeType.toLatin1();
    const CoverImageSize size = coverImageSize(picture);
    return bigEndian32(FrontCover) + bigEndian32(static_cast<quint32>(mime.size())) + mime +
           bigEndian32(0) + bigEndian32(size.width) + bigEndian32(size.height) +
           bigEndian32(size.depth) + bigEndian32(0) +
           bigEndian32(static_cast<quint32>(picture.size())) + picture;
}
