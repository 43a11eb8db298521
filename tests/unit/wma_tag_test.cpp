#include "support/MediaProbe.h"
#include "support/TagTestSupport.h"
#include "support/TempDir.h"
#include "tags/WMATag.h"

#include <taglib/asffile.h>
#include <taglib/asftag.h>

#include <memory>

namespace {

// What TagLib reads back from an ASF file.
class AsfReader
{
public:
    explicit AsfReader(const QString& file) : m_file(QFile::encodeName(file).constData()) {}

    bool isValid() const { return m_file.isValid(); }
    TagLib::ASF::Tag& tag() { return *m_file.tag(); }

    // The single value of an extended attribute; null when the attribute is missing.
    std::unique_ptr<TagLib::ASF::Attribute> attribute(const char* name)
    {
        const TagLib::ASF::AttributeList values = tag().attribute(name);
        if (values.size() != 1)
            return nullptr;
        return std::make_unique<TagLib::ASF::Attribute>(values.front());
    }

    QString text(const char* name)
    {
        const auto value = attribute(name);
        return value ? fromTagLib(value->toString()) : QString();
    }

private:
    TagLib::ASF::File m_file;
};

class WMATagTest : public TempDirTest
{
protected:
    QString wma()
    {
        const QString file = path(QStringLiteral("song.wma"));
        // The muxer stores the title twice: in the content description and as an extended
        // attribute "title", which ffprobe prefers.
        EXPECT_TRUE(MediaProbe::makeSine(file, {QStringLiteral("-c:a"), QStringLiteral("wmav2"),
                                                QStringLiteral("-metadata"),
                                                QStringLiteral("title=Old Title")}));
        return file;
    }

    static WMATagInfo sample()
    {
        WMATagInfo info;
        info.Title = QStringLiteral("Ωmega Song");
        info.Artist = QStringLiteral("Björk Trio");
        info.Album = QStringLiteral("日本 Live");
        info.Year = QStringLiteral("1997");
        info.Genre = QStringLiteral("Rock");
        return info;
    }

    QStringList entries() const { return folderEntries(root()); }
};

TEST_F(WMATagTest, SevenAttributesReadBackAndAudioStays)
{
    const QString file = wma();
    const QByteArray audio = MediaProbe::decodeBytes(file);
    ASSERT_FALSE(audio.isEmpty());

    EXPECT_EQ(WriteWMATag(file, sample()), -1);
    const MediaProbe::TagList tags = MediaProbe::tags(file);
    EXPECT_EQ(MediaProbe::tag(tags, QStringLiteral("title")), QStringLiteral("Ωmega Song"));
    EXPECT_EQ(MediaProbe::tag(tags, QStringLiteral("artist")), QStringLiteral("Björk Trio"));
    EXPECT_EQ(MediaProbe::tag(tags, QStringLiteral("album")), QStringLiteral("日本 Live"));
    EXPECT_EQ(MediaProbe::tag(tags, QStringLiteral("WM/Year")), QStringLiteral("1997"));
    EXPECT_EQ(MediaProbe::tag(tags, QStringLiteral("genre")), QStringLiteral("Rock"));
    EXPECT_EQ(MediaProbe::tag(tags, QStringLiteral("track")), QStringLiteral("0"));

    AsfReader reader(file);
    ASSERT_TRUE(reader.isValid());
    EXPECT_EQ(fromTagLib(reader.tag().title()), QStringLiteral("Ωmega Song"));
    EXPECT_EQ(fromTagLib(reader.tag().artist()), QStringLiteral("Björk Trio"));
    EXPECT_EQ(fromTagLib(reader.tag().comment()), QString());
    EXPECT_EQ(reader.text("WM/AlbumTitle"), QStringLiteral("日本 Live"));
    EXPECT_EQ(reader.text("WM/Year"), QStringLiteral("1997"));
    EXPECT_EQ(reader.text("WM/Genre"), QStringLiteral("Rock"));
    const auto track = reader.attribute("WM/TrackNumber");
    ASSERT_TRUE(track);
    EXPECT_EQ(track->type(), TagLib::ASF::Attribute::DWordType);
    EXPECT_EQ(track->toUInt(), 0u);
    EXPECT_FALSE(reader.attribute("title")); // the stale namesake is gone

    EXPECT_EQ(MediaProbe::decodeBytes(file), audio);
    EXPECT_EQ(entries(), QStringList{QStringLiteral("song.wma")});
}

TEST_F(WMATagTest, EmptyTextsAreWrittenAndLongOnesCut)
{
    const QString file = wma();
    EXPECT_EQ(WriteWMATag(file, WMATagInfo{}), -1);
    AsfReader empty(file);
    EXPECT_EQ(fromTagLib(empty.tag().title()), QString());
    ASSERT_TRUE(empty.attribute("WM/AlbumTitle"));
    EXPECT_EQ(empty.text("WM/AlbumTitle"), QString());
    EXPECT_EQ(empty.text("WM/Genre"), QString());

    WMATagInfo info;
    info.Title = QString(200, u't');
    info.Genre = QString(40, u'g');
    info.Description = QString(300, u'd');
    info.TrackNumber = 65535;
    EXPECT_EQ(WriteWMATag(file, info), -1);
    AsfReader cut(file);
    EXPECT_EQ(fromTagLib(cut.tag().title()), QString(127, u't'));
    EXPECT_EQ(cut.text("WM/Genre"), QString(31, u'g'));
    EXPECT_EQ(fromTagLib(cut.tag().comment()), QString(254, u'd'));
    EXPECT_EQ(cut.attribute("WM/TrackNumber")->toUInt(), 65535u);
}

TEST_F(WMATagTest, ReadOnlyFileKeepsItsPermissions)
{
    const QString file = wma();
    const auto readOnly = QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther;
    QFile::setPermissions(file, readOnly);
    EXPECT_EQ(WriteWMATag(file, sample()), -1);
    EXPECT_EQ(fromTagLib(AsfReader(file).tag().title()), QStringLiteral("Ωmega Song"));
    EXPECT_EQ(modeBits(file), readOnly);
}

TEST_F(WMATagTest, FilesThatCannotBeTaggedStayAsTheyWere)
{
    const QString notAsf = path(QStringLiteral("song.wma"));
    ASSERT_TRUE(MediaProbe::makeSine(notAsf, {QStringLiteral("-f"), QStringLiteral("mp3")}));
    QFile::setPermissions(notAsf, QFileDevice::ReadOwner);
    const QByteArray mp3 = readAll(notAsf);
    EXPECT_EQ(WriteWMATag(notAsf, sample()), 0);
    EXPECT_EQ(readAll(notAsf), mp3);
    EXPECT_EQ(modeBits(notAsf), QFileDevice::ReadOwner);
    EXPECT_EQ(entries(), QStringList{QStringLiteral("song.wma")});

    EXPECT_EQ(WriteWMATag(path(QStringLiteral("missing.wma")), sample()), 0);
    EXPECT_EQ(WriteWMATag(root(), sample()), 0);

    const QString file = wma();
    const QByteArray before = readAll(file);
    QFile::setPermissions(root(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    EXPECT_EQ(WriteWMATag(file, sample()), 0);
    QFile::setPermissions(root(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    EXPECT_EQ(readAll(file), before);
    EXPECT_EQ(entries(), QStringList{QStringLiteral("song.wma")});

    // An attribute the file refuses (one without a name) fails the whole write.
    WMATagInfo nameless = sample();
    nameless.Extra = {{QString(), QStringLiteral("value")}};
    EXPECT_EQ(WriteWMATag(file, nameless), 0);
    EXPECT_EQ(readAll(file), before);
}

} // namespace
