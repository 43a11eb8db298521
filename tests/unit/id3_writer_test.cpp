#include "base/ComponentError.h"
#include "support/MediaProbe.h"
#include "support/TagTestSupport.h"
#include "support/TempDir.h"
#include "tags/ID3Writer.h"

#include <QFileInfo>

#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>

namespace {

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray result;
    for (const int value : values)
        result.append(static_cast<char>(value));
    return result;
}

struct Frame
{
    QByteArray id;
    quint32 size;
    QByteArray body;
};

// The frames of a tag image, read after the ID3v2.3 layout until the padding.
QList<Frame> framesOf(const QByteArray& image)
{
    QList<Frame> frames;
    qsizetype at = 10;
    while (at + 10 <= image.size() && image.at(at) != '\0') {
        quint32 size = 0;
        for (int i = 4; i < 8; ++i)
            size = (size << 8) | static_cast<unsigned char>(image.at(at + i));
        frames.append({image.mid(at, 4), size, image.mid(at + 10, size)});
        at += 10 + size;
    }
    return frames;
}

QByteArray sizeBytes(const QByteArray& image)
{
    return image.mid(6, 4);
}

TEST(ID3TagImageTest, EmptyTagHasSevenFramesInFixedOrder)
{
    const QByteArray image = ID3TagImage({});
    ASSERT_EQ(image.size(), 101);
    EXPECT_EQ(image.left(6), QByteArray("ID3\x03\x00\x00", 6));
    EXPECT_EQ(sizeBytes(image), bytes({0, 0, 0, 0x5B}));
    EXPECT_EQ(image.right(10), QByteArray(10, '\0'));

    const QList<Frame> frames = framesOf(image);
    ASSERT_EQ(frames.size(), 7);
    const QList<QByteArray> order{"TIT2", "TPE1", "TALB", "TRCK", "TYER", "TCON", "COMM"};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(frames[i].id, order[i]);
        EXPECT_EQ(frames[i].size, 1u);
        EXPECT_EQ(frames[i].body, QByteArray(1, '\0'));
    }
    EXPECT_EQ(frames[6].id, order[6]);
    EXPECT_EQ(frames[6].body, QByteArray("\0eng\0", 5));

    // The album artist comes after the seven, before the optional frames that follow them.
    ID3StructV2 tag;
    tag.AlbumArtist = QStringLiteral("Various");
    tag.PartOfSet = QStringLiteral("1/2");
    const QList<Frame> more = framesOf(ID3TagImage(tag));
    ASSERT_EQ(more.size(), 9);
    EXPECT_EQ(more[7].id, "TPE2");
    EXPECT_EQ(more[7].body, QByteArray("\0Various", 8));
    EXPECT_EQ(more[8].id, "TPOS");
}

TEST(ID3TagImageTest, SizesCountFramesAndPaddingSynchsafe)
{
    ID3StructV2 tag;
    tag.Title = QStringLiteral("abc");
    QByteArray image = ID3TagImage(tag);
    EXPECT_EQ(framesOf(image).at(0).size, 4u);
    EXPECT_EQ(sizeBytes(image), bytes({0, 0, 0, 94}));

    // 91 for the empty tag plus 209 text bytes: S = 300, stored 00 00 02 2C.
    tag.Title = QString(209, u'a');
    image = ID3TagImage(tag);
    EXPECT_EQ(sizeBytes(image), bytes({0, 0, 0x02, 0x2C}));
    EXPECT_EQ(image.size(), 310);

    tag.Title = QString(255, u't');
    tag.Comment = QString(300, u'c');
    const QList<Frame> frames = framesOf(ID3TagImage(tag));
    EXPECT_EQ(frames.at(0).size, 256u);
    EXPECT_EQ(frames.at(6).size, 260u); // cut to 255 characters
    EXPECT_EQ(frames.at(6).body.mid(5), QByteArray(255, 'c'));
}

