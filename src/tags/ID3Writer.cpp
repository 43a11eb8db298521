#include "tags/ID3Writer.h"

#include "base/ComponentError.h"
#include "tags/SafeRewrite.h"
#include "tags/TagText.h"

#include <QFile>

namespace {

constexpr int HeaderSize = 10;
constexpr int PaddingSize = 10;
constexpr char EncodingLatin1 = 0;
constexpr char EncodingUtf16 = 1;
constexpr unsigned char FooterPresent = 0x10;

struct EncodedText
{
    char encoding;
    QByteArray bytes;
};

bool fitsLatin1(const QString& text)
{
    for (const QChar c : text) {
        if (c.unicode() > 0xFF)
            return false;
    }
    return true;
}

QByteArray utf16WithByteOrderMark(const QString& text)
{
    QByteArray bytes("\xFF\xFE", 2);
    for (const QChar c : text) {
        bytes.append(static_cast<char>(c.unicode() & 0xFF));
        bytes.append(static_cast<char>(c.unicode() >> 8));
    }
    return bytes;
}

EncodedText encodeText(const QString& text)
{
    const QString cut = cutText(text, ID3MaxTextLength);
    if (fitsLatin1(cut))
        return {EncodingLatin1, cut.toLatin1()};
    return {EncodingUtf16, utf16WithByteOrderMark(cut)};
}

QByteArray bigEndian32(quint32 value)
{
    QByteArray bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<char>((value >> (8 * (3 - i))) & 0xFF);
    return bytes;
}

QByteArray synchsafe32(quint32 value)
{
    QByteArray bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<char>((value >> (7 * (3 - i))) & 0x7F);
    return bytes;
}

QByteArray frame(const char* id, const QByteArray& body)
{
    return QByteArray(id) + bigEndian32(static_cast<quint32>(body.size())) + QByteArray(2, '\0') +
           body;
}

QByteArray textFrame(const char* id, const QString& text)
{
    const EncodedText encoded = encodeText(text);
    return frame(id, encoded.encoding + encoded.bytes);
}

// The content description is empty: a lone terminator, preceded by the byte-order mark that
// every UTF-16 string of the frame carries.
QByteArray commentFrame(const QString& comment)
{
    const EncodedText encoded = encodeText(comment);
    const QByteArray description =
        encoded.encoding == EncodingUtf16 ? QByteArray("\xFF\xFE\0\0", 4) : QByteArray(1, '\0');
    return frame("COMM", encoded.encoding + QByteArray("eng") + description + encoded.bytes);
}

// Description and value, each in the frame's one encoding; the description ends with a
// terminator of that encoding.
QByteArray userTextFrame(const QString& description, const QString& value)
{
    const QString cut = cutText(value, ID3MaxTextLength);
    if (fitsLatin1(description) && fitsLatin1(cut))
        return frame("TXXX", EncodingLatin1 + description.toLatin1() + '\0' + cut.toLatin1());
    return frame("TXXX", EncodingUtf16 + utf16WithByteOrderMark(description) + QByteArray(2, '\0') +
                             utf16WithByteOrderMark(cut));
}

constexpr char FrontCover = 3;

QByteArray pictureFrame(const QByteArray& picture, const QString& type)
{
    return frame("APIC", EncodingLatin1 + type.toLatin1() + '\0' + FrontCover + '\0' + picture);
}

QByteArray optionalFrames(const ID3StructV2& tag)
{
    QByteArray frames;
    if (!tag.AlbumArtist.isEmpty())
        frames += textFrame("TPE2", tag.AlbumArtist);
    if (!tag.PartOfSet.isEmpty())
        frames += textFrame("TPOS", tag.PartOfSet);
    for (const auto& [description, value] : tag.UserTexts)
        frames += userTextFrame(description, value);
    if (!tag.Picture.isEmpty())
        frames += pictureFrame(tag.Picture, tag.PictureType);
    return frames;
}

QByteArray header(qsizetype tagSize)
{
    return QByteArray("ID3\x03\x00\x00", 6) + synchsafe32(static_cast<quint32>(tagSize));
}

// The length of an ID3v2 tag whose header is at the start of bytes; 0 when there is none.
qint64 id3v2Length(const QByteArray& bytes)
{
    if (bytes.size() < HeaderSize || !bytes.startsWith("ID3"))
        return 0;
    const auto byte = [&bytes](int i) { return static_cast<unsigned char>(bytes[i]); };
    if (byte(3) == 0xFF || byte(4) == 0xFF)
        return 0;
    qint64 size = 0;
    for (int i = 6; i < HeaderSize; ++i) {
        if (byte(i) & 0x80)
            return 0;
        size = (size << 7) | byte(i);
    }
    const bool footer = byte(3) >= 4 && (byte(5) & FooterPresent);
    return HeaderSize + size + (footer ? HeaderSize : 0);
}

// Moves input past the ID3v2 tags at its start, so that the new tag replaces them instead of
// being stacked on them. A tag that claims more bytes than the file has is not a tag.
void skipID3v2Tags(QFile& input)
{
    while (true) {
        const qint64 length = id3v2Length(input.peek(HeaderSize));
        if (length == 0 || input.pos() + length > input.size())
            return;
        input.seek(input.pos() + length);
    }
}

} // namespace

QByteArray ID3TagImage(const ID3StructV2& tag)
{
    const QByteArray frames = textFrame("TIT2", tag.Title) + textFrame("TPE1", tag.Artist) +
                              textFrame("TALB", tag.Album) + textFrame("TRCK", tag.Track) +
                              textFrame("TYER", tag.Year) + textFrame("TCON", tag.Genre) +
                              commentFrame(tag.Comment) + optionalFrames(tag);
    return header(frames.size() + PaddingSize) + frames + QByteArray(PaddingSize, '\0');
}

void WriteID3Tag(const QString& path, const ID3StructV2& tag)
{
    QFile input(path);
    if (!input.open(QIODevice::ReadOnly))
        throw ComponentError(QStringLiteral("Cannot open ") + path + QStringLiteral(": ") +
                             input.errorString());
    skipID3v2Tags(input);

    SafeRewrite rewrite(path, QStringLiteral("Cannot write ") + path);
    rewrite.write(ID3TagImage(tag));
    rewrite.append(input);
    rewrite.commit(input.permissions() | QFileDevice::WriteOwner);
}
