#include "base/ComponentError.h"
#include "support/MediaProbe.h"
#include "support/TagTestSupport.h"
#include "support/TempDir.h"
#include "tags/Ogg.h"

#include <QtEndian>

#include <taglib/vorbisfile.h>
#include <taglib/xiphcomment.h>

namespace {

struct Page
{
    quint32 sequence;
    qint64 granule;
    QByteArray body;
};

// The pages of an Ogg file, read after the page layout alone.
QList<Page> pagesOf(const QByteArray& file)
{
    QList<Page> pages;
    qsizetype at = 0;
    while (at + 27 <= file.size() && file.mid(at, 4) == "OggS") {
        const auto* header = reinterpret_cast<const uchar*>(file.constData() + at);
        const int segments = header[26];
        qsizetype bodySize = 0;
        for (int i = 0; i < segments; ++i)
            bodySize += header[27 + i];
        const qsizetype bodyAt = at + 27 + segments;
        pages.append({qFromLittleEndian<quint32>(header + 18),
                      qFromLittleEndian<qint64>(header + 6), file.mid(bodyAt, bodySize)});
        at = bodyAt + bodySize;
    }
    return pages;
}

// The pages after the header pages, which end no packet (-1) or only headers (0).
QList<Page> audioPages(const QList<Page>& pages)
{
    qsizetype first = 0;
    while (first < pages.size() && pages[first].granule <= 0)
        ++first;
    return pages.mid(first);
}

class OggTagTest : public TempDirTest
{
protected:
    QString ogg(const QString& name = QStringLiteral("song.ogg"), int frequency = 440)
    {
        const QString file = path(name);
        EXPECT_TRUE(MediaProbe::makeSine(
            file, {QStringLiteral("-af"), QStringLiteral("volume=%1").arg(frequency / 440.0),
                   QStringLiteral("-c:a"), QStringLiteral("libvorbis"), QStringLiteral("-metadata"),
                   QStringLiteral("title=Old Title"), QStringLiteral("-metadata"),
                   QStringLiteral("comment=Old comment")}));
        return file;
    }

    static OGGTag threeFields()
    {
        OGGTag tag;
        tag.title = QStringLiteral("Ωmega Song");
        tag.artist = QStringLiteral("Björk Trio");
        tag.album = QStringLiteral("日本 Live");
        return tag;
    }

    QStringList entries() const { return folderEntries(root()); }

    // Runs the writer and returns the message of the error it raised.
    static QString errorOf(const QString& file, const OGGTag& tag)
    {
        try {
            WriteOGGTag(file, tag);
        } catch (const ComponentError& error) {
            return error.message();
        }
        return QString();
    }
};

TEST_F(OggTagTest, CommentsAreReplacedInOrderAsUtf8)
{
    const QString file = ogg();
    QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::ReadGroup);
    const QByteArray audio = MediaProbe::decodeBytes(file);
    ASSERT_FALSE(audio.isEmpty());

    EXPECT_TRUE(WriteOGGTag(file, threeFields()));
    const MediaProbe::TagList expected{{QStringLiteral("Title"), QStringLiteral("Ωmega Song")},
                                       {QStringLiteral("Artist"), QStringLiteral("Björk Trio")},
                                       {QStringLiteral("Album"), QStringLiteral("日本 Live")}};
    EXPECT_EQ(MediaProbe::tags(file), expected);
    EXPECT_TRUE(readAll(file).contains("Title=\xCE\xA9mega Song"));

    TagLib::Ogg::Vorbis::File reader(QFile::encodeName(file).constData());
    ASSERT_TRUE(reader.isValid());
    EXPECT_EQ(reader.tag()->fieldCount(), 3u);
    EXPECT_EQ(QString::fromUtf8(reader.tag()->album().toCString(true)),
              QStringLiteral("日本 Live"));

    EXPECT_EQ(MediaProbe::decodeBytes(file), audio);
    EXPECT_EQ(modeBits(file), QFileDevice::ReadOwner | QFileDevice::ReadGroup);
    EXPECT_EQ(entries(), QStringList{QStringLiteral("song.ogg")});
}

TEST_F(OggTagTest, AllSevenFieldsInTheirOrder)
{
    const QString file = ogg();
    OGGTag tag = threeFields();
    tag.tracknumber = QStringLiteral("7");
    tag.date = QStringLiteral("1997");
    tag.genre = QStringLiteral("Rock");
    tag.comment = QStringLiteral("ripped");
    EXPECT_TRUE(WriteOGGTag(file, tag));
    // ffprobe shows TrackNumber under its own name "track".
    QStringList keys;
    for (const auto& entry : MediaProbe::tags(file))
        keys.append(entry.first);
    EXPECT_EQ(keys,
              (QStringList{QStringLiteral("Title"), QStringLiteral("Artist"),
                           QStringLiteral("Album"), QStringLiteral("track"), QStringLiteral("Date"),
                           QStringLiteral("Genre"), QStringLiteral("Comment")}));
}

