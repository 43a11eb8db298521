#include "base/CoverImage.h"

namespace {

unsigned byteAt(const QByteArray& bytes, qsizetype at)
{
    return static_cast<unsigned char>(bytes.at(at));
}

unsigned bigEndian16(const QByteArray& bytes, qsizetype at)
{
    return byteAt(bytes, at) << 8 | byteAt(bytes, at + 1);
}

quint32 bigEndian32(const QByteArray& bytes, qsizetype at)
{
    return bigEndian16(bytes, at) << 16 | bigEndian16(bytes, at + 2);
}

// The signature, then the IHDR chunk.
CoverImageSize pngSize(const QByteArray& bytes)
{
    static const QByteArray signature("\x89PNG\r\n\x1a\n", 8);
    if (bytes.size() < 33 || !bytes.startsWith(signature) || bytes.mid(12, 4) != "IHDR" ||
        bigEndian32(bytes, 8) != 13)
        return {};
    static constexpr unsigned Channels[] = {1, 0, 3, 1, 2, 0, 4}; // by colour type
    const unsigned colourType = byteAt(bytes, 25);
    const unsigned channels = colourType < 7 ? Channels[colourType] : 0;
    return {bigEndian32(bytes, 16), bigEndian32(bytes, 20), byteAt(bytes, 24) * channels};
}

// SOI, then segments up to the start-of-frame marker.
CoverImageSize jpegSize(const QByteArray& bytes)
{
    if (bytes.size() < 4 || byteAt(bytes, 0) != 0xFF || byteAt(bytes, 1) != 0xD8)
        return {};
    qsizetype at = 2;
    while (at + 4 <= bytes.size()) {
        if (byteAt(bytes, at) != 0xFF)
            return {};
        const unsigned marker = byteAt(bytes, at + 1);
        if (marker == 0xFF) { // fill byte
            ++at;
            continue;
        }
        const unsigned length = bigEndian16(bytes, at + 2);
        if (length < 2)
            return {};
        const bool frame =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame) {
            if (length < 8 || at + 10 > bytes.size())
                return {};
            return {bigEndian16(bytes, at + 7), bigEndian16(bytes, at + 5),
                    byteAt(bytes, at + 4) * byteAt(bytes, at + 9)};
        }
        if (marker == 0xD9 || marker == 0xDA) // end of image, or a scan before any frame
            return {};
        at += 2 + length;
    }
    return {};
}

bool valid(const CoverImageSize& size)
{
    return size.width > 0 && size.height > 0 && size.depth > 0;
}

} // namespace

CoverImageSize coverImageSize(const QByteArray& bytes)
{
    const CoverImageSize jpeg = jpegSize(bytes);
    return valid(jpeg) ? jpeg : pngSize(bytes);
}

QString coverImageType(const QByteArray& bytes)
{
    if (bytes.size() > MaxCoverBytes)
        return {};
    if (valid(jpegSize(bytes)))
        return QStringLiteral("image/jpeg");
    if (valid(pngSize(bytes)))
        return QStringLiteral("image/png");
    return {};
}

QString coverImageExtension(const QString& type)
{
    return type == u"image/png" ? QStringLiteral(".png") : QStringLiteral(".jpg");
}