TEST(ID3TagImageTest, Latin1TextsStayBytesOthersBecomeUtf16)
{
    ID3StructV2 tag;
    tag.Artist = QStringLiteral("Café Noir");
    tag.Album = QStringLiteral("Ωμέγα");
    tag.Comment = QStringLiteral("日本");
    const QList<Frame> frames = framesOf(ID3TagImage(tag));

    EXPECT_EQ(frames.at(1).body, QByteArray("\0Caf\xE9 Noir", 10));
    EXPECT_EQ(frames.at(2).body.left(3), QByteArray("\x01\xFF\xFE", 3));
    EXPECT_EQ(frames.at(2).body.mid(3, 2), bytes({0xA9, 0x03})); // Ω, little-endian
    EXPECT_EQ(frames.at(2).size, 1u + 2u + 10u);
    EXPECT_EQ(frames.at(6).body, QByteArray("\x01"
                                            "eng\xFF\xFE\0\0\xFF\xFE\xE5\x65\x2C\x67",
                                            14));
}

class ID3WriterTest : public TempDirTest
{
protected:
    QString mp3(const QStringList& options = {}, const QString& name = QStringLiteral("song.mp3"))
    {
        const QString file = path(name);
        EXPECT_TRUE(MediaProbe::makeSine(
            file, QStringList{QStringLiteral("-c:a"), QStringLiteral("libmp3lame"),
                              QStringLiteral("-metadata"), QStringLiteral("title=Old Title")} +
                      options));
        return file;
    }

    static ID3StructV2 sampleTag()
    {
        ID3StructV2 tag;
        tag.Title = QStringLiteral("Ωmega Song");
        tag.Artist = QStringLiteral("Björk Trio");
        tag.Album = QStringLiteral("日本 Live");
        tag.Year = QStringLiteral("1997");
        tag.Genre = QStringLiteral("Rock");
        tag.Comment = QStringLiteral("ripped ✓");
        return tag;
    }

    QStringList entries() const { return folderEntries(root()); }
};

TEST_F(ID3WriterTest, TagGoesInFrontOfTheUntouchedAudio)
{
    // The longest name the file system takes: the rewrite must not need a longer one.
    const QString name = QString(251, u'n') + QStringLiteral(".mp3");
    const QString file = mp3({QStringLiteral("-id3v2_version"), QStringLiteral("0")}, name);
    const QByteArray before = readAll(file);
    ASSERT_FALSE(before.startsWith("ID3"));

    WriteID3Tag(file, sampleTag());
    EXPECT_EQ(readAll(file), ID3TagImage(sampleTag()) + before);
    EXPECT_EQ(entries(), QStringList{name});
}