TEST_F(OggTagTest, LongCommentsMoveAudioPagesButKeepThemWhole)
{
    const QString file = ogg();
    const QList<Page> before = pagesOf(readAll(file));
    const QByteArray audio = MediaProbe::decodeBytes(file);
    OGGTag tag;
    tag.comment = QString(100000, u'c'); // needs more than one header page

    EXPECT_TRUE(WriteOGGTag(file, tag));
    const QList<Page> after = pagesOf(readAll(file));
    ASSERT_GT(after.size(), before.size());
    for (int i = 0; i < after.size(); ++i)
        EXPECT_EQ(after[i].sequence, static_cast<quint32>(i));
    const QList<Page> oldAudio = audioPages(before);
    const QList<Page> newAudio = audioPages(after);
    ASSERT_EQ(newAudio.size(), oldAudio.size());
    for (int i = 0; i < newAudio.size(); ++i) {
        EXPECT_EQ(newAudio[i].granule, oldAudio[i].granule);
        EXPECT_EQ(newAudio[i].body, oldAudio[i].body);
    }
    QString errors;
    EXPECT_EQ(MediaProbe::decodeBytes(file, &errors), audio);
    EXPECT_EQ(errors, QString());
}

TEST_F(OggTagTest, EveryLinkOfAChainedStreamGetsTheComments)
{
    const QString file = path(QStringLiteral("chain.ogg"));
    writeAll(file, readAll(ogg(QStringLiteral("a.ogg"), 440)) +
                       readAll(ogg(QStringLiteral("b.ogg"), 220)));
    const QByteArray audio = MediaProbe::decodeBytes(file);

    EXPECT_TRUE(WriteOGGTag(file, threeFields()));
    const QByteArray after = readAll(file);
    EXPECT_EQ(after.count("Title=\xCE\xA9mega Song"), 2);
    EXPECT_FALSE(after.contains("Old"));
    EXPECT_EQ(MediaProbe::decodeBytes(file), audio);
}

TEST_F(OggTagTest, SiblingNeverReplacesAFileNorIsTheFileItself)
{
    const QString file = ogg();
    const QString precious = path(QStringLiteral("precious"));
    writeAll(precious, "someone's data");
    ASSERT_TRUE(QFile::link(precious, path(QStringLiteral("song.temp"))));
    EXPECT_TRUE(WriteOGGTag(file, threeFields()));
    EXPECT_EQ(entries(), (QStringList{QStringLiteral("precious"), QStringLiteral("song.ogg"),
                                      QStringLiteral("song.temp")}));
    EXPECT_EQ(readAll(precious), "someone's data");
    ASSERT_TRUE(QFile::remove(precious));
    ASSERT_TRUE(QFile::remove(path(QStringLiteral("song.temp"))));

    const QString named = path(QStringLiteral("odd.temp"));
    ASSERT_TRUE(QFile::rename(file, named));
    EXPECT_TRUE(WriteOGGTag(named, OGGTag{}));
    EXPECT_EQ(MediaProbe::tags(named), MediaProbe::TagList{});
    EXPECT_EQ(entries(), QStringList{QStringLiteral("odd.temp")});
}

TEST_F(OggTagTest, FailuresRaiseLeaveTheOriginalAndNoTempFile)
{
    const QString notOgg = path(QStringLiteral("song.ogg"));
    ASSERT_TRUE(MediaProbe::makeSine(notOgg, {QStringLiteral("-f"), QStringLiteral("mp3")}));
    const QByteArray mp3 = readAll(notOgg);
    EXPECT_EQ(errorOf(notOgg, threeFields()),
              QStringLiteral("Cannot open ") + notOgg + QStringLiteral(": not an Ogg stream"));
    EXPECT_EQ(readAll(notOgg), mp3);
    EXPECT_EQ(entries(), QStringList{QStringLiteral("song.ogg")});

    const QString truncated = ogg(QStringLiteral("cut.ogg"));
    const QByteArray whole = readAll(truncated);
    writeAll(truncated, whole.left(whole.size() - 100));
    EXPECT_EQ(errorOf(truncated, threeFields()),
              QStringLiteral("Cannot write comments: ") + truncated +
                  QStringLiteral(": the stream ends inside a page"));
    EXPECT_EQ(readAll(truncated), whole.left(whole.size() - 100));

    const QString missing = path(QStringLiteral("missing.ogg"));
    EXPECT_TRUE(
        errorOf(missing, threeFields()).startsWith(QStringLiteral("Cannot open ") + missing));
    EXPECT_TRUE(errorOf(path(QStringLiteral("song.ogg/x.ogg")), threeFields())
                    .startsWith(QStringLiteral("Cannot open ")));

    const QString file = ogg(QStringLiteral("good.ogg"));
    const QByteArray before = readAll(file);
    QFile::setPermissions(root(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    EXPECT_EQ(errorOf(file, threeFields()), QStringLiteral("Cannot create a file in ") + root() +
                                                QStringLiteral(": Permission denied"));
    QFile::setPermissions(root(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    EXPECT_EQ(readAll(file), before);
    EXPECT_EQ(entries(), (QStringList{QStringLiteral("cut.ogg"), QStringLiteral("good.ogg"),
                                      QStringLiteral("song.ogg")}));
}

} // namespace