TEST_F(ID3WriterTest, ReplacesExistingTagAndReadersSeeTheTexts)
{
    const QString file = mp3();
    const QByteArray audio = MediaProbe::decodeBytes(file);
    ASSERT_FALSE(audio.isEmpty());
    ASSERT_TRUE(readAll(file).startsWith("ID3\x04"));

    WriteID3Tag(file, sampleTag());
    WriteID3Tag(file, sampleTag());
    const QByteArray after = readAll(file);
    const QByteArray image = ID3TagImage(sampleTag());
    ASSERT_TRUE(after.startsWith(image));
    EXPECT_FALSE(after.mid(image.size()).startsWith("ID3")); // replaced, not stacked
    EXPECT_EQ(MediaProbe::decodeBytes(file), audio);

    const MediaProbe::TagList tags = MediaProbe::tags(file);
    EXPECT_EQ(MediaProbe::tag(tags, QStringLiteral("title")), QStringLiteral("Ωmega Song"));
    EXPECT_EQ(MediaProbe::tag(tags, QStringLiteral("artist")), QStringLiteral("Björk Trio"));
    EXPECT_EQ(MediaProbe::tag(tags, QStringLiteral("album")), QStringLiteral("日本 Live"));
    EXPECT_EQ(MediaProbe::tag(tags, QStringLiteral("date")), QStringLiteral("1997"));
    EXPECT_EQ(MediaProbe::tag(tags, QStringLiteral("genre")), QStringLiteral("Rock"));
    EXPECT_EQ(MediaProbe::tag(tags, QStringLiteral("comment")), QStringLiteral("ripped ✓"));

    TagLib::MPEG::File reader(QFile::encodeName(file).constData());
    ASSERT_TRUE(reader.isValid());
    ASSERT_TRUE(reader.hasID3v2Tag());
    EXPECT_EQ(reader.ID3v2Tag()->header()->majorVersion(), 3u);
    EXPECT_EQ(fromTagLib(reader.tag()->title()), QStringLiteral("Ωmega Song"));
    EXPECT_EQ(fromTagLib(reader.tag()->artist()), QStringLiteral("Björk Trio"));
    EXPECT_EQ(fromTagLib(reader.tag()->album()), QStringLiteral("日本 Live"));
    EXPECT_EQ(reader.tag()->year(), 1997u);
    EXPECT_EQ(fromTagLib(reader.tag()->genre()), QStringLiteral("Rock"));
    EXPECT_EQ(fromTagLib(reader.tag()->comment()), QStringLiteral("ripped ✓"));
}

TEST_F(ID3WriterTest, ReplacesVersion4TagWithFooterButKeepsBogusOnes)
{
    const QByteArray audio = "\xFF\xFB audio bytes";
    const QByteArray withFooter = QByteArray("ID3\x04\x00\x10\x00\x00\x00\x04", 10) + "abcd" +
                                  QByteArray("3DI\x04\x00\x10\x00\x00\x00\x04", 10);
    const QString file = path(QStringLiteral("v4.mp3"));
    writeAll(file, withFooter + withFooter + audio);
    WriteID3Tag(file, {});
    EXPECT_EQ(readAll(file), ID3TagImage({}) + audio);

    // A "tag" that claims more bytes than the file holds is kept as content.
    const QByteArray bogus = QByteArray("ID3\x03\x00\x00\x00\x00\x7F\x7F", 10) + audio;
    writeAll(file, bogus);
    WriteID3Tag(file, {});
    EXPECT_EQ(readAll(file), ID3TagImage({}) + bogus);
}

TEST_F(ID3WriterTest, ReadOnlyFileIsTaggedAndLeftWritable)
{
    const QString file = mp3();
    QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::ReadGroup);
    WriteID3Tag(file, sampleTag());
    EXPECT_TRUE(readAll(file).startsWith(ID3TagImage(sampleTag())));
    EXPECT_EQ(modeBits(file),
              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup);
}

TEST_F(ID3WriterTest, FailuresRaiseAndLeaveTheOriginal)
{
    const QString missing = path(QStringLiteral("missing.mp3"));
    try {
        WriteID3Tag(missing, sampleTag());
        FAIL() << "no error for a missing file";
    } catch (const ComponentError& error) {
        EXPECT_TRUE(error.message().startsWith(QStringLiteral("Cannot open ") + missing + u':'));
    }
    EXPECT_FALSE(QFileInfo::exists(missing));

    EXPECT_THROW(WriteID3Tag(root(), sampleTag()), ComponentError);
    const QString throughFile = mp3() + QStringLiteral("/inner.mp3");
    EXPECT_THROW(WriteID3Tag(throughFile, sampleTag()), ComponentError);

    const QString file = mp3();
    const QByteArray before = readAll(file);
    QFile::setPermissions(root(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    EXPECT_THROW(WriteID3Tag(file, sampleTag()), ComponentError);
    QFile::setPermissions(root(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    EXPECT_EQ(readAll(file), before);
    EXPECT_EQ(entries(), QStringList{QStringLiteral("song.mp3")});
}

} // namespace
